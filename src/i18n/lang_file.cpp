#include "i18n/lang_file.h"

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kv::i18n {
namespace {

std::string_view Trim(std::string_view s) {
  const char* ws = " \t\r\n\f\v";
  const size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra > s.size() - 1) return false;
    if (c == 0xC0 || c == 0xC1 || c > 0xF4) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += extra + 1;
  }
  return true;
}

std::string Convert(std::string_view bytes, const std::string& from) {
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "WINDOWS-1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
  std::string out;
  char buffer[1024];
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, o - buffer);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";  // a byte the code page cannot map
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::vector<TLangEntry> ParsePlayerSection(std::string_view text) {
  std::vector<TLangEntry> entries;
  bool inSection = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (!inSection) {
      inSection = line == "[Player]";
      continue;
    }
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') break;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    entries.push_back({std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1)))});
  }
  return entries;
}

std::string DecodeLanguageFile(std::string_view bytes) {
  // A UTF-8 byte order mark is not part of the first line.
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::string declared;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = Trim(bytes.substr(pos, end - pos));
    pos = end + 1;
    if (line == "[Player]") break;
    if (StartsWithNoCase(line, "charset=")) declared = std::string(Trim(line.substr(8)));
  }
  if (!declared.empty() && !StartsWithNoCase(declared, "utf-8") && !StartsWithNoCase(declared, "utf8"))
    return Convert(bytes, declared);
  if (IsUtf8(bytes)) return std::string(bytes);
  return Convert(bytes, "WINDOWS-1252");
}

std::optional<std::vector<TLangEntry>> ReadLanguageFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return ParsePlayerSection(DecodeLanguageFile(bytes));
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  while (true) {
    const size_t dot = path.find('.', pos);
    pieces.emplace_back(Trim(path.substr(pos, dot == std::string_view::npos ? std::string_view::npos : dot - pos)));
    if (dot == std::string_view::npos) break;
    pos = dot + 1;
  }
  return pieces;
}

std::vector<std::string> SplitList(std::string_view value, std::string_view separator) {
  if (Trim(separator).empty()) separator = ",";
  std::vector<std::string> items;
  size_t pos = 0;
  while (true) {
    const size_t at = value.find(separator, pos);
    items.emplace_back(Trim(value.substr(pos, at == std::string_view::npos ? std::string_view::npos : at - pos)));
    if (at == std::string_view::npos) break;
    pos = at + separator.size();
  }
  return items;
}

}  // namespace kv::i18n
