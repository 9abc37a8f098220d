#include "filters/demux/packet_allocator.h"

#include <algorithm>
#include <new>

namespace kv::demux {

HRESULT TPacketSample::QueryInterface(const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IMediaSample::kIid) return GetInterface(static_cast<IMediaSample*>(this), out);
  if (iid == ffmpeg::IPacketProperties::kIid) return GetInterface(static_cast<ffmpeg::IPacketProperties*>(this), out);
  return E_NOINTERFACE;
}

ULONG TPacketSample::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG TPacketSample::Release() {
  const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) owner_->ReleaseBuffer(this);
  return left;
}

TPacketSample::~TPacketSample() { av_packet_free(&packet_); }

HRESULT TPacketSample::GetPointer(uint8_t** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = carrying_ ? packet_->data : buffer_.data();
  return S_OK;
}

void TPacketSample::DropPacket() {
  if (!carrying_) return;
  av_packet_unref(packet_);
  carrying_ = false;
}

HRESULT TPacketSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
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

HRESULT TPacketSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
  hasStart_ = start != nullptr;
  hasStop_ = start && stop;
  start_ = start ? *start : 0;
  stop_ = hasStop_ ? *stop : 0;
  return S_OK;
}

HRESULT TPacketSample::SetActualDataLength(int32_t length) {
  if (length < 0 || length > GetSize()) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT TPacketSample::GetMediaType(MediaType** type) {
  if (!type) return E_POINTER;
  *type = type_ ? new MediaType(*type_) : nullptr;
  return type_ ? S_OK : S_FALSE;
}

HRESULT TPacketSample::SetMediaType(const MediaType* type) {
  type_ = type ? std::make_unique<MediaType>(*type) : nullptr;
  return S_OK;
}

void TPacketSample::Reset() {
  DropPacket();
  actual_ = 0;
  hasStart_ = hasStop_ = false;
  start_ = stop_ = 0;
  sync_ = preroll_ = discontinuity_ = false;
  skipStart_ = skipEnd_ = 0;
  type_.reset();
}

TPacketAllocator::~TPacketAllocator() {
  // Samples hold a reference on us while out, so every one is back in the pool.
  for (auto* s : all_) delete s;
}

HRESULT TPacketAllocator::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMemAllocator::kIid) return GetInterface(static_cast<IMemAllocator*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT TPacketAllocator::SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (!request || !actual) return E_POINTER;
  std::lock_guard lock(mutex_);
  initialSize_ = std::clamp(request->cbBuffer, 0, kMaxPacketBytes);
  actual->cBuffers = maxSamples_;
  actual->cbBuffer = initialSize_;
  actual->cbAlign = 1;
  actual->cbPrefix = 0;
  return S_OK;
}

HRESULT TPacketAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  std::lock_guard lock(mutex_);
  props->cBuffers = maxSamples_;
  props->cbBuffer = initialSize_;
  props->cbAlign = 1;
  props->cbPrefix = 0;
  return S_OK;
}

HRESULT TPacketAllocator::Commit() {
  std::lock_guard lock(mutex_);
  committed_ = true;
  return S_OK;
}

HRESULT TPacketAllocator::Decommit() {
  std::lock_guard lock(mutex_);
  committed_ = false;
  freed_.notify_all();
  return S_OK;
}

void TPacketAllocator::Interrupt() {
  std::lock_guard lock(mutex_);
  interrupted_ = true;
  freed_.notify_all();
}

void TPacketAllocator::Resume() {
  std::lock_guard lock(mutex_);
  interrupted_ = false;
}

int TPacketAllocator::Outstanding() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(all_.size() - free_.size());
}

HRESULT TPacketAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, uint32_t flags) {
  return Take(0, !(flags & AM_GBF_NOWAIT), sample);
}

HRESULT TPacketAllocator::GetSizedBuffer(int32_t size, IMediaSample** sample) { return Take(size, true, sample); }

