#include "platform/graph/source_stream.h"

#include <algorithm>

#include "platform/graph/media_guids.h"

namespace kv {

TSourceStream::TSourceStream(TBaseFilter* filter, std::string name, TStreamMode mode)
    : TBaseOutputPin(filter, std::move(name)), mode_(mode) {}

TSourceStream::~TSourceStream() { StopThread(); }

void TSourceStream::SetQueueLimits(size_t maxSamples, size_t maxBytes) {
  std::lock_guard lock(queueMutex_);
  maxSamples_ = std::max<size_t>(1, maxSamples);
  maxBytes_ = std::max<size_t>(1, maxBytes);
}

void TSourceStream::SetQueueHooks(std::function<bool()> overfill, std::function<void()> emptied) {
  std::lock_guard lock(queueMutex_);
  overfill_ = std::move(overfill);
  emptied_ = std::move(emptied);
}

void TSourceStream::WakeProducer() {
  // Taking the lock orders this after a producer's look at `overfill`: it is either
  // waiting already (and wakes) or has not looked yet (and sees the new state).
  std::lock_guard lock(queueMutex_);
  queueChanged_.notify_all();
}

void TSourceStream::SetDirectDelivery(bool direct) {
  std::lock_guard lock(queueMutex_);
  wantDirect_ = direct && mode_ == TStreamMode::Queue;
}

HRESULT TSourceStream::Enqueue(Item item) {
  std::unique_lock lock(queueMutex_);
  if (direct_) {
    if (!running_ || stopping_) return S_FALSE;
    const bool segment = item.kind == Item::NewSegment;
    queuedBytes_ += item.bytes;
    PushLocked(std::move(item));
    // A segment waits for what follows it, so that it too is delivered on the producer's
    // thread (it may be queued by the state thread before the producer starts).
    if (!segment) DeliverQueuedLocked(lock);
    return S_OK;
  }
  // One item always fits into an empty queue, however large.
  queueChanged_.wait(lock, [&] {
    return !running_ || stopping_ || count_ == 0 ||
           ((count_ < maxSamples_ || (overfill_ && overfill_())) && queuedBytes_ + item.bytes <= maxBytes_);
  });
  if (!running_ || stopping_) return S_FALSE;
  queuedBytes_ += item.bytes;
  PushLocked(std::move(item));
  queueChanged_.notify_all();
  return S_OK;
}

HRESULT TSourceStream::QueueSample(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  Item item{Item::Sample, ComPtr<IMediaSample>(sample)};
  item.bytes = static_cast<size_t>(std::max(0, sample->GetActualDataLength()));
  return Enqueue(std::move(item));
}

HRESULT TSourceStream::QueueEndOfStream() { return Enqueue(Item{Item::EndOfStream, nullptr}); }

HRESULT TSourceStream::QueueNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  Item item{Item::NewSegment, nullptr};
  item.start = start;
  item.stop = stop;
  item.rate = rate;
  return Enqueue(std::move(item));
}

size_t TSourceStream::QueuedSamples() {
  std::lock_guard lock(queueMutex_);
  return count_;
}

void TSourceStream::PushLocked(Item item) {
  if (count_ == ring_.size()) {
    std::vector<Item> bigger(std::max<size_t>(8, ring_.size() * 2));
    for (size_t i = 0; i < count_; ++i) bigger[i] = std::move(ring_[(head_ + i) % ring_.size()]);
    ring_.swap(bigger);
    head_ = 0;
  }
  ring_[(head_ + count_) % ring_.size()] = std::move(item);
  ++count_;
  published_.store(count_, std::memory_order_release);
}

TSourceStream::Item TSourceStream::PopLocked() {
  Item item = std::move(ring_[head_]);
  ring_[head_].sample.Reset();
  head_ = (head_ + 1) % ring_.size();
  --count_;
  published_.store(count_, std::memory_order_release);
  return item;
}

void TSourceStream::DeliverQueuedLocked(std::unique_lock<std::mutex>& lock) {
  delivering_ = true;
  while (count_ > 0 && !stopping_) {
    Item next = PopLocked();
    queuedBytes_ -= next.bytes;
    lock.unlock();
    DeliverItem(next);
    next.sample.Reset();
    lock.lock();
  }
  delivering_ = false;
  queueChanged_.notify_all();  // a stop may be waiting for this delivery to end
}

void TSourceStream::StartThread() {
  {
    std::lock_guard lock(queueMutex_);
    if (running_) return;
    running_ = true;
    stopping_ = false;
    idle_ = false;
    direct_ = wantDirect_;
    if (direct_) return;  // the producer's thread delivers
  }
  thread_ = std::thread([this] { ThreadMain(); });
}

