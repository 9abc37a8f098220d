// A settings source for OSD tests: a plain map of stored values.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>

#include "osd/osd_layout_values.h"

namespace kv::osd::test {

class TMapValueReader final : public IOsdValueReader {
 public:
  using Value = std::variant<int32_t, std::string>;
  std::map<std::string, Value> Values;

  std::optional<int32_t> ReadInteger(const std::string& name) override {
    auto it = Values.find(name);
    if (it == Values.end() || !std::holds_alternative<int32_t>(it->second)) return std::nullopt;
    return std::get<int32_t>(it->second);
  }
  std::optional<bool> ReadBool(const std::string& name) override {
    auto v = ReadInteger(name);
    if (!v) return std::nullopt;
    return *v != 0;
  }
  std::optional<std::string> ReadString(const std::string& name) override {
    auto it = Values.find(name);
    if (it == Values.end() || !std::holds_alternative<std::string>(it->second)) return std::nullopt;
    return std::get<std::string>(it->second);
  }
};

}  // namespace kv::osd::test
