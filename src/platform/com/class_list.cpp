#include "platform/com/class_list.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kv {

namespace {
constexpr const char* kHeader = "kavello-classes 1";

std::string MeritText(uint32_t merit) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", merit);
  return buf;
}
}  // namespace

std::string FormatClassList(const std::vector<TClassRegistration>& classes) {
  std::string out = std::string(kHeader) + "\n";
  for (const TClassRegistration& c : classes) {
    out += "class " + GuidToString(c.clsid) + " " + MeritText(c.merit) + " " + c.friendlyName + "\n";
    for (const GUID& g : c.categories) out += "category " + GuidToString(g) + "\n";
    for (const TRegPinTypes& t : c.inputTypes) out += "in " + GuidToString(t.majorType) + " " + GuidToString(t.subType) + "\n";
    for (const TRegPinTypes& t : c.outputTypes) out += "out " + GuidToString(t.majorType) + " " + GuidToString(t.subType) + "\n";
  }
  return out;
}

std::optional<std::vector<TClassRegistration>> ParseClassList(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  if (!std::getline(lines, line) || line != kHeader) return std::nullopt;
  std::vector<TClassRegistration> classes;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    const auto space = line.find(' ');
    if (space == std::string::npos) return std::nullopt;
    const std::string word = line.substr(0, space);
    const std::string rest = line.substr(space + 1);
    constexpr size_t kGuid = 38;
    if (word == "class") {
      // "{CLSID} 0xMMMMMMMM name": the name is the rest of the line, blanks and all.
      if (rest.size() < kGuid + 1 + 10 + 2 || rest[kGuid] != ' ' || rest[kGuid + 11] != ' ') return std::nullopt;
      auto clsid = GuidFromString(std::string_view(rest).substr(0, kGuid));
      const std::string merit = rest.substr(kGuid + 1, 10);
      char* end = nullptr;
      const unsigned long value = std::strtoul(merit.c_str(), &end, 16);
      if (!clsid || merit.compare(0, 2, "0x") != 0 || !end || *end) return std::nullopt;
      TClassRegistration c;
      c.clsid = *clsid;
      c.merit = static_cast<uint32_t>(value);
      c.friendlyName = rest.substr(kGuid + 12);
      if (c.friendlyName.empty()) return std::nullopt;
      classes.push_back(std::move(c));
    } else if (classes.empty()) {
      return std::nullopt;  // a class's details before any class
    } else if (word == "category") {
      auto g = GuidFromString(rest);
      if (!g) return std::nullopt;
      classes.back().categories.push_back(*g);
    } else if (word == "in" || word == "out") {
      if (rest.size() != 2 * kGuid + 1 || rest[kGuid] != ' ') return std::nullopt;
      auto major = GuidFromString(std::string_view(rest).substr(0, kGuid));
      auto sub = GuidFromString(std::string_view(rest).substr(kGuid + 1));
      if (!major || !sub) return std::nullopt;
      (word == "in" ? classes.back().inputTypes : classes.back().outputTypes).push_back({*major, *sub});
    } else {
      return std::nullopt;
    }
  }
  return classes;
}

std::string ClassListPath(const std::string& modulePath) {
  std::string base = modulePath;
  if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0) base.resize(base.size() - 3);
  return base + ".classes";
}

std::optional<std::vector<TClassRegistration>> FreshClassList(const std::string& modulePath) {
  const std::string listPath = ClassListPath(modulePath);
  struct stat module {}, list {};
  if (stat(modulePath.c_str(), &module) != 0 || stat(listPath.c_str(), &list) != 0) return std::nullopt;
  // A module rebuilt (or replaced) after its list was written may register other classes.
  if (list.st_mtim.tv_sec < module.st_mtim.tv_sec ||
      (list.st_mtim.tv_sec == module.st_mtim.tv_sec && list.st_mtim.tv_nsec < module.st_mtim.tv_nsec))
    return std::nullopt;
  std::ifstream in(listPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in && !in.eof()) return std::nullopt;
  return ParseClassList(text.str());
}

}  // namespace kv
