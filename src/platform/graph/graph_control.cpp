#include <algorithm>
#include <chrono>
#include <set>

#include "platform/graph/graph_manager.h"
#include "platform/graph/reference_clock.h"

namespace kv {

// Renderers first: a filter comes after every filter its output pins feed.
std::vector<ComPtr<IBaseFilter>> TFilterGraph::DownstreamOrderLocked() {
  std::vector<ComPtr<IBaseFilter>> order;
  std::set<IBaseFilter*> placed;
  auto downstreamOf = [](IBaseFilter* f) {
    std::vector<IBaseFilter*> peers;
    ComPtr<IEnumPins> pins;
    if (FAILED(f->EnumPins(pins.Put())) || !pins) return peers;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
      PIN_DIRECTION dir;
      ComPtr<IPin> peer;
      if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT && pin->ConnectedTo(peer.Put()) == S_OK) {
        PIN_INFO info;
        if (SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) peers.push_back(info.pFilter.Get());
      }
    }
    return peers;
  };
  // Repeatedly place the filters whose downstream filters are all placed; a filter
  // outside this graph downstream (should not happen) does not hold anything up.
  std::set<IBaseFilter*> members;
  for (auto& e : filters_) members.insert(e.filter.Get());
  while (order.size() < filters_.size()) {
    bool progress = false;
    for (auto& e : filters_) {
      IBaseFilter* f = e.filter.Get();
      if (placed.count(f)) continue;
      auto peers = downstreamOf(f);
      bool ready = std::all_of(peers.begin(), peers.end(),
                               [&](IBaseFilter* p) { return placed.count(p) || !members.count(p); });
      if (!ready) continue;
      placed.insert(f);
      order.push_back(e.filter);
      progress = true;
    }
    if (!progress) {  // a cycle cannot be built through our pins; place the rest as they are
      for (auto& e : filters_)
        if (!placed.count(e.filter.Get())) order.push_back(e.filter);
      break;
    }
  }
  return order;
}

int TFilterGraph::CountRenderersLocked() {
  int n = 0;
  for (auto& e : filters_) {
    ComPtr<IAMFilterMiscFlags> flags = e.filter.Query<IAMFilterMiscFlags>();
    if (!flags || !(flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER)) continue;
    // Only renderers something flows into will ever complete.
    ComPtr<IEnumPins> pins;
    if (FAILED(e.filter->EnumPins(pins.Put())) || !pins) continue;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
      PIN_DIRECTION dir;
      ComPtr<IPin> peer;
      if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_INPUT && pin->ConnectedTo(peer.Put()) == S_OK) {
        ++n;
        break;
      }
    }
  }
  return n;
}

void TFilterGraph::EnsureClockLocked() {
  if (clockChosen_) return;
  clockChosen_ = true;
  // The default: a filter's clock (the audio renderer's) if one offers it, else the system clock.
  for (auto& e : filters_) {
    if (auto c = e.filter.Query<IReferenceClock>()) {
      clock_ = c;
      break;
    }
  }
  if (!clock_) {
    if (!systemClock_) systemClock_ = CreateSystemClock();
    clock_ = systemClock_;
  }
  for (auto& e : filters_) e.filter->SetSyncSource(clock_.Get());
}

REFERENCE_TIME TFilterGraph::ClockTimeLocked() {
  REFERENCE_TIME now = 0;
  if (clock_) clock_->GetTime(&now);
  return now;
}

