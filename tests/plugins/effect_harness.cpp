#include "effect_harness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/com/class_registry.h"
#include "platform/com/device_enum.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/source_stream.h"

namespace kv::test {
namespace {

constexpr CLSID CLSID_HarnessSource = GuidLiteral("{5B0E51B3-3C43-4E4B-9D5A-7A8E52E1B0C1}");
constexpr CLSID CLSID_HarnessSink = GuidLiteral("{5B0E51B3-3C43-4E4B-9D5A-7A8E52E1B0C2}");

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION dir) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return nullptr;
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) return nullptr;
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == dir) return pin;
  }
}

class TBufferSource : public TBaseFilter {
 public:
  TBufferSource(MediaType type, std::vector<std::vector<uint8_t>> buffers, REFERENCE_TIME duration)
      : TBaseFilter(CLSID_HarnessSource), pin_(std::make_unique<Pin>(this, std::move(type))),
        buffers_(std::move(buffers)), duration_(duration) {}
  ~TBufferSource() override { pin_.reset(); }
  int GetPinCount() override { return 1; }
  TBasePin* GetPin(int n) override { return n == 0 ? pin_.get() : nullptr; }

 private:
  class Pin : public TSourceStream {
   public:
    Pin(TBufferSource* owner, MediaType type)
        : TSourceStream(owner, "Out", TStreamMode::Generate), owner_(owner), type_(std::move(type)) {}
    HRESULT CheckMediaType(const MediaType& mt) override { return mt == type_ ? S_OK : S_FALSE; }
    HRESULT GetMediaType(int position, MediaType* mt) override {
      if (position != 0) return VFW_S_NO_MORE_ITEMS;
      *mt = type_;
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
      int32_t biggest = 16;
      for (const auto& b : owner_->buffers_) biggest = std::max<int32_t>(biggest, static_cast<int32_t>(b.size()));
      ALLOCATOR_PROPERTIES want{4, biggest, 1, 0}, got;
      return allocator->SetProperties(&want, &got);
    }
    HRESULT FillBuffer(IMediaSample* sample) override {
      if (next_ >= owner_->buffers_.size()) return S_FALSE;
      const auto& b = owner_->buffers_[next_];
      uint8_t* p = nullptr;
      sample->GetPointer(&p);
      std::memcpy(p, b.data(), b.size());
      sample->SetActualDataLength(static_cast<int32_t>(b.size()));
      REFERENCE_TIME t0 = REFERENCE_TIME(next_) * owner_->duration_, t1 = t0 + owner_->duration_;
      sample->SetTime(&t0, &t1);
      sample->SetSyncPoint(true);
      sample->SetDiscontinuity(next_ == 0);
      ++next_;
      return S_OK;
    }

   private:
    TBufferSource* owner_;
    MediaType type_;
    size_t next_ = 0;
  };
  std::unique_ptr<Pin> pin_;
  std::vector<std::vector<uint8_t>> buffers_;
  REFERENCE_TIME duration_;
};

}  // namespace

class THarness::Sink : public TBaseRenderer {
 public:
  Sink() : TBaseRenderer(CLSID_HarnessSink) {}
  HRESULT CheckMediaType(const MediaType&) override { return S_OK; }
  HRESULT SetMediaType(const MediaType& type) override {
    std::lock_guard lock(mutex_);
    type_ = type;
    return S_OK;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    TCaptured c;
    uint8_t* p = nullptr;
    sample->GetPointer(&p);
    c.data.assign(p, p + sample->GetActualDataLength());
    sample->GetTime(&c.start, &c.stop);
    std::lock_guard lock(mutex_);
    captured_.push_back(std::move(c));
    return S_OK;
  }
  std::mutex mutex_;  // guards type_ and captured_
  MediaType type_;
  std::vector<TCaptured> captured_;
};

