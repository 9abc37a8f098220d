// A writer of MPEG transport streams that carry DVB teletext, for the teletext tests.
//
// What it writes: PAT, PMT (with the teletext descriptor 0x56 on the teletext stream), PCR,
// and packetised elementary streams: MPEG-2 video and MPEG-1 Layer II audio made by the
// ffmpeg tool (optional each), and a DVB teletext stream (EN 300 472 data units, 42-byte
// packets with Hamming 8/4 addresses, odd-parity text, bit order reversed as DVB sends it)
// that repeats a cycle of the given pages over the whole duration.
// Threads: none of its own; plain functions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::test {

struct TTeletextPageText {
  int page = 0x100;                  // BCD-like page number (magazine 1..8, 0x100..0x8FF)
  std::string header;                // header text (columns 8..39), at most 32 characters
  std::vector<std::string> rows;     // rows 1..24, at most 40 bytes each (teletext codes)
};

struct TTsWriterOptions {
  bool video = true;
  bool audio = true;
  bool teletextFirst = false;  // the teletext stream listed first in the PMT
  double seconds = 6.0;
  std::vector<TTeletextPageText> pages;
};

// The three pages the tests expect: 100, 101 (a second page), 102 (coloured rows) and 200.
std::vector<TTeletextPageText> StandardPages();

// Teletext codes of the two coloured rows of page 102.
inline constexpr char kAlphaRed = 0x01;
inline constexpr char kAlphaYellow = 0x03;

// One 42-byte teletext packet in transmission order (bit 0 first, as libzvbi takes it).
std::array<uint8_t, 42> HeaderPacket(int page, int subpage, const std::string& header);
std::array<uint8_t, 42> RowPacket(int magazine, int row, const std::string& text);

// Writes the stream to path; temporary elementary streams go beside it. False with a
// message on stderr when ffmpeg or the file fails.
bool WriteTeletextTs(const std::string& path, const TTsWriterOptions& options);

}  // namespace kv::test
