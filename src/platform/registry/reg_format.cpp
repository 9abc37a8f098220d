#include "platform/registry/reg_format.h"

#include <cstdio>
#include <optional>

namespace kv::registry {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && NamesEqual(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string at the start of `s` (which begins with '"'); on success `s` is
// left after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view& s) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string out;
  for (size_t i = 1; i < s.size(); ++i) {
    // Plain runs are copied at once; quotes and escapes are looked at one by one.
    const size_t special = s.find_first_of("\"\\", i);
    if (special == std::string_view::npos) break;
    out.append(s.data() + i, special - i);
    i = special;
    char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c != '\\' || i + 1 >= s.size()) {
      out += c;
      continue;
    }
    char e = s[++i];
    switch (e) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case '0': out += '\0'; break;
      default:  // a hand-written single backslash (a Windows path) stays as it stands
        out += '\\';
        out += e;
    }
  }
  return std::nullopt;  // no closing quote
}

std::optional<std::vector<uint8_t>> ReadHexBytes(std::string_view s) {
  std::vector<uint8_t> bytes;
  s = Trim(s);
  if (s.empty()) return bytes;
  size_t pos = 0;
  while (true) {
    size_t comma = s.find(',', pos);
    std::string_view item = Trim(s.substr(pos, comma == std::string_view::npos ? s.npos : comma - pos));
    bool last = comma == std::string_view::npos;
    if (item.empty() && last && !bytes.empty()) break;  // a trailing comma
    if (item.empty() || item.size() > 2) return std::nullopt;
    int value = 0;
    for (char c : item) {
      int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      value = value * 16 + d;
    }
    bytes.push_back(static_cast<uint8_t>(value));
    if (last) break;
    pos = comma + 1;
  }
  return bytes;
}

// Parses the data part of a value line (after "=") into `value`.
bool ReadData(std::string_view data, HiveValue& value) {
  data = Trim(data);
  if (!data.empty() && data.front() == '"') {
    auto text = ReadQuoted(data);
    if (!text || !Trim(data).empty()) return false;
    value.type = ValueType::String;
    value.text = std::move(*text);
    return true;
  }
  if (StartsWithNoCase(data, "dword:")) {
    std::string_view digits = Trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t n = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      n = n * 16 + static_cast<uint32_t>(d);
    }
    value.type = ValueType::DWord;
    value.dword = n;
    return true;
  }
  if (StartsWithNoCase(data, "hex:")) {
    auto bytes = ReadHexBytes(data.substr(4));
    if (!bytes) return false;
    value.type = ValueType::Binary;
    value.bytes = std::move(*bytes);
    return true;
  }
  if (StartsWithNoCase(data, "hex(")) {
    size_t close = data.find("):");
    if (close == std::string_view::npos || close == 4) return false;
    std::string_view kind = data.substr(4, close - 4);
    for (char c : kind) {
      if (HexDigit(c) < 0) return false;
    }
    auto bytes = ReadHexBytes(data.substr(close + 2));
    if (!bytes) return false;
    bool binary = kind.find_first_not_of('0') != std::string_view::npos &&
                  NamesEqual(kind.substr(kind.find_first_not_of('0')), "3");
    value.type = binary ? ValueType::Binary : ValueType::Other;
    if (!binary) value.otherKind = std::string(kind);
    value.bytes = std::move(*bytes);
    return true;
  }
  return false;  // includes "-" (a deletion, which has no place in a stored hive)
}

