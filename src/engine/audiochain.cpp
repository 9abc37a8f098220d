// The audio chain: decoder choice, renderer choice, linking, separate audio files, streams.
#include "debugsup/debugsup.h"
#include "engine/contrl.h"
#include "engine/open_scan.h"

namespace kv {

// The renderer for the audio about to be connected. *needed tells whether a missing
// AudioRenderer afterwards means failure (false in External-to-DV mode with a DV encoder,
// where the chain ends in the DV multiplexer). Returns whether a renderer exists or is not
// needed.
bool TCOMPlay::ChooseAudioRenderer(bool* needed) {
  *needed = true;
  if (AudioRendererName == "External to DV") {
    if (DVEncoder) {
      *needed = false;
      return true;
    }
    CreateAudioRenderer("Default WaveOut Device");
  } else if (AudioCodec == "Dolby AC3" && AC3WaveOut) {
    CreateAudioRenderer("Default WaveOut Device");
  } else {
    CreateAudioRenderer(AudioRendererName);
  }
  return AudioRenderer != nullptr;
}

bool TCOMPlay::HandleAudioPin(TOpenScan& scan, IPin* pin, int index, const MediaType& mt) {
  std::string name;
  PIN_INFO info;
  if (SUCCEEDED(pin->QueryPinInfo(&info))) {
    name = StreamName(info.achName);
    AudioStreams.push_back(name);
  }
  if (scan.audioConnected || scan.audioImpossible) return true;
  ReadAudioFormat(mt);
  if (NullRenderers) {
    AudioFileName = scan.fileName;
    AudioStreamName = name;
    AudioStreamIndex = index;
    scan.audioConnected = true;
    return true;
  }
  if (!FindAudioDecoder(mt, AudioDecoder)) return true;
  if (!AudioRenderer) {
    bool needed = true;
    if (!ChooseAudioRenderer(&needed)) {
      if (AudioRendererName == "External to DV") return false;  // stop: the graph stays as it is
      // No audio output can be made on this machine (no sound server, no device): the
      // picture plays without sound rather than refusing the whole file.
      Debug.TextOut("Cannot initialize audio renderer " + AudioRendererName + ", playing without sound");
      RemoveFromGraph(AudioDecoder);
      scan.audioImpossible = true;
      return true;
    }
  }
  if (StatisticsWanted && !AudioStatFilter && container_ && container_->Statistics) {
    AudioStatFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, "Statistics Filter");
    if (AudioStatFilter && SUCCEEDED(AudioStatFilter.As(&AudioStat)) && AudioStatCallback)
      AudioStat->SetSampleCallback(AudioStatCallback);
  }
  CreatePluginFilters(AudioFilterChain, AudioPlugins);
  if (ConnectAudioChain(pin)) {
    AudioFileName = scan.fileName;
    AudioStreamName = name;
    AudioStreamIndex = index;
    AudioOutPin = pin;
    scan.audioConnected = true;
  } else {
    // The next pin brings its own decoder; this one would stay behind unconnected.
    RemoveFromGraph(AudioDecoder);
  }
  return true;
}

bool TCOMPlay::FindAudioDecoder(const MediaType& mt, ComPtr<IBaseFilter>& decoder) {
  for (const auto& e : AudioDecoders) {
    if (e->Format != mt.subtype) continue;
    if (e->DecoderGUID == GUID_NULL) {
      decoder = nullptr;
      return true;
    }
    decoder = CreateFilter(e->DecoderGUID, e->DecoderName);
    if (decoder) return true;
    decoder = FindCategoryFilter(CLSID_LegacyAmFilterCategory, e->DecoderName);
    if (decoder) return true;
  }
  return false;
}

bool TCOMPlay::ConnectAudioChain(IPin* pin) {
  if (!pin || !Graph) return false;
  ComPtr<IPin> out = pin;
  if (AudioStatFilter) {
    ComPtr<IPin> in = FindPin(AudioStatFilter.Get(), PINDIR_INPUT, 0);
    if (in && SUCCEEDED(Graph->ConnectDirect(out.Get(), in.Get(), nullptr)))
      out = FindPin(AudioStatFilter.Get(), PINDIR_OUTPUT, 0);
    else
      ShowError("Cannot connect audio statistics filter, skipping");
  }
  if (AudioDecoder) {
    ComPtr<IPin> in = FindPin(AudioDecoder.Get(), PINDIR_INPUT, 0);
    if (!in) {
      DisconnectAudioChain();
      return false;
    }
    if (!out || FAILED(Graph->ConnectDirect(out.Get(), in.Get(), nullptr))) {
      ShowError("Cannot connect audio decoder");
      DisconnectAudioChain();
      return false;
    }
    out = FindPin(AudioDecoder.Get(), PINDIR_OUTPUT, 0);
  }
  // A slot whose filter was not found stays empty; the plug-ins after it are still chained.
  for (int i = 0; i < 5 && out; ++i) {
    if (!AudioPlugins[i]) continue;
    ComPtr<IPin> in = FindPin(AudioPlugins[i].Get(), PINDIR_INPUT, 0);
    if (in && SUCCEEDED(Graph->ConnectDirect(out.Get(), in.Get(), nullptr)))
      out = FindPin(AudioPlugins[i].Get(), PINDIR_OUTPUT, 0);
    else
      Debug.TextOut("Cannot connect \"" + AudioFilterChain[i].Name + "\"(" + std::to_string(i + 1) + ") filter");
  }
  if (!out) {
    DisconnectAudioChain();
    return false;
  }
  ComPtr<IPin> target;
  if (AudioRenderer) target = FindPin(AudioRenderer.Get(), PINDIR_INPUT, 0);
  else if (DVEncoder && VideoRenderer) target = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 1);
  if (!target) return false;
  if (SUCCEEDED(Graph->Connect(out.Get(), target.Get()))) return true;
  ShowError("Cannot connect audio renderer");
  DisconnectAudioChain();
  return false;
}

