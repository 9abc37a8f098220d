// Where the program lives: the folder of the running executable. Read-only data the program
// ships (Containers/, Decoders/, Filters/, Languages/, Lang/, Components/) is found relative
// to it, never relative to the current directory.
//
// Thread-safe; the directory is found once (from /proc/self/exe, symlinks resolved, so a
// bin/kavello link into the installed tree finds the tree) and then kept.
#pragma once

#include <string>

namespace kv {

// The program directory, without a trailing "/".
std::string ProgramDirectory();

// `relative` resolved against the program directory; an absolute path is returned as is.
// ProgramPath("Components/Options.so") -> "/opt/kavello/Components/Options.so".
std::string ProgramPath(const std::string& relative);

// Tests (whose executables live elsewhere) point the program directory at a build tree or
// a temporary folder; an empty text returns to the executable's folder.
void SetProgramDirectoryForTesting(const std::string& directory);

}  // namespace kv
