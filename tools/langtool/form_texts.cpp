#include "form_texts.h"

#include <QAction>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>

#include "i18n/property_setters.h"

namespace kv::langtool {
namespace {

// True when `o` belongs to another form shown over this one (a dialog parented to it).
bool InOtherForm(QObject* o, QObject* form) {
  for (QObject* p = o; p && p != form; p = p->parent()) {
    auto* w = qobject_cast<QWidget*>(p);
    if (w && w->isWindow() && w->objectName().endsWith(QLatin1String("Form"))) return true;
  }
  return false;
}

bool Skipped(QObject* o) {
  const QString name = o->objectName();
  if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) return true;
  for (QObject* p = o; p; p = p->parent())
    if (p->property("kvNoTranslate").toBool()) return true;
  // The filter slots' captions are the plug-ins' file names.
  static const QRegularExpression filterSlot(QStringLiteral("^(Vid|Aud)Filter[1-5]$"));
  return filterSlot.match(name).hasMatch();
}

}  // namespace

std::vector<i18n::TLangEntry> CollectFormTexts(const QList<QWidget*>& forms, QStringList* warnings) {
  std::vector<i18n::TLangEntry> entries;
  for (QWidget* form : forms) {
    const QString formName = form->objectName();
    QSet<QString> seen;
    QList<QObject*> objects{form};
    objects += form->findChildren<QObject*>();
    for (QObject* o : objects) {
      if (o != form && (Skipped(o) || InOtherForm(o, form))) continue;
      // A submenu's action shares its menu's name and text: the menu stands for both.
      if (auto* a = qobject_cast<QAction*>(o); a && a->menu()) continue;
      const QString key = o == form ? QString() : o->objectName().toLower();
      if (o != form) {
        if (seen.contains(key)) {
          if (warnings) *warnings << formName + "." + o->objectName() + ": name used twice, only the first is addressed";
          continue;
        }
        seen.insert(key);
      }
      for (const auto& [property, text] : i18n::TranslatableTexts(o, QStringLiteral(","))) {
        if (text.contains('\n')) continue;
        const QString path = o == form ? formName + "." + property : formName + "." + o->objectName() + "." + property;
        entries.push_back({path.toStdString(), text.toStdString()});
      }
    }
  }
  return entries;
}

std::string EnglishFile(const std::vector<i18n::TLangEntry>& entries) {
  std::string out =
      "; Kavello's English texts, written by kavello-langtool --english from the forms themselves.\n"
      "; Copy this file to start a translation; keep the keys, translate the values.\n"
      "[Player]\n";
  for (const auto& e : entries) out += e.Path + "=" + e.Value + "\n";
  return out;
}

}  // namespace kv::langtool