// Splits `"name"=data` or `@=data`; false when the line is not of that form.
bool SplitValueLine(std::string_view line, std::string& name, std::string_view& data) {
  std::string_view rest = line;
  if (!rest.empty() && rest.front() == '@') {
    name.clear();
    rest.remove_prefix(1);
  } else {
    auto quoted = ReadQuoted(rest);
    if (!quoted) return false;
    name = std::move(*quoted);
  }
  rest = Trim(rest);
  if (rest.empty() || rest.front() != '=') return false;
  data = rest.substr(1);
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
  }

  ParsedHive Run() {
    bool headerSeen = false;
    std::string_view line;
    while (NextLine(line)) {
      std::string_view t = Trim(line);
      if (t.empty()) continue;
      if (!headerSeen) {
        headerSeen = true;
        if (t == kHeader5 || t == kHeader4) continue;
      }
      if (t.front() == ';') {
        Keep(std::string(line), false);
      } else if (t.front() == '[') {
        OpenSection(t, line);
      } else if (t.front() == '"' || t.front() == '@') {
        ValueLine(t, line);
      } else {
        Keep(std::string(line), true);
      }
    }
    FlushKey();
    return std::move(out_);
  }

 private:
  bool NextLine(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++lineNumber_;
    return true;
  }

  void Keep(std::string raw, bool report) {
    if (report) out_.skipped.push_back({lineNumber_, raw});
    if (current_) {
      current_->keptLines.push_back(std::move(raw));
    } else {
      out_.document.preamble.push_back(std::move(raw));
    }
  }

  void FlushKey() {
    if (current_) out_.document.MergeKey(std::move(*current_));
    current_.reset();
  }

  void OpenSection(std::string_view t, std::string_view raw) {
    std::string_view path = t.back() == ']' ? t.substr(1, t.size() - 2) : std::string_view();
    path = Trim(path);
    if (path.empty() || path.front() == '-' || path.front() == '\\') {
      Keep(std::string(raw), true);
      return;
    }
    FlushKey();
    current_ = HiveKey{std::string(path), {}, {}, {}};
  }

  void ValueLine(std::string_view t, std::string_view raw) {
    int first = lineNumber_;
    HiveValue value;
    std::string_view data;
    // Copies of the line are made only for hex data continued on the next lines after a
    // trailing backslash (the common one-line value is read in place).
    std::string joined;
    std::string rawText;
    bool split = SplitValueLine(t, value.name, data);
    if (split && t.back() == '\\' && StartsWithNoCase(Trim(data), "hex")) {
      joined = t;
      rawText = raw;
      std::string_view next;
      while (!joined.empty() && joined.back() == '\\' && NextLine(next)) {
        joined.pop_back();
        joined += Trim(next);
        rawText += '\n';
        rawText += next;
      }
      split = SplitValueLine(joined, value.name, data);
    }
    if (!split || !current_ || !ReadData(data, value)) {
      int last = lineNumber_;
      lineNumber_ = first;
      Keep(rawText.empty() ? std::string(raw) : std::move(rawText), true);
      lineNumber_ = last;
      return;
    }
    HiveDocument::SetValue(*current_, std::move(value));
  }

  std::string_view text_;
  size_t pos_ = 0;
  int lineNumber_ = 0;
  ParsedHive out_;
  std::optional<HiveKey> current_;
};

void AppendValue(std::string& out, const HiveValue& v) {
  if (v.name.empty()) {
    out += '@';
  } else {
    out += '"';
    out += EscapeRegString(v.name);
    out += '"';
  }
  out += '=';
  char buf[16];
  auto hexList = [&](const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", bytes[i]);
      out += buf;
    }
  };
  switch (v.type) {
    case ValueType::String:
      out += '"';
      out += EscapeRegString(v.text);
      out += '"';
      break;
    case ValueType::DWord:
      std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
      out += buf;
      break;
    case ValueType::Binary:
      out += "hex:";
      hexList(v.bytes);
      break;
    case ValueType::Other:
    case ValueType::None:
      out += "hex(" + (v.otherKind.empty() ? std::string("0") : v.otherKind) + "):";
      hexList(v.bytes);
      break;
  }
  out += '\n';
}

}  // namespace

std::string EscapeRegString(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (char c : raw) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\0': out += "\\0"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unit = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;  // a lone surrogate
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

ParsedHive ParseRegText(std::string_view text) {
  // regedit writes its exports in UTF-16LE with a byte-order mark; we read those too and
  // write UTF-8 back
  if (text.substr(0, 2) == "\xFF\xFE") {
    std::string utf8 = Utf16LeToUtf8(text.substr(2));
    return Parser(utf8).Run();
  }
  return Parser(text).Run();
}

std::string SerializeRegText(const HiveDocument& document) {
  std::string out(kHeader5);
  out += '\n';
  for (const auto& line : document.preamble) {
    out += line;
    out += '\n';
  }
  for (const auto& key : document.keys) {
    out += "\n[";
    out += key.path;
    out += "]\n";
    for (const auto& v : key.values) AppendValue(out, v);
    for (const auto& line : key.keptLines) {
      out += line;
      out += '\n';
    }
  }
  return out;
}

}  // namespace kv::registry
