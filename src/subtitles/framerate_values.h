// The two values the framerate dialog collects, as numbers: the frame rate typed in its box
// and the offset from its seconds and tenths. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Offset in milliseconds: the tenths carry the sign of the seconds, so -2 s and 5 tenths
// give -2500 and 0 s and 5 tenths give +500. Held inside the 32-bit range.
std::int32_t FramerateOffsetMs(std::int32_t seconds, std::int32_t tenths);

// The frame rate text read as a decimal number with "." as the decimal point; empty when the
// text is not such a number ("23,976" is not).
std::optional<double> ParseFramerateText(std::string_view text);

}  // namespace kv
