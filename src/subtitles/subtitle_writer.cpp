// TSubTitles::SaveToFile: SubRip (code 1), tabbed (code 7) and the millisecond dump (code 100).
#include <cstdio>
#include <memory>
#include <string>

#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendSubRip(std::string& out, std::size_t number, const TSubTitleItem& item) {
  out += std::to_string(number);
  out += kLineEnd;
  out += FormatTime(item.Start, TTimeForm::Milliseconds);
  out += " --> ";
  out += FormatTime(item.Stop, TTimeForm::Milliseconds);
  out += kLineEnd;
  out += ReplaceAll(item.Text(), "|", kLineEnd);
  out += kLineEnd;
  out += kLineEnd;
}

void AppendTabbed(std::string& out, const TSubTitleItem& item) {
  out += FormatTime(item.Start, TTimeForm::Hundredths);
  out += '\t';
  out += FormatTime(item.Stop, TTimeForm::Hundredths);
  out += '\t';
  out += ReplaceAll(item.Text(), "|", "<P>");
  out += kLineEnd;
}

void AppendDump(std::string& out, const TSubTitleItem& item) {
  out += '{';
  out += std::to_string(item.Start);
  out += "}{";
  out += std::to_string(item.Stop);
  out += '}';
  out += item.Text();
  out += kLineEnd;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool TSubTitles::SaveToFile(int format, const std::string& fileName) const {
  if (format != sfSubRip && format != sfTabbed && format != sfMillisecondDump) return false;
  if (Items.empty() || fileName.empty()) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "wb"));
  if (!file) return false;
  std::string chunk;
  std::size_t number = 0;
  for (const TSubTitleItem& item : Items) {
    switch (format) {
      case sfSubRip: AppendSubRip(chunk, ++number, item); break;
      case sfTabbed: AppendTabbed(chunk, item); break;
      default: AppendDump(chunk, item); break;
    }
    if (chunk.size() >= 64 * 1024) {
      if (std::fwrite(chunk.data(), 1, chunk.size(), file.get()) != chunk.size()) return false;
      chunk.clear();
    }
  }
  if (std::fwrite(chunk.data(), 1, chunk.size(), file.get()) != chunk.size()) return false;
  // Closing flushes; a full disk shows up here.
  return std::fclose(file.release()) == 0;
}

}  // namespace kv
