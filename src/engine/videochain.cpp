// The video chain: decoder search, filter-by-filter linking, plug-ins, teletext, rerender.
#include "debugsup/debugsup.h"
#include "engine/contrl.h"
#include "engine/open_scan.h"

namespace kv {

namespace {

const char* const kMixingRenderers[] = {"Video Mixing Renderer 7", "Overlay mixer", "Overlay mixer 2",
                                        "Video Mixing Renderer 9"};

// IDVEnc resolution codes.
constexpr int32_t DVENCODERVIDEOFORMAT_NTSC = 2000;
constexpr int32_t DVENCODERVIDEOFORMAT_PAL = 2001;
constexpr int32_t DVENCODERFORMAT_DVSD = 2007;
constexpr int32_t DVENCODERRESOLUTION_720x480 = 2012;

}  // namespace

bool TCOMPlay::HandleVideoPin(TOpenScan& scan, IPin* pin, int index, const MediaType& mt) {
  PIN_INFO info;
  if (SUCCEEDED(pin->QueryPinInfo(&info))) {
    VideoStreams.push_back(StreamName(info.achName));
    scan.pinName = VideoStreams.back();
  }
  if (scan.videoConnected || !VideoRenderer) return true;

  const bool decode = !(NullRenderers && !ImageAnalysisWanted);
  size_t position = 0;
  for (;;) {
    if (decode && !FindVideoDecoder(position, mt, VideoDecoder)) {
      ShowError("Video is in unsupported type or video decoder is not installed");
      FailOpen();
      return false;
    }
    ReadVideoFormat(mt);
    if (!VideoStatFilter && (NullRenderers || (StatisticsWanted && container_ && container_->Statistics))) {
      VideoStatFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, "Statistics Filter");
      if (VideoStatFilter && SUCCEEDED(VideoStatFilter.As(&VideoStat)) && VideoStatCallback)
        VideoStat->SetSampleCallback(VideoStatCallback);
    }
    CreatePluginFilters(VideoFilterChain, VideoPlugins);
    if (StatisticsWanted && ImageAnalysisWanted && !ImageStatFilter) {
      ImageStatFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, "Statistics Filter");
      if (ImageStatFilter && SUCCEEDED(ImageStatFilter.As(&ImageStat)) && ImageStatCallback)
        ImageStat->SetImageCallback(ImageStatCallback);
    }
    if (CaptureEnabled && !NullRenderers && !(mt.subtype == MEDIASUBTYPE_dvsd && DVEncoder)) {
      // A retry makes a fresh grabber; the one of the refused attempt leaves the graph so
      // that no unconnected grabber stays behind.
      RemoveFromGraph(FrameGrabber);
      FrameGrabber = CreateFilter(CLSID_FrameGrabber, "Video Frame Grabber");
    }
    if (ConnectVideoChain(pin)) {
      VideoStreamName = scan.pinName;
      scan.videoConnected = true;
      VideoOutPin = pin;
      return true;
    }
    RemoveFromGraph(VideoDecoder);
    if (!decode) return true;
  }
}

bool TCOMPlay::FindVideoDecoder(size_t& position, const MediaType& mt, ComPtr<IBaseFilter>& decoder) {
  while (position < VideoDecoders.size()) {
    const TDecoderDesc& e = *VideoDecoders[position];
    if (e.Format == mt.subtype) {
      if (e.DecoderGUID == GUID_NULL) return false;
      decoder = CreateFilter(e.DecoderGUID, e.DecoderName);
      if (!decoder) decoder = FindCategoryFilter(CLSID_LegacyAmFilterCategory, e.DecoderName);
      if (decoder) {
        ++position;
        return true;
      }
    }
    ++position;
  }
  return false;
}

// Links `filter` after *out and moves *out to its output pin. 1 linked, 0 refused (out
// unchanged), -1 the filter has no input pin.
int TCOMPlay::LinkAfter(ComPtr<IPin>* out, IBaseFilter* filter) {
  ComPtr<IPin> in = FindPin(filter, PINDIR_INPUT, 0);
  if (!in) return -1;
  if (!*out || FAILED(Graph->ConnectDirect(out->Get(), in.Get(), nullptr))) return 0;
  *out = FindPin(filter, PINDIR_OUTPUT, 0);
  return 1;
}