bool LoadShippedEffects() {
  static const bool loaded = [] {
    // Effects read and keep their settings in the registry: a folder of this process's own,
    // never the user's (and never another test's running beside it).
    char folder[] = "/tmp/kavello-effects-XXXXXX";
    if (!mkdtemp(folder)) return false;
    setenv("XDG_CONFIG_HOME", folder, 1);
    CoInitialize();
    ClassRegistry().LoadFilterModules(std::string(KAVELLO_PROGRAM_DIR) + "/Components/Filters");
    return true;
  }();
  return loaded && CreateByName("Kavello Picture") != nullptr;
}

ComPtr<IBaseFilter> CreateByName(const std::string& friendlyName) {
  for (const TDeviceEntry& e : ClassRegistry().CategoryEntries(CLSID_LegacyAmFilterCategory)) {
    if (e.friendlyName != friendlyName) continue;
    ComPtr<IBaseFilter> filter;
    if (SUCCEEDED(e.factory(IBaseFilter::kIid, filter.PutVoid()))) return filter;
  }
  return nullptr;
}

MediaType I420Type(int width, int height, int64_t frameDuration) {
  VIDEOINFOHEADER v;
  v.rcSource = v.rcTarget = RECT{0, 0, width, height};
  v.AvgTimePerFrame = frameDuration;
  v.bmiHeader.biWidth = width;
  v.bmiHeader.biHeight = height;
  v.bmiHeader.biBitCount = 12;
  v.bmiHeader.biCompression = 0x30323449;  // 'I420'
  v.bmiHeader.biSizeImage = width * height * 3 / 2;
  MediaType mt = MakeVideoInfoType(MEDIASUBTYPE_I420, v);
  mt.majortype = MEDIATYPE_Video;
  return mt;
}

MediaType PcmType(int rate, int channels, bool floatSamples) {
  WAVEFORMATEX w;
  w.wFormatTag = floatSamples ? 3 : 1;
  w.nChannels = static_cast<uint16_t>(channels);
  w.nSamplesPerSec = rate;
  w.wBitsPerSample = floatSamples ? 32 : 16;
  w.nBlockAlign = static_cast<uint16_t>(channels * w.wBitsPerSample / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * rate;
  MediaType mt = MakeWaveFormatType(WaveFormatSubtype(w.wFormatTag), w);
  mt.majortype = MEDIATYPE_Audio;
  return mt;
}

THarness::THarness() : graph_(CreateFilterGraph()), sink_(new Sink) {}

THarness::~THarness() {
  if (auto control = graph_.Query<IMediaControl>()) control->Stop();
}

bool THarness::Run(IBaseFilter* effect, const MediaType& type, const std::vector<std::vector<uint8_t>>& buffers,
                   REFERENCE_TIME duration, std::string* error) {
  ComPtr<IBaseFilter> source(new TBufferSource(type, buffers, duration));
  graph_->AddFilter(source.Get(), "Source");
  graph_->AddFilter(effect, "Effect");
  graph_->AddFilter(sink_.Get(), "Sink");
  if (FAILED(graph_->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT).Get(), PinOf(effect, PINDIR_INPUT).Get(),
                                   nullptr))) {
    *error = "the effect refused the input";
    return false;
  }
  if (FAILED(graph_->ConnectDirect(PinOf(effect, PINDIR_OUTPUT).Get(), PinOf(sink_.Get(), PINDIR_INPUT).Get(),
                                   nullptr))) {
    *error = "the sink was not connected";
    return false;
  }
  graph_.Query<IMediaFilter>()->SetSyncSource(nullptr);
  if (FAILED(graph_.Query<IMediaControl>()->Run())) {
    *error = "run failed";
    return false;
  }
  int32_t code = 0;
  HRESULT hr = graph_.Query<IMediaEvent>()->WaitForCompletion(60000, &code);
  if (FAILED(hr) || code != EC_COMPLETE) {
    *error = "the stream did not complete (event " + std::to_string(code) + ")";
    return false;
  }
  return true;
}

std::vector<TCaptured> THarness::Output() {
  std::lock_guard lock(sink_->mutex_);
  return sink_->captured_;
}

MediaType THarness::OutputType() {
  std::lock_guard lock(sink_->mutex_);
  return sink_->type_;
}

}  // namespace kv::test
