// Initialisation files (descriptor files, plug-in descriptions) read with the profile rules
// of the Windows profile-string functions, which the descriptor files are written for:
//
//   [Main]                  section and key names: case-insensitive, blanks around trimmed
//   Name = LAV Splitter     value: trimmed; one pair of enclosing '...' or "..." removed
//   Priority = 0x10         integers: decimal or "0x" hexadecimal, leading number text counts
//   ; comment               lines starting with ';' are comments
//
// - A missing file, section or key, and a key line without "=", give the default.
// - Strings are cut to 255 characters (the profile functions' 256-byte buffer).
// - The first section of a name wins, and within it the first key of a name.
// - CR LF line ends and a UTF-8 byte-order mark are accepted.
//
// TIniFile reads the file once when constructed and then answers from memory; it is a
// plain value, safe to use from one thread at a time. Pure C++, no Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::ini {

// The longest text a profile read returns.
constexpr size_t kMaxProfileString = 255;

// A profile integer: optional sign, then "0x"/"0X" and hexadecimal digits or decimal digits;
// text after the number is ignored ("12abc" is 12). Empty or unreadable text, and numbers
// outside 32 bits (8 hexadecimal digits wrap to negative, as colour values do), give nullopt.
std::optional<int32_t> ParseProfileInteger(std::string_view text);

class TIniFile {
 public:
  // Reads `path` now; a missing or unreadable file behaves as an empty one (Exists() false).
  explicit TIniFile(const std::string& path);
  // Parses `text` as the content of a file (for tests and in-memory data).
  static TIniFile FromText(std::string_view text);

  bool Exists() const { return exists_; }
  const std::string& FileName() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  // An integer, 0 false and anything else true.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::vector<std::string> ReadSections() const;                       // in file order
  std::vector<std::string> ReadSection(std::string_view section) const;  // key names, in order

 private:
  TIniFile() = default;
  void Parse(std::string_view text);

  struct Entry {
    std::string key;
    std::optional<std::string> value;  // none for a line without "="
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  const Section* FindSection(std::string_view name) const;
  const Entry* FindEntry(std::string_view section, std::string_view key) const;

  std::string path_;
  bool exists_ = false;
  std::vector<Section> sections_;
};

// One-shot reads in the form of the profile functions.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);
int32_t GetPrivateProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                             const std::string& path);

}  // namespace kv::ini
