// The renderer name lists: video renderer kinds the machine can build, audio devices.
#include "debugsup/debugsup.h"
#include "engine/contrl.h"

namespace kv {

namespace {

constexpr const char* kDVDevice = "Microsoft DV Camera and VCR";

bool Creatable(const CLSID& clsid) {
  ComPtr<IBaseFilter> probe;
  return SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, probe.PutVoid()));
}

}  // namespace

void TCOMPlay::BuildDeviceList() {
  Debug.TextOut("BuildDeviceList");
  ComPtr<ICreateDevEnum> devEnum;
  CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, devEnum.PutVoid());

  VideoRendererNames.clear();
  VideoRendererNames.push_back("Video Renderer");
  // The overlay mixers are offered only where a mixer filter is installed (on Linux they are
  // built-in filters; a build without them does not list names it cannot honour).
  if (Creatable(CLSID_OverlayMixer)) VideoRendererNames.push_back("Overlay mixer");
  if (Creatable(CLSID_OverlayMixer2)) VideoRendererNames.push_back("Overlay mixer 2");
  if (Creatable(CLSID_VideoMixingRenderer)) VideoRendererNames.push_back("Video Mixing Renderer 7");
  if (Creatable(CLSID_VideoMixingRenderer9)) VideoRendererNames.push_back("Video Mixing Renderer 9");
  dvDevicePresent_ = DevicePresent(CLSID_VideoInputDeviceCategory, kDVDevice);
  if (dvDevicePresent_) VideoRendererNames.push_back("External to DV");

  AudioRendererNames.clear();
  ComPtr<IEnumMoniker> monikers;
  if (devEnum && devEnum->CreateClassEnumerator(CLSID_AudioRendererCategory, monikers.Put(), 0) == S_OK &&
      monikers) {
    for (;;) {
      ComPtr<IMoniker> moniker;
      if (monikers->Next(1, moniker.Put(), nullptr) != S_OK) break;
      ComPtr<IPropertyBag> bag;
      if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
      std::string name;
      bag->Read("FriendlyName", &name);  // unreadable: an entry with an empty name
      ++AudioDeviceCount;
      AudioRendererNames.push_back(name);
      AudioDevices.push_back(TEnumInfo{name, moniker});
    }
  }
  if (dvDevicePresent_) {
    ++AudioDeviceCount;
    AudioRendererNames.push_back("External to DV");
    AudioDevices.push_back(TEnumInfo{});
  }
}

void TCOMPlay::CloseDeviceList() {
  Debug.TextOut("CloseDeviceList");
  AudioDevices.clear();
  AudioRendererNames.clear();
  AudioDeviceCount = 0;
  Debug.TextOut("CloseDeviceList End");
}

}  // namespace kv
