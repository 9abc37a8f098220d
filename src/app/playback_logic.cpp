#include "app/playback_logic.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace kv::playback {

std::string FormatHMS(int32_t ms) {
  if (ms < 0) ms = 0;
  int32_t seconds = ms / 1000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buf;
}

std::string StatusText(int state, int32_t positionMs, int32_t durationMs) {
  // The percentage needs 64 bits: position x 100 overflows 32 bits after about 6 hours.
  auto percent = [&]() -> std::string {
    if (durationMs <= 0) return "0%";
    return std::to_string(static_cast<int64_t>(positionMs) * 100 / durationMs) + "%";
  };
  switch (state) {
    case kRunning: return "PLAY " + FormatHMS(positionMs) + " " + percent();
    case kOpened: return "OPEN";
    case kPaused: return "PAUSE " + FormatHMS(positionMs) + " " + percent();
    case kStopped: return "STP " + FormatHMS(durationMs);
    default: return "";
  }
}

int32_t ForwardTarget(int32_t positionMs, int32_t durationMs, int32_t stepMs) {
  if (static_cast<int64_t>(durationMs) - positionMs > stepMs) return positionMs + stepMs;
  return -1;
}

int32_t BackTarget(int32_t positionMs, int32_t stepMs) {
  return positionMs > stepMs ? positionMs - stepMs : 0;
}

int32_t RateTag(double rate) { return static_cast<int32_t>(std::nearbyint(rate * 100.0)); }

std::string CaptureName(int year, int month, int day, int hour, int minute, int second, int ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d-%02d%02d%02d%02d", year % 100, month, day, hour, minute,
                second, ms / 10);
  return buf;
}

std::string QtFileFilter(const std::string& windowsFilter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= windowsFilter.size()) {
    size_t bar = windowsFilter.find('|', start);
    if (bar == std::string::npos) bar = windowsFilter.size();
    parts.push_back(windowsFilter.substr(start, bar - start));
    start = bar + 1;
  }
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string masks;
    size_t s = 0;
    const std::string& list = parts[i + 1];
    while (s <= list.size()) {
      size_t semi = list.find(';', s);
      if (semi == std::string::npos) semi = list.size();
      std::string mask = list.substr(s, semi - s);
      if (mask == "*.*") mask = "*";
      if (!mask.empty()) masks += (masks.empty() ? "" : " ") + mask;
      s = semi + 1;
    }
    if (masks.empty()) continue;
    if (!out.empty()) out += ";;";
    out += parts[i] + " (" + masks + ")";
  }
  return out;
}

}  // namespace kv::playback
