// The statistics filter: a pass-through filter that counts what flows through it.
//
// What it is: "Statistics Filter" in the legacy filter category, one input and one output
// pin, in-place (samples go on unchanged). It keeps running totals since the last
// ResetStat and a window of the last second of stream time, and, when a sample callback is
// set, reports every sample as a TSampleRecord (engine/istat.h). The engine makes a fresh
// instance for each use (compressed video, decoded picture, compressed audio).
// With an image callback set, an instance on decoded pictures (YV12, I420, NV12, YUY2,
// RGB32) measures each picture's luma (image_measures.h gives the definitions) and reports
// a TImageRecord with the same frame index as the sample. Pictures of other types are
// counted but not measured. The measures run on a worker thread of the filter, so that
// they overlap the decoding of the next pictures: the streaming thread hands over a
// reference to the sample (no copy; the buffer is not reused while referenced) through a
// queue of kMeasureQueue entries, waiting while it is full, and passes the sample on. No
// allocation per picture. An end of stream waits until every queued picture is reported,
// so the image records of a run all arrive before its end; a flush or stop drops the
// queued pictures and wakes every wait, and stop joins the worker.
// The one-second window restarts on ResetStat and when streaming starts, so that current
// bitrates after a seek come from the new position's samples.
// Threads: TransformInPlace and the sample callback run on the upstream streaming thread,
// the image callback on the measuring worker; the IStatistics calls come from the
// user-interface thread. countersMutex_ guards the counters and the window; measureMutex_
// the picture queue; the callbacks are atomics read without them, and a callback is never
// called with a mutex held.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
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
  ~TStatisticsFilter() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT CheckInputType(const MediaType& type) override { return S_OK; }
  HRESULT TransformInPlace(IMediaSample* sample) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

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
  // Pictures waiting for the measuring worker, at most.
  static constexpr int kMeasureQueue = 3;

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
  // A picture handed to the measuring worker; the sample is referenced while queued.
  struct TPendingPicture {
    IMediaSample* sample = nullptr;
    TPictureLayout layout;
    int32_t index = 0;
    TStatCallback callback = nullptr;
  };
  void CountLocked(bool timed, int64_t start, int64_t stop, int64_t bytes);
  static void MeasureAndReport(const TPendingPicture& picture);
  // Streaming thread: queues the picture (waits for room); false when stopping or flushing.
  bool QueuePicture(IMediaSample* sample, const TPictureLayout& layout, int32_t index, TStatCallback callback);
  // Releases the queued pictures unmeasured. With measureMutex_ held.
  void DropQueuedLocked();
  void StopMeasuring();
  void MeasureMain();

  std::mutex countersMutex_;  // guards total_, haveTime_, lastStop_, window_, frameIndex_, picture_
  TStatCounters total_;
  bool haveTime_ = false;  // total_.Start holds the first timed sample's start
  int64_t lastStop_ = 0;
  TSpanRing window_;
  int32_t frameIndex_ = 0;
  std::optional<TPictureLayout> picture_;  // the input's picture layout, when it is one
  std::mutex measureMutex_;  // guards queue_, queueHead_, queued_, measuring_, measureStop_, measureFlushing_
  std::condition_variable measureChanged_;  // a picture queued, room made, the worker idle, stop or flush
  std::array<TPendingPicture, kMeasureQueue> queue_;
  int queueHead_ = 0, queued_ = 0;
  bool measuring_ = false;        // the worker holds a picture it took from the queue
  bool measureStop_ = false;      // the worker is to end
  bool measureFlushing_ = false;  // between BeginFlush and EndFlush: nothing is queued
  std::thread measureThread_;     // started with streaming on decoded pictures, joined at stop
  std::atomic<TStatCallback> sampleCallback_{nullptr};
  std::atomic<TStatCallback> imageCallback_{nullptr};
};

// Registers "Statistics Filter" (never chosen by intelligent connect). Idempotent.
void RegisterStatisticsFilter(TClassRegistry& registry = ClassRegistry());

}  // namespace kv
