// How the bytes of a subtitle entry become letters on the strip.
//
// Entries keep the file's bytes. A text that is valid UTF-8 is shown as UTF-8 (files saved
// as UTF-8, with or without a mark, and everything the reader converted from UTF-16/32);
// any other text is read in the code page that the `FontEnc` setting names (a Windows
// character set number: 0 Western, 238 Central European, 204 Cyrillic, ...). The conversion
// uses glibc's iconv. Bytes the code page cannot map become U+FFFD, so a wrong setting gives
// wrong letters, never a failure. Pure functions; any thread (each call opens its own
// converter).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

struct TCharsetRow {
  std::int32_t FontEnc;  // Windows character set number
  const char* Encoding;  // iconv name of the matching code page
};

// The table, one row per character set; unknown numbers read as Western (Windows-1252).
const TCharsetRow* SubtitleCharsetTable(std::size_t& count);
// The iconv name for a character set number.
const char* SubtitleEncodingFor(std::int32_t fontEnc);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values above
// U+10FFFF). Plain ASCII is valid UTF-8.
bool IsValidUtf8(std::string_view bytes);

// The text as UTF-8: unchanged when valid UTF-8, else converted from the code page of
// `fontEnc`.
std::string DecodeSubtitleText(std::string_view bytes, std::int32_t fontEnc);

}  // namespace kv
