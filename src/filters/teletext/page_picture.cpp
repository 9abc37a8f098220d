#include "filters/teletext/page_picture.h"

#include <libzvbi.h>

#include <cstring>

namespace kv::teletext {

namespace {

// 0xAABBGGRR, libzvbi's colour map layout.
constexpr vbi_rgba kStandardColours[8] = {0xFF000000, 0xFF0000FF, 0xFF00FF00, 0xFF00FFFF,
                                          0xFFFF0000, 0xFFFF00FF, 0xFFFFFF00, 0xFFFFFFFF};

void AppendUtf8(std::string& out, unsigned c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

uint32_t ToRgb(vbi_rgba c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

void PutText(vbi_page* page, int row, int column, const std::string& text) {
  for (size_t i = 0; i < text.size() && column + static_cast<int>(i) < kColumns; ++i) {
    vbi_char& cell = page->text[row * page->columns + column + static_cast<int>(i)];
    cell.unicode = static_cast<unsigned char>(text[i]);
  }
}

}  // namespace

void LabelHeader(vbi_page* page, const std::string& label) {
  if (!page || page->rows < 1 || page->columns < 8) return;
  for (int c = 0; c < 8; ++c) {
    vbi_char& cell = page->text[c];
    cell = vbi_char{};
    cell.unicode = ' ';
    cell.foreground = VBI_WHITE;
    cell.background = VBI_BLACK;
    cell.opacity = VBI_OPAQUE;
    cell.size = VBI_NORMAL_SIZE;
  }
  PutText(page, 0, 1, label);
}

void MakeSearchingPage(vbi_page* page, const std::string& label, const std::string& header) {
  std::memset(page, 0, sizeof(vbi_page));
  page->rows = kRows;
  page->columns = kColumns;
  for (int i = 0; i < 8; ++i) page->color_map[i] = kStandardColours[i];
  page->screen_color = VBI_BLACK;
  page->screen_opacity = VBI_OPAQUE;
  for (int i = 0; i < kRows * kColumns; ++i) {
    vbi_char& cell = page->text[i];
    cell.unicode = ' ';
    cell.foreground = VBI_WHITE;
    cell.background = VBI_BLACK;
    cell.opacity = VBI_OPAQUE;
  }
  LabelHeader(page, label);
  PutText(page, 0, 8, header);
  for (int c = 8; c < kColumns; ++c) page->text[c].foreground = VBI_GREEN;  // a header that is searching
}

TPagePicture DrawPage(vbi_page* page, bool transparent) {
  TPagePicture picture;
  picture.bgra.assign(static_cast<size_t>(kPageWidth) * kPageHeight * 4, 0);
  if (!page || page->rows < kRows || page->columns < kColumns) return picture;
  std::vector<uint8_t> rgba(picture.bgra.size());
  vbi_draw_vt_page_region(page, VBI_PIXFMT_RGBA32_LE, rgba.data(), kPageWidth * 4, 0, 0, kColumns, kRows, 0, 1);
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const vbi_char& cell = page->text[row * page->columns + column];
      const vbi_rgba bg = page->color_map[cell.background % 40];
      const uint8_t bgR = bg & 0xFF, bgG = (bg >> 8) & 0xFF, bgB = (bg >> 16) & 0xFF;
      for (int y = row * kCellHeight; y < (row + 1) * kCellHeight; ++y) {
        for (int x = column * kCellWidth; x < (column + 1) * kCellWidth; ++x) {
          const uint8_t* s = &rgba[(static_cast<size_t>(y) * kPageWidth + x) * 4];
          uint8_t* d = picture.Pixel(x, y);
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          const bool background = s[0] == bgR && s[1] == bgG && s[2] == bgB;
          uint8_t alpha = 255;
          switch (cell.opacity) {
            case VBI_TRANSPARENT_SPACE: alpha = 0; break;
            case VBI_TRANSPARENT_FULL: alpha = background ? 0 : 255; break;
            case VBI_SEMI_TRANSPARENT: alpha = 255; break;  // a box: stays readable
            default: alpha = transparent && background ? 0 : 255; break;
          }
          d[3] = alpha;
        }
      }
    }
  }
  return picture;
}

std::vector<std::string> PageText(const vbi_page* page) {
  std::vector<std::string> lines;
  if (!page) return lines;
  for (int row = 0; row < kRows && row < page->rows; ++row) {
    std::string line;
    for (int column = 0; column < kColumns && column < page->columns; ++column) {
      unsigned c = page->text[row * page->columns + column].unicode;
      if (c < 0x20 || c == 0x7F || vbi_is_drcs(c) || (c >= 0xEE00 && c <= 0xEFFF)) c = ' ';
      AppendUtf8(line, c);
    }
    lines.push_back(line);
  }
  return lines;
}

uint32_t CellForeground(const vbi_page* page, int column, int row) {
  return ToRgb(page->color_map[page->text[row * page->columns + column].foreground % 40]);
}

uint32_t CellBackground(const vbi_page* page, int column, int row) {
  return ToRgb(page->color_map[page->text[row * page->columns + column].background % 40]);
}

}  // namespace kv::teletext
