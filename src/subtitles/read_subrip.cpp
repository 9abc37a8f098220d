// Reader, code 1 (SubRip):
//   1
//   00:00:01,500 --> 00:00:03,250
//   text line
//   text line
//   (blank line)
#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

constexpr std::string_view kArrow = " --> ";

bool HasArrow(std::string_view line) { return line.find(kArrow) != std::string_view::npos; }

// A time of the time line: exactly 12 characters, ":" at 3 and 6, "," or "." at 9.
bool IsTimeField(std::string_view field) {
  return field.size() == 12 && field[2] == ':' && field[5] == ':' && (field[8] == ',' || field[8] == '.');
}

std::string_view Characters(std::string_view line, std::size_t first, std::size_t count) {
  return first - 1 < line.size() ? line.substr(first - 1, count) : std::string_view{};
}

// Reads lines into `line` until one holds the arrow or the file ends.
void SkipToTimeLine(TSubtitleTextFile& in, std::string& line) {
  while (in.HasMoreLines()) {
    in.ReadLine(line);
    if (HasArrow(line)) return;
  }
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

void StripStyleTags(TSubTitleItem& item) {
  if (item.Text().find('<') == std::string::npos) return;
  std::string text = item.Text();
  for (std::string_view tag : {"<b>", "<i>", "<u>", "</b>", "</i>", "</u>"}) {
    text = ReplaceAll(text, tag, "", true);
  }
  item.SetText(text);
}

}  // namespace

void ReadSubRip(TSubtitleTextFile& in, TSubTitles& list) {
  std::string current;  // the time line of the entry being read (S)
  SkipToTimeLine(in, current);
  std::string line;
  while (in.HasMoreLines()) {
    const std::string_view a = Characters(current, 1, 12);
    const std::string_view b = Characters(current, 18, 12);
    if (!IsTimeField(a) || !IsTimeField(b)) {
      in.ReadLine(current);
      if (!HasArrow(current)) SkipToTimeLine(in, current);
      continue;
    }
    TSubTitleItem item;
    item.Start = ParseTime(a);
    item.Stop = ParseTime(b);

    // Gather the text up to a blank line or, when blank lines are missing, the next time line.
    bool endedAtTimeLine = false;
    std::size_t lengthBeforeLastLine = 0;
    bool anyLine = false;
    while (in.HasMoreLines()) {
      in.ReadLine(line);
      const std::string_view trimmed = TrimSpaces(line);
      if (trimmed.empty()) break;
      if (HasArrow(trimmed)) {
        endedAtTimeLine = true;
        current.assign(trimmed);
        break;
      }
      lengthBeforeLastLine = item.Text().size();
      if (anyLine) item.AppendText("|");
      item.AppendText(trimmed);
      anyLine = true;
    }
    if (endedAtTimeLine) {
      // The last gathered line is the next entry's number: drop it and the "|" before it.
      std::string text = item.Text();
      if (text.size() > lengthBeforeLastLine) text.resize(lengthBeforeLastLine);
      item.SetText(text);
    } else {
      SkipToTimeLine(in, current);
    }
    if (list.StripCodes) StripStyleTags(item);
    if (!item.Text().empty() && item.Start != kUnreadableTime && item.Stop != kUnreadableTime) {
      list.Items.push_back(std::move(item));
    }
  }
}

}  // namespace kv
