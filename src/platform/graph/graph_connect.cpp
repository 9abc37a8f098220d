// Intelligent connect and Render: joining pins through registered filters.
//
// Candidates are the registered filter classes whose input media types match a type the
// output pin offers, above MERIT_DO_NOT_USE, highest merit first (registration order among
// equals). Each candidate is created, added under its friendly name, connected, and kept
// only if the rest of the path can be completed; otherwise it is removed again.
#include <algorithm>

#include "platform/graph/graph_manager.h"

namespace kv {
namespace {

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* f, PIN_DIRECTION want, bool unconnectedOnly) {
  std::vector<ComPtr<IPin>> out;
  ComPtr<IEnumPins> pins;
  if (FAILED(f->EnumPins(pins.Put())) || !pins) return out;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION dir;
    if (FAILED(pin->QueryDirection(&dir)) || dir != want) continue;
    ComPtr<IPin> peer;
    if (unconnectedOnly && pin->ConnectedTo(peer.Put()) == S_OK) continue;
    out.push_back(pin);
  }
  return out;
}

std::vector<MediaType> TypesOf(IPin* pin) {
  std::vector<MediaType> types;
  ComPtr<IEnumMediaTypes> e;
  if (FAILED(pin->EnumMediaTypes(e.Put())) || !e) return types;
  MediaType* mt = nullptr;
  while (e->Next(1, &mt, nullptr) == S_OK) {
    types.push_back(*mt);
    DeleteMediaType(mt);
  }
  return types;
}

bool Accepts(const TClassRegistration& c, const std::vector<MediaType>& offered) {
  if (c.inputTypes.empty()) return false;
  if (offered.empty()) return true;  // the pin does not say: let the filter decide
  for (auto& reg : c.inputTypes)
    for (auto& mt : offered)
      if ((reg.majorType == GUID_NULL || reg.majorType == mt.majortype) &&
          (reg.subType == GUID_NULL || reg.subType == mt.subtype))
        return true;
  return false;
}

std::vector<TClassRegistration> Candidates(IPin* out, bool needOutputs) {
  auto offered = TypesOf(out);
  std::vector<TClassRegistration> list;
  for (auto& c : ClassRegistry().Classes()) {
    bool isFilter = std::find(c.categories.begin(), c.categories.end(), CLSID_LegacyAmFilterCategory) !=
                    c.categories.end();
    if (!isFilter || c.merit <= MERIT_DO_NOT_USE || !Accepts(c, offered)) continue;
    if (needOutputs && c.outputTypes.empty()) continue;
    list.push_back(c);
  }
  std::stable_sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.merit > b.merit; });
  return list;
}

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
  PIN_INFO info;
  if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
  return info.pFilter;
}

}  // namespace

HRESULT TFilterGraph::TryTransformLocked(IPin* out, const CLSID& clsid, const std::string& name, IPin* in,
                                         int depth) {
  ComPtr<IBaseFilter> filter;
  if (FAILED(ClassRegistry().CreateInstance(clsid, IBaseFilter::kIid, filter.PutVoid())) || !filter)
    return VFW_E_CANNOT_CONNECT;
  if (FAILED(AddFilterLocked(filter.Get(), name))) return VFW_E_CANNOT_CONNECT;
  for (auto& filterIn : PinsOf(filter.Get(), PINDIR_INPUT, true)) {
    if (abort_.load()) break;
    if (FAILED(ConnectDirectLocked(out, filterIn.Get(), nullptr))) continue;
    auto outputs = PinsOf(filter.Get(), PINDIR_OUTPUT, true);
    if (in) {
      for (auto& filterOut : outputs)
        if (SUCCEEDED(ConnectLocked(filterOut.Get(), in, depth + 1))) return S_OK;
    } else {
      // Render: every output must end somewhere; a filter without outputs is an end.
      bool all = true;
      for (auto& filterOut : outputs)
        if (FAILED(RenderLocked(filterOut.Get(), depth + 1))) all = false;
      if (all) return S_OK;
    }
    break;
  }
  RemoveFilterLocked(filter.Get());  // also breaks the connection made above
  return abort_.load() ? E_ABORT : VFW_E_CANNOT_CONNECT;
}

HRESULT TFilterGraph::ConnectLocked(IPin* out, IPin* in, int depth) {
  HRESULT direct = ConnectDirectLocked(out, in, nullptr);
  if (SUCCEEDED(direct)) return direct;
  if (direct == VFW_E_NOT_IN_GRAPH || direct == VFW_E_ALREADY_CONNECTED || direct == VFW_E_NOT_STOPPED ||
      direct == VFW_E_INVALID_DIRECTION || direct == E_POINTER)
    return direct;
  if (depth >= kMaxIntelligentConnectDepth) return VFW_E_CANNOT_CONNECT;
  for (auto& c : Candidates(out, true)) {
    if (abort_.load()) return E_ABORT;
    if (SUCCEEDED(TryTransformLocked(out, c.clsid, c.friendlyName, in, depth))) return S_OK;
  }
  return VFW_E_CANNOT_CONNECT;
}

HRESULT TFilterGraph::Connect(IPin* out, IPin* in) {
  if (!out || !in) return E_POINTER;
  TGraphCall call(this);
  abort_.store(false);
  return ConnectLocked(out, in, 0);
}

HRESULT TFilterGraph::RenderLocked(IPin* out, int depth) {
  ComPtr<IPin> peer;
  if (out->ConnectedTo(peer.Put()) == S_OK) return VFW_E_ALREADY_CONNECTED;
  if (depth > kMaxIntelligentConnectDepth + 2) return VFW_E_CANNOT_RENDER;
  // Filters already in the graph first (a renderer the caller chose), in the order added.
  ComPtr<IBaseFilter> self = OwnerOf(out);
  std::vector<ComPtr<IBaseFilter>> present;
  for (auto& e : filters_)
    if (!IsSameObject(e.filter.Get(), self.Get())) present.push_back(e.filter);
  for (auto& f : present) {
    for (auto& in : PinsOf(f.Get(), PINDIR_INPUT, true)) {
      if (FAILED(ConnectDirectLocked(out, in.Get(), nullptr))) continue;
      bool all = true;
      for (auto& next : PinsOf(f.Get(), PINDIR_OUTPUT, true))
        if (FAILED(RenderLocked(next.Get(), depth + 1))) all = false;
      if (all) return S_OK;
      out->Disconnect();
      in->Disconnect();
    }
  }
  for (auto& c : Candidates(out, false)) {
    if (abort_.load()) return E_ABORT;
    if (SUCCEEDED(TryTransformLocked(out, c.clsid, c.friendlyName, nullptr, depth))) return S_OK;
  }
  return VFW_E_CANNOT_RENDER;
}

HRESULT TFilterGraph::Render(IPin* out) {
  if (!out) return E_POINTER;
  TGraphCall call(this);
  abort_.store(false);
  PIN_DIRECTION dir;
  if (FAILED(out->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  if (!PinInGraphLocked(out)) return VFW_E_NOT_IN_GRAPH;
  return RenderLocked(out, 0);
}

}  // namespace kv
