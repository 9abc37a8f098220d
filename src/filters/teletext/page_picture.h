// Turning a formatted teletext page into what the decoder shows and saves: the picture
// (libzvbi's vbi_draw_vt_page_region, 12 x 10 pixels a character cell) with its opacity,
// and the page as 25 lines of text.
//
// Opacity: cells libzvbi marks as transparent space (outside the boxes of subtitle and
// newsflash pages) are always see-through; in transparent mode the background of every
// other unboxed cell is keyed out too, leaving the characters over the video. Pure
// functions over a vbi_page; no threads of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct vbi_page;

namespace kv::teletext {

inline constexpr int kColumns = 40;
inline constexpr int kRows = 25;
inline constexpr int kCellWidth = 12;
inline constexpr int kCellHeight = 10;
inline constexpr int kPageWidth = kColumns * kCellWidth;   // 480
inline constexpr int kPageHeight = kRows * kCellHeight;    // 250

// A picture of kPageWidth x kPageHeight, top row first, 4 bytes a pixel in memory order
// blue, green, red, opacity (0 transparent, 255 opaque).
struct TPagePicture {
  std::vector<uint8_t> bgra;
  uint8_t* Pixel(int x, int y) { return &bgra[(static_cast<size_t>(y) * kPageWidth + x) * 4]; }
  const uint8_t* Pixel(int x, int y) const { return &bgra[(static_cast<size_t>(y) * kPageWidth + x) * 4]; }
};

// Writes the page label ("P100", "P1--") into columns 0..7 of the header row.
void LabelHeader(vbi_page* page, const std::string& label);
// A page of spaces whose header shows the label and the header text (32 characters) of
// the latest header received: what is shown while the chosen page has not arrived.
void MakeSearchingPage(vbi_page* page, const std::string& label, const std::string& header);
TPagePicture DrawPage(vbi_page* page, bool transparent);
// The page's 25 rows of 40 characters, UTF-8; attributes and mosaic cells as spaces.
std::vector<std::string> PageText(const vbi_page* page);
// The cell's colours as 0xRRGGBB (for the HTML file).
uint32_t CellForeground(const vbi_page* page, int column, int row);
uint32_t CellBackground(const vbi_page* page, int column, int row);

}  // namespace kv::teletext
