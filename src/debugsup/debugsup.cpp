#include "debugsup/debugsup.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cinttypes>

namespace kv {

TDebug Debug;

void TDebug::SetFileName(const std::string& path) { fileName_ = path; }

void TDebug::SetTimeSource(TimeSource source) { timeSource_ = std::move(source); }

std::string TDebug::FormatStamp(int hours, int minutes, int seconds, int milliseconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d.%03d", hours, minutes, seconds, milliseconds);
  return buf;
}

void TDebug::AppendLine(const std::string& line) {
  if (fileName_.empty()) return;
  std::lock_guard<std::mutex> lock(writeMutex_);
  std::FILE* f = std::fopen(fileName_.c_str(), "ab");
  if (!f) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fwrite("\r\n", 1, 2, f);
  std::fclose(f);
}

void TDebug::TextOut(const std::string& text) {
  if (!Enabled) return;
  int h = 0, m = 0, s = 0, ms = 0;
  if (timeSource_) {
    timeSource_(h, m, s, ms);
  } else {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    h = tm.tm_hour;
    m = tm.tm_min;
    s = tm.tm_sec;
    ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  }
  AppendLine(FormatStamp(h, m, s, ms) + ": " + text);
}

void TDebug::IntegerOut(const std::string& name, int32_t value) {
  if (!Enabled) return;
  TextOut(name + ": " + std::to_string(value));
}

void TDebug::FloatOut(const std::string& name, double value) {
  if (!Enabled) return;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  TextOut(name + ": " + buf);
}

void TDebug::BoolOut(const std::string& name, bool value) {
  if (!Enabled) return;
  TextOut(name + (value ? ": true" : ": false"));
}

void TDebug::BinaryOut(const std::string& name, size_t size, const void* address) {
  TextOut(name + ", size=" + std::to_string(size));
  const auto* bytes = static_cast<const uint8_t*>(address);
  for (size_t off = 0; off < size; off += 8) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04zX:", off);
    std::string line = buf;
    if (!bytes) {
      line += " access error";
      AppendLine(line);
      return;
    }
    for (size_t i = off; i < size && i < off + 8; ++i) {
      std::snprintf(buf, sizeof buf, " %02X", bytes[i]);
      line += buf;
    }
    AppendLine(line);
  }
}

void TDebug::Clear() {
  if (!fileName_.empty()) std::remove(fileName_.c_str());
}

}  // namespace kv
