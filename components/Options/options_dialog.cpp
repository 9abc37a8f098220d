#include "options_dialog.h"

#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "settings/settings_table.h"

namespace kv::options {

namespace {

using settings::SettingType;

QString PicturesFolder() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  return QDir::toNativeSeparators(dir.isEmpty() ? QDir::homePath() : dir);
}

bool SameValue(const FieldValue& a, const FieldValue& b) {
  if (a.index() != b.index()) return false;
  if (const double* d = std::get_if<double>(&a)) return std::abs(*d - std::get<double>(b)) < 1e-9;
  return a == b;
}

}  // namespace

TOptionsDialog::TOptionsDialog(QWidget* owner)
    : QDialog(owner),
      tabs_(new QTabWidget(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setObjectName(QStringLiteral("OptionsForm"));
  setWindowTitle(QStringLiteral("Options"));
  tabs_->setObjectName(QStringLiteral("Tabs"));
  buttons_->setObjectName(QStringLiteral("Buttons"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (const char* tab : OptionTabs()) {
    auto* page = new QWidget(tabs_);
    page->setObjectName(QString::fromUtf8(tab).remove(' ') + QStringLiteral("Tab"));
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addLayout(new QFormLayout());
    if (QString::fromUtf8(tab) == QString::fromUtf8(kAssociationsTab)) {
      associations_ = new AssociationsPage(page);
      pageLayout->addWidget(associations_, 1);
    } else {
      pageLayout->addStretch(1);
    }
    tabs_->addTab(page, QString::fromUtf8(tab));
  }
  for (const OptionField& field : OptionFields()) {
    QWidget* page = TabPage(field.tab);
    auto* form = static_cast<QFormLayout*>(page->layout()->itemAt(0)->layout());
    Binding binding{&field, MakeEditor(field, page), FieldValue(), false};
    if (field.kind == EditorKind::Check) {
      form->addRow(binding.editor.widget);  // a check box carries its own label
    } else {
      // Named after its editor so that language files can reach it.
      auto* label = new QLabel(QString::fromUtf8(field.label), page);
      label->setObjectName(binding.editor.widget->objectName() + QStringLiteral("Label"));
      form->addRow(label, binding.editor.widget);
    }
    bindings_.push_back(std::move(binding));
  }
  resize(820, 440);  // wide enough for every tab caption
}

QWidget* TOptionsDialog::TabPage(const char* tab) {
  for (int i = 0; i < tabs_->count(); ++i) {
    if (tabs_->tabText(i) == QString::fromUtf8(tab)) return tabs_->widget(i);
  }
  return tabs_->widget(0);
}

bool TOptionsDialog::OpenSection(const char* section) {
  registry_.CloseKey();
  return registry_.OpenKey(settings::SectionKey(section), true) ||
         registry_.OpenKey(settings::SectionKey(section), false);
}

namespace {

// The stored type and default of a field: from the settings table, or the field's own.
settings::SettingInfo Describe(const OptionField& field) {
  if (!field.ownDefault) {
    if (const settings::SettingInfo* info = settings::FindSetting(field.section, field.name)) return *info;
  }
  return {field.section, field.name, field.type, field.defaultText.c_str(), field.defaultInt, 0.0, false};
}

}  // namespace

FieldValue TOptionsDialog::DefaultValue(const OptionField& field) const {
  const settings::SettingInfo info = Describe(field);
  switch (info.type) {
    case SettingType::String:
      if (field.linuxDefault == LinuxDefault::PicturesFolder && std::string(info.defaultText).empty()) {
        return FieldValue(PicturesFolder().toStdString());
      }
      return FieldValue(std::string(info.defaultText));
    case SettingType::Integer: return FieldValue(info.defaultInt);
    case SettingType::Boolean: return FieldValue(info.defaultInt != 0);
    case SettingType::Double: return FieldValue(info.defaultDouble);
  }
  return FieldValue(std::string());
}

bool TOptionsDialog::ReadStored(const OptionField& field, FieldValue& value) {
  if (!OpenSection(field.section)) return false;
  switch (Describe(field).type) {
    case SettingType::String:
      if (auto v = registry_.ReadString(field.name)) return value = *v, true;
      break;
    case SettingType::Integer:
      if (auto v = registry_.ReadInteger(field.name)) return value = *v, true;
      break;
    case SettingType::Boolean:
      if (auto v = registry_.ReadBool(field.name)) return value = *v, true;
      break;
    case SettingType::Double:
      if (auto v = registry_.ReadFloat(field.name)) return value = *v, true;
      break;
  }
  return false;
}

bool TOptionsDialog::Write(const OptionField& field, const FieldValue& value) {
  if (!OpenSection(field.section)) return false;
  if (const auto* s = std::get_if<std::string>(&value)) return registry_.WriteString(field.name, *s);
  if (const auto* n = std::get_if<int32_t>(&value)) return registry_.WriteInteger(field.name, *n);
  if (const auto* b = std::get_if<bool>(&value)) return registry_.WriteBool(field.name, *b);
  return registry_.WriteFloat(field.name, std::get<double>(value));
}

void TOptionsDialog::Load() {
  registry_.BeginUpdate();  // sections created while reading: one file update
  for (Binding& b : bindings_) {
    FieldValue stored;
    b.stored = ReadStored(*b.field, stored);
    b.editor.set(b.stored ? stored : DefaultValue(*b.field));
    b.loaded = b.editor.get();
  }
  if (associations_ && OpenSection(settings::kAssociate)) associations_->Load(registry_);
  registry_.CloseKey();
  registry_.EndUpdate();
}

bool TOptionsDialog::Save() {
  registry_.BeginUpdate();  // all changes and "Version" in one file update, or none
  bool ok = true;
  for (const Binding& b : bindings_) {
    FieldValue value = b.editor.get();
    bool changed = !SameValue(value, b.loaded);
    // a Linux default the player does not know (the pictures folder) must be stored
    bool ownDefault = !b.stored && b.field->linuxDefault != LinuxDefault::None;
    if (changed || ownDefault) ok = Write(*b.field, value) && ok;
  }
  if (associations_) ok = OpenSection(settings::kAssociate) && associations_->Save(registry_) && ok;
  if (ok) ok = OpenSection(settings::kRootSection) && registry_.WriteString("Version", settings::kCurrentVersion);
  registry_.CloseKey();
  return registry_.EndUpdate() && ok;
}

}  // namespace kv::options
