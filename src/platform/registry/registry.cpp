#include "platform/registry/registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/registry/hive_store.h"

namespace kv::registry {

namespace {

std::mutex g_hookMutex;  // guards g_hook
std::function<void(const std::string&)> g_hook;

const char* RootName(Hive hive) {
  return hive == Hive::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

// "Software\\X\\" or "\\Software\\X" -> "Software\\X"; forward slashes are not separators.
std::string NormalizeRelative(const std::string& path) {
  size_t begin = 0, end = path.size();
  while (begin < end && path[begin] == '\\') ++begin;
  while (end > begin && path[end - 1] == '\\') --end;
  return path.substr(begin, end - begin);
}

std::string FullPath(Hive hive, const std::string& relative) {
  std::string rel = NormalizeRelative(relative);
  return rel.empty() ? std::string(RootName(hive)) : std::string(RootName(hive)) + "\\" + rel;
}

HiveValue MakeValue(const std::string& name, ValueType type) {
  HiveValue v;
  v.name = name;
  v.type = type;
  return v;
}

}  // namespace

std::string ConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/kavello";
  const char* home = std::getenv("HOME");
  std::string base;
  if (home && home[0] == '/') {
    base = home;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    base = pw->pw_dir;
  } else {
    base = "/tmp";
  }
  return base + "/.config/kavello";
}

std::string HivePath(Hive hive) {
  return ConfigDirectory() + (hive == Hive::ClassesRoot ? "/classes.reg" : "/user.reg");
}

void SetDiagnosticHook(std::function<void(const std::string&)> hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_hook = std::move(hook);
}

void ReportDiagnostic(const std::string& line) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    hook = g_hook;
  }
  if (hook) hook(line);
}

TRegistry::TRegistry(Hive hive) : hive_(hive) {}

TRegistry::~TRegistry() {
  if (updateDepth_ > 0) {
    updateDepth_ = 1;
    EndUpdate();
  }
}

namespace {

HiveStore& StoreOf(Hive hive) { return HiveStore::ForPath(HivePath(hive)); }

}  // namespace

std::string TRegistry::KeyPath() const { return FullPath(hive_, open_ ? current_ : std::string()); }

void TRegistry::View(const std::function<void(const HiveDocument&)>& reader) {
  StoreOf(hive_).Read([&](const HiveDocument& doc) {
    if (pending_.empty()) {
      reader(doc);
      return;
    }
    HiveDocument updated = doc;
    for (const auto& change : pending_) change(updated);
    reader(updated);
  });
}

bool TRegistry::Apply(Change change) {
  if (updateDepth_ > 0) {
    pending_.push_back(std::move(change));
    return true;
  }
  return StoreOf(hive_).Mutate(change);
}

void TRegistry::BeginUpdate() { ++updateDepth_; }

bool TRegistry::EndUpdate() {
  if (updateDepth_ == 0 || --updateDepth_ > 0) return true;
  std::vector<Change> changes;
  changes.swap(pending_);
  if (changes.empty()) return true;
  return StoreOf(hive_).Mutate([&](HiveDocument& doc) {
    bool changed = false;
    for (const auto& change : changes) changed = change(doc) || changed;
    return changed;
  });
}

namespace {

// A key path that would break the line structure of the file is no key path.
bool UsablePath(const std::string& path) { return path.find_first_of(std::string("\n\r\0", 3)) == std::string::npos; }

}  // namespace

bool TRegistry::OpenKey(const std::string& path, bool canCreate) {
  if (!UsablePath(path)) return false;
  const std::string full = FullPath(hive_, path);
  bool exists = NormalizeRelative(path).empty();  // the hive root always exists
  if (!exists) View([&](const HiveDocument& doc) { exists = doc.KeyExists(full); });
  if (!exists) {
    if (!canCreate) return false;
    const std::string root = RootName(hive_);
    bool ok = Apply([full, root](HiveDocument& doc) {
      if (doc.KeyExists(full)) return false;
      bool created = false;
      doc.CreateKey(full, root, &created);
      return created;
    });
    if (!ok) return false;
  }
  current_ = NormalizeRelative(path);
  open_ = true;
  return true;
}

void TRegistry::CloseKey() {
  current_.clear();
  open_ = false;
}

bool TRegistry::KeyExists(const std::string& path) {
  if (!UsablePath(path)) return false;
  const std::string full = FullPath(hive_, path);
  bool exists = NormalizeRelative(path).empty();
  if (!exists) View([&](const HiveDocument& doc) { exists = doc.KeyExists(full); });
  return exists;
}

