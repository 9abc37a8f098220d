// Where each OSD element goes and how large it is, and the pixel arithmetic of its picture.
//
// All geometry is relative to the owner window of outer width W and height Hgt; positions are
// percent of W or Hgt, sizes percent of the reference height H0. Everything is integer
// arithmetic truncating toward zero. Plain C++ without Qt, so it is tested directly.
//
// Guard rails the stored values cannot break: the arithmetic runs in 64 bits, coordinates
// are clamped to +-kMaxCoordinate, and a panel is never larger than kMaxPanelExtent in
// either direction (a stray "MenuHeight=100000" must not allocate a gigabyte picture).
// A negative size gives an empty panel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "osd/osd_layout_values.h"

namespace kv::osd {

inline constexpr int kMaxPanelExtent = 8192;
inline constexpr int kMaxCoordinate = 1 << 20;
inline constexpr int kBarMax = 64;  // 64 steps; values 0..63

struct TOsdRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool Empty() const { return Width <= 0 || Height <= 0; }
  bool operator==(const TOsdRect&) const = default;
};

// H0 = min(Hgt, W * 3 div 4), both taken from the low 16 bits of the window size.
int ReferenceHeight(int W, int Hgt);

// The coordinate at which a box of `size` sits so that its point `align` (0 start,
// 1 centre, 2 end) is at `pos`: pos - size * align div 2.
int AlignedPos(int pos, int size, int align);

TOsdRect ClockRect(const TOsdLayoutValues& v, int W, int Hgt);
TOsdRect SoundModeRect(const TOsdLayoutValues& v, int W, int Hgt);
// `textLength`: characters of the message.
TOsdRect MessageRect(const TOsdLayoutValues& v, int W, int Hgt, int textLength);
TOsdRect BarRect(const TOsdLayoutValues& v, int W, int Hgt);
// Height of the status line (its font follows from it, and the width from the text).
int StatusHeight(const TOsdLayoutValues& v, int W, int Hgt);
// `textWidth`: pixel width of the text; `outline`: the outline offset of its font.
TOsdRect StatusRect(const TOsdLayoutValues& v, int W, int Hgt, int textWidth, int outline);
TOsdRect MenuRect(const TOsdLayoutValues& v, int W, int Hgt);

// Menu rows: row height r = Hgt * MenuItemSize div 100; the title band is r * 3 div 2
// high; row k starts at TitleBand + k * r. A row is drawn only while the picture is at least
// TitleBand + (k + 2) * r high, which leaves a margin of one row at the bottom.
int MenuRowHeight(const TOsdLayoutValues& v, int Hgt);
int MenuTitleBand(int rowHeight);
int MenuRowTop(int rowHeight, int row);
int MenuRowsThatFit(int pictureHeight, int rowHeight);

// Outline offset of a font of `points` points: ln(points / 5) rounded half to even,
// never negative (fonts of 5 points or less have no outline).
int OutlineOffset(int points);

// Every channel halved: (c >> 1) & 0x7F7F7F.
TColorRef DimColor(TColorRef c);

// One drawn step of the bar; fill covers [Left, Right) x [Top, Bottom); a step whose Left
// equals Right is a vertical line from (Left, Top) to (Left, Bottom) instead.
struct TBarStep {
  int Index = 0;  // 63 is the rightmost
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool IsLine() const { return Left == Right; }
};
// The 63 steps of a bar picture of pw x ph, rightmost (step 63) first; the label occupies
// the left 5 * ph pixels.
std::vector<TBarStep> BarSteps(int pw, int ph);

// Bar value stored for a reported level 0..255 (value * 64 div 256), and the level
// reported for a bar value (value * 256 div 64).
int BarValueFromLevel(int level);
int LevelFromBarValue(int value);

// The sound mode word for codes -2..4 ("UNMUTE", "MUTE", "MONO", "STEREO", "DUAL A",
// "DUAL B", "DUAL A+B"); empty for any other code.
std::string SoundModeWord(int code);
// x of the word in its picture: centred for alignment 1, right less the outline for 2,
// else the outline offset.
int SoundModeTextX(int align, int pw, int tw, int outline);

// Font sizes in points for a picture of height ph.
inline int ClockFontSize(int ph) { return ph * 9 / 15; }
inline int BarFontSize(int ph) { return ph * 2 / 3; }
inline int MenuTitleFontSize(int r) { return r * 5 / 7; }
inline int MenuItemFontSize(int r) { return r * 4 / 7; }

}  // namespace kv::osd
