#include "filters/render/render_registration.h"

#include <mutex>

#include "filters/render/mixing_renderer.h"
#include "filters/render/null_renderer.h"
#include "filters/render/overlay_mixer.h"
#include "filters/render/renderer_interfaces.h"
#include "filters/render/windowed_renderer.h"
#include "platform/graph/media_guids.h"

namespace kv::render {

namespace {

class TVideoRenderer final : public TWindowedRenderer {
 public:
  TVideoRenderer() : TWindowedRenderer(KClsidVideoRenderer, 1, "Input") {}
};

TClassRegistration Video(const CLSID& clsid, const char* name, uint32_t merit, TClassFactory factory) {
  TClassRegistration r;
  r.clsid = clsid;
  r.friendlyName = name;
  r.merit = merit;
  r.inputTypes = {{MEDIATYPE_Video, GUID_NULL}};
  r.factory = std::move(factory);
  return r;
}

}  // namespace

void RegisterRenderFilters(TClassRegistry& registry) {
  static std::once_flag once;
  std::call_once(once, [&registry] {
    // Only the plain renderer may be picked by intelligent connect; the others are built
    // by name.
    registry.RegisterFilter(Video(KClsidVideoRenderer, "Video Renderer", MERIT_PREFERRED + 1,
                                  [](const IID& iid, void** out) { return CreateComObject<TVideoRenderer>(iid, out); }));
    registry.RegisterFilter(Video(KClsidOverlayMixer, "Overlay mixer", MERIT_DO_NOT_USE,
                                  [](const IID& iid, void** out) {
                                    return CreateComObject<TOverlayMixer>(iid, out, KClsidOverlayMixer);
                                  }));
    registry.RegisterFilter(Video(KClsidOverlayMixer2, "Overlay mixer 2", MERIT_DO_NOT_USE,
                                  [](const IID& iid, void** out) {
                                    return CreateComObject<TOverlayMixer>(iid, out, KClsidOverlayMixer2);
                                  }));
    registry.RegisterFilter(Video(KClsidVideoMixingRenderer, "Video Mixing Renderer 7", MERIT_DO_NOT_USE,
                                  [](const IID& iid, void** out) {
                                    return CreateComObject<TMixingRenderer>(iid, out, KClsidVideoMixingRenderer, false);
                                  }));
    // Registered always, created only where OpenGL works: the device list offers the
    // renderer exactly when creating it succeeds, and programs that never ask for it do
    // not pay for loading the OpenGL driver.
    registry.RegisterFilter(Video(KClsidVideoMixingRenderer9, "Video Mixing Renderer 9", MERIT_DO_NOT_USE,
                                  [](const IID& iid, void** out) -> HRESULT {
                                    if (out) *out = nullptr;
                                    if (!OpenGlAvailable()) return CLASS_E_CLASSNOTAVAILABLE;
                                    return CreateComObject<TMixingRenderer>(iid, out, KClsidVideoMixingRenderer9,
                                                                            true);
                                  }));
    TClassRegistration null = Video(KClsidNullRenderer, "Null Renderer", MERIT_DO_NOT_USE,
                                    [](const IID& iid, void** out) { return CreateComObject<TNullRenderer>(iid, out); });
    null.inputTypes = {{GUID_NULL, GUID_NULL}};
    registry.RegisterFilter(null);
  });
}

}  // namespace kv::render
