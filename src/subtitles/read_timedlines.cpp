// Reader, code 5 (timed lines): "h:mm:ss:text", one entry per line; an entry lasts until the
// next valid line starts, the last one five seconds.
#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

constexpr std::uint32_t kLastEntryDuration = 5000;

// The start of a timed line, or kUnreadableTime when the sum leaves the 32-bit range.
std::uint32_t LineStart(std::int32_t hours, std::int32_t minutes, std::int32_t seconds) {
  const std::int64_t ms = std::int64_t{hours} * 3600000 + std::int64_t{minutes} * 60000 + std::int64_t{seconds} * 1000;
  return ms < 0 || ms >= kUnreadableTime ? kUnreadableTime : static_cast<std::uint32_t>(ms);
}

}  // namespace

void ReadTimedLines(TSubtitleTextFile& in, TSubTitles& list) {
  std::string line;
  std::size_t lastKept = 0;      // index of the last kept entry + 1; 0 for none
  bool lastStopSet = false;      // whether a later line has ended it
  while (in.HasMoreLines()) {
    in.ReadLine(line);
    const std::string_view s = line;
    const std::size_t first = s.find(':');
    if (first == std::string_view::npos) continue;
    const std::size_t second = s.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    // A line without a third ":" has no text; it may still end the entry before it.
    const std::size_t third = s.find(':', second + 1);
    const std::string_view h = s.substr(0, first);
    const std::string_view m = s.substr(first + 1, second - first - 1);
    const std::string_view sec = s.substr(second + 1, third == std::string_view::npos ? std::string_view::npos : third - second - 1);
    const std::string_view text = third == std::string_view::npos ? std::string_view{} : s.substr(third + 1);
    const auto hours = h.size() <= 2 ? ParseIntegerText(h) : std::nullopt;
    const auto minutes = m.size() <= 2 ? ParseIntegerText(m) : std::nullopt;
    const auto seconds = ParseIntegerText(sec);
    if (!hours || !minutes || !seconds) continue;

    TSubTitleItem item;
    item.Start = LineStart(*hours, *minutes, *seconds);
    if (lastKept > 0) {
      list.Items[lastKept - 1].Stop = item.Start;
      lastStopSet = true;
    }
    item.SetText(text);
    if (!item.Text().empty()) {
      list.Items.push_back(std::move(item));
      lastKept = list.Items.size();
      lastStopSet = false;
    }
  }
  if (lastKept > 0 && !lastStopSet) {
    TSubTitleItem& last = list.Items[lastKept - 1];
    last.Stop = TimeAfter(last.Start, kLastEntryDuration);
  }
}

}  // namespace kv