void TSourceStream::StopThread() {
  {
    std::lock_guard lock(queueMutex_);
    if (!running_) return;
    stopping_ = true;
    queueChanged_.notify_all();
  }
  // A FillBuffer waiting for a buffer wakes up when the allocator is decommitted.
  if (allocator_) allocator_->Decommit();
  if (thread_.joinable()) thread_.join();
  {
    // Direct delivery: a producer inside a delivery finishes it first (as a thread is
    // joined); flushing downstream beforehand is what releases a blocked one.
    std::unique_lock lock(queueMutex_);
    queueChanged_.wait(lock, [this] { return !delivering_; });
  }
  std::vector<ComPtr<IMediaSample>> dropped;
  {
    std::lock_guard lock(queueMutex_);
    while (count_ > 0) dropped.push_back(PopLocked().sample);
    queuedBytes_ = 0;
    running_ = false;
    stopping_ = false;
    queueChanged_.notify_all();
  }
  // Samples go back to their allocator here, outside the queue lock.
}

HRESULT TSourceStream::Active() {
  HRESULT hr = TBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  Item segment{Item::NewSegment, nullptr};
  if (GetStartSegment(&segment.start, &segment.stop, &segment.rate)) {
    std::lock_guard lock(queueMutex_);
    PushLocked(std::move(segment));
  }
  StartThread();
  return S_OK;
}

HRESULT TSourceStream::Inactive() {
  StopThread();
  return TBaseOutputPin::Inactive();
}

void TSourceStream::FlushAndStop() {
  // Downstream first: this releases a renderer holding a sample, so our thread can end.
  DeliverBeginFlush();
  StopThread();
}

void TSourceStream::RestartAfterFlush(REFERENCE_TIME segmentStart, REFERENCE_TIME segmentStop, double rate) {
  DeliverEndFlush();
  if (filter_->state() == State_Stopped) return;  // the next Pause starts streaming
  if (allocator_) allocator_->Commit();
  {
    std::lock_guard lock(queueMutex_);
    Item item{Item::NewSegment, nullptr};
    item.start = segmentStart;
    item.stop = segmentStop;
    item.rate = rate;
    PushLocked(std::move(item));
  }
  StartThread();
}

bool TSourceStream::DeliverItem(Item& item) {
  switch (item.kind) {
    case Item::NewSegment:
      DeliverNewSegment(item.start, item.stop, item.rate);
      return true;
    case Item::EndOfStream:
      DeliverEndOfStream();
      return false;
    case Item::Sample: {
      // S_FALSE (flushing, end of stream), a stopped peer or a failure: stop delivering
      // until a restart. A filter downstream that failed has reported it itself.
      return Deliver(item.sample.Get()) == S_OK;
    }
  }
  return false;
}

bool TSourceStream::GenerateOne() {
  ComPtr<IMediaSample> sample;
  HRESULT hr = GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
  if (FAILED(hr)) return false;  // decommitted: stopping
  hr = FillBuffer(sample.Get());
  if (hr == S_OK) {
    Item item{Item::Sample, sample};
    return DeliverItem(item);
  }
  if (hr == S_FALSE) {
    DeliverEndOfStream();
  } else if (FAILED(hr)) {
    filter_->ReportStreamingError(hr, "Playback stopped because of a stream error.",
                                  "pin \"" + name_ + "\": FillBuffer failed " + HResultText(hr));
  }
  return false;
}

void TSourceStream::ThreadMain() {
  OnThreadStart();
  for (;;) {
    Item item{Item::Sample, nullptr};
    bool haveItem = false;
    bool ranDry = false;
    {
      std::unique_lock lock(queueMutex_);
      queueChanged_.wait(lock, [&] {
        return stopping_ || count_ > 0 || (mode_ == TStreamMode::Generate && !idle_);
      });
      if (stopping_) break;
      if (count_ > 0) {
        item = PopLocked();
        queuedBytes_ -= item.bytes;
        queueChanged_.notify_all();  // room for a producer
        haveItem = true;
        ranDry = count_ == 0 && emptied_ != nullptr;
      }
    }
    if (ranDry) emptied_();
    bool keepGoing = haveItem ? DeliverItem(item) : GenerateOne();
    item.sample.Reset();
    if (!keepGoing && mode_ == TStreamMode::Generate) {
      std::lock_guard lock(queueMutex_);
      idle_ = true;
    }
  }
  OnThreadStop();
}

// ---------------------------------------------------------------- TSourceSeeking

TSourceSeeking::TSourceSeeking(REFERENCE_TIME duration) : duration_(duration), stop_(duration) {}

void TSourceSeeking::SetDuration(REFERENCE_TIME duration) {
  std::lock_guard lock(seekMutex_);
  duration_ = duration;
  stop_ = duration;
}

