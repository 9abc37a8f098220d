#include "app/commandline.h"

#include <cstdlib>

namespace kv {

std::string ResolveAgainst(const std::string& cwd, const std::string& name) {
  if (name.empty() || name.front() == '/' || cwd.empty()) return name;
  if (cwd.back() == '/') return cwd + name;
  return cwd + "/" + name;
}

namespace {
bool ParseSeconds(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !(v >= 0) || v > 1e9) return false;
  out = v;
  return true;
}
}  // namespace

bool IsSwitch(const std::string& arg) {
  // The scripting switches ("--...") are never taken for a log file name either.
  return arg == "/c" || arg == "/log" || arg == "/debug" || arg == "-h" || arg.rfind("--", 0) == 0;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& cwd,
                             const std::function<bool(const std::string&)>& fileExists,
                             const std::function<bool(const std::string&)>& isMediaFile) {
  CommandLine cl;
  cl.hasArguments = !args.empty();
  if (!args.empty()) {
    std::string first = ResolveAgainst(cwd, args.front());
    if (!args.front().empty() && fileExists(first)) cl.firstArgumentFile = first;
  }
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "/c") {
      cl.optionsDialog = true;
    } else if (a == "/log") {
      cl.log = true;
      // The next argument is the log file unless it is a switch or names an existing file
      // the player would play: every absolute path starts with "/", so the first character
      // cannot tell a switch from a file here.
      if (i + 1 < args.size() && !args[i + 1].empty() && !IsSwitch(args[i + 1])) {
        const std::string next = ResolveAgainst(cwd, args[i + 1]);
        const bool media = fileExists(next) && isMediaFile && isMediaFile(next);
        if (!media) {
          cl.logFile = next;
          ++i;
        }
      }
    } else if (a == "/debug") {
      cl.debugMode = true;
    } else if (a == "--quit-at-end") {
      cl.quitAtEnd = true;
    } else if (a == "--help" || a == "-h") {
      cl.help = true;
    } else if (a == "--screenshot-at") {
      double seconds = 0;
      if (i + 2 < args.size() && ParseSeconds(args[i + 1], seconds) && !args[i + 2].empty()) {
        cl.screenshotAtSeconds = seconds;
        cl.screenshotFile = ResolveAgainst(cwd, args[i + 2]);
        i += 2;
      } else {
        cl.errors.push_back("--screenshot-at needs SECONDS and FILE.png");
        if (i + 1 < args.size()) ++i;
        if (i + 1 < args.size()) ++i;
      }
    } else {
      std::string resolved = ResolveAgainst(cwd, a);
      if (!a.empty() && fileExists(resolved)) cl.startFile = resolved;
      else if (!a.empty()) cl.unplayableArgument = resolved;
    }
  }
  return cl;
}

std::string CommandLineHelp() {
  return
      "Usage: kavello [/c] [/log [FILE]] [/debug] [--quit-at-end] [--screenshot-at SECONDS FILE.png] [FILE]\n"
      "\n"
      "  FILE                  media file to play (the last existing file named is played)\n"
      "  /c                    open the options dialog at start\n"
      "  /log [FILE]           write a debug log (default: kavello.log in the user's data folder);\n"
      "                        FILE is any name after /log but a switch or a media file to play\n"
      "  /debug                load the component libraries from their own sub-folders\n"
      "  --quit-at-end         exit at the end of the playlist instead of pausing (status 1 when\n"
      "                        a file could not be played; messages go to standard error)\n"
      "  --screenshot-at S F   save a picture of the window to F when playback reaches S seconds\n"
      "  --help                show this text\n"
      "\n"
      "       kavello --analyze [--no-image] FILE...\n"
      "  analyses each file without a window: one line per file (frames, bytes, mean bit rate)\n"
      "  and its frame table as FILE.cvs; --no-image leaves out the picture measures\n";
}

}  // namespace kv
