// The mixing renderers: "Video Mixing Renderer 7" (software) and, when OpenGL is there,
// "Video Mixing Renderer 9".
//
// Both are windowed renderers with up to two input streams: the video and a second
// picture mixed over it (the teletext page). The engine configures them through
// IVMRFilterConfig (two streams, windowed mode), IVMRAspectRatioControl (no aspect
// correction: the main window keeps the shape) and reads the colour key through
// IVMRWindowlessControl. The second input pin exists once SetNumberOfStreams(2) ran.
#pragma once

#include "filters/render/renderer_interfaces.h"
#include "filters/render/windowed_renderer.h"

namespace kv::render {

class TMixingRenderer : public TWindowedRenderer,
                        public IVMRFilterConfig,
                        public IVMRAspectRatioControl,
                        public IVMRWindowlessControl,
                        public IVMRFilterConfig9,
                        public IVMRAspectRatioControl9,
                        public IVMRWindowlessControl9 {
 public:
  // nine: answer the "9" interfaces instead of the "7" ones.
  TMixingRenderer(const CLSID& clsid, bool nine);
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // IVMRFilterConfig / IVMRFilterConfig9
  HRESULT SetNumberOfStreams(uint32_t streams) override;
  HRESULT GetNumberOfStreams(uint32_t* streams) override;
  HRESULT SetRenderingMode(uint32_t mode) override;
  HRESULT GetRenderingMode(uint32_t* mode) override;
  // IVMRAspectRatioControl / 9
  HRESULT GetAspectRatioMode(uint32_t* mode) override;
  HRESULT SetAspectRatioMode(uint32_t mode) override;
  // IVMRWindowlessControl / 9
  HRESULT SetColorKey(COLORREF color) override;
  HRESULT GetColorKey(COLORREF* color) override;

 private:
  const bool Nine_;
  uint32_t Streams_ = 1;  // as configured (1 until SetNumberOfStreams)
};

// Whether an OpenGL context can be made here (the condition for offering the "9"
// renderer). Answered once per process; no window system, no OpenGL.
bool OpenGlAvailable();

}  // namespace kv::render
