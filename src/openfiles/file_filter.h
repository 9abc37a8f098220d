// The file filter of the open-files dialog: the filter string built from the component
// catalogue, its "caption|masks|caption|masks..." pairs, and the mask test of a file name.
// Pure logic, no Qt; any thread.
#pragma once

#include <string>
#include <vector>

namespace kv {

struct TCatalogue;

// The dialog's filter string, in its fixed order: all supported media, all video, all audio,
// the catalogue's per-container pairs (video, then audio), subtitles, all files.
std::string OpenFilesFilter(const TCatalogue& catalogue);

struct TFilterEntry {
  std::string caption;
  std::string masks;  // ";"-separated wildcard masks, e.g. "*.avi;*.mkv"
};

// Splits a filter string into caption/mask pairs; empty segments are kept as they stand, a
// caption without masks at the end is dropped.
std::vector<TFilterEntry> ParseFilter(const std::string& filter);

// True when `fileName` (no folder) matches one of the ";"-separated masks. "*" and "?" are
// wildcards, letters compare case-insensitively (ASCII), "*.*" matches every name (also one
// without a dot), an empty mask list matches nothing.
bool MatchesMasks(const std::string& fileName, const std::string& masks);

}  // namespace kv
