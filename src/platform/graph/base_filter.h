// Base classes for filters and pins. Every filter of the program derives from these.
//
// HOW TO WRITE A FILTER
//   Pick the base that fits:
//     - a source or demultiplexer: TBaseFilter with TSourceStream output pins
//       (source_stream.h: each pin owns a streaming thread and a bounded queue);
//     - a decoder or effect: TTransformFilter (transform_filter.h), in place or copying;
//     - a renderer: TBaseRenderer (renderer_base.h): preroll, clock, late dropping.
//   Give the filter a CLSID and register it (class_registry.h):
//       TClassRegistration r{CLSID_MyFilter, "My Filter", MERIT_NORMAL, {}, {{MEDIATYPE_Video, GUID_NULL}},
//                            {{MEDIATYPE_Video, MEDIASUBTYPE_YUY2}},
//                            [](const IID& iid, void** out) { return CreateComObject<TMyFilter>(iid, out); }};
//       ClassRegistry().RegisterFilter(r);
//   Pins are members of the filter (std::unique_ptr) and share its reference count.
//
// SUBCLASS CONTRACTS
//   TBaseFilter
//     must implement: GetPinCount(), GetPin(n) - the pins in a fixed order.
//     may override:   Stop/Pause/Run (call the base), GetState (renderers), and
//                     NonDelegatingQueryInterface to add interfaces.
//     threads:        state calls on the user-interface thread (the graph manager holds its
//                     own lock, not ours). stateMutex_ guards the transition bookkeeping;
//                     state() is an atomic that streaming threads may read at any time.
//                     Pins are made Active()/Inactive() without any filter lock held, so a
//                     pin may join its thread there.
//   TBasePin
//     must implement: CheckMediaType(type) - S_OK to accept, anything else refuses.
//     may override:   GetMediaType(position, type) - the types offered, in preference order
//                     (VFW_S_NO_MORE_ITEMS past the end); SetMediaType, CompleteConnect,
//                     BreakConnect, Active, Inactive.
//     threads:        connection calls on the user-interface thread while the filter is
//                     stopped; the connection fields do not change while streaming.
//   TBaseInputPin
//     must implement: Receive(sample) - call CheckStreaming() first; runs on the upstream
//                     streaming thread.
//     may override:   EndOfStream, BeginFlush, EndFlush, NewSegment (call the base first;
//                     forward downstream yourself). BeginFlush must make a blocked Receive
//                     return.
//   TBaseOutputPin
//     must implement: DecideBufferSize(allocator, properties) - SetProperties on it.
//     helpers:        GetDeliveryBuffer, Deliver, DeliverEndOfStream, DeliverBeginFlush,
//                     DeliverEndFlush, DeliverNewSegment: call them from your streaming
//                     thread (flushes from the thread that seeks), never under a lock that
//                     a state change takes.
//
// Lock order (outermost first): graph manager lock > filter stateMutex_ > pin/queue locks >
// allocator lock > clock lock. Nothing calls another filter while holding its state lock.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/graph/graph_interfaces.h"

namespace kv {

inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHResult(0x00040103);

class TBaseFilter;

// Creates an object of class T and answers QueryInterface(iid) on it; for class factories.
template <class T, class... Args>
HRESULT CreateComObject(const IID& iid, void** out, Args&&... args) {
  if (!out) return E_POINTER;
  *out = nullptr;
  ComPtr<T> object(new T(std::forward<Args>(args)...));
  return object->QueryInterface(iid, out);
}

class TBasePin : public TUnknown, public IPin {
 public:
  TBasePin(TBaseFilter* filter, std::string name, PIN_DIRECTION dir);
  ~TBasePin() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // IPin
  HRESULT Connect(IPin* receiver, const MediaType* type) override;
  HRESULT ReceiveConnection(IPin* connector, const MediaType* type) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(MediaType* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* dir) override;
  HRESULT QueryId(std::string* id) override;
  HRESULT QueryAccept(const MediaType* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** out) override;
  HRESULT EndOfStream() override { return S_OK; }
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // Subclass contract (see the top of this file).
  virtual HRESULT CheckMediaType(const MediaType& type) = 0;
  virtual HRESULT GetMediaType(int position, MediaType* type);
  virtual HRESULT SetMediaType(const MediaType& type);
  virtual HRESULT CompleteConnect(IPin* receivePin) { return S_OK; }
  virtual HRESULT BreakConnect() { return S_OK; }
  // The filter leaves Stopped (Active) or enters it (Inactive); no filter lock held.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }

  bool IsConnected() const { return connected_ != nullptr; }
  IPin* GetConnected() const { return connected_.Get(); }
  const MediaType& CurrentMediaType() const { return mt_; }
  const std::string& Name() const { return name_; }
  PIN_DIRECTION Direction() const { return dir_; }
  TBaseFilter* Filter() const { return filter_; }
  REFERENCE_TIME SegmentStart() const { return segStart_; }
  REFERENCE_TIME SegmentStop() const { return segStop_; }
  double SegmentRate() const { return segRate_; }

 protected:
  // Output side of Connect: tries one type on the receiver.
  HRESULT AttemptConnection(IPin* receiver, const MediaType& type);
  TBaseFilter* filter_;
  std::string name_;
  PIN_DIRECTION dir_;
  // Connection: written on the user-interface thread while stopped, read by streaming.
  ComPtr<IPin> connected_;
  MediaType mt_;
  // Segment of the stream now flowing; written and read on the streaming thread.
  REFERENCE_TIME segStart_ = 0;
  REFERENCE_TIME segStop_ = INT64_MAX;
  double segRate_ = 1.0;
};

class TBaseInputPin : public TBasePin, public IMemInputPin {
 public:
  TBaseInputPin(TBaseFilter* filter, std::string name);
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // IMemInputPin
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, bool readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override { return E_NOTIMPL; }
  HRESULT ReceiveCanBlock() override { return S_FALSE; }

  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT EndOfStream() override;
  HRESULT BreakConnect() override;
  HRESULT Inactive() override;

  // S_OK when a sample may be processed now; S_FALSE while flushing, VFW_E_WRONG_STATE
  // when the filter is stopped, VFW_E_SAMPLE_REJECTED_EOS after end of stream.
  HRESULT CheckStreaming();
  bool IsFlushing() const { return flushing_.load(std::memory_order_acquire); }
  IMemAllocator* Allocator() const { return allocator_.Get(); }

 protected:
  std::atomic<bool> flushing_{false};
  std::atomic<bool> endOfStream_{false};
  ComPtr<IMemAllocator> allocator_;  // the connection's allocator (connection-time only)
  bool readOnly_ = false;
};

class TBaseOutputPin : public TBasePin {
 public:
  TBaseOutputPin(TBaseFilter* filter, std::string name);

  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  // Whether this pin allocates at all (in-place transforms pass their input samples on).
  virtual bool UsesAllocator() const { return true; }

  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, uint32_t flags);
  [[nodiscard]] HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  IMemAllocator* Allocator() const { return allocator_.Get(); }

 protected:
  ComPtr<IMemInputPin> inputPin_;    // the peer's IMemInputPin (connection-time only)
  ComPtr<IMemAllocator> allocator_;  // agreed at connection time
};

class TBaseFilter : public TUnknown, public IBaseFilter {
 public:
  explicit TBaseFilter(const CLSID& clsid);
  ~TBaseFilter() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  virtual int GetPinCount() = 0;
  virtual TBasePin* GetPin(int n) = 0;

  // IPersist / IMediaFilter
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(uint32_t msTimeout, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT EnumPins(IEnumPins** out) override;
  HRESULT FindPin(const std::string& id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, const std::string& name) override;
  HRESULT QueryVendorInfo(std::string* info) override { return E_NOTIMPL; }

  FILTER_STATE state() const { return state_.load(std::memory_order_acquire); }
  // Posts an event to the graph the filter is in; false when it is in none. Any thread.
  bool NotifyEvent(int32_t code, intptr_t param1, intptr_t param2);
  // Reports a fatal streaming error once per run as EC_ERRORABORTEX with texts (the
  // detail is prefixed with the filter's name). A filter reports its own failures only:
  // an upstream pin whose Deliver fails just stops delivering.
  void ReportStreamingError(HRESULT hr, const std::string& userText, const std::string& detail);
  // The clock and stream start, read under the state lock.
  ComPtr<IReferenceClock> Clock();
  REFERENCE_TIME StreamStart();
  // The filter's name in its graph.
  std::string Name();

 protected:
  CLSID clsid_;
  std::mutex stateMutex_;  // guards clock_, start_, graph_, sink_, name_, errorReported_ and transitions
  std::atomic<FILTER_STATE> state_{State_Stopped};
  ComPtr<IReferenceClock> clock_;
  REFERENCE_TIME start_ = 0;
  IFilterGraph* graph_ = nullptr;     // not referenced: the graph owns us, not the reverse
  IMediaEventSink* sink_ = nullptr;   // the graph's, likewise
  std::string name_;
  bool errorReported_ = false;
};

}  // namespace kv
