#include <algorithm>
#include <set>

#include "platform/graph/graph_manager.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/renderer_base.h"

namespace kv {

// The most upstream filters that offer IMediaSeeking: nothing upstream of them does.
std::vector<ComPtr<IMediaSeeking>> TFilterGraph::SeekTargetsLocked() {
  std::vector<ComPtr<IMediaSeeking>> targets;
  std::function<bool(IBaseFilter*, int)> upstreamSeeks = [&](IBaseFilter* f, int depth) -> bool {
    if (depth > 64) return false;
    ComPtr<IEnumPins> pins;
    if (FAILED(f->EnumPins(pins.Put())) || !pins) return false;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
      PIN_DIRECTION dir;
      ComPtr<IPin> peer;
      if (FAILED(pin->QueryDirection(&dir)) || dir != PINDIR_INPUT || pin->ConnectedTo(peer.Put()) != S_OK) continue;
      PIN_INFO info;
      if (FAILED(peer->QueryPinInfo(&info)) || !info.pFilter) continue;
      if (info.pFilter.Query<IMediaSeeking>() || upstreamSeeks(info.pFilter.Get(), depth + 1)) return true;
    }
    return false;
  };
  for (auto& e : filters_) {
    ComPtr<IMediaSeeking> s = e.filter.Query<IMediaSeeking>();
    if (s && !upstreamSeeks(e.filter.Get(), 0)) targets.push_back(s);
  }
  return targets;
}

REFERENCE_TIME TFilterGraph::DurationLocked() {
  REFERENCE_TIME longest = 0;
  for (auto& t : SeekTargetsLocked()) {
    int64_t d = 0;
    if (SUCCEEDED(t->GetDuration(&d))) longest = std::max<REFERENCE_TIME>(longest, d);
  }
  return longest;
}

REFERENCE_TIME TFilterGraph::CurrentPositionLocked() {
  REFERENCE_TIME pos = segmentStart_;
  if (clock_ && state_ != State_Stopped) {
    REFERENCE_TIME streamTime = state_ == State_Running ? ClockTimeLocked() - streamStart_ : pausedStreamTime_;
    pos = segmentStart_ + static_cast<REFERENCE_TIME>(std::max<REFERENCE_TIME>(0, streamTime) * rate_);
  } else if (!clock_ && state_ != State_Stopped) {
    // Unclocked: as far as the renderers have got.
    for (auto& e : filters_) {
      REFERENCE_TIME p = 0;
      if (auto r = e.filter.Query<IRendererPosition>(); r && r->GetLastPresentedPosition(&p) == S_OK)
        pos = std::max(pos, p);
    }
  }
  REFERENCE_TIME d = DurationLocked();
  if (d > 0) pos = std::min(pos, d);
  return std::max<REFERENCE_TIME>(0, pos);
}

HRESULT TFilterGraph::SeekLocked(REFERENCE_TIME start, uint32_t flags, int64_t* stop, uint32_t stopFlags) {
  auto targets = SeekTargetsLocked();
  if (targets.empty()) return E_NOTIMPL;
  if (flags & AM_SEEKING_SeekToKeyFrame) {
    // Which key frame suits depends on where playback stands (a step forward must move).
    const REFERENCE_TIME origin = CurrentPositionLocked();
    for (auto& t : targets)
      if (auto o = t.Query<ISeekOrigin>()) o->SetSeekOrigin(origin);
  }
  bool wasRunning = state_ == State_Running;
  if (wasRunning) PauseLocked();  // renderers keep what they hold until the flush
  events_.DiscardCompletion();
  events_.ResetCompletion(CountRenderersLocked());
  HRESULT result = S_OK;
  uint32_t absolute = (flags & ~AM_SEEKING_PositioningBitsMask) | AM_SEEKING_AbsolutePositioning;
  for (auto& t : targets) {
    int64_t p = start;
    HRESULT hr = t->SetPositions(&p, absolute, stop, stopFlags);
    if (FAILED(hr)) result = hr;
  }
  // Where the targets really start (clamped, or moved to a key frame).
  int64_t actual = start;
  if (SUCCEEDED(targets.front()->GetPositions(&actual, nullptr))) start = actual;
  segmentStart_ = start;
  pausedStreamTime_ = 0;
  dirty_ = true;
  if (wasRunning) {
    HRESULT hr = RunLocked(0, true);
    if (FAILED(hr)) result = hr;
  }
  return result;
}

