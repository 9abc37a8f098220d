// The program's command line: "/c", "/log" [file], "/debug" and file names, in any order,
// compared exactly, one at a time from the first; plus the scripting switches of the Linux
// build ("--quit-at-end", "--screenshot-at SECONDS FILE", "--help"), which change nothing
// when absent.
//
// Pure logic: file existence is asked through a callback, and relative names are resolved
// against the caller's working directory here, before the program changes its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kv {

struct CommandLine {
  bool optionsDialog = false;  // "/c"
  bool log = false;            // "/log"
  std::string logFile;         // file after "/log" (resolved), empty = the default log
  bool debugMode = false;      // "/debug"
  std::string startFile;       // the last argument that names an existing file
  // The last argument taken for a file name that names no regular file (resolved).
  std::string unplayableArgument;
  // The first argument, resolved, when it names an existing file (the hand-over target).
  std::string firstArgumentFile;
  bool hasArguments = false;
  // Scripting extensions.
  bool quitAtEnd = false;
  bool help = false;
  double screenshotAtSeconds = -1;  // < 0: none
  std::string screenshotFile;
  std::vector<std::string> errors;  // malformed extension switches, one line each
};

// Joins a relative name to the working directory; absolute names are returned unchanged.
std::string ResolveAgainst(const std::string& cwd, const std::string& name);

// isMediaFile says whether an existing file is one the player opens as video or audio (the
// component catalogue's extensions); an argument after "/log" that is such a file is played,
// any other argument that is no switch names the log file. Empty: no file counts as media.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& cwd,
                             const std::function<bool(const std::string&)>& fileExists,
                             const std::function<bool(const std::string&)>& isMediaFile = {});

// True for the program's switches ("/c", "/log", "/debug", "-h" and every "--" switch).
bool IsSwitch(const std::string& arg);

// The text printed for "--help".
std::string CommandLineHelp();

}  // namespace kv
