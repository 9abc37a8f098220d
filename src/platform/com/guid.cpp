#include "platform/com/guid.h"

#include <cstdio>

namespace kv {

std::optional<GUID> GuidFromString(std::string_view text) { return guid_detail::Parse(text); }

std::string GuidToString(const GUID& g) {
  char buf[39];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return std::string(buf, 38);
}

}  // namespace kv
