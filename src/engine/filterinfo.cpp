// Filter and pin information for the media properties dialog.
#include "engine/contrl.h"

namespace kv {

namespace {

ComPtr<IBaseFilter> FindByName(IGraphBuilder* graph, const std::string& name) {
  ComPtr<IBaseFilter> filter;
  if (!graph || FAILED(graph->FindFilterByName(name.substr(0, 260), filter.Put()))) return nullptr;
  return filter;
}

}  // namespace

bool TCOMPlay::FilterHasPropertyPages(const std::string& name) {
  ComPtr<IBaseFilter> filter = FindByName(Graph.Get(), name);
  ComPtr<ISpecifyPropertyPages> pages;
  return filter && SUCCEEDED(filter.As(&pages));
}

bool TCOMPlay::ListFilterPins(const std::string& name, std::vector<std::string>* inPins,
                              std::vector<std::string>* outPins) {
  ComPtr<IBaseFilter> filter = FindByName(Graph.Get(), name);
  if (!filter) return false;
  inPins->clear();
  outPins->clear();
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return true;
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) break;
    PIN_INFO info;
    if (FAILED(pin->QueryPinInfo(&info))) continue;
    std::string text = info.achName;
    ComPtr<IPin> peer;
    PIN_INFO peerInfo;
    FILTER_INFO peerFilter;
    if (pin->ConnectedTo(peer.Put()) == S_OK && SUCCEEDED(peer->QueryPinInfo(&peerInfo)) && peerInfo.pFilter &&
        SUCCEEDED(peerInfo.pFilter->QueryFilterInfo(&peerFilter)))
      text += " -> " + peerFilter.achName;
    (info.dir == PINDIR_INPUT ? inPins : outPins)->push_back(text);
  }
  return true;
}

void TCOMPlay::ShowNamedFilterProperties(const std::string& name) {
  ComPtr<IBaseFilter> filter = FindByName(Graph.Get(), name);
  if (filter && host_) host_->ShowFilterProperties(filter.Get(), name);
}

}  // namespace kv
