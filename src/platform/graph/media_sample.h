// Media samples and allocators: the buffers that carry data from pin to pin.
//
// An output pin gets an empty sample from the allocator agreed at connection time
// (IMemAllocator::GetBuffer, which blocks while every buffer is out), fills it, and hands
// it to the connected input pin (IMemInputPin::Receive). When the last reference to a
// sample is released it goes back to its allocator's free list: after Commit, steady
// streaming allocates nothing. Decommit makes every blocked and later GetBuffer fail with
// VFW_E_NOT_COMMITTED, which is how stopping and flushing unblock a producer.
//
// Threads: a sample is filled by one thread and then read by the downstream threads it is
// handed to; only its attached picture is locked (see TMediaSample). The allocator's pool is guarded by its own mutex.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/graph/media_type.h"
#include "platform/graph/picture_sample.h"

namespace kv {

struct IMediaSample : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
  virtual HRESULT GetPointer(uint8_t** buffer) = 0;
  virtual int32_t GetSize() = 0;  // capacity in bytes
  // S_OK with start and stop, VFW_S_NO_STOP_TIME with start only, VFW_E_SAMPLE_TIME_NOT_SET.
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  // Null start clears the times; null stop sets start only.
  virtual HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) = 0;
  virtual HRESULT IsSyncPoint() = 0;  // S_OK or S_FALSE, likewise the next two
  virtual HRESULT SetSyncPoint(bool value) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(bool value) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(bool value) = 0;
  virtual int32_t GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(int32_t length) = 0;  // VFW_E_BUFFER_OVERFLOW past GetSize
  // S_OK with a new type for this and the following samples, S_FALSE when unchanged.
  virtual HRESULT GetMediaType(MediaType** type) = 0;  // caller frees with DeleteMediaType
  virtual HRESULT SetMediaType(const MediaType* type) = 0;
};

inline constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHResult(0x00040270);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHResult(0x80040249);

struct ALLOCATOR_PROPERTIES {
  int32_t cBuffers = 0;
  int32_t cbBuffer = 0;
  int32_t cbAlign = 1;
  int32_t cbPrefix = 0;
};

struct IMemAllocator : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A8689C-0AD4-11CE-B03A-0020AF0BA770}");
  // Asks for buffers; *actual gets what the allocator will provide. VFW_E_ALREADY_COMMITTED
  // while committed, VFW_E_BUFFERS_OUTSTANDING while samples are out.
  virtual HRESULT SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT Commit() = 0;    // allocates the buffers (VFW_E_SIZENOTSET without properties)
  virtual HRESULT Decommit() = 0;  // fails waiting and later GetBuffer calls; buffers are freed when all are back
  // Blocks until a buffer is free. flags: AM_GBF_NOWAIT returns VFW_E_TIMEOUT instead.
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, uint32_t flags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;  // called by the sample itself
};

inline constexpr uint32_t AM_GBF_NOWAIT = 4;

inline constexpr IID IID_IMediaSample = IMediaSample::kIid;
inline constexpr IID IID_IMemAllocator = IMemAllocator::kIid;

class TMemAllocator;

// A sample whose buffer belongs to a TMemAllocator; released samples return to the pool.
// It can carry a picture in place of its buffer's bytes (picture_sample.h): GetPointer
// writes an attached picture into the buffer first.
class TMediaSample final : public IMediaSample, public IPictureSample {
 public:
  TMediaSample(TMemAllocator* owner, std::unique_ptr<uint8_t[]> buffer, int32_t size);

  HRESULT QueryInterface(const IID& iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetPointer(uint8_t** buffer) override;
  int32_t GetSize() override { return size_; }
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) override;
  HRESULT IsSyncPoint() override { return sync_ ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(bool v) override {
    sync_ = v;
    return S_OK;
  }
  HRESULT IsPreroll() override { return preroll_ ? S_OK : S_FALSE; }
  HRESULT SetPreroll(bool v) override {
    preroll_ = v;
    return S_OK;
  }
  HRESULT IsDiscontinuity() override { return discontinuity_ ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(bool v) override {
    discontinuity_ = v;
    return S_OK;
  }
  int32_t GetActualDataLength() override { return actual_; }
  HRESULT SetActualDataLength(int32_t length) override;
  HRESULT GetMediaType(MediaType** type) override;
  HRESULT SetMediaType(const MediaType* type) override;

  // IPictureSample
  HRESULT AttachPicture(std::shared_ptr<const IPicture> picture) override;
  std::shared_ptr<const IPicture> GetPicture() override;

  // Clears times, flags, length, type and picture; done by the allocator before handing it out.
  void ResetProperties();

 private:
  friend class TMemAllocator;
  TMemAllocator* owner_;
  std::unique_ptr<uint8_t[]> buffer_;
  int32_t size_;
  std::atomic<ULONG> refs_{0};
  int32_t actual_ = 0;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  bool hasStart_ = false, hasStop_ = false;
  bool sync_ = false, preroll_ = false, discontinuity_ = false;
  std::unique_ptr<MediaType> type_;
  // A filter may hand one sample to two threads at once (the image statistics measure it
  // beside the renderer), so writing the picture out and asking for it are serialised.
  std::mutex pictureMutex_;                  // guards picture_ and the write into buffer_
  std::shared_ptr<const IPicture> picture_;  // the data while the buffer does not hold it
};

// The pooled allocator every base pin uses unless its peer provides one.
class TMemAllocator : public TUnknown, public IMemAllocator {
 public:
  TMemAllocator() = default;
  ~TMemAllocator() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT SetProperties(const ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, uint32_t flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

  // Buffers currently handed out; for tests and leak checks.
  int Outstanding();

 private:
  void FreeBuffersLocked();
  // Lock order: this is a leaf lock; nothing is called out while it is held.
  std::mutex mutex_;                // guards everything below
  std::condition_variable freed_;   // a buffer came back, or the allocator was decommitted
  ALLOCATOR_PROPERTIES props_;
  bool propsSet_ = false;
  bool committed_ = false;
  std::vector<TMediaSample*> all_;   // owned; deleted when decommitted and all are back
  std::vector<TMediaSample*> free_;
};

// Creates a standalone TMemAllocator (first reference).
ComPtr<IMemAllocator> CreateMemAllocator();

}  // namespace kv
