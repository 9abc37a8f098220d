#include "analyzer/frame_table.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace kv {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

template <class T>
T LoadShared(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(kRelaxed);
}

template <class T>
void StoreShared(T& field, T value) {
  std::atomic_ref<T>(field).store(value, kRelaxed);
}

// Keeps the larger (or smaller) value; the writer is the only thread that stores.
void KeepMax(std::atomic<int32_t>& slot, int32_t v) {
  if (v > slot.load(kRelaxed)) slot.store(v, kRelaxed);
}
void KeepMin(std::atomic<int32_t>& slot, int32_t v) {
  if (v < slot.load(kRelaxed)) slot.store(v, kRelaxed);
}

}  // namespace

TFrameTable::TFrameTable(int32_t capacity) : capacity_(std::max(capacity, 1)) {}

void TFrameTable::ResetAnalysis() {
  // An aggregate of plain fields, so calloc's zeroed memory holds valid default entries.
  static_assert(std::is_aggregate_v<TFrameEntry> && std::is_trivially_copyable_v<TFrameEntry> &&
                std::is_trivially_destructible_v<TFrameEntry>);
  if (!entries_)
    entries_.reset(static_cast<TFrameEntry*>(std::calloc(static_cast<size_t>(capacity_), sizeof(TFrameEntry))));
  largest_.store(0, kRelaxed);
  total_.store(0, kRelaxed);
  firstStart_.store(0, kRelaxed);
  lastStop_.store(0, kRelaxed);
  infoCount_.store(0, kRelaxed);
  histogramSum_.store(0, kRelaxed);
  dctSum_.store(0, kRelaxed);
  histogramMax_.store(0, kRelaxed);
  dctMax_.store(0, kRelaxed);
  // The smallest minima start from the largest value, so that the first record sets them.
  histogramMin_.store(std::numeric_limits<int32_t>::max(), kRelaxed);
  dctMin_.store(std::numeric_limits<int32_t>::max(), kRelaxed);
  full_.store(false, kRelaxed);
  nextIndex_ = 0;
  count_.store(0, std::memory_order_release);
  dirty_.store(true, std::memory_order_release);
}

bool TFrameTable::AddFrame(const TSampleRecord* r) {
  if (!r || !entries_ || r->Size != sizeof(TSampleRecord)) return false;
  const int32_t n = count_.load(kRelaxed);  // this thread is the only writer of the count
  // Records must come in order with no gaps. The filter numbers every sample, so once
  // samples were merged the next index is the samples seen, not the frame count.
  if (r->FrameIndex != nextIndex_) return false;
  if (n >= capacity_) {
    full_.store(true, std::memory_order_release);
    return false;
  }
  ++nextIndex_;
  const bool untimed = r->StartTime == 0 && r->StopTime == 0;
  if (MPEGMode() && !r->IsSyncPoint && untimed && n > 0) {
    // The sample continues the previous frame. Its bytes also count in the total (and
    // may make that frame the largest), so that the total is the sum of the table.
    TFrameEntry& previous = entries_[n - 1];
    const int64_t merged = LoadShared(previous.Bytes) + r->Bytes;
    StoreShared(previous.Bytes, merged);
    total_.store(total_.load(kRelaxed) + r->Bytes, kRelaxed);
    if (merged > largest_.load(kRelaxed)) largest_.store(merged, kRelaxed);
    dirty_.store(true, std::memory_order_release);
    return true;
  }
  TFrameEntry& e = entries_[n];  // not yet visible to any reader or to AddFrameInfo
  e.StartTime = r->StartTime;
  e.StopTime = r->StopTime;
  e.TimestampIn = r->TimestampIn;
  e.TimestampOut = r->TimestampOut;
  e.Bytes = r->Bytes;
  e.IsDiscontinuity = r->IsDiscontinuity != 0;
  e.IsSyncPoint = r->IsSyncPoint != 0;
  e.IsPreroll = r->IsPreroll != 0;
  // A reused table holds the measures of an earlier analysis: zero until a record arrives.
  e.HistogramAverage = e.HistogramMax = e.HistogramMin = 0;
  e.DCTAverage = e.DCTMax = e.DCTMin = 0;
  if (n == 0) firstStart_.store(r->StartTime, kRelaxed);
  lastStop_.store(r->StopTime, kRelaxed);
  if (r->Bytes > largest_.load(kRelaxed)) largest_.store(r->Bytes, kRelaxed);
  total_.store(total_.load(kRelaxed) + r->Bytes, kRelaxed);
  count_.store(n + 1, std::memory_order_release);
  dirty_.store(true, std::memory_order_release);
  return true;
}

