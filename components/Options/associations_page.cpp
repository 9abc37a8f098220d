#include "associations_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

#include "platform/ini/ini_file.h"
#include "platform/module/program_directory.h"

namespace kv::options {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return Lower(n) == Lower(name); });
}

}  // namespace

std::vector<std::string> DescriptorExtensions(const std::string& containersDir) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(containersDir, ec)) {
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file(ec) && (ext == ".vc" || ext == ".ac")) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> extensions;
  for (const auto& file : files) {
    std::string list = ini::TIniFile(file).ReadString("Main", "Extension", "");
    size_t pos = 0;
    while (pos <= list.size()) {
      size_t comma = std::min(list.find(',', pos), list.size());
      std::string item = list.substr(pos, comma - pos);
      item.erase(0, item.find_first_not_of(" \t."));
      item.erase(item.find_last_not_of(" \t") + 1);
      if (!item.empty() && item.find_first_of("/\\") == std::string::npos && !Contains(extensions, item)) {
        extensions.push_back(Lower(item));
      }
      pos = comma + 1;
    }
  }
  return extensions;
}

AssociationsPage::AssociationsPage(QWidget* parent) : QWidget(parent), list_(new QListWidget(this)) {
  setObjectName(QStringLiteral("AssociationsPage"));
  list_->setObjectName(QStringLiteral("AssociateList"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(QStringLiteral("Open these file types with Kavello:"), this);
  label->setObjectName(QStringLiteral("AssociateLabel"));
  layout->addWidget(label);
  layout->addWidget(list_, 1);
}

void AssociationsPage::Load(registry::TRegistry& associate) {
  list_->clear();
  loaded_.clear();
  stored_.clear();
  std::vector<std::string> names = associate.GetValueNames();
  for (const auto& ext : DescriptorExtensions(ProgramPath("Containers"))) {
    if (!Contains(names, ext)) names.push_back(ext);
  }
  for (const auto& name : names) {
    if (name.empty()) continue;
    std::optional<bool> flag = associate.ReadBool(name);
    auto* item = new QListWidgetItem(QString::fromStdString(name), list_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(flag.value_or(false) ? Qt::Checked : Qt::Unchecked);
    loaded_.push_back(flag.value_or(false));
    stored_.push_back(flag.has_value());
  }
}

bool AssociationsPage::Save(registry::TRegistry& associate) {
  bool ok = true;
  for (int row = 0; row < list_->count(); ++row) {
    bool checked = list_->item(row)->checkState() == Qt::Checked;
    if (checked == loaded_[row] && (stored_[row] || !checked)) continue;
    ok = associate.WriteBool(list_->item(row)->text().toStdString(), checked) && ok;
  }
  return ok;
}

}  // namespace kv::options
