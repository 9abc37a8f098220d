#include "filters/render/overlay_mixer.h"

#include <cstring>

namespace kv::render {

// ---------------------------------------------------------------- IMixerPinConfig

HRESULT TMixerPinConfig::SetColorKey(const COLORKEY* key) {
  if (!key) return E_POINTER;
  if (key->KeyType != CK_RGB) return E_INVALIDARG;  // palette keys have no meaning for RGB output
  Mixer_->Presenter().SetColorKey(key->LowColorValue);
  return S_OK;
}

HRESULT TMixerPinConfig::GetColorKey(COLORKEY* key, uint32_t* color) {
  if (!key && !color) return E_POINTER;
  COLORREF current = Mixer_->Presenter().ColorKey();
  if (key) {
    key->KeyType = CK_RGB;
    key->PaletteIndex = 0;
    key->LowColorValue = current;
    key->HighColorValue = current;
  }
  if (color) *color = current;
  return S_OK;
}

HRESULT TMixerPinConfig::SetBlendingParameter(uint32_t alpha) {
  if (alpha > 255) return E_INVALIDARG;
  Mixer_->Presenter().SetOverlayAlpha(static_cast<int>(alpha));
  return S_OK;
}

HRESULT TMixerPinConfig::GetBlendingParameter(uint32_t* alpha) {
  if (!alpha) return E_POINTER;
  *alpha = static_cast<uint32_t>(Mixer_->Presenter().OverlayAlpha());
  return S_OK;
}

HRESULT TMixerPinConfig::SetAspectRatioMode(AM_ASPECT_RATIO_MODE mode) {
  if (mode < AM_ARMODE_STRETCHED || mode > AM_ARMODE_STRETCHED_AS_PRIMARY) return E_INVALIDARG;
  // The mixer's output always has the video's own size; the shape on screen is the
  // renderer's and the main window's business, so the mode is kept and reported only.
  Mixer_->SetAspectMode(mode);
  return S_OK;
}

HRESULT TMixerPinConfig::GetAspectRatioMode(AM_ASPECT_RATIO_MODE* mode) {
  if (!mode) return E_POINTER;
  *mode = Mixer_->AspectRatioMode();
  return S_OK;
}

HRESULT TMixerPinConfig::SetStreamTransparent(int32_t transparent) {
  Mixer_->SetStreamTransparentFlag(transparent != 0);
  return S_OK;
}

HRESULT TMixerPinConfig::GetStreamTransparent(int32_t* transparent) {
  if (!transparent) return E_POINTER;
  *transparent = Mixer_->StreamTransparent() ? 1 : 0;
  return S_OK;
}

// ---------------------------------------------------------------- video input

TMixerVideoPin::TMixerVideoPin(TOverlayMixer* mixer, std::string name)
    : TBaseInputPin(mixer, std::move(name)), TMixerPinConfig(mixer) {}

HRESULT TMixerVideoPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMixerPinConfig::kIid) return GetInterface(static_cast<IMixerPinConfig*>(this), out);
  return TBaseInputPin::NonDelegatingQueryInterface(iid, out);
}

HRESULT TMixerVideoPin::CheckMediaType(const MediaType& type) {
  return ReadVideoFormat(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TMixerVideoPin::SetMediaType(const MediaType& type) {
  std::optional<TVideoFormat> format = ReadVideoFormat(type);
  if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = TBaseInputPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  Mixer_->Presenter().SetFormat(*format);
  return S_OK;
}

HRESULT TMixerVideoPin::BreakConnect() {
  Mixer_->Presenter().ClearFormat();
  return TBaseInputPin::BreakConnect();
}

HRESULT TMixerVideoPin::Receive(IMediaSample* sample) {
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return Mixer_->MixAndDeliver(sample);
}

HRESULT TMixerVideoPin::EndOfStream() {
  HRESULT hr = TBaseInputPin::EndOfStream();
  if (hr != S_OK) return hr;
  return Mixer_->Output()->IsConnected() ? Mixer_->Output()->DeliverEndOfStream() : S_OK;
}

HRESULT TMixerVideoPin::BeginFlush() {
  TBaseInputPin::BeginFlush();
  return Mixer_->Output()->IsConnected() ? Mixer_->Output()->DeliverBeginFlush() : S_OK;
}

HRESULT TMixerVideoPin::EndFlush() {
  TBaseInputPin::EndFlush();
  return Mixer_->Output()->IsConnected() ? Mixer_->Output()->DeliverEndFlush() : S_OK;
}

HRESULT TMixerVideoPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  TBasePin::NewSegment(start, stop, rate);
  return Mixer_->Output()->IsConnected() ? Mixer_->Output()->DeliverNewSegment(start, stop, rate) : S_OK;
}

// ---------------------------------------------------------------- second input

TMixerOverlayPin::TMixerOverlayPin(TOverlayMixer* mixer, std::string name)
    : TOverlayInputPin(mixer, &mixer->Presenter(), std::move(name)), TMixerPinConfig(mixer) {}

HRESULT TMixerOverlayPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMixerPinConfig::kIid) return GetInterface(static_cast<IMixerPinConfig*>(this), out);
  return TOverlayInputPin::NonDelegatingQueryInterface(iid, out);
}

