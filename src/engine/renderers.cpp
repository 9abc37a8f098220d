// Renderer construction, renderer changes, the video window and the reference clock.
#include <strings.h>

#include <algorithm>

#include "debugsup/debugsup.h"
#include "engine/contrl.h"

namespace kv {

namespace {

constexpr int32_t WS_CHILD = 0x40000000;
constexpr int32_t WM_ERASEBKGND = 20;

bool Listed(const std::vector<std::string>& list, const std::string& name) {
  for (const auto& entry : list)
    if (strcasecmp(entry.c_str(), name.c_str()) == 0) return true;
  return false;
}

}  // namespace

bool TCOMPlay::CreateVideoRenderer(const std::string& name) {
  if (NullRenderers) {
    VideoRenderer = CreateFilter(CLSID_NullRenderer, "Null Video Renderer");
    return VideoRenderer != nullptr;
  }
  if (name == "Video Renderer") {
    VideoRenderer = CreateFilter(CLSID_VideoRenderer, "Video Renderer");
    return VideoRenderer != nullptr;
  }
  if (name == "Overlay mixer" || name == "Overlay mixer 2") {
    VideoRendererTail = CreateFilter(CLSID_VideoRenderer, "Video Renderer");
    if (!VideoRendererTail) return false;
    VideoRenderer = CreateFilter(name == "Overlay mixer" ? CLSID_OverlayMixer : CLSID_OverlayMixer2, name);
    return VideoRenderer != nullptr;
  }
  if (name == "Video Mixing Renderer 7") {
    VideoRenderer = CreateFilter(CLSID_VideoMixingRenderer, name);
    if (!VideoRenderer) return false;
    ComPtr<IVMRFilterConfig> config;
    if (SUCCEEDED(VideoRenderer.As(&config))) {
      config->SetNumberOfStreams(2);
      config->SetRenderingMode(1);
    }
    ComPtr<IVMRAspectRatioControl> aspect;
    if (SUCCEEDED(VideoRenderer.As(&aspect))) aspect->SetAspectRatioMode(0);
    return true;
  }
  if (name == "Video Mixing Renderer 9") {
    VideoRenderer = CreateFilter(CLSID_VideoMixingRenderer9, name);
    if (!VideoRenderer) return false;
    ComPtr<IVMRFilterConfig9> config;
    if (SUCCEEDED(VideoRenderer.As(&config))) {
      config->SetNumberOfStreams(2);
      config->SetRenderingMode(1);
    }
    ComPtr<IVMRAspectRatioControl9> aspect;
    if (SUCCEEDED(VideoRenderer.As(&aspect))) aspect->SetAspectRatioMode(0);
    return true;
  }
  if (name == "External to DV") {
    VideoRendererTail = FindCategoryFilter(CLSID_VideoInputDeviceCategory, "Microsoft DV Camera and VCR");
    if (!VideoRendererTail) return false;
    VideoRenderer = CreateFilter(CLSID_DVMux, "DV Muxer");
    if (!VideoRenderer) {
      RemoveFromGraph(VideoRendererTail);
      return false;
    }
    DVEncoder = CreateFilter(CLSID_DVVideoEnc, "DV Video Encoder");
    if (!DVEncoder) {
      RemoveFromGraph(VideoRendererTail);
      RemoveFromGraph(VideoRenderer);
      return false;
    }
    return true;
  }
  if (name == "DScaler Renderer") {
    VideoRenderer = FindCategoryFilter(CLSID_LegacyAmFilterCategory, name);
    return VideoRenderer != nullptr;
  }
  return false;
}

bool TCOMPlay::CreateAudioRenderer(const std::string& name) {
  if (AudioRendererNames.empty()) return false;
  size_t i = 0;
  for (size_t k = 0; k < AudioRendererNames.size(); ++k)
    if (strcasecmp(AudioRendererNames[k].c_str(), name.c_str()) == 0) {
      i = k;
      break;
    }
  if (NullRenderers) return CreateFilter(CLSID_NullRenderer, "Null Audio Renderer") != nullptr;
  if (i < AudioDevices.size() && AudioDevices[i].Moniker) {
    ComPtr<IBaseFilter> filter;
    if (AudioDevices[i].Moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()) == S_OK &&
        filter) {
      AudioRenderer = filter;
      if (Graph && SUCCEEDED(Graph->AddFilter(AudioRenderer.Get(), "Audio renderer"))) {
        ActiveAudioRenderer = name;
        return true;
      }
      AudioRenderer = nullptr;
      return false;
    }
  }
  return name == "External to DV" && VideoRenderer;
}

void TCOMPlay::ChangeVideoRenderer(const std::string& name) {
  if (name == VideoRendererName || !Listed(VideoRendererNames, name)) return;
  VideoRendererName = name;
  // The graph runtime rewires only a stopped graph (a paused one refuses Disconnect, and
  // removing a filter would then stop it behind the engine's back): stop, rebuild, and put
  // back the state and position the user had.
  const TResumePoint resume = StopForRewiring();
  if (VideoRenderer) {
    ComPtr<IPin> upstream;
    ComPtr<IPin> in = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 0);
    if (in && in->ConnectedTo(upstream.Put()) == S_OK && Graph) {
      Graph->Disconnect(in.Get());
      Graph->Disconnect(upstream.Get());
    }
    RemoveDownstream(VideoRenderer.Get());
    if (VideoWindow) {
      VideoWindow->put_Visible(OAFALSE);
      VideoWindow->put_Owner(0);
      VideoWindow->put_MessageDrain(0);
    }
    RemoveFromGraph(VideoRenderer);
    if (VideoRendererTail) RemoveFromGraph(VideoRendererTail);
    if (CreateVideoRenderer(name) && upstream && Graph) {
      ComPtr<IPin> newIn = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 0);
      if (newIn && SUCCEEDED(Graph->Connect(upstream.Get(), newIn.Get())) && VideoRendererTail) {
        ComPtr<IPin> rOut = FindPin(VideoRenderer.Get(), PINDIR_OUTPUT, 0);
        ComPtr<IPin> tIn = FindPin(VideoRendererTail.Get(), PINDIR_INPUT, 0);
        if (rOut && tIn) Graph->Connect(rOut.Get(), tIn.Get());
      }
    }
  }
  SetupVideoWindow();
  ResumeAfterRewiring(resume);
}

