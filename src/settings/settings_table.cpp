#include "settings/settings_table.h"

#include <iterator>

namespace kv::settings {

namespace {

using T = SettingType;

constexpr SettingInfo S(const char* section, const char* name, const char* def, bool saved) {
  return {section, name, T::String, def, 0, 0.0, saved};
}
constexpr SettingInfo I(const char* section, const char* name, int32_t def, bool saved) {
  return {section, name, T::Integer, "", def, 0.0, saved};
}
constexpr SettingInfo B(const char* section, const char* name, bool def, bool saved) {
  return {section, name, T::Boolean, "", def ? 1 : 0, 0.0, saved};
}
constexpr SettingInfo D(const char* section, const char* name, double def, bool saved) {
  return {section, name, T::Double, "", 0, def, saved};
}

constexpr bool kSaved = true;
constexpr bool kRead = false;

constexpr SettingInfo kTable[] = {
    S(kRootSection, "Version", "", kRead),
    B(kRootSection, "MultipleInst", false, kRead),
    S(kRootSection, "Language", "English", kRead),
    S(kRootSection, "OpenDir", "", kSaved),
    B(kRootSection, "AssociateCheck", false, kRead),

    B(kPosition, "AlwaysOnTop", false, kSaved),
    B(kPosition, "KeepAspectRatio", true, kSaved),
    I(kPosition, "AspectRatioX", 0, kSaved),
    I(kPosition, "AspectRatioY", 0, kSaved),
    D(kPosition, "ZoomStep", 0.25, kRead),
    I(kPosition, "ZoomPosStep", 5, kRead),
    I(kPosition, "ZoomCropStep", 5, kRead),
    I(kPosition, "Left", 100, kSaved),
    I(kPosition, "Top", 100, kSaved),
    I(kPosition, "Width", 320, kSaved),
    I(kPosition, "Height", 180, kSaved),
    B(kPosition, "Panel", true, kSaved),

    B(kDisplay, "HideCursor", true, kRead),
    B(kDisplay, "Centered", true, kRead),
    B(kDisplay, "OSD", true, kRead),

    S(kSubtitles, "FontName", "Arial", kRead),
    I(kSubtitles, "FontEnc", 0, kRead),
    I(kSubtitles, "FontSize", 15, kRead),
    B(kSubtitles, "FontBorder", false, kRead),
    I(kSubtitles, "FontBorderColor", 0, kRead),
    B(kSubtitles, "BlackBorder", true, kRead),
    I(kSubtitles, "FontColor", 16777215, kRead),
    B(kSubtitles, "Transparent", true, kRead),

    S(kPlayer, "VideoRenderer", "", kSaved),
    S(kPlayer, "AudioRenderer", "", kSaved),
    B(kPlayer, "Statistics", true, kRead),
    B(kPlayer, "StatNoReset", true, kRead),
    B(kPlayer, "AC3WaveOut", true, kRead),
    B(kPlayer, "DVNTSC", false, kRead),

    B(kAnalyze, "DisablePreview", false, kRead),
    B(kAnalyze, "DisableImageAnalyze", false, kRead),

    S(kVideoFilters, "Filter1", "", kSaved),
    S(kVideoFilters, "Filter2", "", kSaved),
    S(kVideoFilters, "Filter3", "", kSaved),
    S(kVideoFilters, "Filter4", "", kSaved),
    S(kVideoFilters, "Filter5", "", kSaved),
    S(kAudioFilters, "Filter1", "", kSaved),
    S(kAudioFilters, "Filter2", "", kSaved),
    S(kAudioFilters, "Filter3", "", kSaved),
    S(kAudioFilters, "Filter4", "", kSaved),
    S(kAudioFilters, "Filter5", "", kSaved),

    S(kTeletext, "Directory", "", kRead),
    I(kTeletext, "SaveAs", 0, kRead),
    I(kTeletext, "Filename", 0, kRead),
    B(kTeletext, "AllToOne", false, kRead),
    B(kTeletext, "Permanent", false, kRead),

    B(kFrameCapture, "Disable", false, kRead),
    S(kFrameCapture, "Directory", "", kRead),
    S(kFrameCapture, "ColorDepth", "", kRead),
    I(kFrameCapture, "Quality", 75, kRead),
};

}  // namespace

std::span<const SettingInfo> SettingsTable() { return {std::begin(kTable), std::end(kTable)}; }

const SettingInfo* FindSetting(std::string_view section, std::string_view name) {
  for (const auto& s : kTable) {
    if (section == s.section && name == s.name) return &s;
  }
  return nullptr;
}

std::string SectionKey(std::string_view section) {
  std::string key = kRootKey;
  if (!section.empty()) {
    key += '\\';
    key += section;
  }
  return key;
}

}  // namespace kv::settings
