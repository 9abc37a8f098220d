#include "subtitles/subtitle_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kv {
namespace {

int ClampInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

}  // namespace

int SubtitleFontSize(int windowWidth, int fontSize) {
  return ClampInt(std::int64_t{windowWidth} * fontSize / 1500);
}

int SubtitleOutlineOffset(int size) {
  if (size < 5) return 0;
  // nearbyint follows the current rounding mode, which is round-half-to-even by default.
  return static_cast<int>(std::nearbyint(std::log(static_cast<double>(size) / 5.0)));
}

int SubtitleLineCount(std::string_view text) {
  if (text.empty()) return 0;
  return static_cast<int>(std::count(text.begin(), text.end(), '|')) + 1;
}

std::string_view SubtitleLine(std::string_view text, int i) {
  if (i < 1 || text.empty()) return {};
  std::size_t end = text.size();
  for (int n = 1;; ++n) {
    const std::size_t bar = end == 0 ? std::string_view::npos : text.rfind('|', end - 1);
    const std::size_t begin = bar == std::string_view::npos ? 0 : bar + 1;
    if (n == i) return text.substr(begin, end - begin);
    if (bar == std::string_view::npos) return {};
    end = bar;
  }
}

int SubtitleWidth(std::string_view text, const std::function<int(std::string_view)>& measure) {
  int widest = 0;
  for (int i = 1;; ++i) {
    const std::string_view line = SubtitleLine(text, i);
    if (line.empty()) break;
    widest = std::max(widest, measure(line));
  }
  return widest;
}

TLineStyle ParseLineStyle(std::string_view line) {
  TLineStyle style;
  style.Text = line;
  if (line.empty() || line.front() != '{') return style;
  const std::size_t close = line.find('}');
  if (close == std::string_view::npos) return style;
  std::string tag(line.substr(1, close - 1));
  for (char& c : tag) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  style.Bold = tag == "y:b";
  style.Italic = tag == "y:i";
  style.Text = line.substr(close + 1);
  return style;
}

TStripRect BoxedStripRect(const TBoxedStripInput& in) {
  const std::int64_t size = in.Size;
  const int w = std::min(in.TextWidth, in.Video.Width - 2);
  TStripRect r;
  r.Width = ClampInt(w + size / 2);
  r.Height = ClampInt(std::int64_t{in.LineCount} * size * 140 / 100 + size / 3);
  r.Left = ClampInt((std::int64_t{in.WindowWidth} - w) / 2);
  if (in.EmptyText) {
    r.Top = ClampInt(std::int64_t{in.WindowHeight} + 10);
  } else if (!in.BlackBorder && in.Fullscreen) {
    r.Top = ClampInt(std::int64_t{in.Video.Top} + in.Video.Height - r.Height - size / 2);
  } else {
    r.Top = ClampInt(std::int64_t{in.WindowHeight} - r.Height - size / 2);
  }
  return r;
}

TStripRect TransparentStripRect(const TStripRect& video, int clientWidth, int clientHeight,
                                int fontSize, bool blackBorder) {
  TStripRect r;
  r.Left = ClampInt(std::int64_t{video.Left} + 2);
  r.Width = ClampInt(std::int64_t{video.Width} - 4);
  r.Height = ClampInt(std::int64_t{SubtitleFontSize(clientWidth, fontSize)} * 440 / 100);
  const std::int64_t gap = std::int64_t{clientWidth} * fontSize / 3000;
  const std::int64_t bottom =
      blackBorder ? std::int64_t{clientHeight} : std::int64_t{video.Top} + video.Height;
  r.Top = ClampInt(bottom - r.Height - gap);
  return r;
}

int KeyColouredRows(const TStripRect& video, const TStripRect& strip) {
  const std::int64_t b = std::int64_t{video.Top} + video.Height - strip.Top;
  return ClampInt(std::clamp<std::int64_t>(b, 0, std::max(strip.Height, 0)));
}

int SubtitleLineTop(int stripHeight, int size, int i) {
  return ClampInt(std::int64_t{stripHeight} - std::int64_t{size} * i * 140 / 100 - size / 4);
}

int SubtitleLineLeft(int stripWidth, int lineWidth) {
  return ClampInt((std::int64_t{stripWidth} - lineWidth) / 2);
}

}  // namespace kv
