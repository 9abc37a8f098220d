// "Overlay mixer" and "Overlay mixer 2": mix a second picture over the video in front of
// a "Video Renderer".
//
// Pins: input 0 takes the video (any layout the renderers take), input 1 a second
// picture (RGB keyed by the colour key, or ARGB by its opacity), output 0 gives top-down
// RGB32 frames of the video's size, one per video frame, with the same times; the
// "Video Renderer" behind it schedules, scales and shows them. Both inputs answer
// IMixerPinConfig (colour key, aspect ratio mode, blending parameter).
//
// Threads: video samples arrive, are mixed and are delivered on the upstream streaming
// thread of input 0; second pictures arrive on input 1's upstream thread and are only
// stored (TVideoPresenter guards them). Connection calls on the user-interface thread.
#pragma once

#include <memory>

#include "filters/render/renderer_interfaces.h"
#include "filters/render/video_presenter.h"
#include "filters/render/windowed_renderer.h"
#include "platform/graph/base_filter.h"

namespace kv::render {

class TOverlayMixer;

// IMixerPinConfig for both input pins: the settings are the mixer's.
class TMixerPinConfig : public IMixerPinConfig {
 public:
  explicit TMixerPinConfig(TOverlayMixer* mixer) : Mixer_(mixer) {}
  HRESULT SetColorKey(const COLORKEY* key) override;
  HRESULT GetColorKey(COLORKEY* key, uint32_t* color) override;
  HRESULT SetBlendingParameter(uint32_t alpha) override;
  HRESULT GetBlendingParameter(uint32_t* alpha) override;
  HRESULT SetAspectRatioMode(AM_ASPECT_RATIO_MODE mode) override;
  HRESULT GetAspectRatioMode(AM_ASPECT_RATIO_MODE* mode) override;
  HRESULT SetStreamTransparent(int32_t transparent) override;
  HRESULT GetStreamTransparent(int32_t* transparent) override;

 protected:
  TOverlayMixer* Mixer_;
};

class TMixerVideoPin : public TBaseInputPin, public TMixerPinConfig {
 public:
  TMixerVideoPin(TOverlayMixer* mixer, std::string name);
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT SetMediaType(const MediaType& type) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
};

class TMixerOverlayPin : public TOverlayInputPin, public TMixerPinConfig {
 public:
  TMixerOverlayPin(TOverlayMixer* mixer, std::string name);
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;
};

class TMixerOutputPin : public TBaseOutputPin {
 public:
  TMixerOutputPin(TOverlayMixer* mixer, std::string name);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT GetMediaType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 private:
  TOverlayMixer* Mixer_;
};

class TOverlayMixer : public TBaseFilter {
 public:
  explicit TOverlayMixer(const CLSID& clsid);
  ~TOverlayMixer() override;

  int GetPinCount() override { return 3; }
  TBasePin* GetPin(int n) override;

  // The output type for the connected video (nullopt before input 0 is connected).
  std::optional<MediaType> OutputType();
  TVideoPresenter& Presenter() { return Presenter_; }
  TMixerOutputPin* Output() { return Output_.get(); }

  // Mixes one video sample and delivers it; streaming thread of input 0.
  HRESULT MixAndDeliver(IMediaSample* sample);

  // Settings shared by the pins' IMixerPinConfig.
  AM_ASPECT_RATIO_MODE AspectRatioMode() const { return AspectMode_.load(); }
  void SetAspectMode(AM_ASPECT_RATIO_MODE mode) { AspectMode_ = mode; }
  bool StreamTransparent() const { return Transparent_.load(); }
  void SetStreamTransparentFlag(bool on) { Transparent_ = on; }

 private:
  TVideoPresenter Presenter_;
  std::unique_ptr<TMixerVideoPin> Video_;
  std::unique_ptr<TMixerOverlayPin> Second_;
  std::unique_ptr<TMixerOutputPin> Output_;
  std::atomic<AM_ASPECT_RATIO_MODE> AspectMode_{AM_ARMODE_LETTER_BOX};
  std::atomic<bool> Transparent_{false};
};

}  // namespace kv::render
