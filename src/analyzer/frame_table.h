// TFrameTable: the stream analyzer's frame table, one entry per video frame.
//
// What it is: a table of FrameCapacity entries allocated in one piece before an analysis
// starts (ResetAnalysis), filled by AddFrame (one sample record of the compressed video)
// and AddFrameInfo (the picture measures of a decoded frame), with totals and extremes
// kept incrementally. The analyzer window draws and saves it; the command-line batch saves
// it. Pure logic: no Qt, no graph objects.
//
// Threads and memory ordering (no locks anywhere):
//   - AddFrame runs on one streaming thread (the compressed video's), AddFrameInfo on one
//     other (the decoded pictures'); every other member runs on the reading thread (the
//     user-interface thread, or the command-line batch's main thread).
//   - AddFrame fills entry n = Count() completely with plain writes, then publishes it by
//     storing the count n + 1 with release order; a reader that loads the count with
//     acquire order (Count()) sees every entry below it whole. Fields that may change after
//     publication (Bytes by the MPEG merge, the six picture measures) are written and read
//     through std::atomic_ref, so a reader sees either the old or the new value.
//   - Totals are atomics written by their one writer thread with relaxed order and
//     published by the dirty flag (store release, TakeDirty exchange acquire).
//   - ResetAnalysis and SetMPEGMode are called only while no streaming thread runs (before
//     the graph runs, after it was torn down): thread start and join order them.
// Ownership: the table owns its entries; nothing points into it beyond a call.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "engine/istat.h"

namespace kv {

inline constexpr int32_t FrameCapacity = 210000;

struct TFrameEntry {
  int64_t StartTime = 0;
  int64_t StopTime = 0;
  int64_t TimestampIn = 0;
  int64_t TimestampOut = 0;
  int64_t Bytes = 0;
  bool IsDiscontinuity = false;
  bool IsSyncPoint = false;
  bool IsPreroll = false;
  int32_t HistogramAverage = 0;
  int32_t HistogramMax = 0;
  int32_t HistogramMin = 0;
  int32_t DCTAverage = 0;
  int32_t DCTMax = 0;
  int32_t DCTMin = 0;
};

// A consistent-enough copy of the totals for the reading thread.
struct TFrameTotals {
  int32_t Count = 0;
  int64_t LargestBytes = 0;
  int64_t TotalBytes = 0;
  int64_t FirstStart = 0;
  int64_t LastStop = 0;
  int32_t InfoCount = 0;  // image records stored
  int64_t HistogramSum = 0;
  int32_t HistogramMax = 0;
  int32_t HistogramMin = 0;
  int64_t DCTSum = 0;
  int32_t DCTMax = 0;
  int32_t DCTMin = 0;
  bool Full = false;  // a frame arrived when the table was full
};

class TFrameTable {
 public:
  // capacity: FrameCapacity in the program; tests use small tables.
  explicit TFrameTable(int32_t capacity = FrameCapacity);
  TFrameTable(const TFrameTable&) = delete;
  TFrameTable& operator=(const TFrameTable&) = delete;

  // Allocates the entries on first use (kept for the table's life) and clears the count,
  // the totals and the extremes. Not while streaming.
  void ResetAnalysis();
  // MPEG-1/2 files: a sample that is not a sync point and carries no time (the statistics
  // filter reports such a sample with start and stop 0) continues the previous frame, as
  // a splitter delivering stream packets sends the pieces of a picture after the first.
  // A whole picture of its own (every sample of a splitter that delivers whole frames:
  // timed, whether key frame or not) stays a frame.
  void SetMPEGMode(bool on) { mpegMode_.store(on, std::memory_order_relaxed); }
  bool MPEGMode() const { return mpegMode_.load(std::memory_order_relaxed); }

  // Streaming side. True when the record was stored or merged; records out of order, of
  // the wrong size, or past the capacity are dropped (false).
  bool AddFrame(const TSampleRecord* record);
  bool AddFrameInfo(const TImageRecord* record);

  // Reading side.
  int32_t Capacity() const { return capacity_; }
  int32_t Count() const { return count_.load(std::memory_order_acquire); }
  // Entry i (0 <= i < Count()).
  TFrameEntry Entry(int32_t i) const;
  TFrameTotals Totals() const;
  // True once after frames were stored since the last call.
  bool TakeDirty() { return dirty_.exchange(false, std::memory_order_acquire); }
  bool Full() const { return full_.load(std::memory_order_acquire); }

 private:
  const int32_t capacity_;
  // Zero-filled memory from calloc: an all-zero TFrameEntry is its default value, and the
  // pages of a large calloc come untouched from the system, so the entries an analysis
  // never reaches cost no memory and no time to clear.
  struct TFree {
    void operator()(TFrameEntry* p) const { std::free(p); }
  };
  std::unique_ptr<TFrameEntry[], TFree> entries_;
  std::atomic<int32_t> count_{0};
  int32_t nextIndex_ = 0;  // the index the next sample record must carry; AddFrame's thread
  std::atomic<bool> mpegMode_{false};
  std::atomic<bool> dirty_{false};
  std::atomic<bool> full_{false};
  // Written by AddFrame's thread.
  std::atomic<int64_t> largest_{0}, total_{0}, firstStart_{0}, lastStop_{0};
  // Written by AddFrameInfo's thread.
  std::atomic<int32_t> infoCount_{0};
  std::atomic<int64_t> histogramSum_{0}, dctSum_{0};
  std::atomic<int32_t> histogramMax_{0}, histogramMin_{0}, dctMax_{0}, dctMin_{0};
};

}  // namespace kv
