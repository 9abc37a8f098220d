// mimeapps.list as lines: read, change single keys of single groups, write back.
//
// Every line the program does not change stays byte for byte (comments, other programs'
// entries, unknown groups, lines that are not key=value at all), and so does the file's last
// line ending. Group headers are matched by their trimmed text ("[Default Applications]");
// keys by their exact text before the first "=" (trimmed). Pure; no threads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::assoc {

class TMimeAppsFile {
 public:
  static TMimeAppsFile Parse(std::string_view text);
  std::string Serialize() const;

  bool HasGroup(std::string_view group) const;
  std::optional<std::string> Get(std::string_view group, std::string_view key) const;
  // Replaces the key's value in place, or appends the key at the end of the group, or
  // appends the group (header and key) at the end of the file.
  void Set(std::string_view group, std::string_view key, std::string_view value);
  // Removes the key's line; false when it was not there.
  bool Remove(std::string_view group, std::string_view key);
  // Removes the group's header when nothing but blank lines remains under it.
  void RemoveGroupIfEmpty(std::string_view group);
  // The keys of a group in file order.
  std::vector<std::string> Keys(std::string_view group) const;

 private:
  // [begin, end) line range of the group's entries (after its header); nullopt when absent.
  std::optional<std::pair<size_t, size_t>> GroupRange(std::string_view group) const;
  std::optional<size_t> KeyLine(std::string_view group, std::string_view key) const;

  std::vector<std::string> lines_;  // without their "\n"
  bool finalNewline_ = true;
};

// Semicolon lists ("a.desktop;b.desktop;").
std::vector<std::string> SplitDesktopList(std::string_view value);
std::string JoinDesktopList(const std::vector<std::string>& items);

}  // namespace kv::assoc
