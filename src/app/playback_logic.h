// The arithmetic of the playback commands, kept apart from the window so it can be tested
// directly: the status line text, the relative seeks and the rate check marks.
#pragma once

#include <cstdint>
#include <string>

namespace kv::playback {

// Engine states as the status line knows them (same numbers as TPlayState).
enum State : int { kNone = 0, kRunning = 1, kOpened = 2, kPaused = 3, kStopped = 4, kEmpty = 5 };

// H:MM:SS from milliseconds, hours without leading zero; negative times count as 0.
std::string FormatHMS(int32_t ms);

// "PLAY 0:01:05 12%", "OPEN", "PAUSE ...", "STP 1:30:00", or empty.
std::string StatusText(int state, int32_t positionMs, int32_t durationMs);

// The position a forward seek of stepMs goes to, or -1 when it would pass the end.
int32_t ForwardTarget(int32_t positionMs, int32_t durationMs, int32_t stepMs);
// The position a backward seek goes to (never below 0).
int32_t BackTarget(int32_t positionMs, int32_t stepMs);

// The tag of the rate item that a rate checks: Round(rate x 100), half to even.
int32_t RateTag(double rate);

// The capture file name for a local time: YYMMDD-hhmmsscc (cc = hundredths).
std::string CaptureName(int year, int month, int day, int hour, int minute, int second, int ms);

// The open dialog's filter in the "Name|*.a;*.b|Name|*.c" form turned into Qt's
// "Name (*.a *.b);;Name (*.c)" form; "*.*" becomes "*". A pair without masks is dropped.
std::string QtFileFilter(const std::string& windowsFilter);

}  // namespace kv::playback
