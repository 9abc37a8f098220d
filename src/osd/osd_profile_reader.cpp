#include "osd/osd_profile_reader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace kv::osd {
namespace {

constexpr size_t kMaxValueLength = 255;

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Fold(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string Unquote(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
  return value;
}

}  // namespace

TProfileFile TProfileFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(kMaxProfileBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return Parse(text);
}

TProfileFile TProfileFile::Parse(const std::string& text) {
  TProfileFile file;
  std::string section;
  bool inSection = false;
  size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a UTF-8 mark is no name
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      if (close == std::string::npos) {
        inSection = false;  // a broken header: ignore its lines rather than misfile them
        continue;
      }
      section = Fold(Trim(line.substr(1, close - 1)));
      inSection = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (!inSection || eq == std::string::npos) continue;
    const std::string key = Fold(Trim(line.substr(0, eq)));
    if (key.empty()) continue;
    file.values_.emplace(section + '\n' + key, Unquote(Trim(line.substr(eq + 1))));
  }
  return file;
}

std::string TProfileFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& fallback) const {
  const auto it = values_.find(Fold(section) + '\n' + Fold(key));
  return it == values_.end() ? fallback : it->second;
}

}  // namespace kv::osd
