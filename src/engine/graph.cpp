// The graph data model: construction, the graph manager, teardown and the shared utilities.
#include <unistd.h>

#include <strings.h>

#include <cstdio>

#include "debugsup/debugsup.h"
#include "engine/contrl.h"
#include "platform/com/running_object_table.h"
#include "platform/graph/filter_graph.h"
#include "platform/graph/renderer_base.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"

namespace kv {


TCOMPlay::TCOMPlay(IEngineHost* host, const std::string& programDir) : host_(host) {
  CoInitialize();
  Load(programDir.empty() ? ProgramDirectory() : programDir);
  CreateGraph();
  BuildDeviceList();
  VideoRendererName = "Video Renderer";
  AudioRendererName.clear();
  for (const auto& name : AudioRendererNames)
    if (strcasecmp(name.c_str(), "Default DirectSound Device") == 0) AudioRendererName = name;
  if (AudioRendererName.empty() && !AudioRendererNames.empty()) AudioRendererName = AudioRendererNames.front();
  State = psNone;
}

TCOMPlay::~TCOMPlay() {
  CloseDeviceList();
  ReleaseGraph();
}

bool TCOMPlay::CreateGraph() {
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              IGraphBuilder::kIid, Graph.PutVoid())))
    return false;
  Graph.As(&MediaControl);
  Graph.As(&MediaSeeking);
  Graph.As(&BasicVideo);
  Graph.As(&MediaEvent);
  // Register for the graph inspection tool; any failure here is ignored.
  ComPtr<IRunningObjectTable> rot;
  if (SUCCEEDED(GetRunningObjectTable(0, rot.Put()))) {
    char text[64];
    std::snprintf(text, sizeof text, "FilterGraph %08X pid %08X",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(Graph.Get())), static_cast<unsigned>(getpid()));
    ComPtr<IMoniker> moniker;
    if (SUCCEEDED(CreateItemMoniker("!", text, moniker.Put()))) {
      uint32_t cookie = 0;
      if (SUCCEEDED(rot->Register(0, Graph.Get(), moniker.Get(), &cookie))) RotCookie = cookie;
    }
  }
  State = psEmpty;
  ZoomFactor = 1.0;
  ZoomX = 0;
  ZoomY = 0;
  return true;
}

void TCOMPlay::ReleaseGraph() {
  if (MediaControl) MediaControl->Stop();
  // How the picture went, for the debug log (a built-in renderer counts what it showed).
  if (auto* renderer = dynamic_cast<TBaseRenderer*>(VideoRenderer.Get())) {
    Debug.TextOut("Video renderer: " + std::to_string(renderer->FramesRendered()) + " frames shown, " +
                  std::to_string(renderer->FramesDropped()) + " dropped, " + std::to_string(renderer->FramesLate()) +
                  " late");
  }
  if (RotCookie != uint32_t(-1)) {
    ComPtr<IRunningObjectTable> rot;
    if (SUCCEEDED(GetRunningObjectTable(0, rot.Put()))) rot->Revoke(RotCookie);
    RotCookie = uint32_t(-1);
  }
  VideoStat = nullptr;
  AudioStat = nullptr;
  TearDownGraph();
  ImageStat = nullptr;
  Teletext = nullptr;
  for (auto& f : VideoPlugins) f = nullptr;
  for (auto& f : AudioPlugins) f = nullptr;
  VideoOutPin = nullptr;
  AudioOutPin = nullptr;
  VideoWindow = nullptr;
  MediaControl = nullptr;
  MediaSeeking = nullptr;
  BasicVideo = nullptr;
  MediaEvent = nullptr;
  if (Graph) {
    Graph->Abort();
    Graph = nullptr;
  }
}

void TCOMPlay::TearDownGraph() {
  if (VideoWindow) {
    VideoWindow->put_Visible(false);
    VideoWindow->put_Owner(0);
    VideoWindow->put_MessageDrain(0);
  }
  if (Graph) {
    ComPtr<IEnumFilters> filters;
    if (SUCCEEDED(Graph->EnumFilters(filters.Put()))) {
      bool refused = false;
      for (;;) {
        ComPtr<IBaseFilter> filter;
        if (filters->Next(1, filter.Put(), nullptr) != S_OK) break;
        DisconnectFilter(filter.Get());
        if (FAILED(Graph->RemoveFilter(filter.Get()))) {
          refused = true;
          break;
        }
        filters->Reset();  // the set has changed
      }
      // A filter the graph refuses to remove stops the teardown with the slots as they are.
      if (refused) return;
    }
  }
  for (ComPtr<IBaseFilter>* slot :
       {&VideoRenderer, &VideoRendererTail, &DVEncoder, &VideoDecoder, &AudioDecoder, &FrameGrabber, &AudioRenderer,
        &SourceFilter, &SplitterFilter, &AudioSourceFilter, &AudioSplitterFilter, &TeletextDecoder,
        &VideoStatFilter, &ImageStatFilter, &VideoConverter, &AudioStatFilter})
    *slot = nullptr;
}

