// The readers of the seven subtitle layouts and the layout detection, over a line source.
//
// Each reader reads `in` from its current position to the end and appends the entries it
// keeps to list.Items, using list.Framerate (the code 2 reader may change it from a
// framerate line) and list.StripCodes. ReadSubtitleLayout is the common frame around them:
// it sets list.Format, empties list.Items, runs the reader and reports whether any entry was
// kept. TSubTitles opens the file; tests and fuzzers hand in text from memory.
#pragma once

#include <string_view>

#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_textfile.h"

namespace kv {

// Sets list.Format = format, empties list.Items and runs that layout's reader. True when at
// least one entry was kept. A format without a reader (0, 100, unknown) reads nothing.
bool ReadSubtitleLayout(int format, TSubtitleTextFile& in, TSubTitles& list);

void ReadSubRip(TSubtitleTextFile& in, TSubTitles& list);
void ReadMicroDVD(TSubtitleTextFile& in, TSubTitles& list);
void ReadAQTitle(TSubtitleTextFile& in, TSubTitles& list);
void ReadSubViewer(TSubtitleTextFile& in, TSubTitles& list);
void ReadTimedLines(TSubtitleTextFile& in, TSubTitles& list);
void ReadSubStation(TSubtitleTextFile& in, TSubTitles& list);
void ReadTabbed(TSubtitleTextFile& in, TSubTitles& list);

// Detection. The extension alone decides ".aqt" (code 3) and ".ssa"/".ass" (code 6);
// otherwise 0.
int FormatFromExtension(std::string_view fileName);
// The layout the first non-empty line of a file announces (rules in order), 0 for none.
int FormatFromFirstLine(std::string_view line);
// Reads `in` up to its first non-empty line and applies FormatFromFirstLine; 0 when every
// line is empty.
int FormatFromContents(TSubtitleTextFile& in);

}  // namespace kv
