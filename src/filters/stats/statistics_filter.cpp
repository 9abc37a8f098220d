// The statistics filter: counters, the one-second window and the sample records.
#include "filters/stats/statistics_filter.h"

#include <algorithm>

#include "filters/stats/image_measures.h"
#include "filters/video/picture_formats.h"

namespace kv {

TStatisticsFilter::TStatisticsFilter() : TTransformFilter(CLSID_StatisticsFilter, TTransformMode::InPlace) {}

TStatisticsFilter::~TStatisticsFilter() { StopMeasuring(); }

HRESULT TStatisticsFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IStatistics::kIid) return GetInterface(static_cast<IStatistics*>(this), out);
  return TTransformFilter::NonDelegatingQueryInterface(iid, out);
}

std::optional<TStatisticsFilter::TPictureLayout> TStatisticsFilter::LumaLayoutOf(const MediaType& type) {
  std::optional<video::TPictureGeometry> g = video::ReadPictureType(type);
  if (!g) return std::nullopt;
  TPictureLayout layout;
  layout.width = g->width;
  layout.height = g->height;
  layout.imageSize = g->imageSize;
  const int bytesPerPixel = g->format->bitsPerPixel >= 16 ? g->format->bitsPerPixel / 8 : 1;
  const ptrdiff_t rowBytes = ptrdiff_t(g->stride) * bytesPerPixel;
  switch (g->format->pixelFormat) {
    case AV_PIX_FMT_YUYV422:
      layout.layout = stats::TLumaLayout::YUY2;
      break;
    case AV_PIX_FMT_BGRA:
      layout.layout = stats::TLumaLayout::BGRA;
      break;
    default:
      layout.layout = stats::TLumaLayout::Planar;
      break;
  }
  if (g->format->bottomUp) {
    // The top visible row is the last row of the buffer.
    layout.firstRowOffset = rowBytes * (g->height - 1);
    layout.rowBytes = -rowBytes;
  } else {
    layout.firstRowOffset = 0;
    layout.rowBytes = rowBytes;
  }
  return layout;
}

HRESULT TStatisticsFilter::StartStreaming() {
  std::optional<TPictureLayout> layout = LumaLayoutOf(InputPin()->CurrentMediaType());
  {
    std::lock_guard<std::mutex> lock(countersMutex_);
    frameIndex_ = 0;
    picture_ = layout;
    // A new run starts a new window: the last one's end time says nothing about this one.
    lastStop_ = 0;
    window_.Clear();
  }
  if (layout && !measureThread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(measureMutex_);
      measureStop_ = false;
      measureFlushing_ = false;
    }
    measureThread_ = std::thread([this] { MeasureMain(); });
  }
  return S_OK;
}

HRESULT TStatisticsFilter::StopStreaming() {
  StopMeasuring();
  return S_OK;
}

void TStatisticsFilter::StopMeasuring() {
  {
    std::lock_guard<std::mutex> lock(measureMutex_);
    measureStop_ = true;
    DropQueuedLocked();
  }
  measureChanged_.notify_all();
  // The worker finishes the picture it holds (its record is reported before stop returns).
  if (measureThread_.joinable()) measureThread_.join();
}

void TStatisticsFilter::DropQueuedLocked() {
  for (; queued_ > 0; --queued_, queueHead_ = (queueHead_ + 1) % kMeasureQueue) {
    queue_[static_cast<size_t>(queueHead_)].sample->Release();
    queue_[static_cast<size_t>(queueHead_)].sample = nullptr;
  }
}

bool TStatisticsFilter::QueuePicture(IMediaSample* sample, const TPictureLayout& layout, int32_t index,
                                     TStatCallback callback) {
  std::unique_lock<std::mutex> lock(measureMutex_);
  if (!measureThread_.joinable()) return false;
  measureChanged_.wait(lock, [this] { return queued_ < kMeasureQueue || measureStop_ || measureFlushing_; });
  if (measureStop_ || measureFlushing_) return false;
  sample->AddRef();
  queue_[static_cast<size_t>((queueHead_ + queued_) % kMeasureQueue)] = {sample, layout, index, callback};
  ++queued_;
  lock.unlock();
  measureChanged_.notify_all();
  return true;
}

