#include "platform/graph/media_sample.h"

namespace kv {

TMediaSample::TMediaSample(TMemAllocator* owner, std::unique_ptr<uint8_t[]> buffer, int32_t size)
    : owner_(owner), buffer_(std::move(buffer)), size_(size) {}

HRESULT TMediaSample::QueryInterface(const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IMediaSample::kIid) return GetInterface(static_cast<IMediaSample*>(this), out);
  if (iid == IPictureSample::kIid) return GetInterface(static_cast<IPictureSample*>(this), out);
  return E_NOINTERFACE;
}

ULONG TMediaSample::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG TMediaSample::Release() {
  ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) {
    AttachPicture(nullptr);  // a pooled sample pins no decoder memory
    owner_->ReleaseBuffer(this);  // back to the pool, not deleted
  }
  return left;
}

HRESULT TMediaSample::GetPointer(uint8_t** buffer) {
  if (!buffer) return E_POINTER;
  std::shared_ptr<const IPicture> written;  // let go after the lock (declared first)
  std::lock_guard lock(pictureMutex_);
  if (picture_) {
    // A reader of bytes: the picture goes into the buffer now, once, and the buffer is the
    // data from here on (an in-place filter may change it).
    picture_->WriteTo(buffer_.get(), size_);
    written = std::move(picture_);
  }
  *buffer = buffer_.get();
  return S_OK;
}

HRESULT TMediaSample::AttachPicture(std::shared_ptr<const IPicture> picture) {
  std::shared_ptr<const IPicture> previous = std::move(picture);
  std::lock_guard lock(pictureMutex_);
  std::swap(previous, picture_);
  return S_OK;
}

std::shared_ptr<const IPicture> TMediaSample::GetPicture() {
  std::lock_guard lock(pictureMutex_);
  return picture_;
}

HRESULT TMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  if (!start || !stop) return E_POINTER;
  if (!hasStart_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  if (!hasStop_) {
    *stop = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  *stop = stop_;
  return S_OK;
}

HRESULT TMediaSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
  hasStart_ = start != nullptr;
  hasStop_ = start != nullptr && stop != nullptr;
  start_ = start ? *start : 0;
  stop_ = hasStop_ ? *stop : 0;
  return S_OK;
}

HRESULT TMediaSample::SetActualDataLength(int32_t length) {
  if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT TMediaSample::GetMediaType(MediaType** type) {
  if (!type) return E_POINTER;
  *type = nullptr;
  if (!type_) return S_FALSE;
  *type = new MediaType(*type_);
  return S_OK;
}

HRESULT TMediaSample::SetMediaType(const MediaType* type) {
  type_ = type ? std::make_unique<MediaType>(*type) : nullptr;
  return S_OK;
}

void TMediaSample::ResetProperties() {
  actual_ = 0;
  hasStart_ = hasStop_ = false;
  start_ = stop_ = 0;
  sync_ = preroll_ = discontinuity_ = false;
  type_.reset();
  AttachPicture(nullptr);
}

TMemAllocator::~TMemAllocator() {
  // Every sample holds a reference on us while it is out, so all are back here.
  for (auto* s : all_) delete s;
}

HRESULT TMemAllocator::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMemAllocator::kIid) return GetInterface(static_cast<IMemAllocator*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT TMemAllocator::SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (!request || !actual) return E_POINTER;
  if (request->cBuffers <= 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (all_.size() != free_.size()) return VFW_E_BUFFERS_OUTSTANDING;
  FreeBuffersLocked();
  props_ = *request;
  if (props_.cbAlign <= 0) props_.cbAlign = 1;
  props_.cbPrefix = 0;  // prefixes are not offered; say so
  propsSet_ = true;
  *actual = props_;
  return S_OK;
}

HRESULT TMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  std::lock_guard lock(mutex_);
  *props = props_;
  return S_OK;
}

HRESULT TMemAllocator::Commit() {
  std::lock_guard lock(mutex_);
  if (!propsSet_) return VFW_E_SIZENOTSET;
  if (committed_) return S_OK;
  if (all_.empty()) {
    for (int i = 0; i < props_.cBuffers; ++i) {
      std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[std::max(props_.cbBuffer, 1)]);
      if (!buf) {
        FreeBuffersLocked();
        return E_OUTOFMEMORY;
      }
      auto* s = new TMediaSample(this, std::move(buf), props_.cbBuffer);
      all_.push_back(s);
      free_.push_back(s);
    }
  }
  committed_ = true;
  return S_OK;
}

HRESULT TMemAllocator::Decommit() {
  std::lock_guard lock(mutex_);
  committed_ = false;
  if (free_.size() == all_.size()) FreeBuffersLocked();
  freed_.notify_all();
  return S_OK;
}

void TMemAllocator::FreeBuffersLocked() {
  for (auto* s : all_) delete s;
  all_.clear();
  free_.clear();
}

HRESULT TMemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, uint32_t flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  TMediaSample* s = nullptr;
  {
    std::unique_lock lock(mutex_);
    if (!committed_) return VFW_E_NOT_COMMITTED;
    if (free_.empty() && (flags & AM_GBF_NOWAIT)) return VFW_E_TIMEOUT;
    freed_.wait(lock, [&] { return !committed_ || !free_.empty(); });
    if (!committed_) return VFW_E_NOT_COMMITTED;
    s = free_.back();
    free_.pop_back();
  }
  s->ResetProperties();
  NonDelegatingAddRef();  // released when the sample comes back
  s->AddRef();
  *sample = s;
  return S_OK;
}

HRESULT TMemAllocator::ReleaseBuffer(IMediaSample* sample) {
  {
    std::lock_guard lock(mutex_);
    auto* s = static_cast<TMediaSample*>(sample);
    s->type_.reset();
    free_.push_back(s);
    if (!committed_ && free_.size() == all_.size()) FreeBuffersLocked();
    freed_.notify_one();
  }
  NonDelegatingRelease();  // may delete this allocator: nothing after it
  return S_OK;
}

int TMemAllocator::Outstanding() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(all_.size() - free_.size());
}

ComPtr<IMemAllocator> CreateMemAllocator() { return ComPtr<IMemAllocator>(new TMemAllocator); }

}  // namespace kv
