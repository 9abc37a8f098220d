// Playback control: run, pause, stop, positions in milliseconds, rate, events, mute, zoom.
#include <cmath>

#include "engine/contrl.h"

namespace kv {

namespace {

constexpr int64_t kUnitsPerMs = 10000;

// Round half to even, as every rounding of the engine.
int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

void TCOMPlay::Play() {
  if (!MediaControl || FileName.empty()) return;
  if (!UseClock) {
    ComPtr<IMediaFilter> graphFilter;
    if (SUCCEEDED(Graph.As(&graphFilter))) graphFilter->SetSyncSource(nullptr);
  } else if (Graph) {
    Graph->SetDefaultSyncSource();
  }
  if (SUCCEEDED(MediaControl->Run())) State = psRunning;
}

bool TCOMPlay::Pause() {
  if (!MediaControl || FileName.empty()) return false;
  if (State == psStopped) return true;
  if (FAILED(MediaControl->Pause())) return false;
  State = psPaused;
  return true;
}

bool TCOMPlay::Stop() {
  if (!MediaControl || !MediaSeeking || FileName.empty()) return false;
  if (State == psStopped) return true;
  if (FAILED(MediaControl->Stop())) return false;
  int64_t zero = 0;
  if (FAILED(MediaSeeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning)))
    return false;
  if (FAILED(MediaControl->StopWhenReady())) return false;
  State = psStopped;
  return true;
}

bool TCOMPlay::StopForExit() {
  if (!MediaControl || FileName.empty()) return false;
  if (State == psStopped) return true;
  if (FAILED(MediaControl->Stop())) return false;
  State = psStopped;
  return true;
}

// Runs call with the seeking interface switched to media time, and restores the caller's
// time format afterwards. False when media time is not supported or the restore failed.
bool TCOMPlay::MediaTimeBracket(const std::function<HRESULT()>& call) {
  if (!MediaSeeking) return false;
  if (MediaSeeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME) != S_OK) return false;
  GUID saved;
  MediaSeeking->GetTimeFormat(&saved);
  MediaSeeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
  HRESULT hr = call();
  bool restored = SUCCEEDED(MediaSeeking->SetTimeFormat(&saved));
  return SUCCEEDED(hr) && restored;
}

int32_t TCOMPlay::GetDuration() {
  int64_t d = 0;
  if (!MediaTimeBracket([&] { return MediaSeeking->GetDuration(&d); })) return 0;
  return static_cast<int32_t>(d / kUnitsPerMs);
}

int32_t TCOMPlay::GetPosition() {
  int64_t p = 0;
  if (!MediaTimeBracket([&] { return MediaSeeking->GetCurrentPosition(&p); })) return 0;
  return static_cast<int32_t>(p / kUnitsPerMs);
}

void TCOMPlay::SetPosition(int32_t ms) {
  int64_t current = static_cast<int64_t>(ms) * kUnitsPerMs;
  MediaTimeBracket([&] {
    return MediaSeeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr,
                                      AM_SEEKING_NoPositioning);
  });
}

void TCOMPlay::SetPositionExact(int32_t ms) {
  int64_t current = static_cast<int64_t>(ms) * kUnitsPerMs;
  MediaTimeBracket([&] {
    return MediaSeeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  });
}

double TCOMPlay::GetPositionPercent() {
  int32_t d = GetDuration();
  if (d == 0) return 0;
  return static_cast<double>(GetPosition()) * 100 / d;
}

void TCOMPlay::SetPositionPercent(double percent) {
  int32_t d = GetDuration();
  if (d != 0) SetPosition(Round(d * (percent / 100)));
}

void TCOMPlay::SetRate(double rate) {
  if (MediaSeeking) MediaSeeking->SetRate(rate);
}

double TCOMPlay::GetRate() {
  double rate = 1.0;
  if (!MediaSeeking || FAILED(MediaSeeking->GetRate(&rate))) return 1.0;
  return rate;
}

std::string TCOMPlay::StreamErrorText(int32_t code, intptr_t param1, intptr_t param2) {
  if (code == EC_ERRORABORTEX && param2) {
    const auto* text = reinterpret_cast<const TEventErrorText*>(param2);
    return text->userText + " (" + text->detail + ")";
  }
  const std::string what = code == EC_STREAM_ERROR_STOPPED ? "stream error" : "playback aborted";
  return what + " " + HResultText(static_cast<HRESULT>(param1));
}

