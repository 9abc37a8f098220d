// Regular files only: opening and listing that never block on a named pipe or a device.
//
// What it is: the one place where the player decides whether a path is something it may
// read. A FIFO, socket or device with a film's or subtitle's name would block an open() or a
// read() for good (a FIFO's open waits for a writer), so only regular files are opened,
// attached to a title or handed to the file source. The check is made twice: a stat before
// anything is tried, and an open with O_NONBLOCK followed by fstat on the descriptor, so a
// file swapped for a pipe between the two cannot block either.
// Plain POSIX, no Qt; any thread.
#pragma once

#include <string>
#include <vector>

namespace kv::files {

// True when `path` names a regular file (symbolic links followed).
bool IsRegularFile(const std::string& path);

// Opens `path` read-only (close-on-exec, blocking reads) when it is a regular file. Never
// blocks in the open. Returns the descriptor (the caller closes it), or -1 with
// *errorNumber set: the open's errno, EISDIR for a directory, ENXIO for anything else
// that is not a regular file (pipe, socket, device).
int OpenRegularFile(const std::string& path, int* errorNumber = nullptr);

// Names (without folder) of the regular files in `directory`, in directory order. Entries
// that are something else (folders excepted) are left out and named in *skipped, so the
// caller can log them. An unreadable folder lists nothing.
std::vector<std::string> RegularFileNames(const std::string& directory, std::vector<std::string>* skipped = nullptr);

}  // namespace kv::files
