// Keeps Mesa's OpenGL driver mapped for the life of a test process that draws with OpenGL.
// The driver (dri/*_dri.so beside libGLX_mesa) is loaded and unloaded with each display
// connection; what it keeps for the process would then be reported by LeakSanitizer at exit
// from an "<unknown module>" that no suppression can name. Pinned (RTLD_NODELETE), its
// frames keep the driver's name and the driver entry of tests/battery/lsan.supp applies.
// Does nothing where Mesa is not installed.
#include <dlfcn.h>
#include <link.h>

#include <string>

namespace {

struct TKeepGlDriverMapped {
  TKeepGlDriverMapped() {
    void* glx = dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE);
    if (!glx) return;
    link_map* map = nullptr;
    if (dlinfo(glx, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return;
    std::string folder = map->l_name;
    folder.erase(folder.find_last_of('/') + 1);
    for (const char* driver : {"dri/swrast_dri.so", "dri/kms_swrast_dri.so"})
      dlopen((folder + driver).c_str(), RTLD_NOW | RTLD_NODELETE);
  }
};
const TKeepGlDriverMapped keepGlDriverMapped;

}  // namespace
