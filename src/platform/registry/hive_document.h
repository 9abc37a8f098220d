// The in-memory form of one hive file: its keys in file order, each with its typed values,
// plus every line that could not be read, so that a rewrite never holds less than the file did.
//
// Pure data and logic, no I/O: HiveStore reads and writes files, RegFormat converts text.
// Names are matched case-insensitively (ASCII letters), and keep the spelling first written.
// Key paths are full paths including the hive's root name ("HKEY_CURRENT_USER\\Software").
// Lookups by name go through hash indexes (name_index.h) that are kept up to date by the
// functions below and rebuilt on demand when `values` or `keys` changed size directly, so
// reading a file of n values costs O(n), not O(n^2).
// Not thread-safe (the indexes are filled in const lookups too): the store guards each
// document with its own mutex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/name_index.h"
#include "platform/registry/registry.h"

namespace kv::registry {

// ASCII case-insensitive equality, as the registry compares key and value names.
bool NamesEqual(std::string_view a, std::string_view b);
// Case-insensitive ordering of key paths (keeps a sorted file sorted).
bool PathLess(std::string_view a, std::string_view b);

struct HiveValue {
  std::string name;                 // "" is the key's default value ("@" in the file)
  ValueType type = ValueType::None;
  std::string text;                 // String
  uint32_t dword = 0;               // DWord
  std::vector<uint8_t> bytes;       // Binary and Other
  std::string otherKind;            // Other: the hex digits of "hex(N)", kept for rewriting
};

struct HiveKey {
  std::string path;                     // full path, spelling as first written
  std::vector<HiveValue> values;        // in stored order
  std::vector<std::string> keptLines;  // comments and unreadable lines of this key, verbatim
  mutable NameIndex valueIndex;         // value names -> positions in `values`
};

class HiveDocument {
 public:
  // Comments and unreadable lines before the first key, verbatim.
  std::vector<std::string> preamble;
  std::vector<HiveKey> keys;  // in file order

  HiveKey* FindKey(std::string_view path);
  const HiveKey* FindKey(std::string_view path) const;
  // True when the key exists or any key below it does.
  bool KeyExists(std::string_view path) const;
  // Finds or creates the key and every missing ancestor below `rootName` (kept sorted where
  // the file is sorted). Returns the key; `created` tells whether anything was added.
  HiveKey& CreateKey(std::string_view path, std::string_view rootName, bool* created = nullptr);
  // Removes the key and all keys below it; false when none existed.
  bool DeleteKey(std::string_view path);
  // Direct subkey names of `path`, in file order, each once.
  std::vector<std::string> SubkeyNames(std::string_view path) const;

  static const HiveValue* FindValue(const HiveKey& key, std::string_view name);
  static HiveValue* FindValue(HiveKey& key, std::string_view name);
  // Replaces the value of that name (keeping its spelling and position) or appends it.
  // Returns false when an equal value was already stored (nothing changed).
  static bool SetValue(HiveKey& key, HiveValue value);
  static bool DeleteValue(HiveKey& key, std::string_view name);

  // Appends a key read from a file; when the file already had a section of that path the
  // values are merged into it, the later ones winning, as when importing such a file.
  void MergeKey(HiveKey key);

 private:
  mutable NameIndex keyIndex_;  // key paths -> positions in `keys`
};

bool operator==(const HiveValue& a, const HiveValue& b);

}  // namespace kv::registry
