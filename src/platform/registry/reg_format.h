// The regedit export text format of a hive file, both ways.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Tessaland\Kavello\Position]
//   "Left"=dword:00000064
//   "ZoomStep"=hex:00,00,00,00,00,00,d0,3f
//   "FontName"="Arial"
//   @="default value"
//
// Strings escape backslash, double quote, line feed (\n), carriage return (\r) and NUL (\0).
// Reading accepts UTF-16LE files with a byte-order mark (regedit's own exports), CR LF line
// ends, a UTF-8 byte-order mark, "REGEDIT4" as header, blanks
// around "=", hex data continued over lines with a trailing backslash, and hex(N) values of
// other types. Comments (";") and unreadable lines are kept verbatim in the document and
// written back in their key; unreadable ones are reported with their line number.
// Pure functions, no I/O.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/hive_document.h"

namespace kv::registry {

struct SkippedLine {
  int number = 0;     // 1-based line number in the file
  std::string text;   // the line as it stood (continuation lines joined by "\n")
};

struct ParsedHive {
  HiveDocument document;
  std::vector<SkippedLine> skipped;
};

ParsedHive ParseRegText(std::string_view text);
std::string SerializeRegText(const HiveDocument& document);

// The quoted-string escaping of names and string data (without the quotes).
std::string EscapeRegString(std::string_view raw);

// UTF-16LE bytes (without byte-order mark) as UTF-8; lone surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

}  // namespace kv::registry
