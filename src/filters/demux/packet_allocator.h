// TPacketAllocator: the pool of samples a demultiplexer output pin fills with packets.
//
// Compressed packets vary from a few bytes to megabytes, and a fixed buffer size would
// either waste memory or refuse a large key frame. This allocator keeps a bounded number
// of samples whose buffers grow to the largest packet they have carried; after the first
// seconds of a file streaming allocates nothing. The demultiplexer's reader asks for a
// buffer of a given size (GetSizedBuffer); downstream filters see an ordinary IMemAllocator.
// A packet whose buffer nobody else references can instead be carried by reference
// (GetPacketSample): the sample takes over libavformat's reference-counted buffer, so the
// packet is neither copied nor its pool buffer grown, and the buffer is freed when the
// sample comes back. Packets sharing their buffer (laced blocks) are copied as before, so
// that a downstream filter writing into its sample can never change another packet.
//
// Memory bound: maxSamples buffers, each at most the largest packet the file holds (the
// reader refuses packets above kMaxPacketBytes); a buffer that grew for an outsized packet
// shrinks again when it is next used for a much smaller one.
//
// Threads: any thread. mutex_ guards the pool; waits use a condition variable and end on
// Decommit or Interrupt. A sample holds a reference on the allocator while it is out.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/packet.h>
}

#include "filters/ffmpeg/packet_properties.h"
#include "platform/graph/base_filter.h"

namespace kv::demux {

class TPacketAllocator;

class TPacketSample final : public IMediaSample, public ffmpeg::IPacketProperties {
 public:
  explicit TPacketSample(TPacketAllocator* owner) : owner_(owner) {}
  ~TPacketSample();

  HRESULT QueryInterface(const IID& iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetPointer(uint8_t** buffer) override;
  int32_t GetSize() override { return carrying_ ? packet_->size : static_cast<int32_t>(buffer_.size()); }
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) override;
  HRESULT IsSyncPoint() override { return sync_ ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(bool v) override { sync_ = v; return S_OK; }
  HRESULT IsPreroll() override { return preroll_ ? S_OK : S_FALSE; }
  HRESULT SetPreroll(bool v) override { preroll_ = v; return S_OK; }
  HRESULT IsDiscontinuity() override { return discontinuity_ ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(bool v) override { discontinuity_ = v; return S_OK; }
  int32_t GetActualDataLength() override { return actual_; }
  HRESULT SetActualDataLength(int32_t length) override;
  HRESULT GetMediaType(MediaType** type) override;
  HRESULT SetMediaType(const MediaType* type) override;

  // IPacketProperties
  void GetSkipSamples(uint32_t* start, uint32_t* end) override {
    *start = skipStart_;
    *end = skipEnd_;
  }
  void SetSkipSamples(uint32_t start, uint32_t end) {
    skipStart_ = start;
    skipEnd_ = end;
  }

 private:
  friend class TPacketAllocator;
  void Reset();
  // Drops the carried packet's reference (the sample uses buffer_ again).
  void DropPacket();

  TPacketAllocator* owner_;
  std::atomic<ULONG> refs_{0};
  std::vector<uint8_t> buffer_;
  // While carrying_, the sample's data is packet_'s (a reference on the demultiplexer's
  // packet) instead of buffer_. packet_ is allocated once, with the first packet carried.
  // Only the thread that holds the sample touches them (the pool hands a sample to one
  // user at a time).
  AVPacket* packet_ = nullptr;
  bool carrying_ = false;
  int32_t actual_ = 0;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  bool hasStart_ = false, hasStop_ = false;
  bool sync_ = false, preroll_ = false, discontinuity_ = false;
  uint32_t skipStart_ = 0, skipEnd_ = 0;
  std::unique_ptr<MediaType> type_;
};

class TPacketAllocator : public TUnknown, public IMemAllocator {
 public:
  static constexpr int32_t kMaxPacketBytes = 64 << 20;
  // A buffer above this size shrinks when it is handed out for a packet an eighth its size.
  static constexpr size_t kShrinkAbove = 1 << 20;

  explicit TPacketAllocator(int maxSamples) : maxSamples_(maxSamples) {}
  ~TPacketAllocator() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // A sample with room for at least `size` bytes. Blocks while every sample is out;
  // VFW_E_NOT_COMMITTED after Decommit, E_ABORT while interrupted, E_OUTOFMEMORY or
  // VFW_E_BUFFER_OVERFLOW for a size above kMaxPacketBytes.
  HRESULT GetSizedBuffer(int32_t size, IMediaSample** sample);
  HRESULT GetSizedBuffer(int32_t size, ComPtr<TPacketSample>* sample);
  // A sample carrying `packet` by reference (the packet is left empty) when the packet's
  // buffer is reference-counted and referenced by the packet alone; S_FALSE (packet and
  // *sample untouched) when it is shared or not reference-counted, so the caller copies.
  // Blocks and fails as GetSizedBuffer does.
  HRESULT GetPacketSample(AVPacket* packet, ComPtr<TPacketSample>* sample);
  // Makes waiting and later GetSizedBuffer calls fail with E_ABORT until Resume (a seek or
  // stop is under way).
  void Interrupt();
  void Resume();
  int Outstanding();

  // IMemAllocator: properties are recorded (cbBuffer is the initial buffer size).
  HRESULT SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, uint32_t flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

 private:
  HRESULT Take(int32_t size, bool wait, IMediaSample** sample);
  // A free (or new) sample from the pool, unsized; see GetSizedBuffer for the results.
  HRESULT TakeFromPool(bool wait, TPacketSample** sample);
  // Hands out a sample taken from the pool (references on it and on the allocator).
  void HandOut(TPacketSample* s, IMediaSample** sample);

  const int maxSamples_;
  std::mutex mutex_;                // guards everything below; a leaf lock
  std::condition_variable freed_;   // a sample came back, or decommit/interrupt
  std::vector<TPacketSample*> all_;   // owned
  std::vector<TPacketSample*> free_;
  int32_t initialSize_ = 0;
  bool committed_ = false;
  bool interrupted_ = false;
};

}  // namespace kv::demux
