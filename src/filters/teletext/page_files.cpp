#include "filters/teletext/page_files.h"

#include <libzvbi.h>

#include <cstdio>
#include <fstream>

namespace kv::teletext {

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out && out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && out.flush()) return true;
  }
  std::remove(path.c_str());
  return false;
}

std::string Colour(uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFF);
  return text;
}

void AppendEscaped(std::string& out, const std::string& utf8) {
  for (char c : utf8) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else out += c;
  }
}

}  // namespace

bool WriteBitmap(const std::string& path, const TPagePicture& picture) {
  const uint32_t rowBytes = kPageWidth * 3;  // 1440: already a multiple of four
  const uint32_t imageBytes = rowBytes * kPageHeight;
  std::string out;
  out += "BM";
  Put32(out, 54 + imageBytes);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, kPageWidth);
  Put32(out, kPageHeight);  // positive: bottom row first
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);  // BI_RGB
  Put32(out, imageBytes);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = kPageHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kPageWidth; ++x) {
      const uint8_t* p = picture.Pixel(x, y);
      out += static_cast<char>(p[0]);
      out += static_cast<char>(p[1]);
      out += static_cast<char>(p[2]);
    }
  }
  return WriteAll(path, out);
}

bool WriteTextPages(const std::string& path, const std::vector<std::vector<std::string>>& pages) {
  std::string out;
  for (const auto& lines : pages)
    for (const std::string& line : lines) out += line + "\n";
  return WriteAll(path, out);
}

bool WriteRawPages(const std::string& path, const std::vector<std::vector<TPacket>>& pages) {
  std::string out;
  for (const auto& packets : pages)
    for (const TPacket& p : packets) out.append(reinterpret_cast<const char*>(p.data()), p.size());
  return WriteAll(path, out);
}

bool WriteHtmlPages(const std::string& path, const std::vector<const vbi_page*>& pages) {
  std::string out =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Teletext</title>\n</head>\n"
      "<body style=\"background:#000000\">\n";
  for (const vbi_page* page : pages) {
    char title[32];
    std::snprintf(title, sizeof title, "%03X", page->pgno);
    out += "<pre title=\"" + std::string(title) + "\" style=\"font-family:monospace\">\n";
    const std::vector<std::string> lines = PageText(page);
    for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
      // One span for each run of cells with the same colours.
      std::vector<std::string> cells;
      const std::string& line = lines[row];
      for (size_t i = 0; i < line.size();) {
        size_t n = 1;
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0xE0) n = 3;
        else if (c >= 0xC0) n = 2;
        cells.push_back(line.substr(i, n));
        i += n;
      }
      size_t start = 0;
      for (size_t col = 1; col <= cells.size(); ++col) {
        const int a = static_cast<int>(start), b = static_cast<int>(col);
        if (col < cells.size() && CellForeground(page, b, row) == CellForeground(page, a, row) &&
            CellBackground(page, b, row) == CellBackground(page, a, row))
          continue;
        out += "<span style=\"color:" + Colour(CellForeground(page, a, row)) +
               ";background:" + Colour(CellBackground(page, a, row)) + "\">";
        std::string run;
        for (size_t k = start; k < col; ++k) run += cells[k];
        AppendEscaped(out, run);
        out += "</span>";
        start = col;
      }
      out += "\n";
    }
    out += "</pre>\n";
  }
  out += "</body>\n</html>\n";
  return WriteAll(path, out);
}

std::string PageFileName(const std::string& name, int page, int subpage) {
  char tag[16];
  std::snprintf(tag, sizeof tag, "P%03X-S%04X", page & 0xFFF, subpage & 0xFFFF);
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + tag;
  return name.substr(0, dot) + tag + name.substr(dot);
}

}  // namespace kv::teletext
