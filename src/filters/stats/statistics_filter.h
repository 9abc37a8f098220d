// The statistics filter: a pass-through filter that counts what flows through it.
//
// What it is: "Statistics Filter" in the legacy filter category, one input and one output
// pin, in-place (samples go on unchanged). It keeps running totals since the last
// ResetStat and a window of the last second of stream time, and, when a sample callback is
// set, reports every sample as a TSampleRecord (engine/istat.h). The engine makes a fresh
// instance for each use (compressed video, decoded picture, compressed audio).
// Picture measures for the image callback come with the stream analyzer; until then the
// image callback is stored but not called.
// Threads: TransformInPlace and the callbacks run on the upstream streaming thread; the
// IStatistics calls come from the user-interface thread. countersMutex_ guards the
// counters and the window; the callbacks are atomics read without it, and a callback is
// never called with the mutex held.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>

#include "engine/istat.h"
#include "platform/com/class_registry.h"
#include "platform/graph/transform_filter.h"

namespace kv {

inline constexpr CLSID CLSID_StatisticsFilter = GuidLiteral("{8A6D3B1E-5C27-4F0B-9E61-2D4C7B90A3F5}");

class TStatisticsFilter : public TTransformFilter, public IStatistics {
 public:
  TStatisticsFilter();
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT CheckInputType(const MediaType& type) override { return S_OK; }
  HRESULT TransformInPlace(IMediaSample* sample) override;
  HRESULT StartStreaming() override;

  // IStatistics
  HRESULT ResetStat() override;
  HRESULT GetTotalStat(TStatCounters* counters) override;
  HRESULT GetCurrentStat(TStatCounters* counters) override;
  HRESULT GetFrameCount(int32_t* frames) override;
  HRESULT SetSampleCallback(TStatCallback callback) override;
  HRESULT SetImageCallback(TStatCallback callback) override;
  HRESULT GetSampleCallback(TStatCallback* callback) override;
  HRESULT GetImageCallback(TStatCallback* callback) override;

  // Length of the "current" window in stream time.
  static constexpr int64_t kWindow = 10000000;

 private:
  struct TSpan {
    int64_t start, stop, bytes;
  };
  void CountLocked(bool timed, int64_t start, int64_t stop, int64_t bytes);

  std::mutex countersMutex_;  // guards total_, haveTime_, window_, frameIndex_
  TStatCounters total_;
  bool haveTime_ = false;  // total_.Start holds the first timed sample's start
  int64_t lastStop_ = 0;
  std::deque<TSpan> window_;
  int32_t frameIndex_ = 0;
  std::atomic<TStatCallback> sampleCallback_{nullptr};
  std::atomic<TStatCallback> imageCallback_{nullptr};
};

// Registers "Statistics Filter" (never chosen by intelligent connect). Idempotent.
void RegisterStatisticsFilter(TClassRegistry& registry = ClassRegistry());

}  // namespace kv
