#include "platform/files/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kv::files {

bool IsRegularFile(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int OpenRegularFile(const std::string& path, int* errorNumber) {
  auto fail = [errorNumber](int err) {
    if (errorNumber) *errorNumber = err;
    return -1;
  };
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return fail(errno);
  if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : ENXIO);
  // The file may have been replaced since the stat: O_NONBLOCK keeps a FIFO's open from
  // waiting for a writer, and fstat looks at what was really opened.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return fail(errno);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    ::close(fd);
    return fail(err);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int err = errno;
    ::close(fd);
    return fail(err);
  }
  return fd;
}

std::vector<std::string> RegularFileNames(const std::string& directory, std::vector<std::string>* skipped) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return names;
  const std::string prefix = (!directory.empty() && directory.back() == '/') ? directory : directory + "/";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st{};
    if (::stat((prefix + name).c_str(), &st) != 0) continue;  // a dangling link
    if (S_ISREG(st.st_mode)) {
      names.push_back(name);
    } else if (!S_ISDIR(st.st_mode) && skipped) {
      skipped->push_back(name);
    }
  }
  ::closedir(dir);
  return names;
}

}  // namespace kv::files
