#include "play_graph.h"

#include <algorithm>
#include <cctype>

#include "filters/audio/audio_devices.h"
#include "filters/demux/container_families.h"
#include "filters/module_ffmpeg/module_ffmpeg.h"
#include "filters/render/render_registration.h"
#include "filters/render/renderer_interfaces.h"
#include "platform/com/class_registry.h"
#include "platform/graph/filter_graph.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/renderer_base.h"

namespace kv::bench {

namespace {

constexpr CLSID KClsidAsyncReader = GuidLiteral("{E436EBB5-524F-11CE-9F53-0020AF0BA770}");
constexpr CLSID KClsidVideoDecoder = GuidLiteral("{B09407A6-CF2C-4252-8ACD-D89564BEE830}");
constexpr CLSID KClsidAudioDecoder = GuidLiteral("{D31F000E-523A-4EC7-B5BC-EE263BFABC84}");

std::vector<ComPtr<IPin>> Pins(IBaseFilter* filter, PIN_DIRECTION direction) {
  std::vector<ComPtr<IPin>> result;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return result;
  IPin* pin = nullptr;
  ULONG fetched = 0;
  while (pins->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
    ComPtr<IPin> owned;
    owned.Attach(pin);
    PIN_DIRECTION dir;
    owned->QueryDirection(&dir);
    if (dir == direction) result.push_back(owned);
  }
  return result;
}

ComPtr<IBaseFilter> Add(IGraphBuilder* graph, const CLSID& clsid, const std::string& name) {
  ComPtr<IBaseFilter> filter;
  if (FAILED(CoCreateInstance(clsid, &filter))) return nullptr;
  if (FAILED(graph->AddFilter(filter.Get(), name))) return nullptr;
  return filter;
}

CLSID SplitterFor(const std::string& file) {
  std::string ext = file.substr(file.find_last_of('.') + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == "mkv" || ext == "webm") return demux::CLSID_KavelloMatroskaSplitter;
  if (ext == "avi") return demux::CLSID_KavelloAviSplitter;
  if (ext == "mpg" || ext == "mpeg") return demux::CLSID_KavelloMpegSplitter;
  if (ext == "ts") return demux::CLSID_KavelloMpegTsSplitter;
  return demux::CLSID_KavelloMp4Splitter;
}

}  // namespace

bool TPlayGraph::Build(const std::string& file, video::TSurfaceHandle surface) {
  CoInitialize();
  filters::RegisterFfmpegFilters();
  render::RegisterRenderFilters(ClassRegistry());
  audio::RegisterAudioFilters(ClassRegistry());
  Graph = CreateFilterGraph();
  Graph->QueryInterface(IMediaControl::kIid, Control.PutVoid());
  Graph->QueryInterface(IMediaEventEx::kIid, Events.PutVoid());

  ComPtr<IBaseFilter> source = Add(Graph.Get(), KClsidAsyncReader, "Source");
  ComPtr<IFileSourceFilter> load;
  if (!source || FAILED(source->QueryInterface(IFileSourceFilter::kIid, load.PutVoid())) ||
      FAILED(load->Load(file, nullptr))) {
    Error = "cannot open " + file;
    return false;
  }
  ComPtr<IBaseFilter> splitter = Add(Graph.Get(), SplitterFor(file), "Splitter");
  if (!splitter || FAILED(Graph->ConnectDirect(Pins(source.Get(), PINDIR_OUTPUT).at(0).Get(),
                                               Pins(splitter.Get(), PINDIR_INPUT).at(0).Get(), nullptr))) {
    Error = "the splitter refuses " + file;
    return false;
  }
  bool haveVideo = false, haveAudio = false;
  for (const ComPtr<IPin>& out : Pins(splitter.Get(), PINDIR_OUTPUT)) {
    std::optional<MediaType> type = FirstMediaType(out.Get());
    if (!type) continue;
    if (type->majortype == MEDIATYPE_Video && !haveVideo) {
      ComPtr<IBaseFilter> decoder = Add(Graph.Get(), KClsidVideoDecoder, "Video decoder");
      VideoRenderer = Add(Graph.Get(), render::KClsidVideoRenderer, "Video Renderer");
      if (!decoder || !VideoRenderer ||
          FAILED(Graph->ConnectDirect(out.Get(), Pins(decoder.Get(), PINDIR_INPUT).at(0).Get(), nullptr)) ||
          FAILED(Graph->Connect(Pins(decoder.Get(), PINDIR_OUTPUT).at(0).Get(),
                                Pins(VideoRenderer.Get(), PINDIR_INPUT).at(0).Get()))) {
        Error = "the video chain does not connect";
        return false;
      }
      ComPtr<IVideoWindow> window;
      VideoRenderer->QueryInterface(IVideoWindow::kIid, window.PutVoid());
      window->put_AutoShow(OAFALSE);
      window->put_Owner(static_cast<OAHWND>(surface));
      if (std::shared_ptr<video::IVideoSurface> s = video::FindSurface(surface))
        window->SetWindowPosition(0, 0, s->Width(), s->Height());
      window->put_Visible(OATRUE);
      haveVideo = true;
    } else if (type->majortype == MEDIATYPE_Audio && !haveAudio) {
      ComPtr<IBaseFilter> decoder = Add(Graph.Get(), KClsidAudioDecoder, "Audio decoder");
      AudioRenderer = Add(Graph.Get(), audio::KClsidDSoundRender, "Audio renderer");
      if (!decoder || !AudioRenderer ||
          FAILED(Graph->ConnectDirect(out.Get(), Pins(decoder.Get(), PINDIR_INPUT).at(0).Get(), nullptr)) ||
          FAILED(Graph->Connect(Pins(decoder.Get(), PINDIR_OUTPUT).at(0).Get(),
                                Pins(AudioRenderer.Get(), PINDIR_INPUT).at(0).Get()))) {
        Error = "the audio chain does not connect";
        return false;
      }
      haveAudio = true;
    }
  }
  if (!haveVideo) {
    Error = "no video stream";
    return false;
  }
  Graph->SetDefaultSyncSource();
  return true;
}

bool TPlayGraph::PlayToEnd(int32_t timeoutMs) {
  if (FAILED(Control->Run())) return false;
  int32_t code = 0;
  bool done = Events->WaitForCompletion(timeoutMs, &code) == S_OK && code == EC_COMPLETE;
  Control->Stop();
  return done;
}

int64_t TPlayGraph::FramesRendered() const {
  auto* renderer = dynamic_cast<TBaseRenderer*>(VideoRenderer.Get());
  return renderer ? renderer->FramesRendered() : 0;
}

int64_t TPlayGraph::FramesDropped() const {
  auto* renderer = dynamic_cast<TBaseRenderer*>(VideoRenderer.Get());
  return renderer ? renderer->FramesDropped() : 0;
}

}  // namespace kv::bench