HRESULT TPacketAllocator::GetSizedBuffer(int32_t size, ComPtr<TPacketSample>* sample) {
  IMediaSample* raw = nullptr;
  const HRESULT hr = Take(size, true, &raw);
  if (SUCCEEDED(hr)) sample->Attach(static_cast<TPacketSample*>(raw));
  return hr;
}

HRESULT TPacketAllocator::TakeFromPool(bool wait, TPacketSample** sample) {
  *sample = nullptr;
  std::unique_lock lock(mutex_);
  auto ready = [&] {
    return !committed_ || interrupted_ || !free_.empty() || static_cast<int>(all_.size()) < maxSamples_;
  };
  if (!ready() && !wait) return VFW_E_TIMEOUT;
  freed_.wait(lock, ready);
  if (!committed_) return VFW_E_NOT_COMMITTED;
  if (interrupted_) return E_ABORT;
  if (free_.empty()) {
    auto* s = new (std::nothrow) TPacketSample(this);
    if (!s) return E_OUTOFMEMORY;
    all_.push_back(s);
    *sample = s;
  } else {
    *sample = free_.back();
    free_.pop_back();
  }
  return S_OK;
}

void TPacketAllocator::HandOut(TPacketSample* s, IMediaSample** sample) {
  AddRef();  // released when the sample comes back
  s->AddRef();
  *sample = s;
}

HRESULT TPacketAllocator::Take(int32_t size, bool wait, IMediaSample** sample) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  if (size < 0 || size > kMaxPacketBytes) return VFW_E_BUFFER_OVERFLOW;
  TPacketSample* s = nullptr;
  const HRESULT hr = TakeFromPool(wait, &s);
  if (FAILED(hr)) return hr;
  s->Reset();
  // Growing the buffer happens outside the lock; the sample is ours alone now.
  const size_t want = static_cast<size_t>(std::max(size, initialSize_));
  try {
    if (s->buffer_.size() < want) {
      s->buffer_.resize(want);
    } else if (s->buffer_.size() > kShrinkAbove && s->buffer_.size() / 8 > want) {
      // A buffer that once held an outsized packet does not keep that memory for ever.
      std::vector<uint8_t>(want).swap(s->buffer_);
    }
  } catch (const std::bad_alloc&) {
    std::lock_guard lock(mutex_);
    free_.push_back(s);
    freed_.notify_one();
    return E_OUTOFMEMORY;
  }
  HandOut(s, sample);
  return S_OK;
}

HRESULT TPacketAllocator::GetPacketSample(AVPacket* packet, ComPtr<TPacketSample>* sample) {
  if (!packet || !sample) return E_POINTER;
  if (packet->size < 0 || packet->size > kMaxPacketBytes) return VFW_E_BUFFER_OVERFLOW;
  // Shared (a laced block's frames) or borrowed data is copied by the caller instead.
  if (!packet->buf || !av_buffer_is_writable(packet->buf)) return S_FALSE;
  TPacketSample* s = nullptr;
  const HRESULT hr = TakeFromPool(true, &s);
  if (FAILED(hr)) return hr;
  s->Reset();
  if (!s->packet_) s->packet_ = av_packet_alloc();
  if (!s->packet_) {
    std::lock_guard lock(mutex_);
    free_.push_back(s);
    freed_.notify_one();
    return E_OUTOFMEMORY;
  }
  av_packet_move_ref(s->packet_, packet);
  s->carrying_ = true;
  IMediaSample* raw = nullptr;
  HandOut(s, &raw);
  sample->Attach(static_cast<TPacketSample*>(raw));
  return S_OK;
}

HRESULT TPacketAllocator::ReleaseBuffer(IMediaSample* sample) {
  auto* s = static_cast<TPacketSample*>(sample);
  s->type_.reset();
  s->DropPacket();  // the packet's memory goes back now, not when the sample is next used
  {
    std::lock_guard lock(mutex_);
    free_.push_back(s);
    freed_.notify_one();
  }
  Release();  // may delete this allocator when it was the last reference
  return S_OK;
}

}  // namespace kv::demux
