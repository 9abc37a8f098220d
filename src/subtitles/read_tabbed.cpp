// Reader, code 7 (tabbed): "hh:mm:ss:cc TAB hh:mm:ss:cc TAB text" with "<p>" between lines;
// a line that does not start with a time continues the entry before it.
#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

// A time field: ":" at 3, 6 and 9 and a readable time.
std::uint32_t TimeField(std::string_view field) {
  if (field.size() < 9 || field[2] != ':' || field[5] != ':' || field[8] != ':') return kUnreadableTime;
  return ParseTime(field);
}

std::string Paragraphs(std::string_view text) { return ReplaceAll(text, "<p>", "|", true); }

}  // namespace

void ReadTabbed(TSubtitleTextFile& in, TSubTitles& list) {
  std::string line;
  std::size_t current = 0;  // index of the current entry + 1; 0 for none
  while (in.HasMoreLines()) {
    in.ReadLine(line);
    std::string_view s = line;
    const std::size_t firstTab = s.find('\t');
    const std::uint32_t start = firstTab == kNpos ? kUnreadableTime : TimeField(s.substr(0, firstTab));
    if (start == kUnreadableTime) {
      if (current > 0) {
        TSubTitleItem& item = list.Items[current - 1];
        item.AppendText("|");
        item.AppendText(Paragraphs(s));
      }
      continue;
    }
    s.remove_prefix(firstTab + 1);
    const std::size_t secondTab = s.find('\t');
    const std::uint32_t stop = secondTab == kNpos ? kUnreadableTime : TimeField(s.substr(0, secondTab));
    if (stop == kUnreadableTime) {
      current = 0;
      continue;
    }
    s.remove_prefix(secondTab + 1);
    TSubTitleItem item;
    item.Start = start;
    item.Stop = stop;
    item.SetText(Paragraphs(s));
    list.Items.push_back(std::move(item));
    current = list.Items.size();
  }
}

}  // namespace kv