HRESULT TFilterGraph::SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) {
  TGraphCall call(this);
  uint32_t how = currentFlags & AM_SEEKING_PositioningBitsMask;
  uint32_t stopHow = stopFlags & AM_SEEKING_PositioningBitsMask;
  if (how == AM_SEEKING_NoPositioning) {
    if (stopHow == AM_SEEKING_NoPositioning) return S_OK;
    HRESULT result = S_OK;
    for (auto& t : SeekTargetsLocked()) {
      HRESULT hr = t->SetPositions(nullptr, AM_SEEKING_NoPositioning, stop, stopFlags);
      if (FAILED(hr)) result = hr;
    }
    return result;
  }
  if (!current) return E_POINTER;
  REFERENCE_TIME target = *current;
  if (how == AM_SEEKING_RelativePositioning || how == AM_SEEKING_IncrementalPositioning)
    target += CurrentPositionLocked();
  HRESULT hr = SeekLocked(std::max<REFERENCE_TIME>(0, target), currentFlags, stop, stopFlags);
  if (SUCCEEDED(hr) && (currentFlags & AM_SEEKING_ReturnTime)) *current = segmentStart_;
  return hr;
}

HRESULT TFilterGraph::SetRate(double rate) {
  if (!(rate > 0)) return E_INVALIDARG;
  TGraphCall call(this);
  auto targets = SeekTargetsLocked();
  if (targets.empty()) return E_NOTIMPL;
  REFERENCE_TIME position = CurrentPositionLocked();
  for (auto& t : targets) {
    HRESULT hr = t->SetRate(rate);
    if (FAILED(hr)) return hr;
  }
  rate_ = rate;
  // Continue from here at the new speed: one restart with the new segment rate.
  return SeekLocked(position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT TFilterGraph::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  *rate = rate_;
  return S_OK;
}

HRESULT TFilterGraph::GetCapabilities(uint32_t* caps) {
  if (!caps) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  auto targets = SeekTargetsLocked();
  if (targets.empty()) {
    *caps = 0;
    return E_NOTIMPL;
  }
  uint32_t all = ~0u;
  for (auto& t : targets) {
    uint32_t c = 0;
    t->GetCapabilities(&c);
    all &= c;
  }
  *caps = all | AM_SEEKING_CanGetCurrentPos;
  return S_OK;
}

HRESULT TFilterGraph::CheckCapabilities(uint32_t* caps) {
  if (!caps) return E_POINTER;
  uint32_t mine = 0;
  HRESULT hr = GetCapabilities(&mine);
  if (FAILED(hr)) return hr;
  uint32_t asked = *caps;
  *caps &= mine;
  return *caps == asked ? S_OK : (*caps ? S_FALSE : E_FAIL);
}

HRESULT TFilterGraph::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  auto targets = SeekTargetsLocked();
  if (targets.empty()) return S_FALSE;
  for (auto& t : targets)
    if (t->IsFormatSupported(format) != S_OK) return S_FALSE;
  return S_OK;
}

HRESULT TFilterGraph::QueryPreferredFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT TFilterGraph::GetTimeFormat(GUID* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  *format = timeFormat_;
  return S_OK;
}

HRESULT TFilterGraph::IsUsingTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  return *format == timeFormat_ ? S_OK : S_FALSE;
}

HRESULT TFilterGraph::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  // Positions pass through the graph in media time only.
  if (*format != TIME_FORMAT_MEDIA_TIME) return E_INVALIDARG;
  std::lock_guard lock(graphMutex_);
  // Choosing the format already in use changes nothing, so it is allowed in every state
  // (callers bracket each position query with a save and restore of the format).
  if (*format == timeFormat_) return S_OK;
  if (state_ == State_Running) return VFW_E_WRONG_STATE;
  timeFormat_ = *format;
  return S_OK;
}

HRESULT TFilterGraph::GetDuration(int64_t* duration) {
  if (!duration) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  if (SeekTargetsLocked().empty()) {
    *duration = 0;
    return E_NOTIMPL;
  }
  *duration = DurationLocked();
  return S_OK;
}

HRESULT TFilterGraph::GetStopPosition(int64_t* stop) {
  if (!stop) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  auto targets = SeekTargetsLocked();
  if (targets.empty()) return E_NOTIMPL;
  REFERENCE_TIME latest = 0;
  for (auto& t : targets) {
    int64_t s = 0;
    if (SUCCEEDED(t->GetStopPosition(&s))) latest = std::max<REFERENCE_TIME>(latest, s);
  }
  *stop = latest;
  return S_OK;
}

HRESULT TFilterGraph::GetCurrentPosition(int64_t* current) {
  if (!current) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  *current = CurrentPositionLocked();
  return S_OK;
}

HRESULT TFilterGraph::ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                        const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  auto media = [](const GUID* f) { return !f || *f == TIME_FORMAT_MEDIA_TIME; };
  if (!media(targetFormat) || !media(sourceFormat)) return E_INVALIDARG;
  *target = source;
  return S_OK;
}

HRESULT TFilterGraph::GetPositions(int64_t* current, int64_t* stop) {
  if (current) GetCurrentPosition(current);
  if (stop) return GetStopPosition(stop);
  return S_OK;
}

HRESULT TFilterGraph::GetAvailable(int64_t* earliest, int64_t* latest) {
  std::lock_guard lock(graphMutex_);
  if (earliest) *earliest = 0;
  if (latest) *latest = DurationLocked();
  return S_OK;
}

HRESULT TFilterGraph::GetPreroll(int64_t* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}

}  // namespace kv
