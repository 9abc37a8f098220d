#include "engine/teletext_name.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kv {

namespace {

std::string TwoDigits(int v) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", v % 100);
  return text;
}

std::string MediaName(const std::string& file) {
  size_t slash = file.find_last_of('/');
  std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string TimeStamp(const TLocalTime& t, bool singlePage) {
  std::string s = TwoDigits(t.Year % 100) + TwoDigits(t.Month) + TwoDigits(t.Day) + "-" + TwoDigits(t.Hour) +
                  TwoDigits(t.Minute) + TwoDigits(t.Second);
  if (singlePage) s += TwoDigits(t.Millisecond / 10);
  return s;
}

}  // namespace

TLocalTime LocalTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  TLocalTime t;
  t.Year = tm.tm_year + 1900;
  t.Month = tm.tm_mon + 1;
  t.Day = tm.tm_mday;
  t.Hour = tm.tm_hour;
  t.Minute = tm.tm_min;
  t.Second = tm.tm_sec;
  t.Millisecond = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return t;
}

std::string TeletextNameStem(const std::string& directory, int32_t filenameMode, const std::string& mediaFile,
                             const TLocalTime& now, bool singlePage) {
  std::string d = directory;
  if (!d.empty() && d.back() != '/') d += '/';
  switch (filenameMode) {
    case 0: return d + MediaName(mediaFile) + "-";
    case 1: return d + MediaName(mediaFile) + "-" + TimeStamp(now, singlePage);
    case 3: return d + TimeStamp(now, singlePage);
    default: return d;
  }
}

bool TeletextNameHasPage(int32_t filenameMode) { return filenameMode == 0 || filenameMode == 2; }

std::string TeletextPageTag(int32_t page, int32_t subpage) {
  char text[24];
  std::snprintf(text, sizeof text, "P%03X-S%04X", static_cast<unsigned>(page) & 0xFFF,
                static_cast<unsigned>(subpage) & 0xFFFF);
  return text;
}

int32_t TeletextFormatBits(int32_t saveAs) { return saveAs >= 0 && saveAs <= 3 ? (saveAs + 1) * 16 : -1; }

std::string TeletextExtension(int32_t saveAs) {
  switch (saveAs) {
    case 0: return ".bmp";
    case 1:
    case 2: return ".ttx";
    case 3: return ".html";
    default: return "";
  }
}

}  // namespace kv
