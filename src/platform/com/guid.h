// GUID: the 128-bit identifier of classes, interfaces, categories and media types.
//
// Written in the 38-character registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
// Identifiers known at compile time are spelled with GuidLiteral("{...}") so that the code
// shows the same text a registry or a descriptor file holds; a malformed literal fails to
// compile. Plain value type, no Qt, safe to share between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};

  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
  friend constexpr bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
  // Orders by the registry text (Data1, Data2, Data3, Data4), for sorted containers.
  friend constexpr bool operator<(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
    return false;
  }
};

using IID = GUID;
using CLSID = GUID;

inline constexpr GUID GUID_NULL{};

namespace guid_detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// Reads `count` hex digits at `pos`; returns false on a non-hex character.
constexpr bool ReadHex(std::string_view text, size_t pos, int count, uint32_t& out) {
  out = 0;
  for (int i = 0; i < count; ++i) {
    int d = HexDigit(text[pos + i]);
    if (d < 0) return false;
    out = out * 16 + static_cast<uint32_t>(d);
  }
  return true;
}
constexpr std::optional<GUID> Parse(std::string_view text) {
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-')
    return std::nullopt;
  GUID g;
  uint32_t v = 0;
  if (!ReadHex(text, 1, 8, v)) return std::nullopt;
  g.Data1 = v;
  if (!ReadHex(text, 10, 4, v)) return std::nullopt;
  g.Data2 = static_cast<uint16_t>(v);
  if (!ReadHex(text, 15, 4, v)) return std::nullopt;
  g.Data3 = static_cast<uint16_t>(v);
  const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, bytePos[i], 2, v)) return std::nullopt;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  return g;
}
void MalformedGuidLiteral();  // never defined: reaching it in a constant expression fails the build
}  // namespace guid_detail

// A GUID from its registry text, for constants: GuidLiteral("{56A86891-0AD4-11CE-B03A-0020AF0BA770}").
consteval GUID GuidLiteral(const char* text) {
  auto g = guid_detail::Parse(std::string_view(text));
  if (!g) guid_detail::MalformedGuidLiteral();
  return *g;
}

// Strict parse of the 38-character registry form (braces and hyphens where they belong,
// hex digits of either case). Returns nullopt for anything else. Any thread.
std::optional<GUID> GuidFromString(std::string_view text);

// The registry form with upper-case hex digits, e.g. "{083863F1-70DE-11D0-BD40-00A0C911CE86}".
std::string GuidToString(const GUID& guid);

}  // namespace kv

template <>
struct std::hash<kv::GUID> {
  size_t operator()(const kv::GUID& g) const noexcept {
    uint64_t lo = (uint64_t(g.Data1) << 32) | (uint64_t(g.Data2) << 16) | g.Data3;
    uint64_t hi = 0;
    for (int i = 0; i < 8; ++i) hi = (hi << 8) | g.Data4[i];
    return std::hash<uint64_t>()(lo * 0x9E3779B97F4A7C15ull ^ hi);
  }
};