bool TFrameTable::AddFrameInfo(const TImageRecord* r) {
  if (!r || !entries_ || r->Size != sizeof(TImageRecord)) return false;
  if (r->FrameIndex < 0 || r->FrameIndex >= count_.load(std::memory_order_acquire)) return false;
  TFrameEntry& e = entries_[r->FrameIndex];
  StoreShared(e.HistogramAverage, r->HistogramAverage);
  StoreShared(e.HistogramMax, r->HistogramMax);
  StoreShared(e.HistogramMin, r->HistogramMin);
  StoreShared(e.DCTAverage, r->DCTAverage);
  StoreShared(e.DCTMax, r->DCTMax);
  StoreShared(e.DCTMin, r->DCTMin);
  KeepMax(histogramMax_, r->HistogramMax);
  KeepMin(histogramMin_, r->HistogramMin);
  histogramSum_.store(histogramSum_.load(kRelaxed) + r->HistogramAverage, kRelaxed);
  KeepMax(dctMax_, r->DCTMax);
  KeepMin(dctMin_, r->DCTMin);
  dctSum_.store(dctSum_.load(kRelaxed) + r->DCTAverage, kRelaxed);
  infoCount_.store(infoCount_.load(kRelaxed) + 1, kRelaxed);
  dirty_.store(true, std::memory_order_release);
  return true;
}

TFrameEntry TFrameTable::Entry(int32_t i) const {
  const TFrameEntry& e = entries_[static_cast<size_t>(i)];
  TFrameEntry copy;
  copy.StartTime = e.StartTime;
  copy.StopTime = e.StopTime;
  copy.TimestampIn = e.TimestampIn;
  copy.TimestampOut = e.TimestampOut;
  copy.Bytes = LoadShared(e.Bytes);
  copy.IsDiscontinuity = e.IsDiscontinuity;
  copy.IsSyncPoint = e.IsSyncPoint;
  copy.IsPreroll = e.IsPreroll;
  copy.HistogramAverage = LoadShared(e.HistogramAverage);
  copy.HistogramMax = LoadShared(e.HistogramMax);
  copy.HistogramMin = LoadShared(e.HistogramMin);
  copy.DCTAverage = LoadShared(e.DCTAverage);
  copy.DCTMax = LoadShared(e.DCTMax);
  copy.DCTMin = LoadShared(e.DCTMin);
  return copy;
}

TFrameTotals TFrameTable::Totals() const {
  TFrameTotals t;
  t.Count = Count();
  t.LargestBytes = largest_.load(kRelaxed);
  t.TotalBytes = total_.load(kRelaxed);
  t.FirstStart = firstStart_.load(kRelaxed);
  t.LastStop = lastStop_.load(kRelaxed);
  t.InfoCount = infoCount_.load(kRelaxed);
  t.HistogramSum = histogramSum_.load(kRelaxed);
  t.HistogramMax = histogramMax_.load(kRelaxed);
  t.HistogramMin = histogramMin_.load(kRelaxed);
  t.DCTSum = dctSum_.load(kRelaxed);
  t.DCTMax = dctMax_.load(kRelaxed);
  t.DCTMin = dctMin_.load(kRelaxed);
  t.Full = Full();
  return t;
}

}  // namespace kv
