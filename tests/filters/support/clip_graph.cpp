#include "clip_graph.h"

#include <mutex>

#include "filters/audiodec/audio_decoder_filter.h"
#include "filters/demux/container_families.h"
#include "filters/module_ffmpeg/module_ffmpeg.h"
#include "filters/source/file_source_filter.h"
#include "filters/video/video_decoder_filter.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"

namespace kv::testing {

namespace {

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION dir) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return nullptr;
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    ComPtr<IPin> own;
    own.Attach(pin);
    PIN_DIRECTION d;
    if (SUCCEEDED(own->QueryDirection(&d)) && d == dir) return own;
  }
  return nullptr;
}

std::vector<ComPtr<IPin>> OutputPins(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> out;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return out;
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    ComPtr<IPin> own;
    own.Attach(pin);
    PIN_DIRECTION d;
    if (SUCCEEDED(own->QueryDirection(&d)) && d == PINDIR_OUTPUT) out.push_back(own);
  }
  return out;
}

}  // namespace

void RegisterFiltersOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    CoInitialize();
    filters::RegisterFfmpegFilters();
  });
}

TClipGraph::TClipGraph() {
  RegisterFiltersOnce();
  graph_ = CreateFilterGraph();
  videoRenderer_ = ComPtr<TRecordingRenderer>(new TRecordingRenderer(MEDIATYPE_Video));
  audioRenderer_ = ComPtr<TRecordingRenderer>(new TRecordingRenderer(MEDIATYPE_Audio));
}

TClipGraph::~TClipGraph() {
  if (auto control = ComPtr<IGraphBuilder>(graph_).Query<IMediaControl>()) control->Stop();
}

