#include "openfiles/file_filter.h"

#include <cctype>

#include "engine/catalogue.h"

namespace kv {
namespace {

const char kSubtitleMasks[] = "*.srt;*.txt;*.aqt;*.ssa;*.sub";

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Wildcard match with backtracking over the last "*" (linear in practice, never recursive).
bool Wildcard(const std::string& name, const std::string& mask) {
  size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && Fold(mask[m]) == Fold(name[n])))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

std::string OpenFilesFilter(const TCatalogue& c) {
  return "All supported media|" + c.VideoFileMask + ";" + c.AudioFileMask + ";" + kSubtitleMasks +
         "|All video media|" + c.VideoFileMask + "|All audio media|" + c.AudioFileMask + "|" +
         c.VideoFileFilter + "|" + c.AudioFileFilter + "|Subtitles|" + kSubtitleMasks +
         "|All files|*.*";
}

std::vector<TFilterEntry> ParseFilter(const std::string& filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<TFilterEntry> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) out.push_back({parts[i], parts[i + 1]});
  return out;
}

bool MatchesMasks(const std::string& fileName, const std::string& masks) {
  size_t start = 0;
  while (start <= masks.size()) {
    size_t semi = masks.find(';', start);
    std::string mask = masks.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
    if (mask == "*.*" || (!mask.empty() && Wildcard(fileName, mask))) return true;
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return false;
}

}  // namespace kv
