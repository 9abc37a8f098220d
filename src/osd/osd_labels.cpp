#include "osd/osd_labels.h"

#include "platform/ini/ini_file.h"

namespace kv::osd {

const std::array<const char*, kBarCount> kBarLabelKeys = {
    "Volume", "Brightness", "Contrast", "Saturation", "Hue",           "Bass",
    "Treble", "Sharpness",  "Gamma",    "WhiteBalance", "BacklightComp"};

std::string LabelFilePath(const std::string& programDir, const std::string& languageName) {
  std::string path = programDir;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + "Lang/" + languageName + ".lng";
}

TOsdLabels ReadLabels(const std::string& path) {
  TOsdLabels labels;
  const ini::TIniFile file(path);
  for (int i = 0; i < kBarCount; ++i) {
    labels.Bars[i] = file.ReadString("Display", kBarLabelKeys[i], labels.Bars[i]);
  }
  labels.MenuTitle = file.ReadString("Display", kMenuTitleKey, labels.MenuTitle);
  return labels;
}

}  // namespace kv::osd
