#include "filters/demux/pin_names.h"

#include <algorithm>

namespace kv::demux {

namespace {

const char* KindName(TStreamKind kind) {
  switch (kind) {
    case TStreamKind::Video: return "Video";
    case TStreamKind::Audio: return "Audio";
    case TStreamKind::Teletext: return "Teletext";
  }
  return "Stream";
}

// Tags are free text: keep them on one line and of a sensible length.
std::string Clean(const std::string& text, size_t limit) {
  std::string out;
  for (char c : text) {
    if (out.size() >= limit) break;
    out += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

std::vector<std::string> MakePinNames(const std::vector<TStreamLabel>& streams) {
  std::vector<std::string> names;
  int counts[3] = {0, 0, 0};
  for (const auto& s : streams) {
    const int n = ++counts[static_cast<int>(s.kind)];
    std::string name = KindName(s.kind);
    if (n > 1) name += " " + std::to_string(n);
    const std::string title = Clean(s.title, 80);
    const std::string language = Clean(s.language, 16);
    if (!title.empty()) name += " - " + title;
    if (!language.empty() && language != "und") name += " [" + language + "]";
    // Titles could repeat a generated name ("Audio 2"); numbering keeps every name unique.
    std::string unique = name;
    for (int k = 2; std::find(names.begin(), names.end(), unique) != names.end(); ++k)
      unique = name + " (" + std::to_string(k) + ")";
    names.push_back(unique);
  }
  return names;
}

}  // namespace kv::demux