TCOMPlay::TResumePoint TCOMPlay::StopForRewiring() {
  TResumePoint point;
  point.active = (State == psRunning || State == psPaused) && MediaControl;
  if (!point.active) return point;
  point.position = GetPosition();
  MediaControl->Stop();
  return point;
}

void TCOMPlay::ResumeAfterRewiring(const TResumePoint& point) {
  if (!point.active) return;
  SetPosition(point.position);
  ResumeState();
}

void TCOMPlay::ChangeAudioRenderer(const std::string& name) {
  if (name == AudioRendererName || !Listed(AudioRendererNames, name)) return;
  AudioRendererName = name;
  // As for the video renderer: a paused graph is stopped for the rewiring and paused again
  // at its place, so that from the user's view the change does not stop playback.
  const TResumePoint resume = StopForRewiring();
  ComPtr<IPin> upstream;
  auto takePeer = [&](IPin* in) {
    ComPtr<IPin> peer;
    if (in && in->ConnectedTo(peer.Put()) == S_OK && Graph) {
      upstream = peer;
      Graph->Disconnect(in);
      Graph->Disconnect(peer.Get());
    }
  };
  if (AudioRenderer) {
    takePeer(FindPin(AudioRenderer.Get(), PINDIR_INPUT, 0).Get());
    RemoveFromGraph(AudioRenderer);
  }
  if (DVEncoder && VideoRenderer) takePeer(FindPin(VideoRenderer.Get(), PINDIR_INPUT, 1).Get());
  if (!upstream || !CreateAudioRenderer(name)) {
    Debug.TextOut("Cannot initialize audio renderer " + name);
  } else {
    ComPtr<IPin> target;
    if (AudioRenderer) target = FindPin(AudioRenderer.Get(), PINDIR_INPUT, 0);
    else if (DVEncoder && VideoRenderer) target = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 1);
    if (!target || FAILED(Graph->Connect(upstream.Get(), target.Get())))
      Debug.TextOut("Cannot connect audio renderer " + name);
  }
  ChooseSyncSource();
  ResumeAfterRewiring(resume);
}

bool TCOMPlay::SetupVideoWindow() {
  IBaseFilter* owner = VideoRendererTail ? VideoRendererTail.Get() : VideoRenderer.Get();
  if (!owner) return false;
  VideoWindow = nullptr;
  if (FAILED(owner->QueryInterface(IID_IVideoWindow, VideoWindow.PutVoid()))) {
    Debug.TextOut("This graph cannot preview properly");
    return false;
  }
  Debug.TextOut("Setting video window");
  if (MediaEvent) MediaEvent->SetNotifyCallback(GraphNotify);
  VideoWindow->put_AutoShow(OAFALSE);
  VideoWindow->put_Owner(VideoPanelHandle);
  VideoWindow->put_WindowStyle(WS_CHILD);
  VideoWindow->put_MessageDrain(VideoPanelHandle);
  if (VideoRendererTail) {
    ComPtr<IPin> in = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 0);
    ComPtr<IMixerPinConfig> mixer;
    if (in && SUCCEEDED(in.As(&mixer))) mixer->SetAspectRatioMode(AM_ARMODE_STRETCHED);
  }
  FitVideoWindow();
  VideoWindow->put_Visible(OATRUE);
  VideoWindow->SetWindowForeground(OATRUE);
  return true;
}

bool TCOMPlay::FitVideoWindow() {
  if (!VideoWindow) return false;
  // Without a video panel (a tool, a test) there is no window to fit into.
  bool ok = false;
  if (host_) {
    int32_t w = 0, h = 0;
    host_->VideoPanelSize(&w, &h);
    ok = SUCCEEDED(VideoWindow->SetWindowPosition(0, 0, w, std::max(0, h - host_->BorderHeight())));
  }
  SetZoom(0);
  return ok;
}

bool TCOMPlay::RefreshVideoWindow() {
  if (!VideoWindow) return false;
  return SUCCEEDED(VideoWindow->NotifyOwnerMessage(0, WM_ERASEBKGND, 0, 0));
}

bool TCOMPlay::UseAudioClock() {
  ComPtr<IMediaFilter> graphFilter;
  ComPtr<IReferenceClock> clock;
  if (FAILED(Graph.As(&graphFilter)) || FAILED(AudioRenderer.As(&clock))) return false;
  return SUCCEEDED(graphFilter->SetSyncSource(clock.Get()));
}

bool TCOMPlay::ChooseSyncSource() {
  if (!Graph) return false;
  if (DVEncoder) {
    if (AudioRenderer) return UseAudioClock();
    return SUCCEEDED(Graph->SetDefaultSyncSource());
  }
  if (FileName != AudioFileName && AudioRenderer) return UseAudioClock();
  return SUCCEEDED(Graph->SetDefaultSyncSource());
}

}  // namespace kv
