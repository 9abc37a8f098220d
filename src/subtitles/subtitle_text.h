// Text rules shared by the subtitle readers and writers: the "integer text" rule, the
// decimal framerate number, the 255-byte cut of an entry's text and the ASCII letter-case
// helpers. Pure functions, no state; callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Longest text an entry keeps, in bytes.
inline constexpr std::size_t kSubtitleTextLimit = 255;

// Integer text: optional leading spaces, an optional sign, then decimal digits or "$" and
// hexadecimal digits, and nothing after them. The value must fit in a signed 32-bit
// integer (larger numbers are not integer text). Empty text is not integer text.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);
inline bool IsIntegerText(std::string_view text) { return ParseIntegerText(text).has_value(); }

// Length of the longest prefix of `text` that the integer-text scanner accepts before it
// meets a character that cannot belong to integer text (spaces, sign, "$", digits in that
// order). Equals text.size() when the scanner reaches the end.
std::size_t IntegerTextScanLength(std::string_view text);

// A decimal number with "." as decimal point (optional leading spaces, sign, digits,
// fraction, exponent), nothing after it. Independent of the C locale.
std::optional<double> ParseDecimalNumber(std::string_view text);

// The length `text` keeps under the 255-byte cut: 255, or less when byte 255 would split a
// UTF-8 sequence (the cut then falls before that sequence's lead byte).
std::size_t SubtitleCutLength(std::string_view text);
// Applies the cut in place.
void CutSubtitleText(std::string& text);

// ASCII-only letter case, as the file layouts need (other bytes are left alone).
char ToUpperAscii(char c);
std::string ToUpperAscii(std::string_view text);
bool StartsWithNoCase(std::string_view text, std::string_view upperPrefix);
bool EqualsNoCase(std::string_view a, std::string_view upperB);

// Replaces every occurrence of `what` (compared without regard to ASCII letter case when
// `ignoreCase`) by `with`, scanning left to right without re-reading replaced text.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with,
                       bool ignoreCase = false);

// Removes leading and trailing blanks (spaces and TABs).
std::string_view TrimBlanks(std::string_view text);

}  // namespace kv
