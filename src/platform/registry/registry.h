// The per-user registry of Kavello.
//
// What it is: a hierarchical store of typed values (string, 32-bit integer, raw bytes)
// under backslash-separated key paths, as the settings, the OSD layout and the file
// associations expect. On Linux a hive is one text file in the regedit export format:
//   [HKEY_CURRENT_USER\Software\Tessaland\Kavello\Position]
//   "Left"=dword:00000064
//   "ZoomStep"=hex:00,00,00,00,00,00,d0,3f
//   "FontName"="Arial"
// The current-user hive lives at $XDG_CONFIG_HOME/kavello/user.reg (fallback ~/.config);
// the classes root (file associations) is a separate file, classes.reg, beside it.
//
// Ownership and threads: a TRegistry is a cheap accessor owned by its caller; it is used
// from one thread at a time (separate accessors may be used on separate threads). Every
// write (or, with BeginUpdate/EndUpdate, every group of writes) is merged into the file as
// it is then, under an exclusive advisory lock (flock) on "<hive>.lock", written to
// "<hive>.tmp", fsynced and renamed over the hive, so that two processes (the player and the
// options library) never lose each other's values and a crash never leaves half a file.
// Every read parses the file afresh (a hive is a few kilobytes), so values another process
// wrote are seen at once.
// Key, value and section names are case-insensitive; their spelling is kept as first written.
//
// Failure: reads of a missing value give the caller's default; a damaged hive file has its
// unreadable lines skipped (logged through the hook below) and is never rewritten with
// less than it held: a write to a hive that failed to parse keeps the unparsed lines.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv::registry {

class HiveDocument;
struct HiveValue;

enum class Hive { CurrentUser, ClassesRoot };

// Other: a type the program does not use (expandable or multi strings, 64-bit numbers...);
// such values are kept as they stand but read as missing.
enum class ValueType { None, String, DWord, Binary, Other };

// Where the hive files live. Tests point this at a temporary folder; by default it is
// $XDG_CONFIG_HOME/kavello (or ~/.config/kavello).
std::string ConfigDirectory();
std::string HivePath(Hive hive);

// Receives one line per skipped, unreadable line of a hive file (the settings wire it to
// the debug log). May be empty.
void SetDiagnosticHook(std::function<void(const std::string&)> hook);

class TRegistry {
 public:
  explicit TRegistry(Hive hive = Hive::CurrentUser);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Opens a key by path relative to the hive root ("Software\\Tessaland\\Kavello\\Display").
  // With canCreate the key is created (and persisted) when missing. False when missing
  // and not created. A leading backslash is accepted; a path with a line break or NUL is
  // refused.
  bool OpenKey(const std::string& path, bool canCreate);
  bool OpenKeyReadOnly(const std::string& path) { return OpenKey(path, false); }
  void CloseKey();
  const std::string& CurrentPath() const { return current_; }

  bool KeyExists(const std::string& path);
  bool DeleteKey(const std::string& path);  // removes the key and its subkeys
  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  ValueType GetDataType(const std::string& name);
  std::vector<std::string> GetValueNames();   // in stored order
  std::vector<std::string> GetKeyNames();     // direct subkeys of the open key

  // Readers return nullopt when the value is missing or has another type.
  std::optional<std::string> ReadString(const std::string& name);
  std::optional<int32_t> ReadInteger(const std::string& name);
  std::optional<bool> ReadBool(const std::string& name);        // integer, non-zero = true
  std::optional<double> ReadFloat(const std::string& name);     // 8 raw bytes, IEEE double
  std::optional<std::vector<uint8_t>> ReadBinaryData(const std::string& name);

  // Writers persist at once; false when the file cannot be written (nothing is lost then).
  bool WriteString(const std::string& name, const std::string& value);
  bool WriteInteger(const std::string& name, int32_t value);
  bool WriteBool(const std::string& name, bool value);
  bool WriteFloat(const std::string& name, double value);
  bool WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value);

  // Groups changes into one file update (each update costs an fsync): from BeginUpdate to
  // the matching EndUpdate, writes, deletions and key creations of this accessor are kept
  // in it (its own reads see them, other accessors do not) and EndUpdate stores them all
  // under one lock, merged into the file as it is then. Writers report true meanwhile;
  // EndUpdate reports whether the file was written (if not, none of them is stored).
  // Updates nest; the destructor ends an update left open.
  void BeginUpdate();
  bool EndUpdate();

 private:
  using Change = std::function<bool(HiveDocument&)>;
  // Calls `reader` with the hive as this accessor sees it (the file plus pending changes).
  void View(const std::function<void(const HiveDocument&)>& reader);
  // Applies `change` to the file now, or keeps it for EndUpdate.
  bool Apply(Change change);
  bool Store(HiveValue value);
  std::string KeyPath() const;

  Hive hive_;
  std::string current_;  // open key path, empty when none is open
  bool open_ = false;
  int updateDepth_ = 0;
  std::vector<Change> pending_;  // changes kept during an update, in order
};

}  // namespace kv::registry