bool TCOMPlay::ConnectVideoChain(IPin* pin) {
  if (!pin || !Graph) return false;
  ComPtr<IPin> out = pin;
  if (LinkVideoFront(&out) && LinkVideoBack(&out)) return true;
  DisconnectVideoChain();
  return false;
}

// Statistics on the compressed stream, decoder, plug-ins.
bool TCOMPlay::LinkVideoFront(ComPtr<IPin>* out) {
  if (VideoStatFilter) {
    int r = LinkAfter(out, VideoStatFilter.Get());
    if (r < 0) return false;
    if (r == 0) Debug.TextOut("Cannot connect statistics filter, skipping");
  }
  if (VideoDecoder) {
    int r = LinkAfter(out, VideoDecoder.Get());
    if (r < 0) return false;
    if (r == 0) {
      Debug.TextOut("Cannot connect video decoder");
      return false;
    }
  }
  // A slot whose filter was not found stays empty; the plug-ins after it are still chained.
  for (int i = 0; i < 5 && *out; ++i) {
    if (!VideoPlugins[i]) continue;
    if (LinkAfter(out, VideoPlugins[i].Get()) != 1)
      Debug.TextOut("Cannot connect \"" + VideoFilterChain[i].Name + "\"(" + std::to_string(i + 1) + ") filter");
  }
  return *out != nullptr;
}

// Statistics on the picture, grabber, converter, DV encoder, renderer and what is behind it.
bool TCOMPlay::LinkVideoBack(ComPtr<IPin>* out) {
  if (ImageStatFilter) {
    int r = LinkAfter(out, ImageStatFilter.Get());
    if (r < 0) return false;
    if (r == 0) Debug.TextOut("Cannot connect image statistics filter, skipping");
  }
  GrabberConnected = false;
  if (FrameGrabber) {
    int r = LinkAfter(out, FrameGrabber.Get());
    if (r < 0) return false;
    GrabberConnected = r == 1;
    if (r == 0) Debug.TextOut("Cannot connect frame grabber, skipping");
  }
  if (VideoConverter) {
    int r = LinkAfter(out, VideoConverter.Get());
    if (r < 0) return false;
    if (r == 1) GrabberConnected = true;
    else Debug.TextOut("Cannot connect video converter, skipping");
  }
  if (DVEncoder) {
    if (LinkAfter(out, DVEncoder.Get()) != 1) return false;
    ComPtr<IDVEnc> enc;
    if (SUCCEEDED(DVEncoder.As(&enc)))
      enc->put_IFormatResolution(DVNTSC ? DVENCODERVIDEOFORMAT_NTSC : DVENCODERVIDEOFORMAT_PAL,
                                 DVENCODERFORMAT_DVSD, DVENCODERRESOLUTION_720x480, false, nullptr);
  }
  if (!*out || !VideoRenderer) return false;
  int r = LinkAfter(out, VideoRenderer.Get());
  if (r == 0) Debug.TextOut("Cannot connect video renderer");
  if (r != 1) return false;
  if (VideoRendererTail) {
    ComPtr<IPin> rOut = FindPin(VideoRenderer.Get(), PINDIR_OUTPUT, 0);
    ComPtr<IPin> tIn = FindPin(VideoRendererTail.Get(), PINDIR_INPUT, 0);
    if (!rOut || !tIn) return false;
    if (FAILED(Graph->ConnectDirect(rOut.Get(), tIn.Get(), nullptr))) {
      Debug.TextOut("Cannot connect video renderer");
      return false;
    }
  }
  return true;
}

void TCOMPlay::DisconnectVideoChain() {
  for (IBaseFilter* f : {VideoRendererTail.Get(), VideoRenderer.Get(), DVEncoder.Get(), FrameGrabber.Get(),
                         VideoDecoder.Get()})
    DisconnectFilter(f);
  for (auto& f : VideoPlugins) DisconnectFilter(f.Get());
  for (IBaseFilter* f : {VideoStatFilter.Get(), ImageStatFilter.Get(), VideoConverter.Get()}) DisconnectFilter(f);
}