bool TCOMPlay::HandleGraphEvents() {
  if (!MediaEvent) return false;
  bool complete = false;
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  while (MediaEvent->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    if (code == EC_COMPLETE) {
      Pause();
      complete = true;
    } else if (code == EC_ERRORABORTEX || code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED) {
      LastStreamError = StreamErrorText(code, p1, p2);
    }
    MediaEvent->FreeEventParams(code, p1, p2);
  }
  return complete;
}

bool TCOMPlay::SetMute(bool on) {
  ComPtr<IBasicAudio> audio;
  if (!Graph || FAILED(Graph.As(&audio))) return false;
  int32_t volume = 0;
  HRESULT hr = audio->get_Volume(&volume);
  if (hr == E_NOTIMPL || FAILED(hr)) return false;
  return SUCCEEDED(audio->put_Volume(on ? -10000 : 0));
}

uint32_t TCOMPlay::GetColorKey() {
  uint32_t key = 0x100010;
  if (!Graph || !VideoRenderer) return key;
  if (VideoRendererName == "Overlay mixer") {
    ComPtr<IPin> in = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 0);
    ComPtr<IMixerPinConfig> mixer;
    COLORKEY colorKey;
    uint32_t color = 0;
    if (in && SUCCEEDED(in.As(&mixer)) && SUCCEEDED(mixer->GetColorKey(&colorKey, &color))) key = color;
  } else if (VideoRendererName == "Video Mixing Renderer 7") {
    ComPtr<IPin> in = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 0);
    ComPtr<IPin> peer;
    ComPtr<IVMRWindowlessControl> control;
    uint32_t color = 0;
    if (in && SUCCEEDED(in->ConnectedTo(peer.Put()))) {
      // The windowless control lives on the renderer itself here; its pin may not expose it.
      if (FAILED(in.As(&control))) VideoRenderer.As(&control);
      if (control && SUCCEEDED(control->GetColorKey(&color))) key = color;
    }
  }
  return key;
}

std::string TCOMPlay::GetVideoInputFormatName() {
  if (!VideoRenderer) return {};
  ComPtr<IPin> in = FindPin(VideoRenderer.Get(), PINDIR_INPUT, 0);
  ComPtr<IPin> peer;
  MediaType mt;
  if (!in || in->ConnectedTo(peer.Put()) != S_OK || FAILED(in->ConnectionMediaType(&mt))) return {};
  return VideoCodecName(mt.subtype);
}

void TCOMPlay::SetZoom(double factor) {
  double z = std::min(10.0, std::max(1.0, factor));
  if (!(factor == 0 || z != ZoomFactor)) return;
  if (z == 1) ZoomX = ZoomY = 0;
  ApplyZoom(z, ZoomX, ZoomY, ZoomCrop, 0);
}

void TCOMPlay::SetZoomPosition(int32_t x, int32_t y) {
  x = std::min(100, std::max(-100, x));
  y = std::min(100, std::max(-100, y));
  if (x == ZoomX && y == ZoomY) return;
  ApplyZoom(ZoomFactor, x, y, ZoomCrop, 1);
}

void TCOMPlay::SetZoomCrop(int32_t crop) {
  crop = std::min(90, std::max(-90, crop));
  if (crop == ZoomCrop) return;
  ApplyZoom(ZoomFactor, ZoomX, ZoomY, crop, 2);
}

// what: 0 stores the factor (and the reset position with it), 1 the position, 2 the crop.
void TCOMPlay::ApplyZoom(double z, int32_t x, int32_t y, int32_t crop, int what) {
  if (!BasicVideo && (!Graph || FAILED(Graph.As(&BasicVideo)))) return;
  int32_t w = 0, h = 0;
  BasicVideo->get_VideoWidth(&w);
  BasicVideo->get_VideoHeight(&h);
  int32_t offX = 0, offY = 0;
  if (crop > 0) {
    offX = w * crop / 200;
    w = w - crop * w / 100;
  } else if (crop < 0) {
    offY = (-h) * crop / 200;
    h = h + crop * h / 100;
  }
  int32_t sw = Round(w / z);
  int32_t sh = Round(h / z);
  int32_t left = Round(w / 2.0 - sw / 2.0 + (w - sw) * x / 200.0 + offX);
  int32_t top = Round(h / 2.0 - sh / 2.0 + (h - sh) * y / 200.0 + offY);
  if (FAILED(BasicVideo->SetSourcePosition(left, top, sw, sh))) return;
  if (what == 0) {
    ZoomFactor = z;
  } else if (what == 1) {
    ZoomX = x;
    ZoomY = y;
  } else {
    ZoomCrop = crop;
  }
}

}  // namespace kv
