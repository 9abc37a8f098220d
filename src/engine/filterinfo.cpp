// Filter and pin information for the media properties dialog.
#include "engine/contrl.h"

#include <numeric>

#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv {

namespace {

ComPtr<IBaseFilter> FindByName(IGraphBuilder* graph, const std::string& name) {
  ComPtr<IBaseFilter> filter;
  if (!graph || FAILED(graph->FindFilterByName(name.substr(0, 260), filter.Put()))) return nullptr;
  return filter;
}

}  // namespace

std::string TCOMPlay::DescribeConnection(const MediaType& mt) {
  std::string text = MediaGuidName(mt.majortype) + " " + MediaGuidName(mt.subtype);
  auto size = [&](const BITMAPINFOHEADER& b) {
    text += ", " + std::to_string(b.biWidth) + "x" + std::to_string(b.biHeight < 0 ? -b.biHeight : b.biHeight);
  };
  auto aspect = [&](uint32_t x, uint32_t y) {
    if (!x || !y) return;
    const uint32_t d = std::gcd(x, y);
    text += " (" + std::to_string(x / d) + ":" + std::to_string(y / d) + ")";
  };
  if (mt.formattype == FORMAT_VideoInfo) {
    if (auto v = ReadVideoInfoHeader(mt.format)) size(v->bmiHeader);
  } else if (mt.formattype == FORMAT_VideoInfo2) {
    if (auto v = ReadVideoInfoHeader2(mt.format)) {
      size(v->bmiHeader);
      aspect(v->dwPictAspectRatioX, v->dwPictAspectRatioY);
    }
  } else if (mt.formattype == FORMAT_MPEGVideo) {
    if (auto v = ReadMpeg1VideoInfo(mt.format)) size(v->hdr.bmiHeader);
  } else if (mt.formattype == FORMAT_MPEG2Video) {
    if (auto v = ReadMpeg2VideoInfo(mt.format)) {
      size(v->hdr.bmiHeader);
      aspect(v->hdr.dwPictAspectRatioX, v->hdr.dwPictAspectRatioY);
    }
  } else if (mt.formattype == FORMAT_WaveFormatEx) {
    if (auto w = ReadWaveFormatEx(mt.format)) {
      text += ", " + std::to_string(w->nSamplesPerSec) + " Hz, " + std::to_string(w->nChannels) + " ch";
      if (w->wBitsPerSample) text += ", " + std::to_string(w->wBitsPerSample) + " bit";
    }
  }
  return text;
}

bool TCOMPlay::FilterHasPropertyPages(const std::string& name) {
  ComPtr<IBaseFilter> filter = FindByName(Graph.Get(), name);
  ComPtr<ISpecifyPropertyPages> pages;
  return filter && SUCCEEDED(filter.As(&pages));
}

bool TCOMPlay::ListFilterPins(const std::string& name, std::vector<std::string>* inPins,
                              std::vector<std::string>* outPins, std::vector<std::string>* inTypes,
                              std::vector<std::string>* outTypes) {
  ComPtr<IBaseFilter> filter = FindByName(Graph.Get(), name);
  if (!filter) return false;
  inPins->clear();
  outPins->clear();
  if (inTypes) inTypes->clear();
  if (outTypes) outTypes->clear();
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return true;
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) break;
    PIN_INFO info;
    if (FAILED(pin->QueryPinInfo(&info))) continue;
    std::string text = info.achName;
    std::string type;
    ComPtr<IPin> peer;
    PIN_INFO peerInfo;
    FILTER_INFO peerFilter;
    if (pin->ConnectedTo(peer.Put()) == S_OK && SUCCEEDED(peer->QueryPinInfo(&peerInfo)) && peerInfo.pFilter &&
        SUCCEEDED(peerInfo.pFilter->QueryFilterInfo(&peerFilter))) {
      text += " -> " + peerFilter.achName;
      MediaType mt;
      if (SUCCEEDED(pin->ConnectionMediaType(&mt))) type = DescribeConnection(mt);
    }
    const bool input = info.dir == PINDIR_INPUT;
    (input ? inPins : outPins)->push_back(text);
    if (std::vector<std::string>* types = input ? inTypes : outTypes) types->push_back(type);
  }
  return true;
}

void TCOMPlay::ShowNamedFilterProperties(const std::string& name) {
  ComPtr<IBaseFilter> filter = FindByName(Graph.Get(), name);
  if (filter && host_) host_->ShowFilterProperties(filter.Get(), name);
}

}  // namespace kv
