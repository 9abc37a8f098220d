#include "platform/registry/hive_store.h"

#include "platform/files/unique_fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>

namespace kv::registry {

namespace {

std::mutex g_storesMutex;  // guards g_stores
std::map<std::string, std::unique_ptr<HiveStore>>& Stores() {
  static std::map<std::string, std::unique_ptr<HiveStore>> stores;
  return stores;
}

std::mutex g_testHookMutex;  // guards g_beforeRename
std::function<void()> g_beforeRename;

std::atomic<uint64_t> g_parseCount{0};  // files parsed by any store (for tests)

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

int64_t RealTimeNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

size_t HashOf(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

std::string DirName(const std::string& path) {
  size_t cut = path.rfind('/');
  if (cut == std::string::npos) return ".";
  if (cut == 0) return "/";
  return path.substr(0, cut);
}

bool MakeDirectories(const std::string& dir) {
  struct stat st{};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (dir != "/" && dir != "." && !MakeDirectories(DirName(dir))) return false;
  return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool ReadAll(int fd, std::string& out) {
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out.append(buf, static_cast<size_t>(n));
  }
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

void SyncDirectory(const std::string& dir) {
  files::TUniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

HiveStore& HiveStore::ForPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_storesMutex);
  auto& slot = Stores()[path];
  if (!slot) slot.reset(new HiveStore(path));
  return *slot;
}

void HiveStore::SetBeforeRenameHookForTesting(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(g_testHookMutex);
  g_beforeRename = std::move(hook);
}

std::string HiveStore::TargetPath() const {
  struct stat st{};
  if (::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path_.c_str(), resolved)) return resolved;
  }
  return path_;
}

uint64_t HiveStore::ParseCountForTesting() { return g_parseCount.load(); }

bool HiveStore::FileStamp::operator==(const FileStamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         Nanoseconds(modified) == Nanoseconds(other.modified) && Nanoseconds(changed) == Nanoseconds(other.changed);
}

namespace {

HiveStore::FileStamp StampOf(const struct stat& st) {
  HiveStore::FileStamp stamp;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modified = st.st_mtim;
  stamp.changed = st.st_ctim;
  return stamp;
}

}  // namespace

void HiveStore::SetStampLocked(const FileStamp& stamp) {
  cachedStamp_ = stamp;
  const int64_t newest = std::max(Nanoseconds(stamp.modified), Nanoseconds(stamp.changed));
  stampTrusted_ = RealTimeNow() - newest > KTrustAfterNs;
}

HiveStore::LoadResult HiveStore::RefreshLocked() {
  struct stat st{};
  if (::stat(path_.c_str(), &st) == 0 && cacheValid_ && stampTrusted_ && StampOf(st) == cachedStamp_) {
    return LoadResult::Loaded;
  }
  // O_NONBLOCK: a FIFO put in place of the file must not hang the opening.
  files::TUniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    const bool missing = errno == ENOENT;
    cacheValid_ = false;
    cached_ = HiveDocument();
    return missing ? LoadResult::Missing : LoadResult::Failed;
  }
  std::string text;
  if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) text.reserve(static_cast<size_t>(st.st_size) + 1);
  // The stamp is taken before the bytes are read: a change made while reading shows as a
  // different stamp next time.
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd.get(), F_SETFL, 0) != 0 ||
      !ReadAll(fd.get(), text)) {
    cacheValid_ = false;
    cached_ = HiveDocument();
    return LoadResult::Failed;
  }
  const size_t hash = HashOf(text);
  if (!cacheValid_ || hash != cachedHash_) {
    ParsedHive parsed = ParseRegText(text);
    ++g_parseCount;
    NoteSkippedLocked(parsed.skipped);
    cached_ = std::move(parsed.document);
    cachedHash_ = hash;
  }
  cacheValid_ = true;
  SetStampLocked(StampOf(st));
  return LoadResult::Loaded;
}

void HiveStore::CacheWrittenLocked(HiveDocument document, const std::string& text) {
  struct stat st{};
  if (::stat(path_.c_str(), &st) != 0) {
    cacheValid_ = false;
    cached_ = HiveDocument();
    return;
  }
  cached_ = std::move(document);
  cachedHash_ = HashOf(text);
  cacheValid_ = true;
  SetStampLocked(StampOf(st));
}

void HiveStore::NoteSkippedLocked(const std::vector<SkippedLine>& skipped) {
  for (const auto& line : skipped) {
    if (!reported_.insert(line.text).second) continue;
    std::string shown = line.text.substr(0, 200);
    pendingReports_.push_back("Registry file " + path_ + ", line " + std::to_string(line.number) +
                              " unreadable, kept as it stands: " + shown);
  }
}

void HiveStore::FlushReports() {
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines.swap(pendingReports_);
  }
  for (const auto& line : lines) ReportDiagnostic(line);
}

void HiveStore::Read(const std::function<void(const HiveDocument&)>& reader) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (RefreshLocked() == LoadResult::Loaded) {
      reader(cached_);
    } else {
      reader(HiveDocument());  // missing or unreadable: the empty document
    }
  }
  FlushReports();
}

bool HiveStore::WriteLocked(const HiveDocument& document, std::string& text) {
  const std::string target = TargetPath();
  const std::string temp = target + ".tmp";
  files::TUniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (fd.get() < 0) return false;
  struct stat st{};
  if (::stat(target.c_str(), &st) == 0) ::fchmod(fd.get(), st.st_mode & 07777);
  text = SerializeRegText(document);
  bool ok = WriteAll(fd.get(), text) && ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  if (ok) {
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> lock(g_testHookMutex);
      hook = g_beforeRename;
    }
    if (hook) hook();
    ok = ::rename(temp.c_str(), target.c_str()) == 0;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncDirectory(DirName(target));
  return true;
}

bool HiveStore::Mutate(const std::function<bool(HiveDocument&)>& change) {
  bool ok = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (MakeDirectories(DirName(path_))) {
      const std::string lockPath = path_ + ".lock";
      files::TUniqueFd lockFd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
      int rc = -1;
      if (lockFd.get() >= 0) {
        while ((rc = ::flock(lockFd.get(), LOCK_EX)) != 0 && errno == EINTR) {
        }
      }
      if (rc == 0) {
        const LoadResult loaded = RefreshLocked();
        if (loaded != LoadResult::Failed) {
          HiveDocument document = loaded == LoadResult::Loaded ? cached_ : HiveDocument();
          std::string text;
          if (!change(document)) {
            ok = true;
          } else if (WriteLocked(document, text)) {
            CacheWrittenLocked(std::move(document), text);
            ok = true;
          }
        }
      }
      // closing lockFd releases the flock
    }
  }
  FlushReports();
  return ok;
}

}  // namespace kv::registry
