#include "platform/module/program_directory.h"

#include <unistd.h>

#include <climits>
#include <mutex>

namespace kv {

namespace {

std::mutex g_mutex;  // guards g_override
std::string g_override;

std::string ExecutableDirectory() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  size_t cut = path.rfind('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

std::string ProgramDirectory() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_override.empty()) return g_override;
  }
  static const std::string directory = ExecutableDirectory();
  return directory;
}

std::string ProgramPath(const std::string& relative) {
  if (!relative.empty() && relative.front() == '/') return relative;
  std::string dir = ProgramDirectory();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + relative;
}

void SetProgramDirectoryForTesting(const std::string& directory) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = directory;
  while (g_override.size() > 1 && g_override.back() == '/') g_override.pop_back();
}

}  // namespace kv
