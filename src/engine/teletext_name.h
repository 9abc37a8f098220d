// The file names teletext pages are saved under, and the SavePages flags of the settings.
// Pure functions; the engine's teletext operations (teletext.cpp) call them.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

struct TLocalTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};
TLocalTime LocalTimeNow();

// Steps 1 and 2 of the name: the directory (a "/" added when missing), then by filenameMode
// 0 media name + "-", 1 media name + "-" + time stamp, 2 nothing, 3 time stamp, others
// nothing. The time stamp is YYMMDD-hhmmss, with milliseconds div 10 after it for a
// single page. The media name is mediaFile without directory and extension.
std::string TeletextNameStem(const std::string& directory, int32_t filenameMode, const std::string& mediaFile,
                             const TLocalTime& now, bool singlePage);
// Whether a single page's name carries its page tag (filenameMode 0 and 2).
bool TeletextNameHasPage(int32_t filenameMode);
// "P" + page as three hexadecimal digits + "-S" + subpage as four, upper case: P100-S3F7F.
std::string TeletextPageTag(int32_t page, int32_t subpage);
// SaveAs 0..3: format bits 16, 32, 48, 64 and extensions ".bmp", ".ttx", ".ttx", ".html";
// -1 and "" for any other value.
int32_t TeletextFormatBits(int32_t saveAs);
std::string TeletextExtension(int32_t saveAs);

}  // namespace kv
