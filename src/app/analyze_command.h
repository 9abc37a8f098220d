// The command-line batch "kavello --analyze [--no-image] FILE...": the analyzer's run
// without a window and without a display.
//
// Each file is opened by the engine as an analysis open (null renderers, statistics on,
// picture measures unless --no-image, no decoding at all with --no-image), run unclocked to
// its end while the statistics callbacks fill a frame table, and the table is written as
// the file's ".cvs" (beside it, or in the user's data folder when that folder cannot be
// written) by the same code as the analyzer window's Save. One line per file goes to
// standard output: the frames, the total bytes, the mean bit rate and where the table went;
// a file that cannot be opened gets its reason on standard error. While standard error is
// a terminal a progress line is kept there.
//
// Threads: runs on the calling thread (the program's main thread, before any Qt object
// exists); the callbacks run on the graph's streaming threads.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kv {

// Whether the arguments ask for the batch (the first argument is "--analyze").
bool IsAnalyzeCommand(const std::vector<std::string>& args);

// Runs the batch. Exit code: 0 when every file was analysed, 1 when any could not be
// opened, 2 for a malformed command line (usage on err).
int RunAnalyzeCommand(const std::vector<std::string>& args, const std::string& callerCwd, std::FILE* out,
                      std::FILE* err);

}  // namespace kv
