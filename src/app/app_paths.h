// Where the program finds and writes its files on Linux.
// Read-only data (Containers/, Decoders/, Filters/, Languages/, Lang/, Components/) lies in the
// program directory; files the program writes under a relative name (the log, the subtitle
// dump, captures with no directory set) go to the user's data directory, because the program
// directory of an installed program is read-only.
#pragma once

#include <string>

namespace kv {

// $XDG_DATA_HOME/kavello (fallback ~/.local/share/kavello), created on first use.
std::string UserDataDirectory();
// A relative name placed in the user data directory; absolute names unchanged.
std::string UserDataFile(const std::string& name);

}  // namespace kv
