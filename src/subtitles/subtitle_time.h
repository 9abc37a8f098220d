// Time texts of the subtitle layouts: reading "h:mm:ss.cc"-style times, writing them back,
// and turning frame numbers into milliseconds. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The time value that marks a time that could not be read (all bits set).
inline constexpr std::uint32_t kUnreadableTime = 0xFFFFFFFFu;

// Reads "hours:minutes:seconds<sep>fraction" where <sep> is the first ".", else the first
// ",", else the first ":" after the minutes; a fraction of two characters is hundredths,
// of three milliseconds. Each part must be integer text. Returns milliseconds, or
// kUnreadableTime when the text breaks a rule or the time falls outside 0..4294967294.
std::uint32_t ParseTime(std::string_view text);

enum class TTimeForm {
  Milliseconds,  // 01:02:03,045
  Hundredths,    // 01:02:03:04
};

// Writes hh:mm:ss followed by ",mmm" or ":cc"; hours above 99 take more digits.
std::string FormatTime(std::uint32_t milliseconds, TTimeForm form);

// Milliseconds of frame `frameText` at `framerate` frames per second: n x 1000 / framerate
// rounded half to even, computed in 64 bits. Empty result when the text is not integer text,
// the number is negative, or the rate is not a positive finite number; kUnreadableTime when
// the time does not fit in 32 bits.
std::optional<std::uint32_t> FrameTime(std::string_view frameText, double framerate);

// `start` + `duration`, held at kUnreadableTime instead of wrapping past 32 bits.
std::uint32_t TimeAfter(std::uint32_t start, std::uint32_t duration);

}  // namespace kv
