// TFilterGraph: the implementation behind filter_graph.h (read that header first).
// Private to the graph library: other code uses the interfaces.
//
// Lock: graphMutex_ guards every member below it. Public methods take it through
// TGraphCall, which also republishes the running-graph-table entry after the lock is
// released when the topology or state changed. Functions ending in Locked expect it held.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/graph/event_queue.h"
#include "platform/graph/filter_graph.h"

namespace kv {

class TFilterGraph : public TUnknown,
                     public IGraphBuilder,
                     public IMediaControl,
                     public IMediaSeeking,
                     public IMediaEventEx,
                     public IMediaEventSink,
                     public IMediaFilter,
                     public IBasicAudio,
                     public IBasicVideo,
                     public IVideoWindow,
                     public IRunningObjectDescription {
 public:
  TFilterGraph();
  ~TFilterGraph() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // IFilterGraph / IGraphBuilder (filter_graph.cpp, graph_connect.cpp)
  HRESULT AddFilter(IBaseFilter* filter, const std::string& name) override;
  HRESULT RemoveFilter(IBaseFilter* filter) override;
  HRESULT EnumFilters(IEnumFilters** out) override;
  HRESULT FindFilterByName(const std::string& name, IBaseFilter** filter) override;
  HRESULT ConnectDirect(IPin* out, IPin* in, const MediaType* type) override;
  HRESULT Reconnect(IPin* pin) override;
  HRESULT Disconnect(IPin* pin) override;
  HRESULT SetDefaultSyncSource() override;
  HRESULT Connect(IPin* out, IPin* in) override;
  HRESULT Render(IPin* out) override;
  HRESULT RenderFile(const std::string& file, const std::string& playList) override { return E_NOTIMPL; }
  HRESULT AddSourceFilter(const std::string&, const std::string&, IBaseFilter** filter) override;
  HRESULT SetLogFile(uintptr_t) override { return S_OK; }
  HRESULT Abort() override;
  HRESULT ShouldOperationContinue() override;

  // IMediaControl and IMediaFilter (graph_control.cpp). Stop and Pause serve both.
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT StopWhenReady() override;
  HRESULT GetState(int32_t msTimeout, OAFilterState* state) override;
  HRESULT RenderFile(const std::string& file) override { return E_NOTIMPL; }
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(uint32_t msTimeout, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;

  // IMediaSeeking (graph_seeking.cpp)
  HRESULT GetCapabilities(uint32_t* caps) override;
  HRESULT CheckCapabilities(uint32_t* caps) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(int64_t* duration) override;
  HRESULT GetStopPosition(int64_t* stop) override;
  HRESULT GetCurrentPosition(int64_t* current) override;
  HRESULT ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                            const GUID* sourceFormat) override;
  HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) override;
  HRESULT GetPositions(int64_t* current, int64_t* stop) override;
  HRESULT GetAvailable(int64_t* earliest, int64_t* latest) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(int64_t* preroll) override;