void TCOMPlay::DisconnectAudioChain() {
  DisconnectFilter(AudioRenderer.Get());
  for (auto& f : AudioPlugins) DisconnectFilter(f.Get());
  DisconnectFilter(AudioDecoder.Get());
  DisconnectFilter(AudioStatFilter.Get());
}

void TCOMPlay::OpenAudio(const std::string& fileName) {
  if (fileName == AudioFileName) return;
  const std::string ext = FileExtension(fileName);
  if (ext.empty()) return;
  const int32_t position = GetPosition();
  if ((State == psRunning || State == psPaused) && MediaControl) MediaControl->Stop();
  DisconnectAudioChain();
  RemoveFromGraph(AudioDecoder);
  if (AudioSplitterFilter) {
    ComPtr<IPin> in = FindPin(AudioSplitterFilter.Get(), PINDIR_INPUT, 0);
    ComPtr<IPin> peer;
    if (in && in->ConnectedTo(peer.Put()) == S_OK && Graph) {
      Graph->Disconnect(in.Get());
      Graph->Disconnect(peer.Get());
    }
    RemoveFromGraph(AudioSplitterFilter);
  }
  if (AudioSourceFilter) RemoveFromGraph(AudioSourceFilter);
  AudioFileName.clear();
  AudioStreams.clear();
  AudioStreamIndex = -1;
  AudioStreamName.clear();
  AudioOutPin = nullptr;

  IBaseFilter* demux = nullptr;
  TAudioExit exit = TAudioExit::None;
  if (fileName == FileName) demux = SplitterFilter ? SplitterFilter.Get() : SourceFilter.Get();
  else exit = OpenAudioFile(fileName, ext, &demux);
  if (exit == TAudioExit::None) exit = ConnectFirstAudioPin(demux, fileName);
  if (exit == TAudioExit::Plain) return;  // the graph stays stopped
  if (exit == TAudioExit::Failure) {
    DisconnectAudioChain();
    ResumeState();
    return;
  }
  ChooseSyncSource();
  SetPosition(position);
  ResumeState();
}

// The container search of OpenAudio over the audio containers, then the video ones: source
// "Audio Source" and splitter "Audio splitter" of the first entry that loads and links.
TCOMPlay::TAudioExit TCOMPlay::OpenAudioFile(const std::string& fileName, const std::string& ext,
                                            IBaseFilter** demux) {
  std::vector<const TContainerDesc*> list;
  for (const auto& c : AudioContainers) list.push_back(c.get());
  for (const auto& c : VideoContainers) list.push_back(c.get());
  size_t p = 0;
  for (;;) {
    const TContainerDesc* c = nullptr;
    while (p < list.size() && !c) {
      if (list[p]->Extension.find(ext) != std::string::npos) c = list[p];
      ++p;
    }
    if (!c) {
      ShowError("Unknown media type");
      return TAudioExit::Failure;
    }
    if (c->SourceGUID != GUID_NULL) AudioSourceFilter = CreateFilter(c->SourceGUID, "Audio Source");
    if (!AudioSourceFilter) AudioSourceFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, c->SourceName);
    if (!AudioSourceFilter) {
      ShowError("Cannot find source filter");
      continue;
    }
    ComPtr<IFileSourceFilter> fileSource;
    if (FAILED(AudioSourceFilter.As(&fileSource))) return TAudioExit::Failure;
    if (FAILED(fileSource->Load(fileName, nullptr))) {
      RemoveFromGraph(AudioSourceFilter);
      return TAudioExit::Failure;
    }
    if (c->SourceIsSplitter) {
      *demux = AudioSourceFilter.Get();
      return TAudioExit::None;
    }
    if (c->SplitterGUID != GUID_NULL) AudioSplitterFilter = CreateFilter(c->SplitterGUID, "Audio splitter");
    if (!AudioSplitterFilter) AudioSplitterFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, c->SplitterName);
    if (!AudioSplitterFilter) {
      RemoveFromGraph(AudioSourceFilter);
      continue;
    }
    ComPtr<IPin> out = FindPin(AudioSourceFilter.Get(), PINDIR_OUTPUT, 0);
    ComPtr<IPin> in = FindPin(AudioSplitterFilter.Get(), PINDIR_INPUT, 0);
    if (!out || !in) return TAudioExit::Plain;
    if (FAILED(Graph->ConnectDirect(out.Get(), in.Get(), nullptr))) {
      RemoveFromGraph(AudioSplitterFilter);
      RemoveFromGraph(AudioSourceFilter);
      continue;
    }
    *demux = AudioSplitterFilter.Get();
    return TAudioExit::None;
  }
}

