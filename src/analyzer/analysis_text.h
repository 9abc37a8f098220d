// The analyzer's texts: time and yes/no texts, the frame information grid's two columns,
// and the comma-separated table file (".cvs") that the window and the command-line batch
// both write with WriteTable, so that their files are the same byte for byte.
//
// Pure logic (no Qt); numbers are formatted without the locale. Any thread; WriteTable
// reads the table from the reading thread's side (TFrameTable::Count, Entry).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "analyzer/frame_table.h"

namespace kv {

// H:MM:SS.mmm of a time in 100 ns units (hours unpadded), e.g. 0:01:05.040.
std::string FormatRefTime(int64_t t);
inline const char* YesNo(bool v) { return v ? "Y" : "N"; }

// The frame information grid: 13 rows; column 0 holds the row names.
inline constexpr int kFrameInfoRows = 13;
extern const std::array<const char*, kFrameInfoRows> kFrameInfoRowNames;

// Column "Current" for frame i (rows 1..12; row 0 and row 7 empty).
std::array<std::string, kFrameInfoRows> FrameInfoColumn(int32_t i, const TFrameEntry& e);
// Column "Total" (rows 1, 2, 3, 6, 7, 11, 12; the others empty).
std::array<std::string, kFrameInfoRows> TotalsColumn(const TFrameTotals& t);
// Bits per second over the table, -1 when the times do not span any time.
int64_t TableBitrate(const TFrameTotals& t);

// The file's first line (without the line end) and one frame's line (without it).
extern const char* const kTableHeader;
std::string TableLine(const TFrameEntry& e);

// Writes the table to path (created or overwritten), lines ended by CR LF. False with a
// reason in *error when the file cannot be written; nothing is written when the table is
// empty (the caller says "No frames to save").
bool WriteTable(const TFrameTable& table, const std::string& path, std::string* error);

// Whether a media format name (the compressed video's) is one whose samples the MPEG
// merge rule applies to: "MPEG-1" or "MPEG-2".
bool IsMPEGFormatName(const std::string& name);

// Where the ".cvs" of a media file goes: the media file's name with the extension
// changed, or, when that folder cannot be written, the same file name in fallbackDir (the
// user's data folder).
std::string TableFileFor(const std::string& mediaFile, const std::string& fallbackDir);

}  // namespace kv
