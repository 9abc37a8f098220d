// The settings the subtitle display reads on every draw (registry section "Subtitles"),
// gathered so that the display does not depend on the whole settings object. The main window
// fills it from `Options` (SubtitleSettingsFrom) each time the display asks.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

struct TSubtitleSettings {
  std::string FontName = "Arial";
  std::int32_t FontEnc = 0;        // Windows character set number (subtitle_decode.h)
  std::int32_t FontSize = 15;      // points at a window width of 1500 pixels
  std::int32_t FontColor = 0xFFFFFF;  // 0x00BBGGRR
  bool Transparent = true;
  bool BlackBorder = true;
  bool FontBorder = false;
  std::int32_t FontBorderColor = 0;  // 0x00BBGGRR
  bool AlwaysOnTop = false;          // the framerate dialog stays above other windows
};

// Copies the fields from any settings object that has them under these names (tOptions).
template <class TOptionsLike>
TSubtitleSettings SubtitleSettingsFrom(const TOptionsLike& o) {
  TSubtitleSettings s;
  s.FontName = o.FontName;
  s.FontEnc = o.FontEnc;
  s.FontSize = o.FontSize;
  s.FontColor = o.FontColor;
  s.Transparent = o.Transparent;
  s.BlackBorder = o.BlackBorder;
  s.FontBorder = o.FontBorder;
  s.FontBorderColor = o.FontBorderColor;
  s.AlwaysOnTop = o.AlwaysOnTop;
  return s;
}

}  // namespace kv
