#include "subtitles/subtitle_decode.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <memory>

namespace kv {
namespace {

// Windows character set numbers and the code pages they stand for. DEFAULT (1) and
// SYMBOL (2) have no code page of their own and read as Western.
constexpr std::array<TCharsetRow, 19> kCharsets{{
    {0, "CP1252"},     // ANSI, Western
    {1, "CP1252"},     // DEFAULT
    {2, "CP1252"},     // SYMBOL
    {77, "MACINTOSH"}, // MAC
    {128, "CP932"},    // SHIFTJIS, Japanese
    {129, "CP949"},    // HANGEUL, Korean
    {130, "JOHAB"},    // JOHAB, Korean
    {134, "CP936"},    // GB2312, Simplified Chinese
    {136, "CP950"},    // CHINESEBIG5, Traditional Chinese
    {161, "CP1253"},   // GREEK
    {162, "CP1254"},   // TURKISH
    {163, "CP1258"},   // VIETNAMESE
    {177, "CP1255"},   // HEBREW
    {178, "CP1256"},   // ARABIC
    {186, "CP1257"},   // BALTIC
    {204, "CP1251"},   // RUSSIAN, Cyrillic
    {222, "CP874"},    // THAI
    {238, "CP1250"},   // EASTEUROPE, Central European
    {255, "CP437"},    // OEM
}};

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using TIconv = std::unique_ptr<void, IconvCloser>;

TIconv OpenConverter(const char* from) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return TIconv(cd);
}

// Emits what `cd` still holds back (the code pages with combining marks keep the last
// letter until they know whether a mark follows) and returns it to the initial state.
void Flush(iconv_t cd, std::string& out) {
  char buffer[64];
  char* dst = buffer;
  std::size_t dstLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(buffer, static_cast<std::size_t>(dst - buffer));
}

// Converts with `cd`, putting U+FFFD for every byte that cannot be converted.
std::string Convert(iconv_t cd, std::string_view bytes) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(bytes.size() * 2);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[256];
  while (inLeft > 0) {
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut off at the end): skip one byte, start afresh.
    Flush(cd, out);
    out.append(kReplacement);
    ++in;
    --inLeft;
  }
  Flush(cd, out);
  return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace

const TCharsetRow* SubtitleCharsetTable(std::size_t& count) {
  count = kCharsets.size();
  return kCharsets.data();
}

const char* SubtitleEncodingFor(std::int32_t fontEnc) {
  for (const TCharsetRow& row : kCharsets) {
    if (row.FontEnc == fontEnc) return row.Encoding;
  }
  return kCharsets[0].Encoding;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    std::uint32_t cp = 0;
    std::uint32_t min = 0;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (n - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(bytes[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

std::string DecodeSubtitleText(std::string_view bytes, std::int32_t fontEnc) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  TIconv cd = OpenConverter(SubtitleEncodingFor(fontEnc));
  if (!cd) cd = OpenConverter(kCharsets[0].Encoding);
  // Without any converter (a C library without iconv data) bytes still show as Latin-1.
  if (!cd) return Latin1ToUtf8(bytes);
  return Convert(static_cast<iconv_t>(cd.get()), bytes);
}

}  // namespace kv
