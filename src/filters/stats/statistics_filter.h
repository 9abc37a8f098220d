// The statistics filter: a pass-through filter that counts what flows through it.
//
// What it is: "Statistics Filter" in the legacy filter category, one input and one output
// pin, in-place (samples go on unchanged). It keeps running totals since the last
// ResetStat and a window of the last second of stream time, and, when a sample callback is
// set, reports every sample as a TSampleRecord (engine/istat.h). The engine makes a fresh
// instance for each use (compressed video, decoded picture, compressed audio).
// With an image callback set, an instance on decoded pictures (YV12, I420, NV12, YUY2,
// RGB32) measures each picture's luma (image_measures.h gives the definitions) on the
// streaming thread, without allocating, and reports a TImageRecord with the same frame
// index as the sample. Pictures of other types are counted but not measured.
// The one-second window restarts on ResetStat and when streaming starts, so that current
// bitrates after a seek come from the new position's samples.
// Threads: TransformInPlace and the callbacks run on the upstream streaming thread; the
// IStatistics calls come from the user-interface thread. countersMutex_ guards the
// counters and the window; the callbacks are atomics read without it, and a callback is
// never called with the mutex held.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "filters/stats/image_measures.h"

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
  // The window's samples, oldest first: a ring that grows only when a second holds more
  // samples than ever before, so steady streaming allocates nothing.
  class TSpanRing {
   public:
    bool Empty() const { return size_ == 0; }
    size_t Size() const { return size_; }
    const TSpan& Front() const { return items_[head_]; }
    const TSpan& At(size_t i) const { return items_[(head_ + i) % items_.size()]; }
    void PopFront() {
      head_ = (head_ + 1) % items_.size();
      --size_;
    }
    void Clear() { head_ = size_ = 0; }
    void Push(const TSpan& s) {
      if (size_ == items_.size()) {
        std::vector<TSpan> grown(std::max<size_t>(64, items_.size() * 2));
        for (size_t i = 0; i < size_; ++i) grown[i] = At(i);
        items_.swap(grown);
        head_ = 0;
      }
      items_[(head_ + size_) % items_.size()] = s;
      ++size_;
    }

   private:
    std::vector<TSpan> items_;
    size_t head_ = 0, size_ = 0;
  };
  // Where a picture's luma lies in a sample buffer.
  struct TPictureLayout {
    int width = 0, height = 0;
    int32_t imageSize = 0;  // bytes a whole picture needs
    ptrdiff_t firstRowOffset = 0, rowBytes = 0;
    stats::TLumaLayout layout = stats::TLumaLayout::Planar;
  };
  // Where the luma of a decoded picture lies in a buffer of that type; nullopt for
  // compressed or unknown types.
  static std::optional<TPictureLayout> LumaLayoutOf(const MediaType& type);
  void CountLocked(bool timed, int64_t start, int64_t stop, int64_t bytes);
  void MeasureAndReport(IMediaSample* sample, const TPictureLayout& layout, int32_t index, TStatCallback callback);

  std::mutex countersMutex_;  // guards total_, haveTime_, lastStop_, window_, frameIndex_, picture_
  TStatCounters total_;
  bool haveTime_ = false;  // total_.Start holds the first timed sample's start
  int64_t lastStop_ = 0;
  TSpanRing window_;
  int32_t frameIndex_ = 0;
  std::optional<TPictureLayout> picture_;  // the input's picture layout, when it is one
  std::atomic<TStatCallback> sampleCallback_{nullptr};
  std::atomic<TStatCallback> imageCallback_{nullptr};
};

// Registers "Statistics Filter" (never chosen by intelligent connect). Idempotent.
void RegisterStatisticsFilter(TClassRegistry& registry = ClassRegistry());

}  // namespace kv
