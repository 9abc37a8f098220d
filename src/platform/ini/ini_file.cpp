#include "platform/ini/ini_file.h"

#include <cstdio>

namespace kv::ini {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

int DigitValue(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  return d < base ? d : -1;
}

}  // namespace

std::optional<int32_t> ParseProfileInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t value = 0;
  size_t digits = 0;
  for (char c : text) {
    int d = DigitValue(c, base);
    if (d < 0) break;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFull) return std::nullopt;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (base == 10 && value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return std::nullopt;
  auto bits = static_cast<uint32_t>(value);
  if (negative) bits = ~bits + 1u;
  return static_cast<int32_t>(bits);
}

TIniFile::TIniFile(const std::string& path) : path_(path) {
  // stdio, not streams: a stream's buffer throws when the path is a directory
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return;
  std::string text;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return;
  exists_ = true;
  Parse(text);
}

TIniFile TIniFile::FromText(std::string_view text) {
  TIniFile file;
  file.exists_ = true;
  file.Parse(text);
  return file;
}

void TIniFile::Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Section* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      sections_.push_back(Section{std::string(name), {}});
      current = &sections_.back();
      continue;
    }
    if (!current) continue;  // keys before the first section belong to no section
    size_t eq = line.find('=');
    Entry entry;
    entry.key = std::string(Trim(line.substr(0, eq)));
    if (eq != std::string_view::npos) entry.value = std::string(Trim(line.substr(eq + 1)));
    current->entries.push_back(std::move(entry));
  }
}

const TIniFile::Section* TIniFile::FindSection(std::string_view name) const {
  name = Trim(name);
  for (const auto& s : sections_) {
    if (NamesEqual(s.name, name)) return &s;
  }
  return nullptr;
}

const TIniFile::Entry* TIniFile::FindEntry(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  key = Trim(key);
  for (const auto& e : s->entries) {
    if (NamesEqual(e.key, key)) return &e;
  }
  return nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  const Entry* e = FindEntry(section, key);
  std::string_view value;
  if (e && e->value) {
    value = *e->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
  } else {
    value = defaultValue;
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  }
  return std::string(value.substr(0, kMaxProfileString));
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
  const Entry* e = FindEntry(section, key);
  if (!e || !e->value) return defaultValue;
  return ParseProfileInteger(ReadString(section, key, "")).value_or(defaultValue);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  const Entry* e = FindEntry(section, key);
  return e && e->value;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const auto& s : sections_) {
    bool seen = false;
    for (const auto& n : names) seen = seen || NamesEqual(n, s.name);
    if (!seen) names.push_back(s.name);
  }
  return names;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section* s = FindSection(section)) {
    for (const auto& e : s->entries) {
      bool seen = false;
      for (const auto& k : keys) seen = seen || NamesEqual(k, e.key);
      if (!seen && !e.key.empty()) keys.push_back(e.key);
    }
  }
  return keys;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path) {
  return TIniFile(path).ReadString(section, key, defaultValue);
}

int32_t GetPrivateProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                             const std::string& path) {
  return TIniFile(path).ReadInteger(section, key, defaultValue);
}

}  // namespace kv::ini
