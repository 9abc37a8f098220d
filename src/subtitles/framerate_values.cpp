#include "subtitles/framerate_values.h"

#include <algorithm>
#include <limits>

#include "subtitles/subtitle_text.h"

namespace kv {

std::int32_t FramerateOffsetMs(std::int32_t seconds, std::int32_t tenths) {
  const std::int64_t whole = std::int64_t{seconds} * 1000;
  const std::int64_t part = std::int64_t{tenths} * 100;
  const std::int64_t ms = seconds >= 0 ? whole + part : whole - part;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      ms, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::optional<double> ParseFramerateText(std::string_view text) {
  return ParseDecimalNumber(text);
}

}  // namespace kv
