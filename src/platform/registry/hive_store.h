// HiveStore: the file behind one hive, shared by every TRegistry of the process.
//
// Reading: the file is parsed once and kept; a read first compares the file's identity
// (device, inode, size, modification and change times) with the one parsed, and reads the
// file again only when it changed. Inode numbers are reused and time stamps are coarse,
// so two quick writes of the same length could carry the same identity: an identity whose
// time stamps are less than KTrustAfter old is therefore not trusted, and such a file is
// read again and compared by content hash (re-parsed only when the bytes differ). Once the
// stamps are older than that, any later write carries newer stamps and is seen.
// Writing (Mutate): under an exclusive flock on "<hive>.lock" the file is checked afresh,
// the change is applied to a copy of that fresh document, and the result is written to
// "<hive>.tmp", fsynced and renamed over the hive (then the folder is fsynced). Two
// threads or two processes therefore never lose each other's values, and a crash leaves
// either the old or the new file; a leftover "<hive>.tmp" is never read and is overwritten
// by the next writer. A file that exists but cannot be read is never overwritten.
//
// Threads: any thread. `mutex_` serialises this process's use of the cache and of the
// lock file; the flock serialises processes. Lock order: mutex_, then the flock.
// Diagnostics (skipped lines) are reported through the hook after both are released,
// each distinct line once per process.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <ctime>
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
  // How many times any store of this process parsed a file (tests count re-parses).
  static uint64_t ParseCountForTesting();

  // What identifies one version of the file.
  struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const FileStamp& other) const;
  };

  // File time stamps younger than this are not trusted to reveal the next change.
  static constexpr int64_t KTrustAfterNs = 2'000'000'000;

 private:
  explicit HiveStore(std::string path) : path_(std::move(path)) {}

  enum class LoadResult { Loaded, Missing, Failed };

  // Brings cached_ up to date with the file (reading and parsing only when it changed);
  // collects skipped lines into pendingReports_. Missing: cached_ is the empty document.
  LoadResult RefreshLocked();
  // Keeps `document`, written as `text`, as the cache of the file as it stands now.
  void CacheWrittenLocked(HiveDocument document, const std::string& text);
  void SetStampLocked(const FileStamp& stamp);
  // Writes the document; on success `text` holds what was written.
  bool WriteLocked(const HiveDocument& document, std::string& text);
  void NoteSkippedLocked(const std::vector<SkippedLine>& skipped);
  void FlushReports();
  // The file that is really written: the target of the hive path when that is a symlink.
  std::string TargetPath() const;

  const std::string path_;
  std::mutex mutex_;  // guards reported_, pendingReports_ and this process's use of the
                      // lock and temporary files
  std::set<std::string> reported_;            // skipped lines already reported
  std::vector<std::string> pendingReports_;   // to be reported once the mutex is released
  // The cache (guarded by mutex_): the document as last read or written, and what it came from.
  HiveDocument cached_;
  bool cacheValid_ = false;    // false: nothing read yet, or the file was missing/unreadable
  FileStamp cachedStamp_;
  bool stampTrusted_ = false;  // the stamps were old enough to reveal any later change
  size_t cachedHash_ = 0;      // hash of the bytes cached_ was parsed from
};

// Sends a line to the diagnostic hook set by SetDiagnosticHook (any thread, no lock held).
void ReportDiagnostic(const std::string& line);

}  // namespace kv::registry
