#include "synthetic_filters.h"

#include <cstring>

#include "platform/com/class_registry.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::testing {

std::atomic<int> TGeneratorSource::liveInstances{0};
std::atomic<int> TTestTransform::liveInstances{0};
std::atomic<int> TCountingRenderer::liveInstances{0};

MediaType TestVideoType(const GUID& subtype) {
  VIDEOINFOHEADER v;
  v.AvgTimePerFrame = 400000;
  v.bmiHeader.biWidth = 64;
  v.bmiHeader.biHeight = 48;
  v.bmiHeader.biBitCount = 16;
  v.bmiHeader.biSizeImage = 64 * 48 * 2;
  return MakeVideoInfoType(subtype, v);
}

MediaType TestAudioType() {
  WAVEFORMATEX w;
  w.wFormatTag = 1;
  w.nChannels = 2;
  w.nSamplesPerSec = 48000;
  w.wBitsPerSample = 16;
  w.nBlockAlign = 4;
  w.nAvgBytesPerSec = 192000;
  return MakeWaveFormatType(MEDIASUBTYPE_PCM, w);
}

// ---------------------------------------------------------------- generator

class TGeneratorSource::Pin : public TSourceStream {
 public:
  Pin(TGeneratorSource* owner, std::string name, MediaType type)
      : TSourceStream(owner, std::move(name), TStreamMode::Generate), owner_(owner), type_(std::move(type)) {}

  HRESULT CheckMediaType(const MediaType& mt) override { return mt == type_ ? S_OK : S_FALSE; }
  HRESULT GetMediaType(int position, MediaType* mt) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    *mt = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    ALLOCATOR_PROPERTIES want{8, std::max<int32_t>(owner_->bytes_, 8), 1, 0}, got;
    return allocator->SetProperties(&want, &got);
  }
  bool GetStartSegment(REFERENCE_TIME* start, REFERENCE_TIME* stop, double* rate) override {
    Reposition(owner_->SeekStart(), owner_->SeekStop(), owner_->SeekRate());
    *start = segStart_;
    *stop = stop_;
    *rate = rate_;
    return true;
  }
  // Only while the pin's thread is not running (before Active, or between FlushAndStop
  // and RestartAfterFlush).
  void Reposition(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    next_ = start;
    segStart_ = start;
    stop_ = stop;
    rate_ = rate;
  }
  HRESULT FillBuffer(IMediaSample* sample) override {
    if (next_ >= stop_) return S_FALSE;
    uint8_t* p = nullptr;
    sample->GetPointer(&p);
    std::memcpy(p, &next_, sizeof next_);
    sample->SetActualDataLength(std::max<int32_t>(owner_->bytes_, 8));
    REFERENCE_TIME t0 = static_cast<REFERENCE_TIME>((next_ - segStart_) / rate_);
    REFERENCE_TIME t1 = static_cast<REFERENCE_TIME>((next_ + owner_->frame_ - segStart_) / rate_);
    sample->SetTime(&t0, &t1);
    sample->SetSyncPoint(true);
    sample->SetDiscontinuity(next_ == segStart_);
    next_ += owner_->frame_;
    owner_->produced_.fetch_add(1);
    return S_OK;
  }
  REFERENCE_TIME segStart_ = 0, stop_ = 0;

 private:
  TGeneratorSource* owner_;
  MediaType type_;
  REFERENCE_TIME next_ = 0;
  double rate_ = 1.0;
};

TGeneratorSource::TGeneratorSource(std::vector<MediaType> types, REFERENCE_TIME duration, REFERENCE_TIME frame,
                                   int32_t sampleBytes)
    : TBaseFilter(CLSID_TestGenerator), TSourceSeeking(duration), frame_(frame), bytes_(sampleBytes) {
  for (size_t i = 0; i < types.size(); ++i)
    pins_.push_back(std::make_unique<Pin>(this, "Out" + std::to_string(i), std::move(types[i])));
  liveInstances.fetch_add(1);
}

TGeneratorSource::~TGeneratorSource() {
  pins_.clear();  // joins any thread while the rest of the filter still exists
  liveInstances.fetch_sub(1);
}

HRESULT TGeneratorSource::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMediaSeeking::kIid) return GetInterface(static_cast<IMediaSeeking*>(this), out);
  return TBaseFilter::NonDelegatingQueryInterface(iid, out);
}

int TGeneratorSource::GetPinCount() { return static_cast<int>(pins_.size()); }
TBasePin* TGeneratorSource::GetPin(int n) {
  return n >= 0 && n < GetPinCount() ? pins_[n].get() : nullptr;
}

HRESULT TGeneratorSource::OnSeek(REFERENCE_TIME start, REFERENCE_TIME stop, double rate, bool) {
  seeks_.fetch_add(1);
  // All pins stop before any restarts, as a demultiplexer must do it.
  for (auto& p : pins_)
    if (p->IsConnected()) p->FlushAndStop();
  for (auto& p : pins_) p->Reposition(start, stop, rate);
  for (auto& p : pins_)
    if (p->IsConnected()) p->RestartAfterFlush(start, stop, rate);
  return S_OK;
}

// ---------------------------------------------------------------- transform

TTestTransform::TTestTransform(TTransformMode mode, GUID in, GUID out)
    : TTransformFilter(CLSID_TestTransform, mode), inputSubtype_(in), outputSubtype_(out) {
  liveInstances.fetch_add(1);
}
TTestTransform::~TTestTransform() { liveInstances.fetch_sub(1); }

