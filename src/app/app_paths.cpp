#include "app/app_paths.h"

#include <cstdlib>
#include <filesystem>

namespace kv {

std::string UserDataDirectory() {
  namespace fs = std::filesystem;
  fs::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = fs::path(home) / ".local" / "share";
  } else {
    base = fs::temp_directory_path();
  }
  fs::path dir = base / "kavello";
  std::error_code ec;
  fs::create_directories(dir, ec);
  return dir.string();
}

std::string UserDataFile(const std::string& name) {
  if (!name.empty() && name.front() == '/') return name;
  return (std::filesystem::path(UserDataDirectory()) / name).string();
}

}  // namespace kv
