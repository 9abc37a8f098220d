// The text the running graph table shows for a graph (kavello-graph prints it).
#include "platform/graph/graph_manager.h"

namespace kv {

namespace {
const char* StateName(FILTER_STATE s) {
  switch (s) {
    case State_Stopped: return "Stopped";
    case State_Paused: return "Paused";
    case State_Running: return "Running";
  }
  return "?";
}
}  // namespace

HRESULT TFilterGraph::Describe(std::string* text) {
  if (!text) return E_POINTER;
  std::lock_guard lock(graphMutex_);
  std::string s = "state " + std::string(StateName(state_)) + "\n";
  s += clock_ ? "clock yes\n" : "clock none\n";
  for (auto& e : filters_) {
    CLSID clsid{};
    e.filter->GetClassID(&clsid);
    s += "filter \"" + e.name + "\" " + GuidToString(clsid) + "\n";
    ComPtr<IEnumPins> pins;
    if (FAILED(e.filter->EnumPins(pins.Put())) || !pins) continue;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
      PIN_INFO info;
      pin->QueryPinInfo(&info);
      s += "  pin \"" + info.achName + "\" " + (info.dir == PINDIR_INPUT ? "in" : "out");
      ComPtr<IPin> peer;
      if (pin->ConnectedTo(peer.Put()) == S_OK) {
        PIN_INFO peerInfo;
        peer->QueryPinInfo(&peerInfo);
        FILTER_INFO filterInfo;
        if (peerInfo.pFilter) peerInfo.pFilter->QueryFilterInfo(&filterInfo);
        MediaType mt;
        pin->ConnectionMediaType(&mt);
        s += std::string(info.dir == PINDIR_INPUT ? " <- " : " -> ") + "\"" + filterInfo.achName + "\".\"" +
             peerInfo.achName + "\" " + DescribeMediaType(mt);
      } else {
        s += " unconnected";
      }
      s += "\n";
    }
  }
  *text = std::move(s);
  return S_OK;
}

}  // namespace kv