// ---------------------------------------------------------------- output

TMixerOutputPin::TMixerOutputPin(TOverlayMixer* mixer, std::string name)
    : TBaseOutputPin(mixer, std::move(name)), Mixer_(mixer) {}

HRESULT TMixerOutputPin::CheckMediaType(const MediaType& type) {
  std::optional<MediaType> ours = Mixer_->OutputType();
  if (!ours) return VFW_E_NOT_CONNECTED;
  std::optional<TVideoFormat> offered = ReadVideoFormat(type);
  std::optional<TVideoFormat> wanted = ReadVideoFormat(*ours);
  if (!offered || !wanted || type.subtype != ours->subtype || offered->Picture.Width != wanted->Picture.Width ||
      offered->Picture.Height != wanted->Picture.Height || offered->Picture.BottomUp) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT TMixerOutputPin::GetMediaType(int position, MediaType* type) {
  if (!type) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  std::optional<MediaType> ours = Mixer_->OutputType();
  if (!ours) return VFW_E_NOT_CONNECTED;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = *ours;
  return S_OK;
}

HRESULT TMixerOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!allocator || !request) return E_POINTER;
  std::optional<MediaType> ours = Mixer_->OutputType();
  if (!ours) return VFW_E_NOT_CONNECTED;
  request->cBuffers = std::max(request->cBuffers, 3);
  request->cbBuffer = std::max<int32_t>(request->cbBuffer, static_cast<int32_t>(ours->lSampleSize));
  request->cbAlign = std::max(request->cbAlign, 1);
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= request->cbBuffer ? S_OK : E_FAIL;
}

// ---------------------------------------------------------------- filter

TOverlayMixer::TOverlayMixer(const CLSID& clsid) : TBaseFilter(clsid) {
  Video_ = std::make_unique<TMixerVideoPin>(this, "Input0");
  Second_ = std::make_unique<TMixerOverlayPin>(this, "Input1");
  Output_ = std::make_unique<TMixerOutputPin>(this, "Output");
}

TOverlayMixer::~TOverlayMixer() = default;

TBasePin* TOverlayMixer::GetPin(int n) {
  switch (n) {
    case 0: return Video_.get();
    case 1: return Second_.get();
    case 2: return Output_.get();
    default: return nullptr;
  }
}

std::optional<MediaType> TOverlayMixer::OutputType() {
  std::optional<TVideoFormat> format = Presenter_.Format();
  if (!format) return std::nullopt;
  return MakeRgb32Type(format->VisibleWidth, format->VisibleHeight, format->AvgTimePerFrame);
}

HRESULT TOverlayMixer::MixAndDeliver(IMediaSample* in) {
  if (!in) return E_POINTER;
  if (!Output_->IsConnected()) return S_OK;  // nothing behind the mixer: the frame goes nowhere
  uint8_t* data = nullptr;
  if (FAILED(in->GetPointer(&data)) || !data) return E_POINTER;
  int32_t length = in->GetActualDataLength();
  if (length <= 0 || !Presenter_.Present(data, static_cast<size_t>(length))) return S_OK;  // bad frame: skipped
  std::shared_ptr<const video::TRgbImage> frame = Presenter_.LastFrame();
  if (!frame) return S_OK;

  REFERENCE_TIME start = 0, stop = 0;
  HRESULT timed = in->GetTime(&start, &stop);
  ComPtr<IMediaSample> out;
  HRESULT hr = Output_->GetDeliveryBuffer(out.Put(), nullptr, nullptr, 0);
  if (FAILED(hr)) return hr == VFW_E_NOT_COMMITTED ? S_FALSE : hr;  // stopping or flushing
  uint8_t* target = nullptr;
  out->GetPointer(&target);
  size_t rowBytes = static_cast<size_t>(frame->Width) * 4;
  size_t bytes = rowBytes * frame->Height;
  if (!target || static_cast<size_t>(out->GetSize()) < bytes) return E_FAIL;
  for (int y = 0; y < frame->Height; ++y)
    std::memcpy(target + y * rowBytes, frame->Pixels.data() + static_cast<size_t>(y) * frame->Stride, rowBytes);
  out->SetActualDataLength(static_cast<int32_t>(bytes));
  if (timed == S_OK) out->SetTime(&start, &stop);
  else if (timed == VFW_S_NO_STOP_TIME) out->SetTime(&start, nullptr);
  out->SetSyncPoint(true);
  out->SetDiscontinuity(in->IsDiscontinuity() == S_OK);
  out->SetPreroll(in->IsPreroll() == S_OK);
  return Output_->Deliver(out.Get());
}

}  // namespace kv::render
