// What the About box lists: the player's version, the build's date and the libraries in use
// with their versions and licences, read at run time from the libraries where they tell.
// Threads: any; plain functions.
#pragma once

#include <string>
#include <vector>

namespace kv::about {

struct TLibraryInfo {
  std::string name;
  std::string version;
  std::string licence;
};

// The version the player was built as ("2.3.0").
std::string ProgramVersion();
// The build's date as YYYY-MM-DD.
std::string BuildDate();
// "Mmm dd yyyy" (the compiler's date form) as YYYY-MM-DD; the text unchanged when it is not
// in that form.
std::string IsoDate(const std::string& compilerDate);
// Qt, FFmpeg's libraries, libpulse, libjpeg-turbo and libzvbi, in that order.
std::vector<TLibraryInfo> LibrariesInUse();

}  // namespace kv::about
