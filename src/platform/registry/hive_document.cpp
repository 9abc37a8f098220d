#include "platform/registry/hive_document.h"

#include <algorithm>

namespace kv::registry {

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `path` lies strictly below `parent` (parent + "\" + something).
bool IsBelow(std::string_view path, std::string_view parent) {
  return path.size() > parent.size() + 1 && path[parent.size()] == '\\' &&
         NamesEqual(path.substr(0, parent.size()), parent);
}

std::string_view ValueName(const HiveValue& v) { return v.name; }
std::string_view KeyPathOf(const HiveKey& k) { return k.path; }

}  // namespace

uint64_t HashName(std::string_view name) {
  uint64_t h = 1469598103934665603ULL;  // FNV-1a over the folded bytes
  for (char c : name) {
    h ^= static_cast<unsigned char>(Fold(c));
    h *= 1099511628211ULL;
  }
  h ^= h >> 32;  // spread the high bits into the low ones the table uses
  h *= 0x9E3779B97F4A7C15ULL;
  return h ^ (h >> 29);
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

bool PathLess(std::string_view a, std::string_view b) {
  // The separator sorts before every other character so that a key's subtree follows it.
  auto rank = [](char c) { return c == '\\' ? 0 : static_cast<unsigned char>(Fold(c)) + 1; };
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ra = rank(a[i]), rb = rank(b[i]);
    if (ra != rb) return ra < rb;
  }
  return a.size() < b.size();
}

bool operator==(const HiveValue& a, const HiveValue& b) {
  if (a.type != b.type || a.name != b.name) return false;
  switch (a.type) {
    case ValueType::String: return a.text == b.text;
    case ValueType::DWord: return a.dword == b.dword;
    case ValueType::Binary: return a.bytes == b.bytes;
    case ValueType::Other: return a.bytes == b.bytes && NamesEqual(a.otherKind, b.otherKind);
    case ValueType::None: return true;
  }
  return false;
}

HiveKey* HiveDocument::FindKey(std::string_view path) {
  keyIndex_.Sync(keys, KeyPathOf);
  const size_t at = keyIndex_.Find(path, keys, KeyPathOf);
  return at == NameIndex::npos ? nullptr : &keys[at];
}

const HiveKey* HiveDocument::FindKey(std::string_view path) const {
  return const_cast<HiveDocument*>(this)->FindKey(path);
}

bool HiveDocument::KeyExists(std::string_view path) const {
  if (FindKey(path)) return true;
  for (const auto& key : keys) {
    if (NamesEqual(key.path, path) || IsBelow(key.path, path)) return true;
  }
  return false;
}

HiveKey& HiveDocument::CreateKey(std::string_view path, std::string_view rootName, bool* created) {
  if (created) *created = false;
  if (HiveKey* existing = FindKey(path)) return *existing;
  // Ancestors first, like the registry itself; the hive root gets no section of its own
  // unless something is stored in it.
  size_t cut = path.rfind('\\');
  if (cut != std::string_view::npos && cut > rootName.size()) {
    CreateKey(path.substr(0, cut), rootName, nullptr);
  }
  auto pos = std::find_if(keys.begin(), keys.end(),
                          [&](const HiveKey& k) { return PathLess(path, k.path); });
  pos = keys.insert(pos, HiveKey{std::string(path), {}, {}, {}});
  keyIndex_.Clear();  // positions after the new key moved
  if (created) *created = true;
  return *pos;
}

bool HiveDocument::DeleteKey(std::string_view path) {
  auto end = std::remove_if(keys.begin(), keys.end(), [&](const HiveKey& k) {
    return NamesEqual(k.path, path) || IsBelow(k.path, path);
  });
  bool removed = end != keys.end();
  keys.erase(end, keys.end());
  keyIndex_.Clear();
  return removed;
}

std::vector<std::string> HiveDocument::SubkeyNames(std::string_view path) const {
  std::vector<std::string> names;
  for (const auto& key : keys) {
    if (!IsBelow(key.path, path)) continue;
    std::string_view rest = std::string_view(key.path).substr(path.size() + 1);
    std::string_view name = rest.substr(0, rest.find('\\'));
    bool seen = std::any_of(names.begin(), names.end(),
                            [&](const std::string& n) { return NamesEqual(n, name); });
    if (!seen) names.emplace_back(name);
  }
  return names;
}

const HiveValue* HiveDocument::FindValue(const HiveKey& key, std::string_view name) {
  key.valueIndex.Sync(key.values, ValueName);
  const size_t at = key.valueIndex.Find(name, key.values, ValueName);
  return at == NameIndex::npos ? nullptr : &key.values[at];
}

HiveValue* HiveDocument::FindValue(HiveKey& key, std::string_view name) {
  return const_cast<HiveValue*>(FindValue(static_cast<const HiveKey&>(key), name));
}

bool HiveDocument::SetValue(HiveKey& key, HiveValue value) {
  if (HiveValue* existing = FindValue(key, value.name)) {  // leaves the index in step
    value.name = existing->name;  // the first spelling stays
    if (*existing == value) return false;
    *existing = std::move(value);
    return true;
  }
  key.values.push_back(std::move(value));
  key.valueIndex.Added(key.values.size() - 1, key.values, ValueName);
  return true;
}

bool HiveDocument::DeleteValue(HiveKey& key, std::string_view name) {
  auto it = std::find_if(key.values.begin(), key.values.end(),
                         [&](const HiveValue& v) { return NamesEqual(v.name, name); });
  if (it == key.values.end()) return false;
  key.values.erase(it);
  key.valueIndex.Clear();  // positions after it moved
  return true;
}

void HiveDocument::MergeKey(HiveKey key) {
  HiveKey* existing = FindKey(key.path);  // leaves the index in step
  if (!existing) {
    keys.push_back(std::move(key));
    keyIndex_.Added(keys.size() - 1, keys, KeyPathOf);
    return;
  }
  for (auto& v : key.values) SetValue(*existing, std::move(v));
  for (auto& line : key.keptLines) existing->keptLines.push_back(std::move(line));
}

}  // namespace kv::registry