// Lists every audio pin of demux in AudioStreams and connects the first one.
TCOMPlay::TAudioExit TCOMPlay::ConnectFirstAudioPin(IBaseFilter* demux, const std::string& fileName) {
  bool connected = false;
  for (int n = 0; demux; ++n) {
    ComPtr<IPin> pin = FindPin(demux, PINDIR_OUTPUT, n);
    if (!pin) break;
    std::optional<MediaType> mt = FirstMediaType(pin.Get());
    if (!mt || mt->majortype != MEDIATYPE_Audio) continue;
    PIN_INFO info;
    std::string name;
    if (SUCCEEDED(pin->QueryPinInfo(&info))) {
      name = StreamName(info.achName);
      AudioStreams.push_back(name);
    }
    if (connected) continue;
    ReadAudioFormat(*mt);
    if (!AudioRenderer) {
      bool needed = true;
      if (!ChooseAudioRenderer(&needed) && needed) {
        if (AudioRendererName == "External to DV" || NullRenderers) return TAudioExit::Plain;
        // No sound output on this machine: the picture goes on without the new sound.
        Debug.TextOut("Cannot initialize audio renderer " + AudioRendererName + ", playing without sound");
        return TAudioExit::Failure;
      }
    }
    if (!FindAudioDecoder(*mt, AudioDecoder)) {
      ShowError("Audio is in unsupported type or audio decoder is not installed");
      return TAudioExit::Failure;
    }
    if (StatisticsWanted && !AudioStatFilter) {
      AudioStatFilter = FindCategoryFilter(CLSID_LegacyAmFilterCategory, "Statistics Filter");
      if (AudioStatFilter && SUCCEEDED(AudioStatFilter.As(&AudioStat)) && AudioStatCallback)
        AudioStat->SetSampleCallback(AudioStatCallback);
    }
    if (ConnectAudioChain(pin.Get())) {
      AudioFileName = fileName;
      AudioStreamName = name;
      AudioStreamIndex = n;
      AudioOutPin = pin;
      connected = true;
    }
  }
  return TAudioExit::None;
}

void TCOMPlay::SelectAudioStream(const std::string& name) {
  if (name == AudioStreamName) return;
  if ((State == psRunning || State == psPaused) && MediaControl) MediaControl->Stop();
  DisconnectAudioChain();
  if (AudioDecoder) RemoveFromGraph(AudioDecoder);
  IBaseFilter* demux = nullptr;
  if (AudioSourceFilter) demux = AudioSplitterFilter ? AudioSplitterFilter.Get() : AudioSourceFilter.Get();
  else demux = SplitterFilter ? SplitterFilter.Get() : SourceFilter.Get();
  // The last fallback covers a source that splits by itself, where no splitter exists: its
  // own pins are the streams to choose from.
  if (!demux) return;
  ComPtr<IPin> found;
  std::optional<MediaType> foundType;
  int index = -1;
  for (int n = 0;; ++n) {
    ComPtr<IPin> pin = FindPin(demux, PINDIR_OUTPUT, n);
    if (!pin) break;
    std::optional<MediaType> mt = FirstMediaType(pin.Get());
    if (!mt) break;
    PIN_INFO info;
    if (mt->majortype == MEDIATYPE_Audio && SUCCEEDED(pin->QueryPinInfo(&info)) &&
        StreamName(info.achName) == name) {
      found = pin;
      foundType = mt;
      index = n;
      break;
    }
  }
  if (found) {
    if (!FindAudioDecoder(*foundType, AudioDecoder)) {
      ShowError("Audio is in unsupported type or audio decoder is not installed");
      DisconnectAudioChain();
      ResumeState();
      return;
    }
    ReadAudioFormat(*foundType);
    if (ConnectAudioChain(found.Get())) {
      AudioStreamName = name;
      AudioStreamIndex = index;
      AudioOutPin = found;
    }
  }
  ChooseSyncSource();
  ResumeState();
}

void TCOMPlay::RerenderAudio(const TFiltersInChain& chain) {
  AudioFilterChain = chain;
  if (!AudioOutPin) return;
  if ((State == psRunning || State == psPaused) && MediaControl) MediaControl->Stop();
  DisconnectAudioChain();
  CreatePluginFilters(AudioFilterChain, AudioPlugins);
  if (ConnectAudioChain(AudioOutPin.Get())) ResumeState();
  else ShowError("Cannot rerender audio stream due to incompatible filters or renderer");
}

}  // namespace kv
