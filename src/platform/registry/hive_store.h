// HiveStore: the file behind one hive, shared by every TRegistry of the process.
//
// Reading: every read opens and parses the file afresh (a hive is a few kilobytes), so a
// value another process wrote is seen at once. A cache keyed on inode, size and time stamp
// was rejected: inode numbers are reused at once and time stamps are coarse, so two quick
// writes of the same length could go unseen.
// Writing (Mutate): under an exclusive flock on "<hive>.lock" the file is read afresh,
// the change is applied to that fresh copy, and the result is written to "<hive>.tmp",
// fsynced and renamed over the hive (then the folder is fsynced). Two threads or two
// processes therefore never lose each other's values, and a crash leaves either the old
// or the new file; a leftover "<hive>.tmp" is never read and is overwritten by the next
// writer. A file that exists but cannot be read is never overwritten.
//
// Threads: any thread. `mutex_` serialises this process's use of the cache and of the
// lock file; the flock serialises processes. Lock order: mutex_, then the flock.
// Diagnostics (skipped lines) are reported through the hook after both are released,
// each distinct line once per process.
#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/registry/hive_document.h"
#include "platform/registry/reg_format.h"

namespace kv::registry {

class HiveStore {
 public:
  // The store of the file at `path` (one per path for the life of the process).
  static HiveStore& ForPath(const std::string& path);

  const std::string& Path() const { return path_; }

  // Calls `reader` with an up-to-date document. A missing or unreadable file reads empty.
  void Read(const std::function<void(const HiveDocument&)>& reader);

  // Applies `change` to a fresh copy of the file under the lock and writes the result when
  // `change` returns true. Returns false when the file could not be read or written; the
  // file is then unchanged.
  bool Mutate(const std::function<bool(HiveDocument&)>& change);

  // Test hook: runs after the temporary file is written and synced, before the rename
  // (tests end a child process there to simulate a crash).
  static void SetBeforeRenameHookForTesting(std::function<void()> hook);

 private:
  explicit HiveStore(std::string path) : path_(std::move(path)) {}

  enum class LoadResult { Loaded, Missing, Failed };

  // Reads and parses the file; collects skipped lines into pendingReports_.
  LoadResult LoadLocked(HiveDocument& document);
  bool WriteLocked(const HiveDocument& document);
  void NoteSkippedLocked(const std::vector<SkippedLine>& skipped);
  void FlushReports();
  // The file that is really written: the target of the hive path when that is a symlink.
  std::string TargetPath() const;

  const std::string path_;
  std::mutex mutex_;  // guards reported_, pendingReports_ and this process's use of the
                      // lock and temporary files
  std::set<std::string> reported_;            // skipped lines already reported
  std::vector<std::string> pendingReports_;   // to be reported once the mutex is released
};

// Sends a line to the diagnostic hook set by SetDiagnosticHook (any thread, no lock held).
void ReportDiagnostic(const std::string& line);

}  // namespace kv::registry
