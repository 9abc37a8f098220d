// kavello-modclasses MODULE.so LIST: writes the class list of a filter module (class_list.h)
// at build time, so that the program registers the module's classes without loading it.
// A module that adds device providers gets no list (it is loaded at start, as it must be).
#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/com/class_list.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kavello-modclasses MODULE.so LIST\n");
    return 2;
  }
  const std::string module = argv[1], list = argv[2];
  std::remove(list.c_str());  // no stale list, whatever happens below
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "kavello-modclasses: %s\n", dlerror());
    return 1;
  }
  auto fn = reinterpret_cast<KavelloRegisterFiltersFn>(dlsym(handle, kKavelloRegisterFiltersExport));
  kv::TClassRegistry registry;
  if (!fn || kv::FAILED(fn(&registry))) {
    std::fprintf(stderr, "kavello-modclasses: %s does not register its classes\n", module.c_str());
    return 1;
  }
  if (registry.HasDeviceProviders()) {
    std::printf("kavello-modclasses: %s lists devices: loaded at start, no class list\n", module.c_str());
    return 0;
  }
  const std::string temporary = list + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << kv::FormatClassList(registry.Classes());
    if (!out.flush()) {
      std::fprintf(stderr, "kavello-modclasses: cannot write %s\n", temporary.c_str());
      return 1;
    }
  }
  return std::rename(temporary.c_str(), list.c_str()) == 0 ? 0 : 1;
}
