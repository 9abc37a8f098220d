#include "subtitles/subtitle_text.h"

#include <charconv>
#include <limits>

namespace kv {

namespace {

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsUtf8Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Number of bytes of the UTF-8 sequence a lead byte starts; 0 for a byte that is no lead.
std::size_t Utf8SequenceLength(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::size_t IntegerTextScanLength(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  }
  while (i < text.size() && DigitValue(text[i], hex) >= 0) ++i;
  return i;
}

std::optional<std::int32_t> ParseIntegerText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  }
  if (i == text.size()) return std::nullopt;  // no digit at all
  const std::int64_t base = hex ? 16 : 10;
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], hex);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::optional<double> ParseDecimalNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t numberStart = i;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t expStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == expStart) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  const char* first = text.data() + numberStart;
  const char* last = text.data() + text.size();
  // from_chars does not take a leading "+" but accepts everything the scan above let pass.
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    value = std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc() || result.ptr != last) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::size_t SubtitleCutLength(std::string_view text) {
  if (text.size() <= kSubtitleTextLimit) return text.size();
  const std::size_t cut = kSubtitleTextLimit;
  // Walk back over at most three continuation bytes to the lead byte of the sequence that
  // holds byte `cut`; when that sequence is well formed and would be split, cut before it.
  std::size_t lead = cut;
  while (lead > 0 && cut - lead < 3 && IsUtf8Continuation(static_cast<unsigned char>(text[lead]))) {
    --lead;
  }
  if (lead == cut) return cut;  // byte `cut` starts a character: nothing is split
  const std::size_t length = Utf8SequenceLength(static_cast<unsigned char>(text[lead]));
  if (length == 0 || lead + length <= cut) return cut;
  for (std::size_t i = lead + 1; i < lead + length && i < text.size(); ++i) {
    if (!IsUtf8Continuation(static_cast<unsigned char>(text[i]))) return cut;
  }
  return lead;
}

void CutSubtitleText(std::string& text) { text.resize(SubtitleCutLength(text)); }

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ToUpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = ToUpperAscii(c);
  return upper;
}

bool StartsWithNoCase(std::string_view text, std::string_view upperPrefix) {
  if (text.size() < upperPrefix.size()) return false;
  for (std::size_t i = 0; i < upperPrefix.size(); ++i) {
    if (ToUpperAscii(text[i]) != upperPrefix[i]) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view upperB) {
  return a.size() == upperB.size() && StartsWithNoCase(a, upperB);
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with,
                       bool ignoreCase) {
  if (what.empty()) return std::string(text);
  const std::string upperWhat = ignoreCase ? ToUpperAscii(what) : std::string(what);
  // Candidates start with the first character of `what` in either letter case.
  const char first = upperWhat[0];
  const char firstLower = ignoreCase && first >= 'A' && first <= 'Z' ? static_cast<char>(first - 'A' + 'a') : first;
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != first && text[i] != firstLower) {
      ++i;
      continue;
    }
    const std::string_view rest = text.substr(i);
    if (ignoreCase ? StartsWithNoCase(rest, upperWhat) : rest.starts_with(what)) {
      out.append(text.substr(copied, i - copied));
      out.append(with);
      i += what.size();
      copied = i;
    } else {
      ++i;
    }
  }
  out.append(text.substr(copied));
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace kv
