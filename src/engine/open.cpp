// OpenVideo: container choice, source and splitter, renderer, the two-pass pin scan.
#include "debugsup/debugsup.h"
#include "engine/contrl.h"
#include "engine/open_scan.h"
#include "platform/graph/source_stream.h"
#include "platform/heap/heap_policy.h"

namespace kv {

namespace {

// The next container from position p whose Extension holds ext; p moves past every entry
// examined. Null when none is left.
const TContainerDesc* NextContainer(const std::vector<const TContainerDesc*>& list, size_t& p,
                                    const std::string& ext) {
  while (p < list.size()) {
    const TContainerDesc* c = list[p++];
    if (c->Extension.find(ext) != std::string::npos) return c;
  }
  return nullptr;
}

}  // namespace

void TCOMPlay::FailOpen() {
  TearDownGraph();
  State = psNone;
  FileName.clear();
}

void TCOMPlay::OpenVideo(const std::string& fileName) {
  const std::string ext = FileExtension(fileName);
  if (MediaControl) MediaControl->Stop();
  SetPosition(0);
  TearDownGraph();
  // The closed file's buffers (frames, packets, decoder state) go back to the system now,
  // not when a later file happens to reuse them.
  heap::ReleaseFreeHeapMemory();

  State = psEmpty;
  FileName.clear();
  AudioFileName.clear();
  VideoStreams.clear();
  AudioStreams.clear();
  VideoStreamName.clear();
  AudioStreamName.clear();
  VideoStreamIndex = 0;
  AudioStreamIndex = -1;
  TeletextActive = TeletextShown = GrabberConnected = false;
  ClearStreamInfo();
  DisplayWidth = DisplayHeight = 0;
  VideoOutPin = nullptr;
  AudioOutPin = nullptr;
  container_ = nullptr;
  if (ext.empty()) return;  // closing: the graph is empty now

  std::vector<const TContainerDesc*> containers;
  for (const auto& c : VideoContainers) containers.push_back(c.get());
  size_t p = 0;
  for (;;) {
    const TContainerDesc* c = NextContainer(containers, p, ext);
    if (!c) {
      ShowError("Unknown media type");
      FailOpen();
      return;
    }
    switch (OpenContainer(*c, fileName)) {
      case TContainerResult::Next:
        continue;
      case TContainerResult::Fail:
        FailOpen();
        return;
      case TContainerResult::Stop:
        return;
      case TContainerResult::Done:
        break;
    }
    break;
  }

  TOpenScan scan;
  scan.fileName = fileName;
  IBaseFilter* demux = container_->SourceIsSplitter ? SourceFilter.Get() : SplitterFilter.Get();
  if (demux && !ScanPins(scan, demux)) return;

  LinkTeletext(scan, demux);
  // The analysis without pictures decodes nothing and runs unclocked: a hand-over to a pin
  // thread per packet would cost more than the work behind it, so the reader delivers.
  if (demux && NullRenderers && !ImageAnalysisWanted) {
    ComPtr<ISynchronousDelivery> synchronous;
    if (SUCCEEDED(demux->QueryInterface(ISynchronousDelivery::kIid, synchronous.PutVoid())) && synchronous)
      synchronous->SetSynchronousDelivery(true);
  }
  ReadDisplaySize(scan);
  SetupVideoWindow();
  if (!MediaEvent || FAILED(MediaEvent->SetNotifyCallback(GraphNotify))) return;  // stop: graph stays
  ChooseSyncSource();
  State = psOpened;
  FileName = fileName;
}

// Pass 1 builds the video chain from the video pins, pass 2 the audio chain from the audio
// pins. False when a pin ended the open.
bool TCOMPlay::ScanPins(TOpenScan& scan, IBaseFilter* demux) {
  for (int pass = 0; pass < 2; ++pass) {
    for (int n = 0;; ++n) {
      ComPtr<IPin> pin = FindPin(demux, PINDIR_OUTPUT, n);
      if (!pin) break;
      std::optional<MediaType> mt = FirstMediaType(pin.Get());
      if (!mt) continue;
      if (pass == 0 && mt->majortype == MEDIATYPE_Video && mt->subtype == MEDIASUBTYPE_VBIV) {
        // The teletext stream travels as video but is never the picture: it is listed with
        // the video pins and only feeds the teletext decoder (LinkTeletext).
        if (scan.vbiPin < 0) scan.vbiPin = n;
        PIN_INFO info;
        if (SUCCEEDED(pin->QueryPinInfo(&info))) VideoStreams.push_back(StreamName(info.achName));
      } else if (pass == 0 && mt->majortype == MEDIATYPE_Video) {
        if (!HandleVideoPin(scan, pin.Get(), n, *mt)) return false;
      } else if (pass == 1 && mt->majortype == MEDIATYPE_Audio) {
        if (!HandleAudioPin(scan, pin.Get(), n, *mt)) return false;
      }
    }
  }
  return true;
}

TCOMPlay::TContainerResult TCOMPlay::OpenContainer(const TContainerDesc& c, const std::string& fileName) {
  container_ = &c;
  // Source filter: by class, else by friendly name.
  SourceFilter = nullptr;
  if (c.SourceGUID != GUID_NULL) {
    SourceFilter = CreateFilterNoAdd(c.SourceGUID);
    if (SourceFilter && Graph) Graph->AddFilter(SourceFilter.Get(), "Source");  // result ignored
  }
  if (!SourceFilter) SourceFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, c.SourceName);
  if (!SourceFilter) return TContainerResult::Next;

  ComPtr<IFileSourceFilter> fileSource;
  if (FAILED(SourceFilter.As(&fileSource)) || FAILED(fileSource->Load(fileName, nullptr)))
    return TContainerResult::Fail;

  if (c.SourceIsSplitter) {
    SplitterFilter = nullptr;
  } else {
    if (c.SplitterGUID != GUID_NULL) SplitterFilter = CreateFilter(c.SplitterGUID, "Splitter");
    if (!SplitterFilter) SplitterFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, c.SplitterName);
    if (!SplitterFilter) {
      RemoveFromGraph(SourceFilter);
      return TContainerResult::Next;
    }
    ComPtr<IPin> out = FindPin(SourceFilter.Get(), PINDIR_OUTPUT, 0);
    ComPtr<IPin> in = FindPin(SplitterFilter.Get(), PINDIR_INPUT, 0);
    if (!out || !in) return TContainerResult::Stop;
    if (FAILED(Graph->ConnectDirect(out.Get(), in.Get(), nullptr))) {
      RemoveFromGraph(SplitterFilter);
      RemoveFromGraph(SourceFilter);
      return TContainerResult::Next;
    }
  }

  if (!c.RendererName.empty()) {
    if (c.RendererCategory != GUID_NULL) {
      VideoRenderer = FindCategoryFilter(c.RendererCategory, c.RendererName);
      if (!VideoRenderer) {
        RemoveFromGraph(SplitterFilter);
        RemoveFromGraph(SourceFilter);
        return TContainerResult::Next;
      }
    } else if (c.RendererGUID != GUID_NULL) {
      VideoRenderer = CreateFilterNoAdd(c.RendererGUID);
      if (!VideoRenderer) return TContainerResult::Stop;
      if (FAILED(Graph->AddFilter(VideoRenderer.Get(), "Video Renderer"))) {
        VideoRenderer = nullptr;
        RemoveFromGraph(SplitterFilter);
        RemoveFromGraph(SourceFilter);
        return TContainerResult::Next;
      }
    }
  } else if (!CreateVideoRenderer(VideoRendererName)) {
    return TContainerResult::Stop;
  }
  return TContainerResult::Done;
}

}  // namespace kv
