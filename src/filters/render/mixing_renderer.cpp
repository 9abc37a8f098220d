#include "filters/render/mixing_renderer.h"

namespace kv::render {

TMixingRenderer::TMixingRenderer(const CLSID& clsid, bool nine)
    : TWindowedRenderer(clsid, 1, "VMR Input0"), Nine_(nine) {
  // The "9" renderer draws through OpenGL when its surface can: YUV to RGB, scaling and
  // mixing on the graphics card.
  Presenter().SetYuvOutput(nine);
}

HRESULT TMixingRenderer::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (!Nine_) {
    if (iid == IVMRFilterConfig::kIid) return GetInterface(static_cast<IVMRFilterConfig*>(this), out);
    if (iid == IVMRAspectRatioControl::kIid) return GetInterface(static_cast<IVMRAspectRatioControl*>(this), out);
    if (iid == IVMRWindowlessControl::kIid) return GetInterface(static_cast<IVMRWindowlessControl*>(this), out);
  } else {
    if (iid == IVMRFilterConfig9::kIid) return GetInterface(static_cast<IVMRFilterConfig9*>(this), out);
    if (iid == IVMRAspectRatioControl9::kIid) return GetInterface(static_cast<IVMRAspectRatioControl9*>(this), out);
    if (iid == IVMRWindowlessControl9::kIid) return GetInterface(static_cast<IVMRWindowlessControl9*>(this), out);
  }
  return TWindowedRenderer::NonDelegatingQueryInterface(iid, out);
}

HRESULT TMixingRenderer::SetNumberOfStreams(uint32_t streams) {
  // Our mixing is for one second picture; more streams are refused rather than ignored.
  if (streams < 1 || streams > 2) return E_INVALIDARG;
  HRESULT hr = SetStreamCount(static_cast<int>(streams));
  if (SUCCEEDED(hr)) Streams_ = streams;
  return hr;
}

HRESULT TMixingRenderer::GetNumberOfStreams(uint32_t* streams) {
  if (!streams) return E_POINTER;
  *streams = Streams_;
  return S_OK;
}

HRESULT TMixingRenderer::SetRenderingMode(uint32_t mode) {
  return mode == VMRMode_Windowed ? S_OK : E_INVALIDARG;
}

HRESULT TMixingRenderer::GetRenderingMode(uint32_t* mode) {
  if (!mode) return E_POINTER;
  *mode = VMRMode_Windowed;
  return S_OK;
}

HRESULT TMixingRenderer::GetAspectRatioMode(uint32_t* mode) {
  if (!mode) return E_POINTER;
  *mode = Presenter().Letterbox() ? VMR_ARMODE_LETTER_BOX : VMR_ARMODE_NONE;
  return S_OK;
}

HRESULT TMixingRenderer::SetAspectRatioMode(uint32_t mode) {
  if (mode != VMR_ARMODE_NONE && mode != VMR_ARMODE_LETTER_BOX) return E_INVALIDARG;
  Presenter().SetLetterbox(mode == VMR_ARMODE_LETTER_BOX);
  return S_OK;
}

HRESULT TMixingRenderer::SetColorKey(COLORREF color) {
  Presenter().SetColorKey(color);
  return S_OK;
}

HRESULT TMixingRenderer::GetColorKey(COLORREF* color) {
  if (!color) return E_POINTER;
  *color = Presenter().ColorKey();
  return S_OK;
}

}  // namespace kv::render