void TStatisticsFilter::MeasureMain() {
  std::unique_lock<std::mutex> lock(measureMutex_);
  for (;;) {
    measureChanged_.wait(lock, [this] { return queued_ > 0 || measureStop_; });
    if (measureStop_) break;  // the queue was dropped by whoever asked to stop
    const TPendingPicture picture = queue_[static_cast<size_t>(queueHead_)];
    queue_[static_cast<size_t>(queueHead_)].sample = nullptr;
    queueHead_ = (queueHead_ + 1) % kMeasureQueue;
    --queued_;
    measuring_ = true;
    lock.unlock();
    measureChanged_.notify_all();  // room for the streaming thread
    MeasureAndReport(picture);
    picture.sample->Release();
    lock.lock();
    measuring_ = false;
    measureChanged_.notify_all();  // an end of stream may be waiting for the worker to go idle
  }
}

HRESULT TStatisticsFilter::EndOfStream() {
  {
    // Every picture before the end is reported before the end goes on.
    std::unique_lock<std::mutex> lock(measureMutex_);
    measureChanged_.wait(lock, [this] { return (queued_ == 0 && !measuring_) || measureStop_ || measureFlushing_; });
  }
  return TTransformFilter::EndOfStream();
}

HRESULT TStatisticsFilter::BeginFlush() {
  {
    std::lock_guard<std::mutex> lock(measureMutex_);
    measureFlushing_ = true;
    DropQueuedLocked();
  }
  measureChanged_.notify_all();
  return TTransformFilter::BeginFlush();
}

HRESULT TStatisticsFilter::EndFlush() {
  {
    std::lock_guard<std::mutex> lock(measureMutex_);
    measureFlushing_ = false;
  }
  return TTransformFilter::EndFlush();
}

void TStatisticsFilter::MeasureAndReport(const TPendingPicture& pending) {
  const TPictureLayout& layout = pending.layout;
  IMediaSample* sample = pending.sample;
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data || sample->GetActualDataLength() < layout.imageSize) return;
  stats::TLumaPicture picture{data + layout.firstRowOffset, layout.width, layout.height, layout.rowBytes,
                              layout.layout};
  const stats::TImageMeasures m = stats::MeasurePicture(picture);
  TImageRecord record;
  record.FrameIndex = pending.index;
  record.HistogramAverage = m.HistogramAverage;
  record.HistogramMax = m.HistogramMax;
  record.HistogramMin = m.HistogramMin;
  record.DCTAverage = m.DCTAverage;
  record.DCTMax = m.DCTMax;
  record.DCTMin = m.DCTMin;
  pending.callback(&record);
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
  window_.Push({start, stop, bytes});
  while (!window_.Empty() && window_.Front().stop <= lastStop_ - kWindow) window_.PopFront();
}

HRESULT TStatisticsFilter::TransformInPlace(IMediaSample* sample) {
  REFERENCE_TIME start = 0, stop = 0;
  HRESULT timeResult = sample->GetTime(&start, &stop);
  const bool timed = SUCCEEDED(timeResult);
  if (timeResult == VFW_S_NO_STOP_TIME) stop = start;
  const int64_t bytes = sample->GetActualDataLength();
  TSampleRecord record;
  std::optional<TPictureLayout> picture;
  {
    std::lock_guard<std::mutex> lock(countersMutex_);
    CountLocked(timed, start, stop, bytes);
    record.FrameIndex = frameIndex_++;
    picture = picture_;
  }
  if (TStatCallback image = imageCallback_.load(); image && picture)
    QueuePicture(sample, *picture, record.FrameIndex, image);
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
  // After a seek the times start again lower: the window restarts with them.
  lastStop_ = 0;
  window_.Clear();
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
  if (!window_.Empty()) {
    c.Start = window_.Front().start;
    for (size_t i = 0; i < window_.Size(); ++i) {
      c.Bytes += window_.At(i).bytes;
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
