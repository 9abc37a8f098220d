// The files the teletext decoder saves pages to.
//   ".bmp"  the page as drawn, 24 bits a pixel, bottom row first;
//   ".ttx"  (text) the page as 25 lines of 40 characters, UTF-8, each ending in "\n";
//   ".ttx"  (raw) the 42-byte packets of the page in transmission order (bit 0 first),
//           header packet first, so that a teletext decoder can read the page again;
//   ".html" the page with its colours, one <pre> block a page.
// Several pages in one file follow one another. Each writer returns false when the file
// cannot be written (a partly written file is removed). Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "filters/teletext/page_cache.h"
#include "filters/teletext/page_picture.h"

namespace kv::teletext {

bool WriteBitmap(const std::string& path, const TPagePicture& picture);
bool WriteTextPages(const std::string& path, const std::vector<std::vector<std::string>>& pages);
bool WriteRawPages(const std::string& path, const std::vector<std::vector<TPacket>>& pages);
bool WriteHtmlPages(const std::string& path, const std::vector<const vbi_page*>& pages);

// The file of one page when every page goes to its own file: "P" + page (three hex
// digits) + "-S" + subpage (four) inserted before the extension of name.
std::string PageFileName(const std::string& name, int page, int subpage);

}  // namespace kv::teletext