void TCOMPlay::RemovePluginFilters(TBaseFilters& filters) {
  for (auto& f : filters)
    if (f) RemoveFromGraph(f);
}

void TCOMPlay::CreatePluginFilters(const TFiltersInChain& chain, TBaseFilters& filters) {
  RemovePluginFilters(filters);
  for (int i = 0; i < 5 && !chain[i].FileName.empty(); ++i) {
    filters[i] = FindCategoryFilter(CLSID_LegacyAmFilterCategory, chain[i].Name);
    if (!filters[i]) ShowError("Filter \"" + chain[i].Name + "\" not found, skipping");
  }
}

void TCOMPlay::LinkTeletext(const TOpenScan& scan, IBaseFilter* demux) {
  if (scan.vbiPin < 0 || !scan.videoConnected || NullRenderers) return;
  bool mixing = false;
  for (const char* name : kMixingRenderers) mixing |= VideoRendererName == name;
  if (!mixing) {
    Debug.TextOut("Teletext off: \"" + VideoRendererName + "\" cannot mix a second picture");
    return;
  }
  TeletextDecoder = CreateFilter(CLSID_TeletextDecoder, "Teletext decoder");
  if (!TeletextDecoder) return;
  ComPtr<IPin> vbi = FindPin(demux, PINDIR_OUTPUT, scan.vbiPin);
  ComPtr<IPin> in = FindPin(TeletextDecoder.Get(), PINDIR_INPUT, 0);
  ComPtr<IPin> out = FindPin(TeletextDecoder.Get(), PINDIR_OUTPUT, 0);
  ComPtr<IPin> second = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 1);
  if (vbi && in && out && second && SUCCEEDED(Graph->ConnectDirect(vbi.Get(), in.Get(), nullptr)) &&
      SUCCEEDED(Graph->ConnectDirect(out.Get(), second.Get(), nullptr))) {
    TeletextActive = true;
    if (SUCCEEDED(TeletextDecoder.As(&Teletext))) {
      Teletext->ShowTeletext(0);
      // A new decoder starts opaque; it follows the transparency the user chose before.
      if (TeletextTransparent) Teletext->SetTransparent(1);
    }
    return;
  }
  DisconnectFilter(TeletextDecoder.Get());
  RemoveFromGraph(TeletextDecoder);
}

void TCOMPlay::ReadDisplaySize(const TOpenScan& scan) {
  DisplayWidth = VideoWidth;
  DisplayHeight = VideoHeight;
  if (NullRenderers || !scan.videoConnected || DVEncoder || !Graph) return;
  ComPtr<IBasicVideo> video;
  int32_t w = 0, h = 0;
  if (SUCCEEDED(Graph.As(&video)) && SUCCEEDED(video->get_VideoWidth(&w)) && SUCCEEDED(video->get_VideoHeight(&h))) {
    DisplayWidth = w;
    DisplayHeight = h;
  }
}

void TCOMPlay::RerenderVideo(const TFiltersInChain& chain) {
  VideoFilterChain = chain;
  if (!VideoOutPin) return;
  if ((State == psRunning || State == psPaused) && MediaControl) MediaControl->Stop();
  DisconnectVideoChain();
  CreatePluginFilters(VideoFilterChain, VideoPlugins);
  if (ConnectVideoChain(VideoOutPin.Get())) {
    SetupVideoWindow();
    // A plug-in may have changed the picture's size (a quarter turn): the window follows it.
    int32_t w = 0, h = 0;
    if (BasicVideo && SUCCEEDED(BasicVideo->get_VideoWidth(&w)) && SUCCEEDED(BasicVideo->get_VideoHeight(&h)) &&
        w > 0 && h > 0) {
      DisplayWidth = w;
      DisplayHeight = h;
    }
    ResumeState();
  } else {
    ShowError("Cannot rerender video stream due to incompatible filters or renderer");
  }
}

void TCOMPlay::ResumeState() {
  if (!MediaControl) return;
  if (State == psRunning) MediaControl->Run();
  else if (State == psPaused) MediaControl->Pause();
}

}  // namespace kv