HRESULT TClipGraph::Build(const std::string& path, const CLSID& demux, bool video, bool audio) {
  const demux::TContainerFamily* family = demux::FindContainerFamily(demux);
  if (!family) return E_INVALIDARG;
  HRESULT hr = CoCreateInstance(demux, &demux_);
  if (FAILED(hr)) return hr;
  if (family->isSource) {
    graph_->AddFilter(demux_.Get(), "Source");
    auto load = demux_.Query<IFileSourceFilter>();
    if (!load) return E_NOINTERFACE;
    hr = load->Load(path, nullptr);
    if (FAILED(hr)) return hr;
  } else {
    hr = CoCreateInstance(source::CLSID_AsyncReader, &source_);
    if (FAILED(hr)) return hr;
    graph_->AddFilter(source_.Get(), "Source");
    auto load = source_.Query<IFileSourceFilter>();
    if (!load) return E_NOINTERFACE;
    hr = load->Load(path, nullptr);
    if (FAILED(hr)) return hr;
    graph_->AddFilter(demux_.Get(), "Splitter");
    ComPtr<IPin> out = FirstPin(source_.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> in = FirstPin(demux_.Get(), PINDIR_INPUT);
    if (!out || !in) return E_UNEXPECTED;
    hr = graph_->ConnectDirect(out.Get(), in.Get(), nullptr);
    if (FAILED(hr)) return hr;
  }
  for (const auto& pin : OutputPins(demux_.Get())) {
    auto type = FirstMediaType(pin.Get());
    if (!type) continue;
    if (video && !videoConnected_ && type->majortype == MEDIATYPE_Video && type->subtype != MEDIASUBTYPE_VBIV) {
      hr = ConnectChain(pin.Get(), video::CLSID_KavelloVideoDecoder, videoRenderer_.Get(), "Video");
      if (FAILED(hr)) return hr;
      videoConnected_ = true;
    } else if (audio && !audioConnected_ && type->majortype == MEDIATYPE_Audio) {
      hr = ConnectChain(pin.Get(), audiodec::CLSID_KavelloAudioDecoder, audioRenderer_.Get(), "Audio");
      if (FAILED(hr)) return hr;
      audioConnected_ = true;
    }
  }
  return videoConnected_ || audioConnected_ ? S_OK : VFW_E_CANNOT_RENDER;
}

HRESULT TClipGraph::ConnectChain(IPin* out, const CLSID& decoder, TRecordingRenderer* renderer, const std::string& name) {
  ComPtr<IBaseFilter> dec;
  HRESULT hr = CoCreateInstance(decoder, &dec);
  if (FAILED(hr)) return hr;
  graph_->AddFilter(dec.Get(), name + " Decoder");
  graph_->AddFilter(renderer, name + " Renderer");
  ComPtr<IPin> decIn = FirstPin(dec.Get(), PINDIR_INPUT);
  ComPtr<IPin> decOut = FirstPin(dec.Get(), PINDIR_OUTPUT);
  ComPtr<IPin> rendIn = FirstPin(renderer, PINDIR_INPUT);
  hr = graph_->ConnectDirect(out, decIn.Get(), nullptr);
  if (FAILED(hr)) return hr;
  return graph_->ConnectDirect(decOut.Get(), rendIn.Get(), nullptr);
}

std::vector<std::string> TClipGraph::OutputPinNames() {
  std::vector<std::string> names;
  if (!demux_) return names;
  for (const auto& pin : OutputPins(demux_.Get())) {
    PIN_INFO info;
    if (SUCCEEDED(pin->QueryPinInfo(&info))) names.push_back(info.achName);
  }
  return names;
}

std::vector<MediaType> TClipGraph::OutputTypes() {
  std::vector<MediaType> types;
  if (!demux_) return types;
  for (const auto& pin : OutputPins(demux_.Get()))
    if (auto type = FirstMediaType(pin.Get())) types.push_back(*type);
  return types;
}

HRESULT TClipGraph::RunToEnd(int32_t timeoutMs, int32_t* code) {
  *code = 0;
  auto filter = graph_.Query<IMediaFilter>();
  auto control = graph_.Query<IMediaControl>();
  auto events = graph_.Query<IMediaEvent>();
  if (!filter || !control || !events) return E_NOINTERFACE;
  filter->SetSyncSource(nullptr);
  HRESULT hr = control->Run();
  if (FAILED(hr)) return hr;
  return events->WaitForCompletion(timeoutMs, code);
}

HRESULT TClipGraph::SeekAndRunToEnd(REFERENCE_TIME time, bool keyFrame, int32_t timeoutMs, int32_t* code) {
  *code = 0;
  PauseAndWait(timeoutMs);
  videoRenderer_->Clear();
  audioRenderer_->Clear();
  const HRESULT hr = Seek(time, keyFrame);
  if (FAILED(hr)) return hr;
  return RunToEnd(timeoutMs, code);
}

HRESULT TClipGraph::PauseAndWait(int32_t timeoutMs) {
  auto control = graph_.Query<IMediaControl>();
  if (!control) return E_NOINTERFACE;
  const HRESULT hr = control->Pause();
  if (FAILED(hr)) return hr;
  OAFilterState state = 0;
  return control->GetState(timeoutMs, &state);
}

HRESULT TClipGraph::Seek(REFERENCE_TIME time, bool keyFrame) {
  auto seeking = graph_.Query<IMediaSeeking>();
  if (!seeking) return E_NOINTERFACE;
  const uint32_t flags = AM_SEEKING_AbsolutePositioning | (keyFrame ? AM_SEEKING_SeekToKeyFrame : 0);
  return seeking->SetPositions(&time, flags, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT TClipGraph::Stop() {
  auto control = graph_.Query<IMediaControl>();
  return control ? control->Stop() : E_NOINTERFACE;
}

std::string TClipGraph::DrainEvents() {
  std::string text;
  auto events = graph_.Query<IMediaEvent>();
  if (!events) return text;
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    text += "code " + std::to_string(code);
    if (code == EC_ERRORABORTEX && p2) {
      const auto* error = reinterpret_cast<const TEventErrorText*>(p2);
      text += " " + HResultText(static_cast<HRESULT>(p1)) + ": " + error->userText + " / " + error->detail;
    }
    text += "; ";
    events->FreeEventParams(code, p1, p2);
  }
  return text;
}

REFERENCE_TIME TClipGraph::Duration() {
  auto seeking = graph_.Query<IMediaSeeking>();
  int64_t d = 0;
  if (seeking) seeking->GetDuration(&d);
  return d;
}

}  // namespace kv::testing
