#include "subconv.h"

#include <cmath>
#include <cstdio>
#include <ostream>

#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv::subconv {

namespace {

std::optional<int> FormatByName(const std::string& name) {
  if (name == "srt") return sfSubRip;
  if (name == "tabbed") return sfTabbed;
  if (name == "msdump") return sfMillisecondDump;
  return std::nullopt;
}

bool CanOpen(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

std::uint32_t Shifted(std::int64_t shifted) {
  if (shifted < 0) return 0;
  return shifted >= kUnreadableTime ? kUnreadableTime - 1 : static_cast<std::uint32_t>(shifted);
}

}  // namespace

std::string Usage() {
  return "usage: kavello-subconv [--fps N] [--offset MS] [--to srt|tabbed|msdump] IN OUT\n"
         "  Converts a subtitle file in any of the seven layouts Kavello reads.\n"
         "  --fps N       frames per second of frame-numbered files (default 25; a framerate\n"
         "                line in the file wins)\n"
         "  --offset MS   milliseconds added to every time (negative: earlier); entries that\n"
         "                end before zero are dropped\n"
         "  --to FORMAT   srt (default), tabbed or msdump\n"
         "  exit codes: 0 written, 1 bad arguments or OUT not written, 2 IN not a subtitle file\n"
         "              or without entries\n";
}

std::optional<TOptions> ParseArguments(const std::vector<std::string>& args, std::string& error) {
  TOptions options;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      return options;
    }
    if (arg != "--fps" && arg != "--offset" && arg != "--to") {
      if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
        error = "unknown option " + arg;
        return std::nullopt;
      }
      files.push_back(arg);
      continue;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--fps") {
      const auto fps = ParseDecimalNumber(value);
      if (!fps || !std::isfinite(*fps) || *fps <= 0) {
        error = "--fps needs a positive number, not \"" + value + "\"";
        return std::nullopt;
      }
      options.framerate = *fps;
    } else if (arg == "--offset") {
      const auto offset = ParseIntegerText(value);
      if (!offset) {
        error = "--offset needs whole milliseconds, not \"" + value + "\"";
        return std::nullopt;
      }
      options.offset = *offset;
    } else {
      const auto format = FormatByName(value);
      if (!format) {
        error = "--to takes srt, tabbed or msdump, not \"" + value + "\"";
        return std::nullopt;
      }
      options.format = *format;
    }
  }
  if (files.size() != 2) {
    error = "expected IN and OUT";
    return std::nullopt;
  }
  options.input = files[0];
  options.output = files[1];
  return options;
}

void ShiftTimes(TSubTitles& list, std::int32_t offset) {
  if (offset == 0) return;
  std::erase_if(list.Items, [offset](const TSubTitleItem& item) {
    return item.Stop != kUnreadableTime && std::int64_t{item.Stop} + offset < 0;
  });
  for (TSubTitleItem& item : list.Items) {
    if (item.Start != kUnreadableTime) item.Start = Shifted(std::int64_t{item.Start} + offset);
    if (item.Stop != kUnreadableTime) item.Stop = Shifted(std::int64_t{item.Stop} + offset);
  }
}

int Convert(const TOptions& options, std::ostream& err) {
  const std::string& in = options.input;
  if (!CanOpen(in)) {
    err << "kavello-subconv: cannot open " << in << "\n";
    return kExitNoSubtitles;
  }
  if (TSubTitles::DetectFormat(in) == sfNone) {
    err << "kavello-subconv: " << in << " is not a subtitle file\n";
    return kExitNoSubtitles;
  }
  TSubTitles list;
  if (options.framerate) list.SetFramerate(*options.framerate);
  if (!list.LoadFromFile(in, true)) {
    err << "kavello-subconv: " << in << " holds no subtitle entry\n";
    return kExitNoSubtitles;
  }
  ShiftTimes(list, options.offset);
  if (list.Items.empty()) {
    err << "kavello-subconv: the offset moves every entry of " << in << " before zero\n";
    return kExitNoSubtitles;
  }
  if (!list.SaveToFile(options.format, options.output)) {
    err << "kavello-subconv: cannot write " << options.output << "\n";
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace kv::subconv
