// kavello-subconv [--fps N] [--offset MS] [--to srt|tabbed|msdump] IN OUT
//
// Reads IN in any of the seven subtitle layouts (style codes stripped), reads frame-numbered
// files at N frames per second (a framerate line in the file wins), moves every time by MS
// milliseconds and writes OUT as SubRip (default), the tabbed layout or the millisecond dump.
// Exit codes: 0 written; 1 bad arguments or OUT not written; 2 IN unreadable, not a subtitle
// file, or without entries. Errors are one line on the error stream.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "subtitles/Subtitl.h"

namespace kv::subconv {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitNoSubtitles = 2;

struct TOptions {
  std::optional<double> framerate;
  std::int32_t offset = 0;
  int format = sfSubRip;
  std::string input;
  std::string output;
  bool help = false;
};

// Reads the arguments (without the program name). Empty result and `error` set when they are
// not understood.
std::optional<TOptions> ParseArguments(const std::vector<std::string>& args, std::string& error);

// Moves every readable time by `offset` ms, holding at 0 and below the unreadable mark;
// entries that end before zero are removed.
void ShiftTimes(TSubTitles& list, std::int32_t offset);

// Performs the conversion; returns the exit code and writes any error line to `err`.
int Convert(const TOptions& options, std::ostream& err);

std::string Usage();

}  // namespace kv::subconv
