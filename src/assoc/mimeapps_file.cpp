#include "assoc/mimeapps_file.h"

namespace kv::assoc {
namespace {

std::string_view Trim(std::string_view s) {
  const char* ws = " \t\r";
  const size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

bool IsHeader(std::string_view line) {
  line = Trim(line);
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::string Header(std::string_view group) { return "[" + std::string(group) + "]"; }

}  // namespace

TMimeAppsFile TMimeAppsFile::Parse(std::string_view text) {
  TMimeAppsFile f;
  if (text.empty()) return f;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) {
      f.lines_.emplace_back(text.substr(pos));
      f.finalNewline_ = false;
      break;
    }
    f.lines_.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return f;
}

std::string TMimeAppsFile::Serialize() const {
  std::string out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i];
    if (i + 1 < lines_.size() || finalNewline_) out += '\n';
  }
  return out;
}

std::optional<std::pair<size_t, size_t>> TMimeAppsFile::GroupRange(std::string_view group) const {
  const std::string header = Header(group);
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (Trim(lines_[i]) != header) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !IsHeader(lines_[end])) ++end;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

std::optional<size_t> TMimeAppsFile::KeyLine(std::string_view group, std::string_view key) const {
  auto range = GroupRange(group);
  if (!range) return std::nullopt;
  for (size_t i = range->first; i < range->second; ++i) {
    const size_t eq = lines_[i].find('=');
    if (eq != std::string::npos && Trim(std::string_view(lines_[i]).substr(0, eq)) == key) return i;
  }
  return std::nullopt;
}

bool TMimeAppsFile::HasGroup(std::string_view group) const { return GroupRange(group).has_value(); }

std::optional<std::string> TMimeAppsFile::Get(std::string_view group, std::string_view key) const {
  auto line = KeyLine(group, key);
  if (!line) return std::nullopt;
  const std::string& l = lines_[*line];
  return std::string(Trim(std::string_view(l).substr(l.find('=') + 1)));
}

void TMimeAppsFile::Set(std::string_view group, std::string_view key, std::string_view value) {
  const std::string entry = std::string(key) + "=" + std::string(value);
  if (auto line = KeyLine(group, key)) {
    lines_[*line] = entry;
    return;
  }
  if (auto range = GroupRange(group)) {
    // After the group's last entry, before blank lines that separate it from the next group.
    size_t at = range->second;
    while (at > range->first && Trim(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), entry);
    return;
  }
  lines_.push_back(Header(group));
  lines_.push_back(entry);
}

bool TMimeAppsFile::Remove(std::string_view group, std::string_view key) {
  auto line = KeyLine(group, key);
  if (!line) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*line));
  return true;
}

void TMimeAppsFile::RemoveGroupIfEmpty(std::string_view group) {
  auto range = GroupRange(group);
  if (!range) return;
  for (size_t i = range->first; i < range->second; ++i)
    if (!Trim(lines_[i]).empty()) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->first - 1),
               lines_.begin() + static_cast<std::ptrdiff_t>(range->second));
}

std::vector<std::string> TMimeAppsFile::Keys(std::string_view group) const {
  std::vector<std::string> keys;
  auto range = GroupRange(group);
  if (!range) return keys;
  for (size_t i = range->first; i < range->second; ++i) {
    const size_t eq = lines_[i].find('=');
    if (eq != std::string::npos) keys.emplace_back(Trim(std::string_view(lines_[i]).substr(0, eq)));
  }
  return keys;
}

std::vector<std::string> SplitDesktopList(std::string_view value) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos <= value.size()) {
    size_t end = value.find(';', pos);
    if (end == std::string_view::npos) end = value.size();
    std::string_view item = Trim(value.substr(pos, end - pos));
    if (!item.empty()) items.emplace_back(item);
    pos = end + 1;
  }
  return items;
}

std::string JoinDesktopList(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& i : items) out += i + ";";
  return out;
}

}  // namespace kv::assoc
