#include "app/startup_prefetch.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <system_error>

#include "filters/render/mixing_renderer.h"
#include "platform/com/class_list.h"

namespace kv {

TStartupPrefetch::~TStartupPrefetch() {
  if (glThread_.joinable()) glThread_.join();
  if (thread_.joinable()) thread_.join();
  for (void* handle : modules_) dlclose(handle);
}

void TStartupPrefetch::AskOpenGl() {
  if (glThread_.joinable()) return;
  try {
    glThread_ = std::thread([] { render::OpenGlAvailable(); });
  } catch (const std::system_error&) {
    // No thread: the module thread or the device list asks it.
  }
}

void TStartupPrefetch::WaitForModules() {
  if (thread_.joinable()) thread_.join();
}

void TStartupPrefetch::Start(const std::string& programDir) {
  if (thread_.joinable()) return;
  const std::string folder = programDir + "/Components/Filters";
  try {
    thread_ = std::thread([this, folder] {
      std::vector<std::string> names;
      if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir)) {
          const std::string n = e->d_name;
          if (n.size() > 3 && n.compare(n.size() - 3, 3, ".so") == 0) names.push_back(n);
        }
        closedir(dir);
      }
      std::sort(names.begin(), names.end());  // the order the registry loads them in
      // The same flags as the registry's load: one mapping, shared. A module with a class
      // list is loaded only when a file needs it: not here either.
      for (const std::string& n : names) {
        const std::string path = folder + "/" + n;
        if (FreshClassList(path)) continue;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) modules_.push_back(handle);
      }
      if (!glThread_.joinable()) render::OpenGlAvailable();  // (asked here when AskOpenGl could not)
    });
  } catch (const std::system_error&) {
    // No thread: everything is done where it is needed, as without the prefetch.
  }
}

}  // namespace kv
