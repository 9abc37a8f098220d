// Stand-in filters for the engine tests.
#include "stand_in_filters.h"

#include <mutex>

#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::test {

namespace {

struct TClassState {
  std::string name;
  TStandInSpec spec;
  int live = 0;
  std::string lastLoaded;
};

std::map<GUID, TClassState>& Classes() {
  static std::map<GUID, TClassState> classes;
  return classes;
}

TRect4 lastRect;
int sourceRectCalls = 0;

std::vector<std::string>& AudioDeviceNames() {
  static std::vector<std::string> names;
  return names;
}

class TStandIn;

class TStandInInput : public TBaseInputPin {
 public:
  TStandInInput(TBaseFilter* filter, std::string name, std::function<bool(const MediaType&)> accept)
      : TBaseInputPin(filter, std::move(name)), accept_(std::move(accept)) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return !accept_ || accept_(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT Receive(IMediaSample*) override { return S_OK; }

 private:
  std::function<bool(const MediaType&)> accept_;
};

class TStandInOutput : public TBaseOutputPin {
 public:
  TStandInOutput(TBaseFilter* filter, TOutSpec spec, TBasePin* input)
      : TBaseOutputPin(filter, spec.name), spec_(std::move(spec)), input_(input) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    MediaType offered;
    if (FAILED(Offered(&offered))) return VFW_E_TYPE_NOT_ACCEPTED;
    return type.majortype == offered.majortype && type.subtype == offered.subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType* type) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    return Offered(type);
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    ALLOCATOR_PROPERTIES want = *request, actual;
    if (want.cBuffers < 1) want.cBuffers = 1;
    if (want.cbBuffer < 16) want.cbBuffer = 16;
    return allocator->SetProperties(&want, &actual);
  }

 private:
  HRESULT Offered(MediaType* type) {
    if (!spec_.fromInput) {
      *type = spec_.type;
      return S_OK;
    }
    if (!input_ || !input_->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    *type = input_->CurrentMediaType();
    if (spec_.subtype != GUID_NULL) type->subtype = spec_.subtype;
    return S_OK;
  }
  TOutSpec spec_;
  TBasePin* input_;
};

class TStandIn : public TBaseFilter,
                 public IFileSourceFilter,
                 public ISpecifyPropertyPages,
                 public IBasicAudio,
                 public IBasicVideo {
 public:
  TStandIn(const CLSID& clsid, const TStandInSpec& spec) : TBaseFilter(clsid), spec_(spec) {
    ++Classes()[clsid].live;
    for (const auto& name : spec.inputs)
      inputs_.push_back(std::make_unique<TStandInInput>(this, name, spec.accept));
    for (const auto& out : spec.outputs)
      outputs_.push_back(std::make_unique<TStandInOutput>(this, out, inputs_.empty() ? nullptr : inputs_[0].get()));
  }
  ~TStandIn() override { --Classes()[clsid_].live; }
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IFileSourceFilter::kIid && spec_.fileSource)
      return GetInterface(static_cast<IFileSourceFilter*>(this), out);
    if (iid == ISpecifyPropertyPages::kIid && spec_.propertyPages)
      return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
    if (iid == IBasicAudio::kIid && spec_.basicAudio) return GetInterface(static_cast<IBasicAudio*>(this), out);
    if (iid == IBasicVideo::kIid && spec_.basicVideo) return GetInterface(static_cast<IBasicVideo*>(this), out);
    return TBaseFilter::NonDelegatingQueryInterface(iid, out);
  }
  int GetPinCount() override { return static_cast<int>(inputs_.size() + outputs_.size()); }
  TBasePin* GetPin(int n) override {
    if (n < 0) return nullptr;
    if (size_t(n) < inputs_.size()) return inputs_[n].get();
    n -= static_cast<int>(inputs_.size());
    return size_t(n) < outputs_.size() ? outputs_[n].get() : nullptr;
  }
  HRESULT Load(const std::string& fileName, const MediaType*) override {
    Classes()[clsid_].lastLoaded = fileName;
    return spec_.loadResult;
  }
  HRESULT GetCurFile(std::string* fileName, MediaType*) override {
    *fileName = Classes()[clsid_].lastLoaded;
    return S_OK;
  }
  HRESULT GetPages(std::vector<CLSID>* pages) override {
    pages->clear();
    return S_OK;
  }
  HRESULT put_Volume(int32_t v) override {
    volume_ = v;
    return S_OK;
  }
  HRESULT get_Volume(int32_t* v) override {
    *v = volume_;
    return S_OK;
  }
  HRESULT get_AvgTimePerFrame(REFERENCE_TIME* t) override {
    *t = 400000;
    return S_OK;
  }
  HRESULT get_VideoWidth(int32_t* w) override {
    *w = 200;
    return S_OK;
  }
  HRESULT get_VideoHeight(int32_t* h) override {
    *h = 100;
    return S_OK;
  }
  HRESULT SetSourcePosition(int32_t l, int32_t t, int32_t w, int32_t h) override {
    lastRect = {l, t, w, h};
    ++sourceRectCalls;
    return S_OK;
  }
  HRESULT GetSourcePosition(int32_t*, int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT SetDefaultSourcePosition() override { return S_OK; }
  HRESULT SetDestinationPosition(int32_t, int32_t, int32_t, int32_t) override { return S_OK; }
  HRESULT GetDestinationPosition(int32_t*, int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT SetDefaultDestinationPosition() override { return S_OK; }
  HRESULT GetVideoSize(int32_t* w, int32_t* h) override {
    *w = 200;
    *h = 100;
    return S_OK;
  }
  HRESULT put_Balance(int32_t) override { return S_OK; }
  HRESULT get_Balance(int32_t* b) override {
    *b = 0;
    return S_OK;
  }

 private:
  TStandInSpec spec_;
  int32_t volume_ = 0;
  std::vector<std::unique_ptr<TStandInInput>> inputs_;
  std::vector<std::unique_ptr<TStandInOutput>> outputs_;
};

void RegisterClassOnly(const CLSID& clsid) {
  TClassRegistration r;
  r.clsid = clsid;
  r.friendlyName = Classes()[clsid].name;
  r.merit = MERIT_DO_NOT_USE;
  r.factory = [clsid](const IID& iid, void** out) {
    return CreateComObject<TStandIn>(iid, out, clsid, Classes()[clsid].spec);
  };
  ClassRegistry().RegisterFilter(std::move(r));
}

}  // namespace

