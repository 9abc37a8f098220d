// The registry layout of the settings as data: every value under "Software\Tessaland\Kavello"
// with its section, type, default and whether the program writes it at exit.
//
// tOptions reads and writes exactly these values; the options library builds its dialog from
// the entries that are not saved (those only it maintains) and takes its defaults from here;
// tests check that tOptions' defaults agree with this table. Pure data, no Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kv::settings {

// The root key of the settings, below HKEY_CURRENT_USER.
inline constexpr const char* kRootKey = "Software\\Tessaland\\Kavello";
// The settings version the program expects; any other "Version" opens the options dialog.
inline constexpr const char* kCurrentVersion = "2.3.0.0";

// Section names (subkeys of the root); kRootSection is the root key itself.
inline constexpr const char* kRootSection = "";
inline constexpr const char* kPosition = "Position";
inline constexpr const char* kDisplay = "Display";
inline constexpr const char* kSubtitles = "Subtitles";
inline constexpr const char* kPlayer = "Player";
inline constexpr const char* kAnalyze = "Analyze";
inline constexpr const char* kVideoFilters = "VideoFilters";
inline constexpr const char* kAudioFilters = "AudioFilters";
inline constexpr const char* kTeletext = "Teletext";
inline constexpr const char* kFrameCapture = "Frame Capture";
inline constexpr const char* kAssociate = "Associate";

// S string, I 32-bit integer, B Boolean stored as an integer, D double stored as 8 raw bytes.
enum class SettingType { String, Integer, Boolean, Double };

struct SettingInfo {
  const char* section;
  const char* name;
  SettingType type;
  const char* defaultText;  // String
  int32_t defaultInt;       // Integer and Boolean (0 / 1)
  double defaultDouble;     // Double
  bool saved;               // written by the program at exit
};

// Every value of the layout in reading order (root, Position, Display, Subtitles, Player,
// Analyze, VideoFilters, AudioFilters, Teletext, Frame Capture). The Associate section holds
// one Boolean per file extension and is not listed.
std::span<const SettingInfo> SettingsTable();

// The entry of that section and name (compared exactly), or nullptr.
const SettingInfo* FindSetting(std::string_view section, std::string_view name);

// Full key path of a section: kRootKey, or kRootKey + "\" + section.
std::string SectionKey(std::string_view section);

}  // namespace kv::settings
