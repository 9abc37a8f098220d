#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/graph/graph_manager.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/reference_clock.h"

namespace kv {

TFilterGraph::TFilterGraph() : timeFormat_(TIME_FORMAT_MEDIA_TIME) {}

TFilterGraph::~TFilterGraph() {
  // Teardown with filters still streaming: stop them (downstream first, which unblocks
  // every streaming thread), then break every connection so no filter keeps another alive.
  std::lock_guard lock(graphMutex_);
  StopLocked();
  for (auto& e : filters_) DisconnectAllLocked(e.filter.Get());
  for (auto& e : filters_) {
    e.filter->SetSyncSource(nullptr);
    e.filter->JoinFilterGraph(nullptr, std::string());
  }
  filters_.clear();
}

HRESULT TFilterGraph::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IGraphBuilder::kIid || iid == IFilterGraph::kIid)
    return GetInterface(static_cast<IGraphBuilder*>(this), out);
  if (iid == IMediaControl::kIid) return GetInterface(static_cast<IMediaControl*>(this), out);
  if (iid == IMediaSeeking::kIid) return GetInterface(static_cast<IMediaSeeking*>(this), out);
  if (iid == IMediaEventEx::kIid || iid == IMediaEvent::kIid)
    return GetInterface(static_cast<IMediaEventEx*>(this), out);
  if (iid == IMediaEventSink::kIid) return GetInterface(static_cast<IMediaEventSink*>(this), out);
  if (iid == IMediaFilter::kIid || iid == IPersist::kIid) return GetInterface(static_cast<IMediaFilter*>(this), out);
  if (iid == IBasicAudio::kIid) return GetInterface(static_cast<IBasicAudio*>(this), out);
  if (iid == IBasicVideo::kIid) return GetInterface(static_cast<IBasicVideo*>(this), out);
  if (iid == IVideoWindow::kIid) return GetInterface(static_cast<IVideoWindow*>(this), out);
  if (iid == IRunningObjectDescription::kIid) return GetInterface(static_cast<IRunningObjectDescription*>(this), out);
  if (iid == IUnknown::kIid) return GetInterface(static_cast<IUnknown*>(static_cast<TUnknown*>(this)), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

TFilterGraph::TGraphCall::~TGraphCall() {
  bool publish = std::exchange(g_->dirty_, false);
  lock_.unlock();
  if (publish) NotifyRunningObjectChanged(static_cast<IGraphBuilder*>(g_));
}

// ---------------------------------------------------------------- membership

int TFilterGraph::IndexOfLocked(IBaseFilter* filter) {
  for (size_t i = 0; i < filters_.size(); ++i)
    if (filters_[i].filter.Get() == filter) return static_cast<int>(i);
  // A different interface pointer of the same object counts too.
  for (size_t i = 0; i < filters_.size(); ++i)
    if (IsSameObject(filters_[i].filter.Get(), filter)) return static_cast<int>(i);
  return -1;
}

bool TFilterGraph::PinInGraphLocked(IPin* pin) {
  PIN_INFO info;
  if (!pin || FAILED(pin->QueryPinInfo(&info)) || !info.pFilter) return false;
  return IndexOfLocked(info.pFilter.Get()) >= 0;
}

std::string TFilterGraph::UniqueNameLocked(const std::string& wanted, bool* renamed) {
  auto used = [&](const std::string& n) {
    return std::any_of(filters_.begin(), filters_.end(), [&](auto& e) { return e.name == n; });
  };
  *renamed = false;
  if (!used(wanted)) return wanted;
  *renamed = true;
  for (int i = 1; i < 10000; ++i) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, " %04d", i);
    if (!used(wanted + suffix)) return wanted + suffix;
  }
  return std::string();
}

HRESULT TFilterGraph::AddFilterLocked(IBaseFilter* filter, const std::string& name) {
  if (!filter) return E_POINTER;
  if (IndexOfLocked(filter) >= 0) return E_INVALIDARG;  // already in this graph
  std::string wanted = name;
  if (wanted.empty()) {
    FILTER_INFO info;
    if (SUCCEEDED(filter->QueryFilterInfo(&info))) wanted = info.achName;
    if (wanted.empty()) wanted = "Filter";
  }
  bool renamed = false;
  std::string unique = UniqueNameLocked(wanted, &renamed);
  if (unique.empty()) return VFW_E_DUPLICATE_NAME;
  HRESULT hr = filter->JoinFilterGraph(static_cast<IGraphBuilder*>(this), unique);
  if (FAILED(hr)) return hr;
  filter->SetSyncSource(clock_.Get());
  filters_.push_back(Entry{ComPtr<IBaseFilter>(filter), unique});
  dirty_ = true;
  return renamed ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT TFilterGraph::AddFilter(IBaseFilter* filter, const std::string& name) {
  TGraphCall call(this);
  return AddFilterLocked(filter, name);
}

void TFilterGraph::DisconnectAllLocked(IBaseFilter* filter) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put())) || !pins) return;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(peer.Put()) == S_OK) {
      pin->Disconnect();
      peer->Disconnect();
      dirty_ = true;
    }
  }
}

