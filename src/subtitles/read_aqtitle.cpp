// Reader, code 3 (AQTitle): a marker line "-->> frame" starts an entry, its text lines
// follow, and the next marker both ends it and starts the next one.
#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

constexpr std::string_view kMarker = "-->> ";
constexpr std::uint32_t kOpenEndDuration = 5000;

bool IsMarker(std::string_view line) { return line.starts_with(kMarker); }

std::string_view AfterMarker(std::string_view line) {
  return line.size() > kMarker.size() ? line.substr(kMarker.size()) : std::string_view{};
}

}  // namespace

void ReadAQTitle(TSubtitleTextFile& in, TSubTitles& list) {
  std::string marker;  // the current line M
  while (marker.empty() && in.HasMoreLines()) in.ReadLine(marker);

  std::string line;
  while (in.HasMoreLines()) {
    if (marker.size() <= kMarker.size() || !IsMarker(marker)) {
      in.ReadLine(marker);
      continue;
    }
    TSubTitleItem item;
    if (const auto start = FrameTime(AfterMarker(marker), list.Framerate)) item.Start = *start;

    bool anyLine = false;
    do {
      in.ReadLine(line);
      if (!line.empty() && !IsMarker(line)) {
        if (anyLine) item.AppendText("|");
        item.AppendText(line);
        anyLine = true;
      }
    } while (!IsMarker(line) && in.HasMoreLines());

    // The stop frame is read from the marker that ended the text. A text that runs to the end
    // of the file has no such marker, so its last line is not taken for one.
    const std::string_view stopFrame = IsMarker(line) ? AfterMarker(line) : std::string_view{};
    const auto stop = FrameTime(stopFrame, list.Framerate);
    if (stopFrame == "999999" || stopFrame == "99999999" || !stop) {
      item.Stop = TimeAfter(item.Start, kOpenEndDuration);
    } else {
      item.Stop = *stop;
    }
    marker = line;
    if (!item.Text().empty()) list.Items.push_back(std::move(item));
  }
}

}  // namespace kv
