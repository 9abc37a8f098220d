// The statistics filter: counters, the one-second window and the sample records.
#include "filters/stats/statistics_filter.h"

#include <algorithm>

namespace kv {

TStatisticsFilter::TStatisticsFilter() : TTransformFilter(CLSID_StatisticsFilter, TTransformMode::InPlace) {}

HRESULT TStatisticsFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IStatistics::kIid) return GetInterface(static_cast<IStatistics*>(this), out);
  return TTransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT TStatisticsFilter::StartStreaming() {
  std::lock_guard<std::mutex> lock(countersMutex_);
  frameIndex_ = 0;
  return S_OK;
}

void TStatisticsFilter::CountLocked(bool timed, int64_t start, int64_t stop, int64_t bytes) {
  ++total_.Samples;
  total_.Bytes += bytes;
  if (!timed) {
    // An untimed sample continues where the last one ended.
    start = stop = lastStop_;
  }
  if (stop < start) stop = start;
  if (!haveTime_ && timed) {
    haveTime_ = true;
    total_.Start = start;
  }
  if (haveTime_) total_.Duration = std::max(total_.Duration, stop - total_.Start);
  lastStop_ = std::max(lastStop_, stop);
  window_.push_back({start, stop, bytes});
  while (!window_.empty() && window_.front().stop <= lastStop_ - kWindow) window_.pop_front();
}

HRESULT TStatisticsFilter::TransformInPlace(IMediaSample* sample) {
  REFERENCE_TIME start = 0, stop = 0;
  HRESULT timeResult = sample->GetTime(&start, &stop);
  const bool timed = SUCCEEDED(timeResult);
  if (timeResult == VFW_S_NO_STOP_TIME) stop = start;
  const int64_t bytes = sample->GetActualDataLength();
  TSampleRecord record;
  {
    std::lock_guard<std::mutex> lock(countersMutex_);
    CountLocked(timed, start, stop, bytes);
    record.FrameIndex = frameIndex_++;
  }
  TStatCallback callback = sampleCallback_.load();
  if (callback) {
    record.StartTime = timed ? start : 0;
    record.StopTime = timed ? stop : 0;
    REFERENCE_TIME now = 0;
    ComPtr<IReferenceClock> clock = Clock();
    if (clock && SUCCEEDED(clock->GetTime(&now))) now -= StreamStart();
    else now = 0;
    record.TimestampIn = now;
    record.TimestampOut = now;
    record.Bytes = bytes;
    record.IsDiscontinuity = sample->IsDiscontinuity() == S_OK;
    record.IsSyncPoint = sample->IsSyncPoint() == S_OK;
    record.IsPreroll = sample->IsPreroll() == S_OK;
    callback(&record);
  }
  return S_OK;
}

HRESULT TStatisticsFilter::ResetStat() {
  std::lock_guard<std::mutex> lock(countersMutex_);
  total_ = TStatCounters();
  haveTime_ = false;
  window_.clear();
  return S_OK;
}

HRESULT TStatisticsFilter::GetTotalStat(TStatCounters* counters) {
  if (!counters) return E_POINTER;
  std::lock_guard<std::mutex> lock(countersMutex_);
  *counters = total_;
  return S_OK;
}

HRESULT TStatisticsFilter::GetCurrentStat(TStatCounters* counters) {
  if (!counters) return E_POINTER;
  std::lock_guard<std::mutex> lock(countersMutex_);
  TStatCounters c;
  if (!window_.empty()) {
    c.Start = window_.front().start;
    for (const auto& s : window_) {
      c.Bytes += s.bytes;
      ++c.Samples;
    }
    c.Duration = lastStop_ - c.Start;
  }
  *counters = c;
  return S_OK;
}

HRESULT TStatisticsFilter::GetFrameCount(int32_t* frames) {
  if (!frames) return E_POINTER;
  std::lock_guard<std::mutex> lock(countersMutex_);
  *frames = frameIndex_;
  return S_OK;
}

HRESULT TStatisticsFilter::SetSampleCallback(TStatCallback callback) {
  sampleCallback_.store(callback);
  return S_OK;
}

HRESULT TStatisticsFilter::SetImageCallback(TStatCallback callback) {
  imageCallback_.store(callback);
  return S_OK;
}

HRESULT TStatisticsFilter::GetSampleCallback(TStatCallback* callback) {
  if (!callback) return E_POINTER;
  *callback = sampleCallback_.load();
  return S_OK;
}

HRESULT TStatisticsFilter::GetImageCallback(TStatCallback* callback) {
  if (!callback) return E_POINTER;
  *callback = imageCallback_.load();
  return S_OK;
}

void RegisterStatisticsFilter(TClassRegistry& registry) {
  TClassRegistration r;
  r.clsid = CLSID_StatisticsFilter;
  r.friendlyName = "Statistics Filter";
  r.merit = MERIT_DO_NOT_USE;  // only ever inserted by name
  r.inputTypes = {{GUID_NULL, GUID_NULL}};
  r.outputTypes = {{GUID_NULL, GUID_NULL}};
  r.factory = [](const IID& iid, void** out) { return CreateComObject<TStatisticsFilter>(iid, out); };
  registry.RegisterFilter(std::move(r));
}

}  // namespace kv
