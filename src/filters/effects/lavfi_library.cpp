#include "filters/effects/lavfi_library.h"

#include <dlfcn.h>

#include <mutex>

namespace kv::effects {

namespace {

#define KV_STR2(x) #x
#define KV_STR(x) KV_STR2(x)

template <class F>
bool Resolve(void* library, const char* name, F* function) {
  *function = reinterpret_cast<F>(dlsym(library, name));
  return *function != nullptr;
}

bool Load(TLavfiApi* api) {
  void* library = dlopen("libavfilter.so." KV_STR(LIBAVFILTER_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;  // kept loaded for the process's life once it is there
  return Resolve(library, "avfilter_get_by_name", &api->GetByName) &&
         Resolve(library, "avfilter_graph_alloc", &api->GraphAlloc) &&
         Resolve(library, "avfilter_graph_create_filter", &api->GraphCreateFilter) &&
         Resolve(library, "avfilter_graph_parse_ptr", &api->GraphParsePtr) &&
         Resolve(library, "avfilter_graph_config", &api->GraphConfig) &&
         Resolve(library, "avfilter_graph_free", &api->GraphFree) &&
         Resolve(library, "avfilter_inout_alloc", &api->InOutAlloc) &&
         Resolve(library, "avfilter_inout_free", &api->InOutFree) &&
         Resolve(library, "av_buffersrc_add_frame_flags", &api->BufferSrcAddFrameFlags) &&
         Resolve(library, "av_buffersink_get_frame", &api->BufferSinkGetFrame) &&
         Resolve(library, "av_buffersink_get_time_base", &api->BufferSinkGetTimeBase);
}

}  // namespace

const TLavfiApi* LavfiApi() {
  static std::once_flag once;
  static TLavfiApi api{};
  static bool loaded = false;
  std::call_once(once, [] { loaded = Load(&api); });
  return loaded ? &api : nullptr;
}

}  // namespace kv::effects
