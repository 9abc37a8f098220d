// The file associations tab: one check box per file extension, offered from the extensions
// the container descriptors name (Containers/*.vc and *.ac) and those already in the
// Associate section of the settings.
#pragma once

#include <QListWidget>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace kv::options {

// Extensions named by the container descriptors of `containersDir`, lower-case, each once,
// in file-name order of the descriptors.
std::vector<std::string> DescriptorExtensions(const std::string& containersDir);

class AssociationsPage : public QWidget {
 public:
  explicit AssociationsPage(QWidget* parent);

  // Fills the list from `associate` (the Associate section, open) and the descriptors.
  void Load(registry::TRegistry& associate);
  // Writes each extension whose check changed, or that is checked and not stored yet.
  // False when a write failed.
  bool Save(registry::TRegistry& associate);

  QListWidget* List() const { return list_; }

 private:
  QListWidget* list_;
  std::vector<bool> loaded_;  // the check state of each row when loaded
  std::vector<bool> stored_;  // whether the row's value existed in the registry
};

}  // namespace kv::options