HRESULT TFilterGraph::StopLocked() {
  if (state_ == State_Stopped) return S_OK;
  // Where playback stood is where the next run starts.
  REFERENCE_TIME position = CurrentPositionLocked();
  HRESULT result = S_OK;
  for (auto& f : DownstreamOrderLocked()) {
    HRESULT hr = f->Stop();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  state_ = State_Stopped;
  dirty_ = true;
  events_.DiscardCompletion();
  for (auto& t : SeekTargetsLocked()) {
    int64_t p = position;
    t->SetPositions(&p, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  segmentStart_ = position;
  pausedStreamTime_ = 0;
  return result;
}

HRESULT TFilterGraph::PauseLocked() {
  if (state_ == State_Paused) return S_OK;
  EnsureClockLocked();
  if (state_ == State_Stopped) {
    events_.ResetCompletion(CountRenderersLocked());
    pausedStreamTime_ = 0;
  } else {
    pausedStreamTime_ = clock_ ? ClockTimeLocked() - streamStart_ : 0;
  }
  HRESULT result = S_OK;
  for (auto& f : DownstreamOrderLocked()) {
    HRESULT hr = f->Pause();
    if (FAILED(hr)) {
      // A filter that cannot start leaves the graph stopped rather than half paused.
      state_ = State_Paused;
      StopLocked();
      return hr;
    }
    if (hr != S_OK) result = S_FALSE;
  }
  state_ = State_Paused;
  dirty_ = true;
  return result;
}

HRESULT TFilterGraph::RunLocked(REFERENCE_TIME tStart, bool startNow) {
  if (state_ == State_Running) return S_OK;
  HRESULT result = S_OK;
  REFERENCE_TIME latency = 0;
  if (state_ == State_Stopped) {
    result = PauseLocked();
    if (FAILED(result)) return result;
    // As a graph manager does: the clock starts once the renderers hold their first
    // samples (bounded), and a little after now. Unclocked, samples go at once anyway.
    if (clock_) {
      if (result != S_OK && WaitForStateLocked(kRunPrerollTimeoutMs) == S_OK) result = S_OK;
      latency = kRunStartLatency;
    }
  }
  // Stream time continues from where the pause left it.
  if (startNow) tStart = clock_ ? ClockTimeLocked() - pausedStreamTime_ + latency : 0;
  streamStart_ = tStart;
  for (auto& f : DownstreamOrderLocked()) {
    HRESULT hr = f->Run(tStart);
    if (FAILED(hr)) {
      StopLocked();
      return hr;
    }
  }
  state_ = State_Running;
  dirty_ = true;
  // A graph with no renderer that anything flows into (an audio-only file opened with its
  // audio left out, say) would otherwise never report its end.
  events_.CompleteWithoutRenderers();
  return result == S_OK ? S_OK : S_FALSE;
}

HRESULT TFilterGraph::WaitForStateLocked(uint32_t msTimeout) {
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(msTimeout);
  for (auto& e : filters_) {
    uint32_t left = 0xFFFFFFFFu;
    if (msTimeout != 0xFFFFFFFFu) {
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      left = static_cast<uint32_t>(std::max<int64_t>(0, ms));
    }
    FILTER_STATE fs;
    if (e.filter->GetState(left, &fs) == VFW_S_STATE_INTERMEDIATE) return VFW_S_STATE_INTERMEDIATE;
  }
  return S_OK;
}

HRESULT TFilterGraph::Run() {
  TGraphCall call(this);
  abort_.store(false);
  return RunLocked(0, true);
}

HRESULT TFilterGraph::Run(REFERENCE_TIME tStart) {
  TGraphCall call(this);
  return RunLocked(tStart, false);
}

HRESULT TFilterGraph::Pause() {
  TGraphCall call(this);
  return PauseLocked();
}

HRESULT TFilterGraph::Stop() {
  TGraphCall call(this);
  return StopLocked();
}

HRESULT TFilterGraph::StopWhenReady() {
  TGraphCall call(this);
  if (state_ == State_Stopped) {
    HRESULT hr = PauseLocked();
    if (FAILED(hr)) return hr;
  }
  if (state_ == State_Paused) WaitForStateLocked(kStopWhenReadyTimeoutMs);
  return StopLocked();
}

HRESULT TFilterGraph::GetState(int32_t msTimeout, OAFilterState* state) {
  if (!state) return E_POINTER;
  FILTER_STATE fs;
  HRESULT hr = GetState(msTimeout < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(msTimeout), &fs);
  *state = fs;
  return hr;
}

HRESULT TFilterGraph::GetState(uint32_t msTimeout, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  *state = state_;
  if (state_ != State_Paused) return S_OK;
  return WaitForStateLocked(msTimeout);
}

HRESULT TFilterGraph::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_FilterGraph;
  return S_OK;
}

HRESULT TFilterGraph::SetSyncSource(IReferenceClock* clock) {
  TGraphCall call(this);
  if (state_ == State_Running) return VFW_E_NOT_STOPPED;
  if (state_ == State_Paused) {
    // Keep the paused stream time; the next Run maps it onto the new clock.
  }
  clock_ = clock;
  clockChosen_ = true;
  for (auto& e : filters_) e.filter->SetSyncSource(clock);
  return S_OK;
}

HRESULT TFilterGraph::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  *clock = clock_.Get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}

HRESULT TFilterGraph::SetDefaultSyncSource() {
  TGraphCall call(this);
  if (state_ == State_Running) return VFW_E_NOT_STOPPED;
  clock_.Reset();
  clockChosen_ = false;
  EnsureClockLocked();
  return S_OK;
}

}  // namespace kv
