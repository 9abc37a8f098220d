// Filter-level interfaces: IBaseFilter and the interfaces filters and the graph share.
//
// A filter lives in at most one graph (JoinFilterGraph), owns its pins, and moves between
// Stopped, Paused and Running when the graph manager tells it to. State calls arrive on
// the user-interface thread; see base_filter.h for the lock rules of our base classes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/graph/pin.h"
#include "platform/graph/property_page.h"

namespace kv {

struct IFilterGraph;
struct IReferenceClock;

enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

struct FILTER_INFO {
  std::string achName;
  ComPtr<IFilterGraph> pGraph;  // the graph it is in (a reference), or empty
};

struct IPersist : IUnknown {
  static constexpr IID kIid = GuidLiteral("{0000010C-0000-0000-C000-000000000046}");
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IMediaFilter : IPersist {
  static constexpr IID kIid = GuidLiteral("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;  // S_FALSE (VFW_S_STATE_INTERMEDIATE) while not yet prerolled
  // tStart: the reference-clock time that stream time 0 corresponds to.
  virtual HRESULT Run(REFERENCE_TIME tStart) = 0;
  // Waits up to msTimeout for a pending transition; VFW_S_STATE_INTERMEDIATE on time-out.
  virtual HRESULT GetState(uint32_t msTimeout, FILTER_STATE* state) = 0;
  // null: no clock (renderers render at once).
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};

struct IBaseFilter : IMediaFilter {
  static constexpr IID kIid = GuidLiteral("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
  // Pins in a fixed order: the filter's own order, inputs and outputs as it lists them.
  virtual HRESULT EnumPins(IEnumPins** out) = 0;
  virtual HRESULT FindPin(const std::string& id, IPin** pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
  // Called by the graph manager only (graph null: removed). The graph is not referenced.
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const std::string& name) = 0;
  virtual HRESULT QueryVendorInfo(std::string* info) = 0;
};

using IEnumFilters = IEnumInterface<IBaseFilter, GuidLiteral("{56A86893-0AD4-11CE-B03A-0020AF0BA770}")>;

// Reference clock. Advise callbacks run on the clock's own thread (or, for a test clock,
// on the thread that moves it), never with the clock's lock held.
struct IReferenceClock : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
  using Callback = std::function<void()>;
  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
  // Calls `fire` once when the clock reaches baseTime + streamTime.
  virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, Callback fire, uintptr_t* cookie) = 0;
  virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period, Callback fire, uintptr_t* cookie) = 0;
  // Cancels an advise; when it returns the callback is not running and will not run.
  // Never call it while holding a lock that the callback takes.
  virtual HRESULT Unadvise(uintptr_t cookie) = 0;
};

// How filters post events to the graph (EC_COMPLETE, errors). Any thread.
struct IMediaEventSink : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868A2-0AD4-11CE-B03A-0020AF0BA770}");
  virtual HRESULT Notify(int32_t eventCode, intptr_t param1, intptr_t param2) = 0;
};

struct IFileSourceFilter : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868A6-0AD4-11CE-B03A-0020AF0BA770}");
  // Opens the file (type may be null: the source finds out). Errors: the file's error.
  virtual HRESULT Load(const std::string& fileName, const MediaType* type) = 0;
  virtual HRESULT GetCurFile(std::string* fileName, MediaType* type) = 0;
};

// Renderers say so here; the graph counts them for EC_COMPLETE and preroll.
struct IAMFilterMiscFlags : IUnknown {
  static constexpr IID kIid = GuidLiteral("{2DD74950-A890-11D1-ABE8-00A0C905F375}");
  virtual uint32_t GetMiscFlags() = 0;
};
inline constexpr uint32_t AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
inline constexpr uint32_t AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

inline constexpr IID IID_IBaseFilter = IBaseFilter::kIid;
inline constexpr IID IID_IMediaFilter = IMediaFilter::kIid;
inline constexpr IID IID_IReferenceClock = IReferenceClock::kIid;
inline constexpr IID IID_IFileSourceFilter = IFileSourceFilter::kIid;
inline constexpr IID IID_IMediaEventSink = IMediaEventSink::kIid;

}  // namespace kv
