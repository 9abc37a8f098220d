// Graph-level interfaces: what the engine calls on the filter graph manager.
//
// IGraphBuilder/IFilterGraph build the graph, IMediaControl changes its state,
// IMediaSeeking moves it, IMediaEventEx reports what happened, and IBasicVideo,
// IBasicAudio and IVideoWindow reach the renderers through the graph. The graph manager
// (filter_graph.h) implements all of them; renderers implement the last three too.
// Everything here is called on the user-interface thread unless a comment says otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/graph/filter.h"

namespace kv {

using OAHWND = uintptr_t;  // a window handle as the window system gives it (X11 window id)
using OAFilterState = int32_t;

struct IFilterGraph : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
  // Adds under `name`; an empty name becomes the filter's own name or "Filter". A name in
  // use gets " 0001", " 0002"... appended and the result is VFW_S_DUPLICATE_NAME.
  virtual HRESULT AddFilter(IBaseFilter* filter, const std::string& name) = 0;
  // Stops the filter if the graph is not stopped, disconnects its pins, removes it.
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  // Filters in the order they were added.
  virtual HRESULT EnumFilters(IEnumFilters** out) = 0;
  virtual HRESULT FindFilterByName(const std::string& name, IBaseFilter** filter) = 0;  // VFW_E_NOT_FOUND
  // Connects exactly these two pins (type may be null); both filters must be in this graph
  // (VFW_E_NOT_IN_GRAPH) and the graph stopped (VFW_E_NOT_STOPPED).
  virtual HRESULT ConnectDirect(IPin* out, IPin* in, const MediaType* type) = 0;
  virtual HRESULT Reconnect(IPin* pin) = 0;
  // Breaks one side (call it for both pins).
  virtual HRESULT Disconnect(IPin* pin) = 0;
  // Picks a renderer's clock if a filter offers one, else the system clock.
  virtual HRESULT SetDefaultSyncSource() = 0;
};

struct IGraphBuilder : IFilterGraph {
  static constexpr IID kIid = GuidLiteral("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
  // Intelligent connect: directly, else through registered transform filters chosen by
  // merit (at most a few levels deep). Filters it adds but does not use are removed again.
  virtual HRESULT Connect(IPin* out, IPin* in) = 0;
  // Connects an output pin onward until it ends in a renderer.
  virtual HRESULT Render(IPin* out) = 0;
  virtual HRESULT RenderFile(const std::string& file, const std::string& playList) = 0;  // E_NOTIMPL
  virtual HRESULT AddSourceFilter(const std::string& file, const std::string& name, IBaseFilter** filter) = 0;  // E_NOTIMPL
  virtual HRESULT SetLogFile(uintptr_t file) = 0;
  // Makes a Connect or Render in progress on another thread give up as soon as it can.
  virtual HRESULT Abort() = 0;
  virtual HRESULT ShouldOperationContinue() = 0;  // S_OK, or E_ABORT after Abort
};

struct IMediaControl : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
  // Run from Stopped pauses first and starts the clock once every renderer has prerolled
  // (at most kRunPrerollTimeoutMs later). S_FALSE when the transition is still completing.
  virtual HRESULT Run() = 0;
  // S_FALSE until every renderer has prerolled a sample or reached end of stream.
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  // Pauses, waits for the preroll (so the renderer shows a frame) and stops.
  virtual HRESULT StopWhenReady() = 0;
  // Waits up to msTimeout; VFW_S_STATE_INTERMEDIATE when still in transition.
  virtual HRESULT GetState(int32_t msTimeout, OAFilterState* state) = 0;
  virtual HRESULT RenderFile(const std::string& file) = 0;  // E_NOTIMPL: the engine builds graphs itself
};

struct IMediaEvent : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868B6-0AD4-11CE-B03A-0020AF0BA770}");
  // Takes the oldest event, waiting up to msTimeout (0: do not wait; negative: forever).
  // E_ABORT when none came. Free the parameters with FreeEventParams.
  virtual HRESULT GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t msTimeout) = 0;
  // Waits for EC_COMPLETE (or an abort): E_ABORT on time-out.
  virtual HRESULT WaitForCompletion(int32_t msTimeout, int32_t* code) = 0;
  virtual HRESULT CancelDefaultHandling(int32_t code) = 0;
  virtual HRESULT RestoreDefaultHandling(int32_t code) = 0;
  virtual HRESULT FreeEventParams(int32_t code, intptr_t param1, intptr_t param2) = 0;
};

