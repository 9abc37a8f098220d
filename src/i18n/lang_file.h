// Translation files: the "[Player]" section of a language file as (path, value) entries.
//
// A file is read line by line: everything up to and including the line "[Player]" is
// ignored; entries follow and end at the next line that starts with "[" or at the end. Lines
// are trimmed; empty lines and lines starting with "#" or ";" are skipped; an entry is the
// text before the first "=" (the path, trimmed) and the rest (the value, trimmed). A line
// without "=" is no entry.
//
// Files are UTF-8. A file in a legacy single-byte code page is read through iconv: by the
// code page it declares in a line "Charset=NAME" before "[Player]" (an iconv name such as
// windows-1251), else, when its bytes are not UTF-8, as Windows-1252. Pure functions, any
// thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::i18n {

struct TLangEntry {
  std::string Path;   // "MainForm.MMPlay.Caption"
  std::string Value;  // UTF-8
};

// The entries of the [Player] section of `utf8Text`, in file order. No "[Player]": empty.
std::vector<TLangEntry> ParsePlayerSection(std::string_view utf8Text);

// The file's bytes as UTF-8 (see the top of this file). Bytes the code page cannot map
// become U+FFFD.
std::string DecodeLanguageFile(std::string_view bytes);

// Reads and parses a file; nullopt when it cannot be opened or read.
std::optional<std::vector<TLangEntry>> ReadLanguageFile(const std::string& path);

// The path cut at its dots, each piece trimmed ("MainForm . MMPlay.Caption" -> 3 pieces).
std::vector<std::string> SplitPath(std::string_view path);

// A string-list value cut at `separator` (blank or empty: ","), each piece trimmed.
std::vector<std::string> SplitList(std::string_view value, std::string_view separator);

}  // namespace kv::i18n
