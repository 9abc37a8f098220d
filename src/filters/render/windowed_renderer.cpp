#include "filters/render/windowed_renderer.h"

#include <algorithm>

#include "platform/graph/media_guids.h"
#include "platform/graph/picture_sample.h"

namespace kv::render {

namespace {

constexpr int32_t WM_PAINT = 15;
constexpr int32_t WM_ERASEBKGND = 20;
constexpr int32_t WM_DISPLAYCHANGE = 0x7E;
constexpr int32_t WM_SYSCOLORCHANGE = 0x15;
constexpr int32_t KMinBuffersToKeepSample = 3;

HRESULT CheckOut(const void* a, const void* b = reinterpret_cast<const void*>(1),
                 const void* c = reinterpret_cast<const void*>(1), const void* d = reinterpret_cast<const void*>(1)) {
  return a && b && c && d ? S_OK : E_POINTER;
}

}  // namespace

TOverlayInputPin::TOverlayInputPin(TBaseFilter* filter, TVideoPresenter* presenter, std::string name)
    : TBaseInputPin(filter, std::move(name)), Presenter_(presenter) {}

HRESULT TOverlayInputPin::CheckMediaType(const MediaType& type) {
  return ReadVideoFormat(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TOverlayInputPin::SetMediaType(const MediaType& type) {
  HRESULT hr = TBaseInputPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  Format_ = ReadVideoFormat(type);
  return Format_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TOverlayInputPin::BreakConnect() {
  Presenter_->ClearOverlay();
  Format_.reset();
  return TBaseInputPin::BreakConnect();
}

HRESULT TOverlayInputPin::Receive(IMediaSample* sample) {
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  if (!sample || !Format_) return E_POINTER;
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_FAIL;
  int32_t length = sample->GetActualDataLength();
  if (length <= 0) {
    // An empty sample takes the second picture away (a hidden page).
    Presenter_->ClearOverlay();
    return S_OK;
  }
  Presenter_->SetOverlay(data, static_cast<size_t>(length), Format_->Picture);
  return S_OK;
}

TWindowedRenderer::TWindowedRenderer(const CLSID& clsid, int streams, std::string inputName)
    : TBaseRenderer(clsid, std::move(inputName)) {
  SetStreamCount(streams);
}

TWindowedRenderer::~TWindowedRenderer() = default;

HRESULT TWindowedRenderer::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IBasicVideo::kIid) return GetInterface(static_cast<IBasicVideo*>(this), out);
  if (iid == IVideoWindow::kIid) return GetInterface(static_cast<IVideoWindow*>(this), out);
  if (iid == ISpecifyPropertyPages::kIid) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
  if (iid == IVideoRendererInfo::kIid) return GetInterface(static_cast<IVideoRendererInfo*>(this), out);
  return TBaseRenderer::NonDelegatingQueryInterface(iid, out);
}

HRESULT TWindowedRenderer::GetPages(std::vector<CLSID>* pages) {
  if (!pages) return E_POINTER;
  *pages = {CLSID_VideoRendererPage};
  return S_OK;
}

HRESULT TWindowedRenderer::GetVideoRendererInfo(TVideoRendererInfo* info) {
  if (!info) return E_POINTER;
  *info = {};
  if (auto format = Presenter_.Format()) {
    info->Width = format->VisibleWidth;
    info->Height = format->VisibleHeight;
  }
  MediaType mt;
  if (SUCCEEDED(InputPin()->ConnectionMediaType(&mt))) info->InputFormat = MediaGuidName(mt.subtype);
  info->Presenter = Presenter_.YuvOutput() ? "OpenGL: YUV pictures converted and scaled on the graphics card"
                                           : "Software: converted and scaled to RGB with libswscale";
  if (Presenter_.Owner() == 0) info->Presenter += " (no window)";
  info->FramesDrawn = FramesRendered();
  info->FramesDropped = FramesDropped();
  info->FramesLate = FramesLate();
  info->AverageLatenessUs = AverageLateness() / 10;
  return S_OK;
}

HRESULT TWindowedRenderer::SetStreamCount(int streams) {
  if (streams < 1 || streams > 2) return E_INVALIDARG;
  if (InputPin()->IsConnected() || (Overlay_ && Overlay_->IsConnected())) return VFW_E_ALREADY_CONNECTED;
  if (streams == 2 && !Overlay_) Overlay_ = std::make_unique<TOverlayInputPin>(this, &Presenter_, "VMR Input1");
  if (streams == 1) Overlay_.reset();
  return S_OK;
}

int TWindowedRenderer::GetPinCount() { return Overlay_ ? 2 : 1; }

TBasePin* TWindowedRenderer::GetPin(int n) {
  if (n == 1 && Overlay_) return Overlay_.get();
  return TBaseRenderer::GetPin(n);
}

HRESULT TWindowedRenderer::CheckMediaType(const MediaType& type) {
  return ReadVideoFormat(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TWindowedRenderer::SetMediaType(const MediaType& type) {
  std::optional<TVideoFormat> format = ReadVideoFormat(type);
  if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
  Presenter_.SetFormat(*format);
  return S_OK;
}

void TWindowedRenderer::PresentSample(IMediaSample* sample) {
  MediaType* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    // A decoder may change the picture size in the stream (dynamic format change).
    if (std::optional<TVideoFormat> format = ReadVideoFormat(*changed)) Presenter_.SetFormat(*format);
    DeleteMediaType(changed);
  }
  if (std::shared_ptr<const IPicture> picture = AttachedPicture(sample)) {
    // A decoder's picture carried in place: drawn from its own planes and kept by its own
    // reference, so the sample goes back to the pool at once even while paused.
    const TPicturePlanes& planes = picture->Planes();
    Presenter_.Present(planes, std::move(picture));
    return;
  }
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return;
  int32_t length = sample->GetActualDataLength();
  if (length <= 0) return;
  // The picture is kept for redraws (zoom or resize while paused). Keeping the sample
  // itself saves copying every picture, but takes one buffer from the upstream pool: only
  // done when the pool has buffers to spare, so the decoder is never starved.
  std::shared_ptr<const void> keep;
  ALLOCATOR_PROPERTIES props;
  IMemAllocator* allocator = InputPin()->Allocator();
  if (allocator && SUCCEEDED(allocator->GetProperties(&props)) && props.cBuffers >= KMinBuffersToKeepSample) {
    sample->AddRef();
    keep = std::shared_ptr<const void>(sample, [](const void* s) {
      static_cast<IMediaSample*>(const_cast<void*>(s))->Release();
    });
  }
  Presenter_.Present(data, static_cast<size_t>(length), std::move(keep));
}

HRESULT TWindowedRenderer::Run(REFERENCE_TIME tStart) {
  RunAt_ = std::chrono::steady_clock::now().time_since_epoch().count();
  return TBaseRenderer::Run(tStart);
}

bool TWindowedRenderer::DropsLateSamples() const {
  auto sinceRun = std::chrono::steady_clock::now().time_since_epoch() - std::chrono::steady_clock::duration(RunAt_.load());
  return sinceRun > std::chrono::milliseconds(Grace_.load());
}

REFERENCE_TIME TWindowedRenderer::RestAfterRender(REFERENCE_TIME sampleDuration) const {
  REFERENCE_TIME frame = sampleDuration;
  if (frame <= 0) {
    std::optional<TVideoFormat> format = Presenter_.Format();
    frame = format ? format->AvgTimePerFrame : 0;
  }
  return std::min<REFERENCE_TIME>(frame / 4, MaxRest_.load() * 10000);
}

HRESULT TWindowedRenderer::Stop() {
  HRESULT hr = TBaseRenderer::Stop();
  // Stopped filters give their samples back (the allocator is decommitted).
  Presenter_.ForgetPicture();
  return hr;
}

HRESULT TWindowedRenderer::DoRenderSample(IMediaSample* sample) {
  PresentSample(sample);
  return S_OK;
}

void TWindowedRenderer::OnReceiveFirstSample(IMediaSample* sample) {
  // The preroll frame: paused playback and StopWhenReady show it.
  PresentSample(sample);
}

HRESULT TWindowedRenderer::Pause() {
  if (AutoShow_.load() && state() == State_Stopped) Presenter_.SetVisible(true);
  return TBaseRenderer::Pause();
}

HRESULT TWindowedRenderer::get_AvgTimePerFrame(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  std::optional<TVideoFormat> format = Presenter_.Format();
  if (!format) return VFW_E_NOT_CONNECTED;
  *time = format->AvgTimePerFrame;
  return S_OK;
}

HRESULT TWindowedRenderer::get_VideoWidth(int32_t* width) {
  if (!width) return E_POINTER;
  std::optional<TVideoFormat> format = Presenter_.Format();
  if (!format) return VFW_E_NOT_CONNECTED;
  *width = format->VisibleWidth;
  return S_OK;
}

HRESULT TWindowedRenderer::get_VideoHeight(int32_t* height) {
  if (!height) return E_POINTER;
  std::optional<TVideoFormat> format = Presenter_.Format();
  if (!format) return VFW_E_NOT_CONNECTED;
  *height = format->VisibleHeight;
  return S_OK;
}

HRESULT TWindowedRenderer::GetVideoSize(int32_t* width, int32_t* height) {
  if (!width || !height) return E_POINTER;
  HRESULT hr = get_VideoWidth(width);
  return FAILED(hr) ? hr : get_VideoHeight(height);
}

HRESULT TWindowedRenderer::SetSourcePosition(int32_t left, int32_t top, int32_t width, int32_t height) {
  return Presenter_.SetSourceRect({left, top, width, height});
}

HRESULT TWindowedRenderer::GetSourcePosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) {
  if (FAILED(CheckOut(left, top, width, height))) return E_POINTER;
  if (!Presenter_.Format()) return VFW_E_NOT_CONNECTED;
  TCropRect r = Presenter_.SourceRect();
  *left = r.Left;
  *top = r.Top;
  *width = r.Width;
  *height = r.Height;
  return S_OK;
}

HRESULT TWindowedRenderer::SetDefaultSourcePosition() {
  if (!Presenter_.Format()) return VFW_E_NOT_CONNECTED;
  Presenter_.ResetSourceRect();
  return S_OK;
}

HRESULT TWindowedRenderer::SetDestinationPosition(int32_t left, int32_t top, int32_t width, int32_t height) {
  return Presenter_.SetDestRect({left, top, width, height});
}

HRESULT TWindowedRenderer::GetDestinationPosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) {
  if (FAILED(CheckOut(left, top, width, height))) return E_POINTER;
  TCropRect r = Presenter_.DestRect();
  *left = r.Left;
  *top = r.Top;
  *width = r.Width;
  *height = r.Height;
  return S_OK;
}

HRESULT TWindowedRenderer::SetDefaultDestinationPosition() {
  Presenter_.ResetDestRect();
  return S_OK;
}

HRESULT TWindowedRenderer::put_AutoShow(int32_t autoShow) {
  AutoShow_ = autoShow != OAFALSE;
  return S_OK;
}

HRESULT TWindowedRenderer::put_Visible(int32_t visible) {
  Presenter_.SetVisible(visible != OAFALSE);
  return S_OK;
}

HRESULT TWindowedRenderer::get_Visible(int32_t* visible) {
  if (!visible) return E_POINTER;
  *visible = Presenter_.Visible() ? OATRUE : OAFALSE;
  return S_OK;
}

HRESULT TWindowedRenderer::put_Owner(OAHWND owner) {
  Presenter_.SetOwner(static_cast<video::TSurfaceHandle>(owner));
  return S_OK;
}

HRESULT TWindowedRenderer::get_Owner(OAHWND* owner) {
  if (!owner) return E_POINTER;
  *owner = static_cast<OAHWND>(Presenter_.Owner());
  return S_OK;
}

HRESULT TWindowedRenderer::put_MessageDrain(OAHWND drain) {
  // Input events reach the main window through its own widgets; the drain is only kept.
  Drain_ = drain;
  return S_OK;
}

HRESULT TWindowedRenderer::SetWindowPosition(int32_t left, int32_t top, int32_t width, int32_t height) {
  return Presenter_.SetWindowPosition({left, top, width, height});
}

HRESULT TWindowedRenderer::GetWindowPosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) {
  if (FAILED(CheckOut(left, top, width, height))) return E_POINTER;
  video::TSurfaceRect r = Presenter_.WindowPosition();
  *left = r.Left;
  *top = r.Top;
  *width = r.Width;
  *height = r.Height;
  return S_OK;
}

HRESULT TWindowedRenderer::NotifyOwnerMessage(OAHWND, int32_t message, intptr_t, intptr_t) {
  if (message == WM_PAINT || message == WM_ERASEBKGND || message == WM_DISPLAYCHANGE || message == WM_SYSCOLORCHANGE)
    Presenter_.Repaint();
  return S_OK;
}

HRESULT TWindowedRenderer::put_FullScreenMode(int32_t fullScreen) {
  // Full screen is the main window's own layout (it resizes the panel); the renderer has
  // no separate full-screen window.
  return fullScreen == OAFALSE ? S_OK : E_NOTIMPL;
}

HRESULT TWindowedRenderer::get_FullScreenMode(int32_t* fullScreen) {
  if (!fullScreen) return E_POINTER;
  *fullScreen = OAFALSE;
  return S_OK;
}

}  // namespace kv::render
