#include "plugins/plugin_chain.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ini/ini_file.h"

namespace kv::plugins {

std::vector<std::string> ListPlugins(const std::string& folder, bool video) {
  const std::string extension = video ? ".vid" : ".aud";
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= extension.size()) continue;
    if (strcasecmp(file.c_str() + file.size() - extension.size(), extension.c_str()) != 0) continue;
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    names.push_back(file.substr(0, file.size() - extension.size()));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
  return names;
}

std::string DescriptorPath(const std::string& folder, const std::string& name, bool video) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return {};
  return folder + "/" + name + (video ? ".vid" : ".aud");
}

std::string PluginDescription(const std::string& descriptorPath, const std::string& language) {
  if (descriptorPath.empty()) return {};
  ini::TIniFile descriptor(descriptorPath);
  std::string text = descriptor.ReadString("Description", language, "");
  if (text.empty()) text = descriptor.ReadString("Description", "English", "");
  return text;
}

bool AddToChain(TFiltersInChain& chain, const std::string& folder, const std::string& name, bool video) {
  auto slot = std::find_if(chain.begin(), chain.end(), [](const TFilterStruct& s) { return s.FileName.empty(); });
  if (slot == chain.end()) return false;
  ini::TIniFile descriptor(DescriptorPath(folder, name, video));
  slot->FileName = name;
  slot->Name = descriptor.ReadString("Main", "Name", "");
  slot->NeedCapturePin = video && descriptor.ReadBool("Main", "NeedCapturePin", false);
  return true;
}

void RemoveFromChain(TFiltersInChain& chain, int index) {
  if (index < 0 || index >= kFilterSlots) return;
  for (int k = index; k + 1 < kFilterSlots; ++k) chain[k] = chain[k + 1];
  chain[kFilterSlots - 1] = TFilterStruct{};
}

}  // namespace kv::plugins