bool TRegistry::DeleteKey(const std::string& path) {
  if (NormalizeRelative(path).empty() || !UsablePath(path)) return false;  // the hive root stays
  const std::string full = FullPath(hive_, path);
  bool exists = false;
  View([&](const HiveDocument& doc) { exists = doc.KeyExists(full); });
  return exists && Apply([full](HiveDocument& doc) { return doc.DeleteKey(full); });
}

bool TRegistry::ValueExists(const std::string& name) { return GetDataType(name) != ValueType::None; }

bool TRegistry::DeleteValue(const std::string& name) {
  if (!ValueExists(name)) return false;
  const std::string key = KeyPath();
  return Apply([key, name](HiveDocument& doc) {
    HiveKey* k = doc.FindKey(key);
    return k && HiveDocument::DeleteValue(*k, name);
  });
}

ValueType TRegistry::GetDataType(const std::string& name) {
  const std::string key = KeyPath();
  ValueType type = ValueType::None;
  View([&](const HiveDocument& doc) {
    if (const HiveKey* k = doc.FindKey(key)) {
      if (const HiveValue* v = HiveDocument::FindValue(*k, name)) type = v->type;
    }
  });
  return type;
}

std::vector<std::string> TRegistry::GetValueNames() {
  const std::string key = KeyPath();
  std::vector<std::string> names;
  View([&](const HiveDocument& doc) {
    if (const HiveKey* k = doc.FindKey(key)) {
      for (const auto& v : k->values) names.push_back(v.name);
    }
  });
  return names;
}

std::vector<std::string> TRegistry::GetKeyNames() {
  const std::string key = KeyPath();
  std::vector<std::string> names;
  View([&](const HiveDocument& doc) { names = doc.SubkeyNames(key); });
  return names;
}

namespace {

// Copies the value of that name out of `key` when it has the wanted type.
std::optional<HiveValue> Fetch(const HiveDocument& doc, const std::string& key, const std::string& name,
                               ValueType wanted) {
  const HiveKey* k = doc.FindKey(key);
  const HiveValue* v = k ? HiveDocument::FindValue(*k, name) : nullptr;
  if (v && v->type == wanted) return *v;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> TRegistry::ReadString(const std::string& name) {
  std::optional<std::string> out;
  View([&](const HiveDocument& doc) {
    if (auto v = Fetch(doc, KeyPath(), name, ValueType::String)) out = v->text;
  });
  return out;
}

std::optional<int32_t> TRegistry::ReadInteger(const std::string& name) {
  std::optional<int32_t> out;
  View([&](const HiveDocument& doc) {
    if (auto v = Fetch(doc, KeyPath(), name, ValueType::DWord)) out = static_cast<int32_t>(v->dword);
  });
  return out;
}

std::optional<bool> TRegistry::ReadBool(const std::string& name) {
  auto n = ReadInteger(name);
  if (!n) return std::nullopt;
  return *n != 0;
}

std::optional<double> TRegistry::ReadFloat(const std::string& name) {
  auto bytes = ReadBinaryData(name);
  if (!bytes || bytes->size() != sizeof(double)) return std::nullopt;
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | (*bytes)[static_cast<size_t>(i)];  // little-endian
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::optional<std::vector<uint8_t>> TRegistry::ReadBinaryData(const std::string& name) {
  std::optional<std::vector<uint8_t>> out;
  View([&](const HiveDocument& doc) {
    if (auto v = Fetch(doc, KeyPath(), name, ValueType::Binary)) out = v->bytes;
  });
  return out;
}

// Stores one value in the open key, creating the key when another process deleted it meanwhile.
bool TRegistry::Store(HiveValue value) {
  const std::string key = KeyPath();
  const std::string root = RootName(hive_);
  return Apply([key, root, value](HiveDocument& doc) {
    bool created = false;
    HiveKey& k = doc.CreateKey(key, root, &created);
    return HiveDocument::SetValue(k, value) || created;
  });
}

bool TRegistry::WriteString(const std::string& name, const std::string& value) {
  HiveValue v = MakeValue(name, ValueType::String);
  v.text = value;
  return Store(std::move(v));
}

bool TRegistry::WriteInteger(const std::string& name, int32_t value) {
  HiveValue v = MakeValue(name, ValueType::DWord);
  v.dword = static_cast<uint32_t>(value);
  return Store(std::move(v));
}

bool TRegistry::WriteBool(const std::string& name, bool value) { return WriteInteger(name, value ? 1 : 0); }

bool TRegistry::WriteFloat(const std::string& name, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  std::vector<uint8_t> bytes(8);
  for (size_t i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));  // little-endian
  return WriteBinaryData(name, bytes);
}

bool TRegistry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value) {
  HiveValue v = MakeValue(name, ValueType::Binary);
  v.bytes = value;
  return Store(std::move(v));
}

}  // namespace kv::registry
