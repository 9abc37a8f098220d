#include "platform/registry/hive_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>

namespace kv::registry {

namespace {

std::mutex g_storesMutex;  // guards g_stores
std::map<std::string, std::unique_ptr<HiveStore>>& Stores() {
  static std::map<std::string, std::unique_ptr<HiveStore>> stores;
  return stores;
}

std::mutex g_testHookMutex;  // guards g_beforeRename
std::function<void()> g_beforeRename;

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether closing succeeded (a late write error shows here).
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

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
  char buf[16384];
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
  Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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

HiveStore::LoadResult HiveStore::LoadLocked(HiveDocument& document) {
  Fd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
  std::string text;
  if (!ReadAll(fd.get(), text)) return LoadResult::Failed;
  ParsedHive parsed = ParseRegText(text);
  NoteSkippedLocked(parsed.skipped);
  document = std::move(parsed.document);
  return LoadResult::Loaded;
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
    HiveDocument document;
    LoadLocked(document);  // missing or unreadable: the empty document
    reader(document);
  }
  FlushReports();
}

bool HiveStore::WriteLocked(const HiveDocument& document) {
  const std::string target = TargetPath();
  const std::string temp = target + ".tmp";
  Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (fd.get() < 0) return false;
  struct stat st{};
  if (::stat(target.c_str(), &st) == 0) ::fchmod(fd.get(), st.st_mode & 07777);
  bool ok = WriteAll(fd.get(), SerializeRegText(document)) && ::fsync(fd.get()) == 0;
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
      Fd lockFd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
      int rc = -1;
      if (lockFd.get() >= 0) {
        while ((rc = ::flock(lockFd.get(), LOCK_EX)) != 0 && errno == EINTR) {
        }
      }
      if (rc == 0) {
        HiveDocument document;
        if (LoadLocked(document) != LoadResult::Failed) {
          ok = !change(document) || WriteLocked(document);
        }
      }
      // closing lockFd releases the flock
    }
  }
  FlushReports();
  return ok;
}

}  // namespace kv::registry
