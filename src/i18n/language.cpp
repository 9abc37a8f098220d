#include "i18n/language.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "i18n/property_setters.h"

namespace kv::i18n {
namespace {

QObject* FindOwned(QObject* parent, const QString& name) {
  for (QObject* child : parent->findChildren<QObject*>()) {
    if (child->objectName().compare(name, Qt::CaseInsensitive) == 0) return child;
  }
  return nullptr;
}

}  // namespace

TLanguage::TLanguage(QObject* owner) : QObject(owner) {
  setObjectName(QStringLiteral("Translator"));
  if (qApp) qApp->installEventFilter(this);
}

TLanguage::~TLanguage() {
  if (qApp) qApp->removeEventFilter(this);
}

void TLanguage::SetSeparator(const std::string& separator) {
  separator_ = separator.find_first_not_of(" \t") == std::string::npos ? std::string(",") : separator;
}

bool TLanguage::LoadTranslation() {
  if (OnBeforeTranslation) OnBeforeTranslation();
  auto entries = ReadLanguageFile(LanguageFile);
  if (!entries) return false;
  entries_ = std::move(*entries);
  for (const TLangEntry& entry : entries_) Apply(entry, nullptr);
  if (OnAfterTranslation) OnAfterTranslation();
  return true;
}

int TLanguage::TranslateForm(QWidget* form) {
  int applied = 0;
  for (const TLangEntry& entry : entries_) applied += Apply(entry, form);
  return applied;
}

int TLanguage::Apply(const TLangEntry& entry, QWidget* onlyForm) {
  const std::vector<std::string> pieces = SplitPath(entry.Path);
  if (pieces.size() < 2) return 0;
  const QString formName = QString::fromStdString(pieces.front());
  QObject* current = nullptr;
  if (onlyForm) {
    if (onlyForm->objectName().compare(formName, Qt::CaseInsensitive) != 0) return 0;
    current = onlyForm;
  } else {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->objectName().compare(formName, Qt::CaseInsensitive) == 0) {
        current = window;
        break;
      }
    }
  }
  for (size_t i = 1; current && i + 1 < pieces.size(); ++i)
    current = FindOwned(current, QString::fromStdString(pieces[i]));
  if (!current) return 0;
  const QString property = QString::fromStdString(pieces.back());
  const QString separator = QString::fromStdString(separator_);
  const std::optional<QString> now = ReadTranslatable(current, property, separator);
  if (!now) return 0;
  std::string value = entry.Value;
  if (OnTranslate) OnTranslate(value, now->toStdString());
  return WriteTranslatable(current, property, QString::fromStdString(value), separator) ? 1 : 0;
}

bool TLanguage::eventFilter(QObject* watched, QEvent* event) {
  // A window shown for the first time after the file was loaded (a dialog, a form of a
  // component library) gets its entries before it paints.
  if (event->type() == QEvent::Show && !entries_.empty()) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->isWindow() && !widget->property("kvTranslated").toBool()) {
      widget->setProperty("kvTranslated", true);
      TranslateForm(widget);
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kv::i18n
