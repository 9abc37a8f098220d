// TWindowedRenderer: a video renderer filter that draws into the front end's surface.
//
// What it is: the base of "Video Renderer" and the mixing renderers. Input pin 0 takes the
// video; the renderer base (renderer_base.h) prerolls, schedules each frame on the graph's
// clock, drops late frames and counts them, and renders at once without a clock. The
// picture work is TVideoPresenter's. IBasicVideo sets the source rectangle (the digital
// zoom, pan and crop) and the destination; IVideoWindow attaches the surface named by
// the owner handle, places it and repaints it. With a second stream (mixing renderers)
// input pin 1 takes a second picture that is mixed over the video.
//
// Threads: IBasicVideo/IVideoWindow on the user-interface thread; samples on the
// upstream streaming threads; the presenter guards what they share.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include "filters/info/filter_info.h"
#include "filters/render/video_presenter.h"
#include "platform/graph/property_page.h"
#include "platform/graph/renderer_base.h"

namespace kv::render {

class TWindowedRenderer;

// The second picture's input: takes RGB (keyed by the colour key) or ARGB pictures, keeps
// the latest, never blocks.
class TOverlayInputPin : public TBaseInputPin {
 public:
  TOverlayInputPin(TBaseFilter* filter, TVideoPresenter* presenter, std::string name);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT SetMediaType(const MediaType& type) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override { return S_OK; }

 private:
  TVideoPresenter* Presenter_;
  std::optional<TVideoFormat> Format_;  // connection-time only
};

class TWindowedRenderer : public TBaseRenderer,
                          public IBasicVideo,
                          public IVideoWindow,
                          public ISpecifyPropertyPages,
                          public IVideoRendererInfo {
 public:
  TWindowedRenderer(const CLSID& clsid, int streams, std::string inputName);
  ~TWindowedRenderer() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // TBaseRenderer
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT SetMediaType(const MediaType& type) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnReceiveFirstSample(IMediaSample* sample) override;
  bool DropsLateSamples() const override;
  bool SkipsSamplesBeforeStart() const override { return true; }
  REFERENCE_TIME RestAfterRender(REFERENCE_TIME sampleDuration) const override;
  int GetPinCount() override;
  TBasePin* GetPin(int n) override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT Run(REFERENCE_TIME tStart) override;

  // After each Run, late frames are shown rather than dropped for this long: a decoder
  // that starts (or restarts after a seek) needs a moment to get ahead of the clock, and
  // dropping the first frames of a scene only makes the start jerky.
  static constexpr std::chrono::milliseconds KStartGrace{1000};
  void SetStartGrace(std::chrono::milliseconds grace) { Grace_ = grace.count(); }

  // After presenting a frame on time the streaming thread rests a quarter of the frame's
  // time, at most this long, before it decodes the next: on two cores a decoder that
  // starts at once holds the display server back from drawing the frame just put, and the
  // frame reaches the screen 3-4 ms late now and then. A quarter of the frame leaves the
  // decoder three quarters, and frame threads keep decoding meanwhile.
  static constexpr std::chrono::milliseconds KMaxRest{10};
  void SetMaxRest(std::chrono::milliseconds rest) { MaxRest_ = rest.count(); }

  // IBasicVideo
  HRESULT get_AvgTimePerFrame(REFERENCE_TIME* time) override;
  HRESULT get_VideoWidth(int32_t* width) override;
  HRESULT get_VideoHeight(int32_t* height) override;
  HRESULT SetSourcePosition(int32_t left, int32_t top, int32_t width, int32_t height) override;
  HRESULT GetSourcePosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) override;
  HRESULT SetDefaultSourcePosition() override;
  HRESULT SetDestinationPosition(int32_t left, int32_t top, int32_t width, int32_t height) override;
  HRESULT GetDestinationPosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) override;
  HRESULT SetDefaultDestinationPosition() override;
  HRESULT GetVideoSize(int32_t* width, int32_t* height) override;

  // IVideoWindow
  HRESULT put_Caption(const std::string& caption) override { return S_OK; }
  HRESULT put_WindowStyle(int32_t style) override { return S_OK; }
  HRESULT put_AutoShow(int32_t autoShow) override;
  HRESULT put_Visible(int32_t visible) override;
  HRESULT get_Visible(int32_t* visible) override;
  HRESULT put_Owner(OAHWND owner) override;
  HRESULT get_Owner(OAHWND* owner) override;
  HRESULT put_MessageDrain(OAHWND drain) override;
  HRESULT SetWindowPosition(int32_t left, int32_t top, int32_t width, int32_t height) override;
  HRESULT GetWindowPosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) override;
  HRESULT NotifyOwnerMessage(OAHWND window, int32_t message, intptr_t wParam, intptr_t lParam) override;
  HRESULT SetWindowForeground(int32_t focus) override { return S_OK; }
  HRESULT put_FullScreenMode(int32_t fullScreen) override;
  HRESULT get_FullScreenMode(int32_t* fullScreen) override;

  // ISpecifyPropertyPages, IVideoRendererInfo (any thread).
  HRESULT GetPages(std::vector<CLSID>* pages) override;
  HRESULT GetVideoRendererInfo(TVideoRendererInfo* info) override;

  TVideoPresenter& Presenter() { return Presenter_; }
  // Changes the number of input streams (1 or 2) while nothing is connected.
  HRESULT SetStreamCount(int streams);
  int StreamCount() const { return Overlay_ ? 2 : 1; }

 private:
  void PresentSample(IMediaSample* sample);

  TVideoPresenter Presenter_;
  std::unique_ptr<TOverlayInputPin> Overlay_;
  std::atomic<bool> AutoShow_{true};
  std::atomic<OAHWND> Drain_{0};
  std::atomic<int64_t> RunAt_{0};  // steady-clock time of the last Run
  std::atomic<int64_t> Grace_{KStartGrace.count()};  // milliseconds
  std::atomic<int64_t> MaxRest_{KMaxRest.count()};   // milliseconds
};

}  // namespace kv::render
