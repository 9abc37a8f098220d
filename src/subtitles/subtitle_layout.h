// The arithmetic of the subtitle strip: font size from the window width, where the strip sits
// in its two modes (a key-coloured band over the picture, or a black box around the text),
// where each line goes, the outline offset, the "{y:b}"/"{y:i}" line styles and the "|"
// line functions. Plain integer arithmetic, no toolkit: the strip widget (subtitle_strip.h)
// feeds it pixel widths and applies the rectangles. Pure functions; any thread.
//
// All divisions truncate toward zero, as the sizes are pixel counts of a window; products
// are formed in 64 bits so that absurd settings cannot overflow.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kv {

struct TStripRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TStripRect&) const = default;
};

// Point size of the subtitle font: window width × FontSize div 1500. A window 1500 pixels
// wide shows FontSize points.
int SubtitleFontSize(int windowWidth, int fontSize);

// Outline offset for a font of `size` points: ln(size ÷ 5) rounded half to even. Sizes below
// 5 points give 0 (a negative offset would only draw a wider outline around a tiny text).
int SubtitleOutlineOffset(int size);

// 0 for the empty text, else the number of "|" plus 1.
int SubtitleLineCount(std::string_view text);
// Line `i` counted from the end (1 = last line); empty when the text has fewer lines.
std::string_view SubtitleLine(std::string_view text, int i);

// Largest `measure`(line) over SubtitleLine(1), (2), ... up to the first empty line.
int SubtitleWidth(std::string_view text, const std::function<int(std::string_view)>& measure);

// A line with its leading style tag taken off: "{y:b}" bold, "{y:i}" italic (any case),
// any other "{...}" plain; a line without a closing "}" stays as it is.
struct TLineStyle {
  bool Bold = false;
  bool Italic = false;
  std::string_view Text;
};
TLineStyle ParseLineStyle(std::string_view line);

// The black box of the opaque mode around a text of `textWidth` pixels and `lineCount` lines.
// The window sizes are the main window's outer size; `video` is the video area in client
// coordinates. An empty text moves the box out of sight below the window.
struct TBoxedStripInput {
  int TextWidth = 0;
  int LineCount = 0;
  int Size = 0;  // SubtitleFontSize
  int WindowWidth = 0;
  int WindowHeight = 0;
  TStripRect Video;
  bool BlackBorder = false;
  bool Fullscreen = false;
  bool EmptyText = false;
};
TStripRect BoxedStripRect(const TBoxedStripInput& in);

// The band of the transparent mode, placed on every resize: the video area's width less
// 2 pixels each side, 4.4 font heights tall, near the video's bottom or, with BlackBorder,
// near the client area's bottom.
TStripRect TransparentStripRect(const TStripRect& video, int clientWidth, int clientHeight,
                                int fontSize, bool blackBorder);

// Transparent with BlackBorder: rows of the strip above this one show the video (key
// colour), rows from it down are black. Clamped to 0..strip height.
int KeyColouredRows(const TStripRect& video, const TStripRect& strip);

// Top of line i (1 = bottom line) inside a strip `stripHeight` tall.
int SubtitleLineTop(int stripHeight, int size, int i);
// Left of a line `lineWidth` pixels wide centred in a strip `stripWidth` wide.
int SubtitleLineLeft(int stripWidth, int lineWidth);

}  // namespace kv