  // IMediaEventEx and IMediaEventSink (graph_events.cpp)
  HRESULT GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t msTimeout) override;
  HRESULT WaitForCompletion(int32_t msTimeout, int32_t* code) override;
  HRESULT CancelDefaultHandling(int32_t code) override { return S_OK; }
  HRESULT RestoreDefaultHandling(int32_t code) override { return S_OK; }
  HRESULT FreeEventParams(int32_t code, intptr_t param1, intptr_t param2) override;
  HRESULT SetNotifyCallback(NotifyCallback notify) override;
  HRESULT SetNotifyFlags(int32_t flags) override;
  HRESULT GetNotifyFlags(int32_t* flags) override;
  HRESULT Notify(int32_t eventCode, intptr_t param1, intptr_t param2) override;

  // IBasicAudio, IBasicVideo, IVideoWindow (graph_forwarding.cpp)
  HRESULT put_Volume(int32_t volume) override;
  HRESULT get_Volume(int32_t* volume) override;
  HRESULT put_Balance(int32_t balance) override;
  HRESULT get_Balance(int32_t* balance) override;
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
  HRESULT put_Caption(const std::string& caption) override;
  HRESULT put_WindowStyle(int32_t style) override;
  HRESULT put_AutoShow(int32_t autoShow) override;
  HRESULT put_Visible(int32_t visible) override;
  HRESULT get_Visible(int32_t* visible) override;
  HRESULT put_Owner(OAHWND owner) override;
  HRESULT get_Owner(OAHWND* owner) override;
  HRESULT put_MessageDrain(OAHWND drain) override;
  HRESULT SetWindowPosition(int32_t left, int32_t top, int32_t width, int32_t height) override;
  HRESULT GetWindowPosition(int32_t* left, int32_t* top, int32_t* width, int32_t* height) override;
  HRESULT NotifyOwnerMessage(OAHWND window, int32_t message, intptr_t wParam, intptr_t lParam) override;
  HRESULT SetWindowForeground(int32_t focus) override;
  HRESULT put_FullScreenMode(int32_t fullScreen) override;
  HRESULT get_FullScreenMode(int32_t* fullScreen) override;

  // IRunningObjectDescription (graph_describe.cpp)
  HRESULT Describe(std::string* text) override;

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    std::string name;
  };
  // Takes the graph lock for one public call; republishes the table entry afterwards.
  class TGraphCall {
   public:
    explicit TGraphCall(TFilterGraph* g) : g_(g), lock_(g->graphMutex_) {}
    ~TGraphCall();
   private:
    TFilterGraph* g_;
    std::unique_lock<std::mutex> lock_;
  };
  friend class TGraphCall;

  // Membership and connections.
  int IndexOfLocked(IBaseFilter* filter);
  bool PinInGraphLocked(IPin* pin);
  std::string UniqueNameLocked(const std::string& wanted, bool* renamed);
  HRESULT AddFilterLocked(IBaseFilter* filter, const std::string& name);
  HRESULT RemoveFilterLocked(IBaseFilter* filter);
  HRESULT ConnectDirectLocked(IPin* out, IPin* in, const MediaType* type);
  HRESULT ConnectLocked(IPin* out, IPin* in, int depth);
  HRESULT RenderLocked(IPin* out, int depth);
  HRESULT TryTransformLocked(IPin* out, const CLSID& clsid, const std::string& name, IPin* in, int depth);
  void DisconnectAllLocked(IBaseFilter* filter);
  std::vector<ComPtr<IBaseFilter>> DownstreamOrderLocked();

  // State.
  HRESULT StopLocked();
  HRESULT PauseLocked();
  HRESULT RunLocked(REFERENCE_TIME tStart, bool startNow);
  HRESULT WaitForStateLocked(uint32_t msTimeout);
  void EnsureClockLocked();
  REFERENCE_TIME ClockTimeLocked();
  int CountRenderersLocked();

  // Seeking.
  std::vector<ComPtr<IMediaSeeking>> SeekTargetsLocked();
  REFERENCE_TIME CurrentPositionLocked();
  REFERENCE_TIME DurationLocked();
  HRESULT SeekLocked(REFERENCE_TIME start, uint32_t flags, int64_t* stop, uint32_t stopFlags);

  template <class I>
  ComPtr<I> FindForwardTarget();

  std::mutex graphMutex_;
  std::vector<Entry> filters_;          // in the order added
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;       // null: unclocked
  bool clockChosen_ = false;            // false until SetSyncSource/SetDefaultSyncSource or first run
  ComPtr<IReferenceClock> systemClock_; // made on first use
  REFERENCE_TIME streamStart_ = 0;      // clock time of stream time 0 while running
  REFERENCE_TIME pausedStreamTime_ = 0; // stream time when paused
  REFERENCE_TIME segmentStart_ = 0;     // media position of stream time 0
  double rate_ = 1.0;
  GUID timeFormat_;                     // TIME_FORMAT_MEDIA_TIME
  bool dirty_ = false;                  // table entry needs rewriting
  std::atomic<bool> abort_{false};      // set by Abort, read by a running Connect/Render
  TEventQueue events_;                  // own lock; never takes graphMutex_
};

}  // namespace kv