struct IMediaEventEx : IMediaEvent {
  static constexpr IID kIid = GuidLiteral("{56A868C0-0AD4-11CE-B03A-0020AF0BA770}");
  // Replaces SetNotifyWindow: `notify` runs once for every event queued, on the thread
  // that queued it (often a streaming thread), with no graph lock held. The program posts
  // it to its user-interface thread and drains the queue there. Empty: no notification.
  using NotifyCallback = std::function<void()>;
  virtual HRESULT SetNotifyCallback(NotifyCallback notify) = 0;
  virtual HRESULT SetNotifyFlags(int32_t flags) = 0;  // AM_MEDIAEVENT_NONOTIFY = 1 silences it
  virtual HRESULT GetNotifyFlags(int32_t* flags) = 0;
};
inline constexpr int32_t AM_MEDIAEVENT_NONOTIFY = 0x01;

// Event codes.
inline constexpr int32_t EC_COMPLETE = 0x01;
inline constexpr int32_t EC_USERABORT = 0x02;
inline constexpr int32_t EC_ERRORABORT = 0x03;
inline constexpr int32_t EC_TIME = 0x04;
inline constexpr int32_t EC_REPAINT = 0x05;
inline constexpr int32_t EC_STREAM_ERROR_STOPPED = 0x06;
inline constexpr int32_t EC_STREAM_ERROR_STILLPLAYING = 0x07;
inline constexpr int32_t EC_VIDEO_SIZE_CHANGED = 0x0A;
inline constexpr int32_t EC_SHUTTING_DOWN = 0x0C;
inline constexpr int32_t EC_CLOCK_CHANGED = 0x0D;
inline constexpr int32_t EC_PAUSED = 0x0E;
inline constexpr int32_t EC_WINDOW_DESTROYED = 0x15;
inline constexpr int32_t EC_DEVICE_LOST = 0x1F;
// A fatal streaming error with texts: param1 the HRESULT, param2 a TEventErrorText* that
// FreeEventParams deletes.
inline constexpr int32_t EC_ERRORABORTEX = 0x45;

struct TEventErrorText {
  std::string userText;   // what the user may be shown
  std::string detail;     // what a developer needs (filter, pin, library message)
};

// Seeking flags and capabilities.
inline constexpr uint32_t AM_SEEKING_NoPositioning = 0x0;
inline constexpr uint32_t AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr uint32_t AM_SEEKING_RelativePositioning = 0x2;
inline constexpr uint32_t AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr uint32_t AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr uint32_t AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr uint32_t AM_SEEKING_ReturnTime = 0x8;
inline constexpr uint32_t AM_SEEKING_NoFlush = 0x20;

inline constexpr uint32_t AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr uint32_t AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr uint32_t AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr uint32_t AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr uint32_t AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr uint32_t AM_SEEKING_CanGetDuration = 0x20;

struct IMediaSeeking : IUnknown {
  static constexpr IID kIid = GuidLiteral("{36B73880-C2C8-11CF-8B46-00805F6CEF60}");
  virtual HRESULT GetCapabilities(uint32_t* caps) = 0;
  virtual HRESULT CheckCapabilities(uint32_t* caps) = 0;
  // S_OK for a supported time format, S_FALSE otherwise.
  virtual HRESULT IsFormatSupported(const GUID* format) = 0;
  virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
  virtual HRESULT GetTimeFormat(GUID* format) = 0;
  virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
  virtual HRESULT SetTimeFormat(const GUID* format) = 0;  // E_INVALIDARG when unsupported
  virtual HRESULT GetDuration(int64_t* duration) = 0;
  virtual HRESULT GetStopPosition(int64_t* stop) = 0;
  virtual HRESULT GetCurrentPosition(int64_t* current) = 0;
  virtual HRESULT ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                    const GUID* sourceFormat) = 0;
  // Either pointer may be null when its flags are AM_SEEKING_NoPositioning.
  virtual HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) = 0;
  virtual HRESULT GetPositions(int64_t* current, int64_t* stop) = 0;
  virtual HRESULT GetAvailable(int64_t* earliest, int64_t* latest) = 0;
  virtual HRESULT SetRate(double rate) = 0;  // E_INVALIDARG for rate <= 0
  virtual HRESULT GetRate(double* rate) = 0;
  virtual HRESULT GetPreroll(int64_t* preroll) = 0;
};

