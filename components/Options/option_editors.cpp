#include "option_editors.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>

#include "platform/module/program_directory.h"

namespace kv::options {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

template <class T>
T As(const FieldValue& v, T fallback) {
  if (const T* p = std::get_if<T>(&v)) return *p;
  return fallback;
}

Editor CheckEditor(const OptionField& field, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(field.label), parent);
  return {box, [box] { return FieldValue(box->isChecked()); },
          [box](const FieldValue& v) { box->setChecked(As(v, false)); }};
}

Editor SpinEditor(const OptionField& field, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  int32_t min = field.min, max = field.max;
  spin->setRange(min, max);
  return {spin, [spin] { return FieldValue(static_cast<int32_t>(spin->value())); },
          [spin, min, max](const FieldValue& v) {
            int32_t n = As<int32_t>(v, min);
            // a stored value outside the usual range is shown as it is, not clamped
            spin->setRange(std::min(min, n), std::max(max, n));
            spin->setValue(n);
          }};
}

Editor DecimalEditor(const OptionField& field, QWidget* parent) {
  auto* spin = new QDoubleSpinBox(parent);
  spin->setDecimals(3);
  spin->setRange(field.min, field.max);
  spin->setSingleStep(field.step);
  double min = field.min, max = field.max;
  return {spin, [spin] { return FieldValue(spin->value()); },
          [spin, min, max](const FieldValue& v) {
            double d = As(v, 0.0);
            spin->setRange(std::min(min, d), std::max(max, d));
            spin->setValue(d);
          }};
}

Editor TextEditor(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  return {edit, [edit] { return FieldValue(S(edit->text())); },
          [edit](const FieldValue& v) { edit->setText(Q(As<std::string>(v, ""))); }};
}

// A combo box of texts that keeps an unknown stored text as an extra entry.
Editor TextListEditor(QWidget* parent, const QStringList& texts, bool editable) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(editable);
  combo->addItems(texts);
  return {combo, [combo] { return FieldValue(S(combo->currentText())); },
          [combo](const FieldValue& v) {
            QString text = Q(As<std::string>(v, ""));
            // an empty text in a fixed list means its first entry (the "any other text" case)
            if (text.isEmpty() && !combo->isEditable() && combo->count() > 0) text = combo->itemText(0);
            if (combo->findText(text) < 0) combo->addItem(text);
            combo->setCurrentIndex(combo->findText(text));
            if (combo->isEditable()) combo->setEditText(text);
          }};
}

Editor CodeEditor(const OptionField& field, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  for (const auto& item : field.codes) combo->addItem(QString::fromUtf8(item.text), item.code);
  return {combo, [combo] { return FieldValue(static_cast<int32_t>(combo->currentData().toInt())); },
          [combo](const FieldValue& v) {
            int32_t code = As<int32_t>(v, 0);
            if (combo->findData(code) < 0) combo->addItem(QString("Value %1").arg(code), code);
            combo->setCurrentIndex(combo->findData(code));
          }};
}

QColor ValueToColor(uint32_t v) { return QColor(v & 0xff, (v >> 8) & 0xff, (v >> 16) & 0xff); }

Editor ColorEditor(QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setProperty("kvNoTranslate", true);  // its text is the colour's value
  auto show = [button](uint32_t v) {
    button->setProperty("colorValue", v);
    QColor c = ValueToColor(v);
    button->setText(c.name());
    button->setStyleSheet(QString("background-color: %1; color: %2").arg(c.name(), c.lightness() > 127 ? "black" : "white"));
  };
  QObject::connect(button, &QPushButton::clicked, button, [button, show] {
    QColor chosen = QColorDialog::getColor(ValueToColor(button->property("colorValue").toUInt()), button->window());
    if (chosen.isValid()) show(ColorToValue(chosen.red(), chosen.green(), chosen.blue()));
  });
  return {button, [button] { return FieldValue(static_cast<int32_t>(button->property("colorValue").toUInt())); },
          [show](const FieldValue& v) { show(static_cast<uint32_t>(As<int32_t>(v, 0))); }};
}

Editor DirectoryEditor(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* edit = new QLineEdit(box);
  auto* browse = new QToolButton(box);
  browse->setText(QStringLiteral("…"));
  layout->addWidget(edit, 1);
  layout->addWidget(browse);
  QObject::connect(browse, &QToolButton::clicked, box, [edit, box] {
    QString dir = QFileDialog::getExistingDirectory(box->window(), QString(), edit->text());
    if (!dir.isEmpty()) edit->setText(QDir::toNativeSeparators(dir));
  });
  return {box, [edit] { return FieldValue(S(edit->text())); },
          [edit](const FieldValue& v) { edit->setText(Q(As<std::string>(v, ""))); }};
}

// The languages the program has files for (the form translations in Languages/ and the OSD
// labels in Lang/), by name, with "English" always offered.
QStringList LanguageNames() {
  QStringList names{QStringLiteral("English")};
  for (const char* folder : {"Languages", "Lang"}) {
    QDir dir(Q(ProgramPath(folder)));
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.lng")}, QDir::Files)) {
      if (!names.contains(info.completeBaseName(), Qt::CaseInsensitive)) names << info.completeBaseName();
    }
  }
  names.sort(Qt::CaseInsensitive);
  return names;
}

}  // namespace

uint32_t ColorToValue(int red, int green, int blue) {
  return static_cast<uint32_t>(red & 0xff) | (static_cast<uint32_t>(green & 0xff) << 8) |
         (static_cast<uint32_t>(blue & 0xff) << 16);
}

Editor MakeEditor(const OptionField& field, QWidget* parent) {
  Editor editor;
  switch (field.kind) {
    case EditorKind::Check: editor = CheckEditor(field, parent); break;
    case EditorKind::Spin: editor = SpinEditor(field, parent); break;
    case EditorKind::Decimal: editor = DecimalEditor(field, parent); break;
    case EditorKind::Text: editor = TextEditor(parent); break;
    case EditorKind::Choice: {
      QStringList texts;
      for (const char* t : field.texts) texts << QString::fromUtf8(t);
      editor = TextListEditor(parent, texts, false);
      break;
    }
    case EditorKind::Code: editor = CodeEditor(field, parent); break;
    case EditorKind::Color: editor = ColorEditor(parent); break;
    case EditorKind::Font: editor = TextListEditor(parent, QFontDatabase::families(), true); break;
    case EditorKind::Directory: editor = DirectoryEditor(parent); break;
    case EditorKind::Language: editor = TextListEditor(parent, LanguageNames(), true); break;
  }
  editor.widget->setObjectName(QString::fromUtf8(field.section).remove(' ') + QString::fromUtf8(field.name));
  return editor;
}

}  // namespace kv::options