HRESULT TFilterGraph::RemoveFilterLocked(IBaseFilter* filter) {
  int i = IndexOfLocked(filter);
  if (i < 0) return VFW_E_NOT_FOUND;
  // Pins cannot be disconnected from a running filter; removing one from a running graph
  // stops the graph (stopping a single filter could leave upstream threads blocked).
  if (state_ != State_Stopped) StopLocked();
  ComPtr<IBaseFilter> keep = filters_[i].filter;
  DisconnectAllLocked(keep.Get());
  keep->SetSyncSource(nullptr);
  keep->JoinFilterGraph(nullptr, std::string());
  filters_.erase(filters_.begin() + i);
  dirty_ = true;
  return S_OK;
}

HRESULT TFilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (!filter) return E_POINTER;
  TGraphCall call(this);
  return RemoveFilterLocked(filter);
}

HRESULT TFilterGraph::EnumFilters(IEnumFilters** out) {
  ComPtr<IGraphBuilder> keep(this);
  return CreateEnumerator<IEnumFilters, IBaseFilter>(
      [this, keep] {
        std::lock_guard lock(graphMutex_);
        std::vector<ComPtr<IBaseFilter>> list;
        for (auto& e : filters_) list.push_back(e.filter);
        return list;
      },
      out);
}

HRESULT TFilterGraph::FindFilterByName(const std::string& name, IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  std::lock_guard lock(graphMutex_);
  for (auto& e : filters_)
    if (e.name == name) return GetInterface(e.filter.Get(), reinterpret_cast<void**>(filter));
  return VFW_E_NOT_FOUND;
}

HRESULT TFilterGraph::ConnectDirectLocked(IPin* out, IPin* in, const MediaType* type) {
  if (!out || !in) return E_POINTER;
  if (!PinInGraphLocked(out) || !PinInGraphLocked(in)) return VFW_E_NOT_IN_GRAPH;
  HRESULT hr = out->Connect(in, type);
  if (SUCCEEDED(hr)) dirty_ = true;
  return hr;
}

HRESULT TFilterGraph::ConnectDirect(IPin* out, IPin* in, const MediaType* type) {
  TGraphCall call(this);
  return ConnectDirectLocked(out, in, type);
}

HRESULT TFilterGraph::Disconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  TGraphCall call(this);
  HRESULT hr = pin->Disconnect();
  if (hr == S_OK) dirty_ = true;
  return hr;
}

HRESULT TFilterGraph::Reconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  TGraphCall call(this);
  ComPtr<IPin> peer;
  if (pin->ConnectedTo(peer.Put()) != S_OK) return VFW_E_NOT_CONNECTED;
  MediaType mt;
  pin->ConnectionMediaType(&mt);
  PIN_DIRECTION dir;
  pin->QueryDirection(&dir);
  ComPtr<IPin> out = dir == PINDIR_OUTPUT ? ComPtr<IPin>(pin) : peer;
  ComPtr<IPin> in = dir == PINDIR_OUTPUT ? peer : ComPtr<IPin>(pin);
  out->Disconnect();
  in->Disconnect();
  dirty_ = true;
  HRESULT hr = ConnectDirectLocked(out.Get(), in.Get(), &mt);
  if (FAILED(hr)) hr = ConnectDirectLocked(out.Get(), in.Get(), nullptr);
  return hr;
}

HRESULT TFilterGraph::AddSourceFilter(const std::string&, const std::string&, IBaseFilter** filter) {
  if (filter) *filter = nullptr;
  return E_NOTIMPL;  // the engine picks its sources from its descriptor files
}

HRESULT TFilterGraph::Abort() {
  abort_.store(true);
  return S_OK;
}

HRESULT TFilterGraph::ShouldOperationContinue() { return abort_.load() ? E_ABORT : S_OK; }

// ---------------------------------------------------------------- creation

ComPtr<IGraphBuilder> CreateFilterGraph() {
  ComPtr<TFilterGraph> g(new TFilterGraph);
  return g.Query<IGraphBuilder>();
}

void CoInitialize() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterComClasses();
    TClassRegistration graph;
    graph.clsid = CLSID_FilterGraph;
    graph.friendlyName = "Filter Graph";
    graph.factory = [](const IID& iid, void** out) {
      ComPtr<TFilterGraph> g(new TFilterGraph);
      return g->QueryInterface(iid, out);
    };
    ClassRegistry().RegisterClass(std::move(graph));
    TClassRegistration clock;
    clock.clsid = CLSID_SystemClock;
    clock.friendlyName = "System Clock";
    clock.factory = [](const IID& iid, void** out) {
      ComPtr<IReferenceClock> c = CreateSystemClock();
      return c->QueryInterface(iid, out);
    };
    ClassRegistry().RegisterClass(std::move(clock));
  });
}

}  // namespace kv
