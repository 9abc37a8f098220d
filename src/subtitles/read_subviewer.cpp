// Reader, code 4 (SubViewer): a line "hh:mm:ss.cc,hh:mm:ss.cc", then one text line with
// "[br]" between lines. Header lines (in brackets) fall out of the time test.
#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

bool IsTimeField(std::string_view field) {
  return field.size() == 11 && field[2] == ':' && field[5] == ':' && field[8] == '.';
}

// "[br]" becomes "|", spaces next to a "|" go, and so do leading "|".
std::string SubViewerText(std::string_view line) {
  const std::string broken = ReplaceAll(line, "[br]", "|");
  std::string text;
  text.reserve(broken.size());
  for (char c : broken) {
    if (c == '|') {
      while (!text.empty() && text.back() == ' ') text.pop_back();
    } else if (c == ' ' && !text.empty() && text.back() == '|') {
      continue;
    }
    text.push_back(c);
  }
  const std::size_t first = text.find_first_not_of('|');
  return first == std::string::npos ? std::string{} : text.substr(first);
}

}  // namespace

void ReadSubViewer(TSubtitleTextFile& in, TSubTitles& list) {
  std::string line;
  while (in.HasMoreLines()) {
    in.ReadLine(line);
    if (line.size() < 3 || line[2] != ':') continue;
    const std::string_view s = line;
    const std::string_view a = s.substr(0, 11);
    const std::string_view b = s.size() > 12 ? s.substr(12, 11) : std::string_view{};
    if (!IsTimeField(a) || !IsTimeField(b)) continue;
    TSubTitleItem item;
    item.Start = ParseTime(a);
    item.Stop = ParseTime(b);
    item.SetText(SubViewerText(in.ReadLine()));
    if (!item.Text().empty() && item.Start != kUnreadableTime && item.Stop != kUnreadableTime) {
      list.Items.push_back(std::move(item));
    }
  }
}

}  // namespace kv