REFERENCE_TIME TSourceSeeking::SeekStart() {
  std::lock_guard lock(seekMutex_);
  return start_;
}
REFERENCE_TIME TSourceSeeking::SeekStop() {
  std::lock_guard lock(seekMutex_);
  return stop_;
}
void TSourceSeeking::MoveSeekStart(REFERENCE_TIME start) {
  std::lock_guard lock(seekMutex_);
  start_ = start;
  stop_ = std::max(stop_, start);
}
REFERENCE_TIME TSourceSeeking::SeekOrigin() {
  std::lock_guard lock(seekMutex_);
  return origin_;
}
HRESULT TSourceSeeking::SetSeekOrigin(REFERENCE_TIME current) {
  std::lock_guard lock(seekMutex_);
  origin_ = current;
  return S_OK;
}
double TSourceSeeking::SeekRate() {
  std::lock_guard lock(seekMutex_);
  return rate_;
}

HRESULT TSourceSeeking::GetCapabilities(uint32_t* caps) {
  if (!caps) return E_POINTER;
  *caps = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
          AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
  return S_OK;
}
HRESULT TSourceSeeking::CheckCapabilities(uint32_t* caps) {
  if (!caps) return E_POINTER;
  uint32_t mine = 0;
  GetCapabilities(&mine);
  uint32_t asked = *caps;
  *caps &= mine;
  return *caps == asked ? S_OK : (*caps ? S_FALSE : E_FAIL);
}
HRESULT TSourceSeeking::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}
HRESULT TSourceSeeking::QueryPreferredFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}
HRESULT TSourceSeeking::GetTimeFormat(GUID* format) { return QueryPreferredFormat(format); }
HRESULT TSourceSeeking::IsUsingTimeFormat(const GUID* format) { return IsFormatSupported(format); }
HRESULT TSourceSeeking::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}
HRESULT TSourceSeeking::GetDuration(int64_t* duration) {
  if (!duration) return E_POINTER;
  std::lock_guard lock(seekMutex_);
  *duration = duration_;
  return S_OK;
}
HRESULT TSourceSeeking::GetStopPosition(int64_t* stop) {
  if (!stop) return E_POINTER;
  std::lock_guard lock(seekMutex_);
  *stop = stop_;
  return S_OK;
}
HRESULT TSourceSeeking::GetCurrentPosition(int64_t* current) { return E_NOTIMPL; }  // the renderers know
HRESULT TSourceSeeking::ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                          const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  auto media = [](const GUID* f) { return !f || *f == TIME_FORMAT_MEDIA_TIME; };
  if (!media(targetFormat) || !media(sourceFormat)) return E_INVALIDARG;
  *target = source;
  return S_OK;
}
HRESULT TSourceSeeking::SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) {
  REFERENCE_TIME start, end;
  double rate;
  {
    std::lock_guard lock(seekMutex_);
    start = start_;
    end = stop_;
    rate = rate_;
    uint32_t cur = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (cur != AM_SEEKING_NoPositioning) {
      if (!current) return E_POINTER;
      start = cur == AM_SEEKING_AbsolutePositioning ? *current : start_ + *current;
    }
    uint32_t stp = stopFlags & AM_SEEKING_PositioningBitsMask;
    if (stp != AM_SEEKING_NoPositioning) {
      if (!stop) return E_POINTER;
      end = stp == AM_SEEKING_AbsolutePositioning ? *stop : stop_ + *stop;
    }
    // A duration of 0 means unknown: then only negative positions are corrected.
    REFERENCE_TIME limit = duration_ > 0 ? duration_ : INT64_MAX;
    start = std::clamp<REFERENCE_TIME>(start, 0, limit);
    end = std::clamp<REFERENCE_TIME>(end, start, limit);
    start_ = start;
    stop_ = end;
  }
  if ((currentFlags & AM_SEEKING_PositioningBitsMask) == AM_SEEKING_NoPositioning) return S_OK;
  const HRESULT hr = OnSeek(start, end, rate, (currentFlags & AM_SEEKING_SeekToKeyFrame) != 0);
  std::lock_guard lock(seekMutex_);
  origin_ = -1;  // the origin served this seek only
  return hr;
}
HRESULT TSourceSeeking::GetPositions(int64_t* current, int64_t* stop) {
  std::lock_guard lock(seekMutex_);
  if (current) *current = start_;
  if (stop) *stop = stop_;
  return S_OK;
}
HRESULT TSourceSeeking::GetAvailable(int64_t* earliest, int64_t* latest) {
  std::lock_guard lock(seekMutex_);
  if (earliest) *earliest = 0;
  if (latest) *latest = duration_;
  return S_OK;
}
HRESULT TSourceSeeking::SetRate(double rate) {
  if (!(rate > 0)) return E_INVALIDARG;
  // Takes effect with the next SetPositions; the graph manager seeks to the current
  // position right after a rate change, so the stream restarts only once.
  std::lock_guard lock(seekMutex_);
  rate_ = rate;
  return S_OK;
}
HRESULT TSourceSeeking::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  std::lock_guard lock(seekMutex_);
  *rate = rate_;
  return S_OK;
}
HRESULT TSourceSeeking::GetPreroll(int64_t* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}

}  // namespace kv
