#include "osd/osd_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kv::osd {
namespace {

int ClampCoord(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, -kMaxCoordinate, kMaxCoordinate));
}

int ClampExtent(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 0, kMaxPanelExtent)); }

int64_t Percent(int64_t whole, int32_t percent) { return whole * percent / 100; }

int64_t Aligned(int64_t pos, int64_t size, int32_t align) { return pos - size * align / 2; }

TOsdRect Make(int64_t left, int64_t top, int64_t width, int64_t height) {
  return {ClampCoord(left), ClampCoord(top), ClampExtent(width), ClampExtent(height)};
}

}  // namespace

int ReferenceHeight(int W, int Hgt) {
  const int w16 = W & 0xFFFF;
  const int h16 = Hgt & 0xFFFF;
  return std::min(h16, w16 * 3 / 4);
}

int AlignedPos(int pos, int size, int align) { return ClampCoord(Aligned(pos, size, align)); }

TOsdRect ClockRect(const TOsdLayoutValues& v, int W, int Hgt) {
  const int64_t h = ClampExtent(Percent(ReferenceHeight(W, Hgt), v.TimeSize));
  const int64_t w = h * 48 / 10 + 10;
  return Make(Aligned(Percent(W, v.TimePosX), w, v.TimeAlignX),
              Aligned(Percent(Hgt, v.TimePosY), h, v.TimeAlignY), w, h);
}

TOsdRect SoundModeRect(const TOsdLayoutValues& v, int W, int Hgt) {
  const int64_t h = ClampExtent(Percent(ReferenceHeight(W, Hgt), v.SoundModeSize));
  const int64_t w = h * 5;
  return Make(Aligned(Percent(W, v.SoundModePosX), w, v.SoundAlignX),
              Aligned(Percent(Hgt, v.SoundModePosY), h, v.SoundAlignY), w, h);
}

TOsdRect MessageRect(const TOsdLayoutValues& v, int W, int Hgt, int textLength) {
  const int64_t h = ClampExtent(Percent(ReferenceHeight(W, Hgt), v.BarSize));
  const int64_t w = h * (int64_t{std::max(textLength, 0)} + 1) * 6 / 10;
  return Make(Aligned(W / 2, w, v.BarAlignX), Aligned(int64_t{Hgt} * 6 / 7, h, v.BarAlignY), w, h);
}

TOsdRect BarRect(const TOsdLayoutValues& v, int W, int Hgt) {
  const int64_t h = ClampExtent(Percent(ReferenceHeight(W, Hgt), v.BarSize));
  const int64_t w = std::min<int64_t>(h * 18, kMaxPanelExtent);
  return Make(W / 2 - w / 2, Percent(Hgt, v.BarPosY) - h / 2, w, h);
}

int StatusHeight(const TOsdLayoutValues& v, int W, int Hgt) {
  return ClampExtent(Percent(ReferenceHeight(W, Hgt), v.BarSize));
}

TOsdRect StatusRect(const TOsdLayoutValues& v, int W, int Hgt, int textWidth, int outline) {
  const int64_t h = StatusHeight(v, W, Hgt);
  const int64_t w = int64_t{textWidth} + 2 + 2 * int64_t{outline};
  return Make(Aligned(Percent(W, v.RecStatusPosX), w, v.RecAlignX),
              Aligned(Percent(Hgt, v.RecStatusPosY), h, v.RecAlignY), w, h);
}

TOsdRect MenuRect(const TOsdLayoutValues& v, int W, int Hgt) {
  const int64_t h = ClampExtent(Percent(ReferenceHeight(W, Hgt), v.MenuWidth));
  const int64_t w = ClampExtent(Percent(W, v.MenuHeight));
  return Make(W / 2 - w / 2, Percent(Hgt, v.MenuPosY) - h / 2, w, h);
}

int MenuRowHeight(const TOsdLayoutValues& v, int Hgt) { return ClampExtent(Percent(Hgt, v.MenuItemSize)); }

int MenuTitleBand(int rowHeight) { return rowHeight * 3 / 2; }

int MenuRowTop(int rowHeight, int row) { return MenuTitleBand(rowHeight) + row * rowHeight; }

int MenuRowsThatFit(int pictureHeight, int rowHeight) {
  if (rowHeight <= 0) return 0;  // no row can be drawn in a zero-high row
  const int n = (pictureHeight - MenuTitleBand(rowHeight)) / rowHeight - 1;
  return std::max(n, 0);
}

int OutlineOffset(int points) {
  if (points <= 5) return 0;
  return static_cast<int>(std::nearbyint(std::log(points / 5.0)));
}

TColorRef DimColor(TColorRef c) { return (c >> 1) & 0x7F7F7F; }

std::vector<TBarStep> BarSteps(int pw, int ph) {
  std::vector<TBarStep> steps;
  if (pw <= 0 || ph <= 0) return steps;
  const int span = pw - 5 * ph;
  const int top = ph / 7;
  const int bottom = ph - ph / 7;
  int right = pw - ph / 7;
  int left = right - span / (2 * kBarMax);
  steps.reserve(kBarMax - 1);
  for (int s = kBarMax - 1; s >= 1; --s) {
    steps.push_back({s, left, top, right, bottom});
    left -= span / kBarMax;
    right -= span / kBarMax;
  }
  return steps;
}

int BarValueFromLevel(int level) {
  // A level outside 0..255 would give a step the bar does not have.
  return std::clamp(level * kBarMax / 256, 0, kBarMax - 1);
}

int LevelFromBarValue(int value) { return value * 256 / kBarMax; }

std::string SoundModeWord(int code) {
  static const std::array<const char*, 7> kWords = {"UNMUTE", "MUTE",   "MONO",    "STEREO",
                                                    "DUAL A", "DUAL B", "DUAL A+B"};
  if (code < -2 || code > 4) return {};
  return kWords[static_cast<size_t>(code + 2)];
}

int SoundModeTextX(int align, int pw, int tw, int outline) {
  if (align == 1) return (pw - tw) / 2;
  if (align == 2) return pw - tw - outline;
  return outline;
}

}  // namespace kv::osd