ComPtr<IBaseFilter> TCOMPlay::FindCategoryFilter(const GUID& category, const std::string& name) {
  ComPtr<IBaseFilter> result;
  ComPtr<ICreateDevEnum> devEnum;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              devEnum.PutVoid())))
    return result;
  ComPtr<IEnumMoniker> monikers;
  if (devEnum->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK || !monikers) return result;
  monikers->Reset();
  for (;;) {
    ComPtr<IMoniker> moniker;
    if (monikers->Next(1, moniker.Put(), nullptr) != S_OK) break;
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
    std::string friendly;
    if (FAILED(bag->Read("FriendlyName", &friendly)) || friendly != name) continue;
    ComPtr<IBaseFilter> filter;
    if (SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid())) && filter && Graph) {
      HRESULT hr = Graph->AddFilter(filter.Get(), name);
      if (hr == S_OK || hr == VFW_S_DUPLICATE_NAME) {
        Debug.TextOut(name + " found");
        result = filter;
      } else {
        Debug.TextOut("Cannot add " + name + " to graph");
      }
    }
    break;  // the first name match ends the search
  }
  if (!result) Debug.TextOut("Cannot find " + name);
  return result;
}

bool TCOMPlay::DevicePresent(const GUID& category, const std::string& name) {
  ComPtr<ICreateDevEnum> devEnum;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              devEnum.PutVoid())))
    return false;
  ComPtr<IEnumMoniker> monikers;
  if (devEnum->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK || !monikers) return false;
  for (;;) {
    ComPtr<IMoniker> moniker;
    if (monikers->Next(1, moniker.Put(), nullptr) != S_OK) return false;
    ComPtr<IPropertyBag> bag;
    std::string friendly;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) &&
        SUCCEEDED(bag->Read("FriendlyName", &friendly)) && friendly == name)
      return true;
  }
}

bool TCOMPlay::DisconnectFilter(IBaseFilter* filter) {
  if (!filter) return false;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return true;
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) break;
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(peer.Put()) == S_OK && Graph) {
      Graph->Disconnect(pin.Get());
      Graph->Disconnect(peer.Get());
    }
  }
  return true;
}

void TCOMPlay::RemoveDownstream(IBaseFilter* filter) {
  if (!filter || !Graph) return;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return;
  pins->Reset();
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) break;
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(peer.Put()) != S_OK) continue;
    PIN_INFO info;
    if (FAILED(peer->QueryPinInfo(&info)) || info.dir != PINDIR_INPUT) continue;
    RemoveDownstream(info.pFilter.Get());
    Graph->Disconnect(peer.Get());
    Graph->Disconnect(pin.Get());
    Graph->RemoveFilter(info.pFilter.Get());
  }
}

void TCOMPlay::ShowError(const std::string& message) {
  Debug.TextOut(message);
  ui::ShowMessageBox(message, "Error");
}

ComPtr<IPin> TCOMPlay::FindPin(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
  if (!filter) return nullptr;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return nullptr;
  int count = 0;
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) return nullptr;
    PIN_DIRECTION dir;
    if (FAILED(pin->QueryDirection(&dir)) || dir != direction) continue;
    if (count++ == index) return pin;
  }
}

std::string TCOMPlay::StreamName(const std::string& pinName) {
  constexpr int kMaxCharacters = 127;
  int characters = 0;
  for (size_t i = 0; i < pinName.size(); ++i) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    if ((static_cast<unsigned char>(pinName[i]) & 0xC0) == 0x80) continue;
    if (characters++ == kMaxCharacters) return pinName.substr(0, i);
  }
  return pinName;
}

std::vector<std::string> TCOMPlay::FilterNames() {
  std::vector<std::string> names;
  ComPtr<IEnumFilters> filters;
  if (!Graph || FAILED(Graph->EnumFilters(filters.Put()))) return names;
  for (;;) {
    ComPtr<IBaseFilter> filter;
    if (filters->Next(1, filter.Put(), nullptr) != S_OK) break;
    FILTER_INFO info;
    if (SUCCEEDED(filter->QueryFilterInfo(&info))) names.push_back(info.achName);
  }
  return names;
}

ComPtr<IBaseFilter> TCOMPlay::CreateFilterNoAdd(const CLSID& clsid) {
  ComPtr<IBaseFilter> filter;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid())))
    return nullptr;
  return filter;
}

ComPtr<IBaseFilter> TCOMPlay::CreateFilter(const CLSID& clsid, const std::string& name) {
  ComPtr<IBaseFilter> filter = CreateFilterNoAdd(clsid);
  if (!filter || !Graph || FAILED(Graph->AddFilter(filter.Get(), name))) return nullptr;
  return filter;
}

bool TCOMPlay::RemoveFromGraph(ComPtr<IBaseFilter>& slot) {
  bool removed = false;
  if (slot && Graph) removed = SUCCEEDED(Graph->RemoveFilter(slot.Get()));
  slot = nullptr;
  return removed;
}

}  // namespace kv