void RegisterStandIn(const CLSID& clsid, const std::string& friendlyName, TStandInSpec spec) {
  Classes()[clsid].name = friendlyName;
  Classes()[clsid].spec = std::move(spec);
  RegisterClassOnly(clsid);
}

TStandInSpec& Spec(const CLSID& clsid) { return Classes()[clsid].spec; }

void Unregister(const CLSID& clsid) { ClassRegistry().Unregister(clsid); }

TRect4 LastSourceRect() { return lastRect; }
int SourceRectCalls() { return sourceRectCalls; }

int LiveInstances(const CLSID& clsid) { return Classes()[clsid].live; }

std::string LastLoaded(const CLSID& clsid) { return Classes()[clsid].lastLoaded; }

void SetAudioDevices(std::vector<std::string> names) {
  static std::once_flag once;
  std::call_once(once, [] {
    Classes()[CLSID_TestAudioDevice].name = "test audio device";
    Classes()[CLSID_TestAudioDevice].spec.inputs = {"Audio Input pin (rendered)"};
    Classes()[CLSID_TestAudioDevice].spec.basicAudio = true;
    ClassRegistry().AddDeviceProvider(CLSID_AudioRendererCategory, [] {
      std::vector<TDeviceEntry> entries;
      for (const auto& name : AudioDeviceNames()) {
        TDeviceEntry e;
        e.friendlyName = name;
        e.properties["FriendlyName"] = name;
        e.factory = [](const IID& iid, void** out) {
          return CreateComObject<TStandIn>(iid, out, CLSID_TestAudioDevice, Classes()[CLSID_TestAudioDevice].spec);
        };
        entries.push_back(std::move(e));
      }
      return entries;
    });
  });
  AudioDeviceNames() = std::move(names);
}

void SetDVDevice(bool present) {
  static bool listed = false;
  static std::once_flag once;
  std::call_once(once, [] {
    Classes()[CLSID_TestDVDevice].name = "Microsoft DV Camera and VCR";
    Classes()[CLSID_TestDVDevice].spec.inputs = {"DV In"};
    ClassRegistry().AddDeviceProvider(CLSID_VideoInputDeviceCategory, [] {
      std::vector<TDeviceEntry> entries;
      if (!listed) return entries;
      TDeviceEntry e;
      e.friendlyName = "Microsoft DV Camera and VCR";
      e.properties["FriendlyName"] = e.friendlyName;
      e.factory = [](const IID& iid, void** out) {
        return CreateComObject<TStandIn>(iid, out, CLSID_TestDVDevice, Classes()[CLSID_TestDVDevice].spec);
      };
      entries.push_back(std::move(e));
      return entries;
    });
  });
  listed = present;
}

MediaType VideoType(const GUID& subtype, int width, int height, int64_t perFrame) {
  VIDEOINFOHEADER v;
  v.AvgTimePerFrame = perFrame;
  v.bmiHeader.biWidth = width;
  v.bmiHeader.biHeight = height;
  v.bmiHeader.biCompression = subtype.Data1;
  v.bmiHeader.biBitCount = 24;
  return MakeVideoInfoType(subtype, v);
}

MediaType AudioType(const GUID& subtype, int rate, int channels, int bits) {
  WAVEFORMATEX w;
  w.wFormatTag = static_cast<uint16_t>(subtype.Data1);
  w.nChannels = static_cast<uint16_t>(channels);
  w.nSamplesPerSec = static_cast<uint32_t>(rate);
  w.wBitsPerSample = static_cast<uint16_t>(bits);
  w.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
  w.nAvgBytesPerSec = static_cast<uint32_t>(rate) * w.nBlockAlign;
  return MakeWaveFormatType(subtype, w);
}

}  // namespace kv::test
