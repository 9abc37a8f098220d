#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"

namespace kv {

namespace {

// 1-based character test, as the layout rules count positions.
bool CharAt(std::string_view line, std::size_t position, char c) {
  return position >= 1 && position <= line.size() && line[position - 1] == c;
}

}  // namespace

int FormatFromExtension(std::string_view fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot == std::string_view::npos) return sfNone;
  const std::string_view extension = base.substr(dot);
  if (EqualsNoCase(extension, ".AQT")) return sfAQTitle;
  // ".ass" (Advanced SubStation) is the common modern form of ".ssa" and reads the same way.
  if (EqualsNoCase(extension, ".SSA") || EqualsNoCase(extension, ".ASS")) return sfSubStation;
  return sfNone;
}

int FormatFromFirstLine(std::string_view line) {
  if (line.starts_with('{')) return sfMicroDVD;
  if ((line.size() > 8 && CharAt(line, 3, ':') && CharAt(line, 6, ':') && CharAt(line, 9, '.')) ||
      line.starts_with('[')) {
    return sfSubViewer;
  }
  if (line.size() > 12 && CharAt(line, 12, '\t')) return sfTabbed;
  if (line.size() > 7 && CharAt(line, 2, ':') && CharAt(line, 5, ':') && CharAt(line, 8, ':')) {
    return sfTimedLines;
  }
  if (line.size() > 8 && CharAt(line, 3, ':') && CharAt(line, 6, ':') && CharAt(line, 9, ':')) {
    return sfTimedLines;
  }
  const auto number = ParseIntegerText(line);
  if (number && *number >= 0) return sfSubRip;
  return sfNone;
}

int FormatFromContents(TSubtitleTextFile& in) {
  std::string line;
  while (in.ReadLine(line)) {
    if (!line.empty()) return FormatFromFirstLine(line);
  }
  return sfNone;
}

}  // namespace kv