struct IBasicAudio : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868B3-0AD4-11CE-B03A-0020AF0BA770}");
  // Volume in hundredths of a decibel: 0 full, -10000 silent.
  virtual HRESULT put_Volume(int32_t volume) = 0;
  virtual HRESULT get_Volume(int32_t* volume) = 0;
  virtual HRESULT put_Balance(int32_t balance) = 0;  // -10000 left .. 10000 right
  virtual HRESULT get_Balance(int32_t* balance) = 0;
};

struct IBasicVideo : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868B5-0AD4-11CE-B03A-0020AF0BA770}");
  virtual HRESULT get_AvgTimePerFrame(REFERENCE_TIME* time) = 0;
  virtual HRESULT get_VideoWidth(int32_t* width) = 0;
  virtual HRESULT get_VideoHeight(int32_t* height) = 0;
  // The part of the picture shown (digital zoom works through this).
  virtual HRESULT SetSourcePosition(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
  virtual HRESULT GetSourcePosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) = 0;
  virtual HRESULT SetDefaultSourcePosition() = 0;
  virtual HRESULT SetDestinationPosition(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
  virtual HRESULT GetDestinationPosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) = 0;
  virtual HRESULT SetDefaultDestinationPosition() = 0;
  virtual HRESULT GetVideoSize(int32_t* width, int32_t* height) = 0;
};

struct IVideoWindow : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868B4-0AD4-11CE-B03A-0020AF0BA770}");
  virtual HRESULT put_Caption(const std::string& caption) = 0;
  virtual HRESULT put_WindowStyle(int32_t style) = 0;
  virtual HRESULT put_AutoShow(int32_t autoShow) = 0;
  virtual HRESULT put_Visible(int32_t visible) = 0;  // OATRUE (-1) or OAFALSE (0); any non-zero shows
  virtual HRESULT get_Visible(int32_t* visible) = 0;
  virtual HRESULT put_Owner(OAHWND owner) = 0;
  virtual HRESULT get_Owner(OAHWND* owner) = 0;
  virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
  virtual HRESULT SetWindowPosition(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
  virtual HRESULT GetWindowPosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) = 0;
  virtual HRESULT NotifyOwnerMessage(OAHWND window, int32_t message, intptr_t wParam, intptr_t lParam) = 0;
  virtual HRESULT SetWindowForeground(int32_t focus) = 0;
  virtual HRESULT put_FullScreenMode(int32_t fullScreen) = 0;
  virtual HRESULT get_FullScreenMode(int32_t* fullScreen) = 0;
};

inline constexpr int32_t OATRUE = -1;
inline constexpr int32_t OAFALSE = 0;

inline constexpr IID IID_IFilterGraph = IFilterGraph::kIid;
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::kIid;
inline constexpr IID IID_IMediaControl = IMediaControl::kIid;
inline constexpr IID IID_IMediaEvent = IMediaEvent::kIid;
inline constexpr IID IID_IMediaEventEx = IMediaEventEx::kIid;
inline constexpr IID IID_IMediaSeeking = IMediaSeeking::kIid;
inline constexpr IID IID_IBasicAudio = IBasicAudio::kIid;
inline constexpr IID IID_IBasicVideo = IBasicVideo::kIid;
inline constexpr IID IID_IVideoWindow = IVideoWindow::kIid;

inline constexpr CLSID CLSID_FilterGraph = GuidLiteral("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_SystemClock = GuidLiteral("{E436EBB1-524F-11CE-9F53-0020AF0BA770}");

}  // namespace kv
