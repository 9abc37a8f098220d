// Fuzzes the time and number texts. A time that reads must survive being written and read
// again in the millisecond form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::uint32_t ms = kv::ParseTime(text);
  if (ms != kv::kUnreadableTime) {
    if (kv::ParseTime(kv::FormatTime(ms, kv::TTimeForm::Milliseconds)) != ms) std::abort();
    const std::uint32_t hundredths = ms - ms % 10;
    if (kv::ParseTime(kv::FormatTime(ms, kv::TTimeForm::Hundredths)) != hundredths) std::abort();
  }
  (void)kv::FrameTime(text, 23.976);
  (void)kv::ParseDecimalNumber(text);
  (void)kv::IntegerTextScanLength(text);
  (void)kv::SubtitleCutLength(text);
  return 0;
}
