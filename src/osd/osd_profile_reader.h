// A small reader of initialisation-style text files ("[Section]" lines, "Key=Value" lines)
// with the usual profile rules: section and key names are case-insensitive, blanks around
// names and values are dropped, a value in matching quotes loses them, values are cut to
// 255 characters, lines starting with ';' are comments and the first of two equal keys wins.
//
// Kept local to the OSD so that the label file can be read without the shared profile
// reader; it reads at most kMaxProfileBytes of a file so that a huge or binary file
// cannot exhaust memory.
#pragma once

#include <map>
#include <string>

namespace kv::osd {

inline constexpr size_t kMaxProfileBytes = 1 << 20;

class TProfileFile {
 public:
  // Never fails: a missing or unreadable file gives an empty profile.
  static TProfileFile Load(const std::string& path);
  static TProfileFile Parse(const std::string& text);

  // The value, or `fallback` when the section or key does not exist.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;

 private:
  // Keys are "section\nkey", both folded to lower case.
  std::map<std::string, std::string> values_;
};

}  // namespace kv::osd
