// The OSD's words from its label file: the captions of the 11 bars and the menu title.
//
// The file is "Lang/" + LanguageName + ".lng" under the program directory, an
// initialisation file read with the profile rules (platform/ini); the labels are in its
// section "Display". A missing file, section or key keeps the built-in label.
// Plain C++, used on the user-interface thread.
#pragma once

#include <array>
#include <string>

namespace kv::osd {

inline constexpr int kBarCount = 11;

struct TOsdLabels {
  // Index 0 is bar 1 (volume) ... index 10 is bar 11 (backlight compensation).
  std::array<std::string, kBarCount> Bars = {"Volume",    "Brightness", "Contrast", "Saturation",
                                             "Hue",       "Bass",       "Treble",   "Sharpness",
                                             "Gamma",     "Whitebal",   "Backlight"};
  std::string MenuTitle = "OSD Menu";
};

// The key of each bar's label in the file's "Display" section, bar 1 first.
extern const std::array<const char*, kBarCount> kBarLabelKeys;
inline constexpr const char* kMenuTitleKey = "OSDMenu";

// Path of the label file relative to `programDir` (empty: the current directory).
std::string LabelFilePath(const std::string& programDir, const std::string& languageName);

// Reads the labels from `path`. Never fails: whatever cannot be read keeps its default.
TOsdLabels ReadLabels(const std::string& path);

}  // namespace kv::osd