HRESULT TTestTransform::CheckInputType(const MediaType& type) {
  if (refused_ != GUID_NULL && type.subtype == refused_) return VFW_E_TYPE_NOT_ACCEPTED;
  if (inputSubtype_ != GUID_NULL && type.subtype != inputSubtype_) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TTestTransform::CheckTransform(const MediaType& in, const MediaType& out) {
  if (Mode() == TTransformMode::InPlace) return TTransformFilter::CheckTransform(in, out);
  return out.majortype == in.majortype && out.subtype == outputSubtype_ ? S_OK : S_FALSE;
}

HRESULT TTestTransform::GetOutputType(int position, MediaType* type) {
  if (Mode() == TTransformMode::InPlace) return TTransformFilter::GetOutputType(position, type);
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *type = InputPin()->CurrentMediaType();
  type->subtype = outputSubtype_;
  return S_OK;
}

HRESULT TTestTransform::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) {
  ALLOCATOR_PROPERTIES want{4, 64, 1, 0}, got;
  return allocator->SetProperties(&want, &got);
}

HRESULT TTestTransform::Transform(IMediaSample* in, IMediaSample* out) {
  uint8_t *src = nullptr, *dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  int32_t n = std::min(in->GetActualDataLength(), out->GetSize());
  std::memcpy(dst, src, n);
  out->SetActualDataLength(n);
  samples_.fetch_add(1);
  return S_OK;
}

HRESULT TTestTransform::TransformInPlace(IMediaSample*) {
  samples_.fetch_add(1);
  return S_OK;
}

HRESULT TTestTransform::BeginFlush() {
  beginFlushes_.fetch_add(1);
  return TTransformFilter::BeginFlush();
}

HRESULT TTestTransform::EndFlush() {
  endFlushes_.fetch_add(1);
  return TTransformFilter::EndFlush();
}

// ---------------------------------------------------------------- renderer

TCountingRenderer::TCountingRenderer(GUID major, bool dropsLate)
    : TBaseRenderer(CLSID_TestRenderer), major_(major), dropsLate_(dropsLate) {
  liveInstances.fetch_add(1);
}
TCountingRenderer::~TCountingRenderer() { liveInstances.fetch_sub(1); }

HRESULT TCountingRenderer::CheckMediaType(const MediaType& type) {
  return major_ == GUID_NULL || type.majortype == major_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TCountingRenderer::DoRenderSample(IMediaSample* sample) {
  uint8_t* p = nullptr;
  sample->GetPointer(&p);
  Rendered r{};
  if (sample->GetActualDataLength() >= 8) std::memcpy(&r.position, p, 8);
  REFERENCE_TIME stop;
  sample->GetTime(&r.start, &stop);
  std::lock_guard lock(mutex_);
  r.segment = segments_;
  r.segmentStart = lastSegmentStart_;
  rendered_.push_back(r);
  changed_.notify_all();
  return S_OK;
}

void TCountingRenderer::OnReceiveFirstSample(IMediaSample*) {
  std::lock_guard lock(mutex_);
  ++prerolls_;
}

void TCountingRenderer::OnBeginFlush() {
  std::lock_guard lock(mutex_);
  ++flushes_;
}

void TCountingRenderer::OnEndFlush() {}

void TCountingRenderer::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME, double rate) {
  std::lock_guard lock(mutex_);
  ++segments_;
  lastRate_ = rate;
  lastSegmentStart_ = start;
}

std::vector<TCountingRenderer::Rendered> TCountingRenderer::RenderedSamples() {
  std::lock_guard lock(mutex_);
  return rendered_;
}
int64_t TCountingRenderer::Count() {
  std::lock_guard lock(mutex_);
  return static_cast<int64_t>(rendered_.size());
}
int TCountingRenderer::Prerolls() {
  std::lock_guard lock(mutex_);
  return prerolls_;
}
int TCountingRenderer::Flushes() {
  std::lock_guard lock(mutex_);
  return flushes_;
}
int TCountingRenderer::Segments() {
  std::lock_guard lock(mutex_);
  return segments_;
}
double TCountingRenderer::LastSegmentRate() {
  std::lock_guard lock(mutex_);
  return lastRate_;
}
REFERENCE_TIME TCountingRenderer::LastSegmentStart() {
  std::lock_guard lock(mutex_);
  return lastSegmentStart_;
}
void TCountingRenderer::WaitForCount(int64_t n) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return static_cast<int64_t>(rendered_.size()) >= n; });
}

// ---------------------------------------------------------------- registration

void RegisterTestTransform(const CLSID& clsid, const std::string& name, uint32_t merit, TTransformMode mode, GUID in,
                           GUID out) {
  TClassRegistration r;
  r.clsid = clsid;
  r.friendlyName = name;
  r.merit = merit;
  r.inputTypes = {{GUID_NULL, in}};
  r.outputTypes = {{GUID_NULL, out}};
  r.factory = [mode, in, out](const IID& iid, void** o) { return CreateComObject<TTestTransform>(iid, o, mode, in, out); };
  ClassRegistry().RegisterFilter(std::move(r));
}

void RegisterTestRenderer(const CLSID& clsid, const std::string& name, uint32_t merit, GUID major, GUID subtype) {
  TClassRegistration r;
  r.clsid = clsid;
  r.friendlyName = name;
  r.merit = merit;
  r.inputTypes = {{major, subtype}};
  r.factory = [major](const IID& iid, void** o) { return CreateComObject<TCountingRenderer>(iid, o, major, false); };
  ClassRegistry().RegisterFilter(std::move(r));
}

}  // namespace kv::testing
