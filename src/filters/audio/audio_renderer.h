// The PulseAudio audio renderer: plays the decoder's PCM and gives the graph its clock.
//
// What it is: a renderer filter with one input pin. Each connection format gets a
// PulseAudio playback stream on the sink chosen at creation (empty: the server's
// default). Samples are written as they come and Write blocks while the server's buffer
// is full, which paces the upstream thread to the sound card. Gaps between samples are
// filled with silence and overlaps cut, so that media time and stream position stay in
// step for the clock (audio_clock.h). IBasicAudio changes the stream's volume and mute;
// QueryInterface(IReferenceClock) gives the clock, which follows the heard sound.
//
// States: paused = the stream is corked and the first sample completes the preroll (the
// buffer fills and Receive blocks); running = uncorked; a flush or stop aborts any
// blocked write, throws the queued sound away (the stream is closed and a new one is
// opened for the next sample) and rewinds the clock's mapping. End of stream waits for
// the graph to run, waits until the last sample has been heard, then sends EC_COMPLETE.
// Rates: the stream is opened at the format's rate times the segment's rate.
// Without a sound server (or when it goes away) the samples are discarded and the graph
// plays on without sound, and the renderer tries to connect again with a back-off
// (KRetryFirst doubling up to KRetryMost; at once after a flush, pause or run). A stream
// made while the graph runs on without sound joins the running clock: its first sound is
// the media time the clock will show when that sound is heard (the sound before it is
// cut), and the clock takes the stream up (without a step, see audio_clock.h) once it has
// played steadily for a second, so the pictures go on without a jump. A format change in the stream opens a new stream.
//
// Threads: Receive/EndOfStream on the upstream streaming thread; state, flush (from the
// seeking thread) and IBasicAudio on the graph's threads. Mutex_ guards the fields below;
// no PulseAudio call that can block is made while it is held. Lock order: Mutex_ before
// the clock source's mutex, never the other way.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "filters/audio/audio_clock.h"
#include "filters/audio/write_position.h"
#include "filters/info/filter_info.h"
#include "platform/graph/property_page.h"
#include "platform/audio/pulse_connection.h"
#include "platform/audio/pulse_stream.h"
#include "platform/graph/base_filter.h"

namespace kv::audio {

class TAudioRenderer;

class TAudioInputPin : public TBaseInputPin {
 public:
  TAudioInputPin(TAudioRenderer* renderer, std::string name);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT ReceiveCanBlock() override { return S_OK; }

 private:
  TAudioRenderer* Renderer_;
};

class TAudioRenderer : public TBaseFilter,
                       public IAMFilterMiscFlags,
                       public IBasicAudio,
                       public ISpecifyPropertyPages,
                       public IAudioRendererInfo {
 public:
  // sinkName: the PulseAudio sink; empty follows the server's default sink.
  TAudioRenderer(const CLSID& clsid, std::string sinkName);
  ~TAudioRenderer() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  int GetPinCount() override { return 1; }
  TBasePin* GetPin(int n) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(uint32_t msTimeout, FILTER_STATE* state) override;

  uint32_t GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

  // IBasicAudio: volume in hundredths of a decibel, -10000 (silent) .. 0 (full).
  HRESULT put_Volume(int32_t volume) override;
  HRESULT get_Volume(int32_t* volume) override;
  HRESULT put_Balance(int32_t balance) override;
  HRESULT get_Balance(int32_t* balance) override;

  // ISpecifyPropertyPages, IAudioRendererInfo (any thread; the latency is asked of the
  // server without Mutex_ held).
  HRESULT GetPages(std::vector<CLSID>* pages) override;
  HRESULT GetAudioRendererInfo(TAudioRendererInfo* info) override;

  // The streaming path (input pin).
  HRESULT ReceiveSample(IMediaSample* sample);
  HRESULT ReceiveEndOfStream();
  void BeginFlushing();
  void EndFlushing();
  void SetSegmentRate(double rate);

  // For tests and diagnostics.
  const std::string& SinkName() const { return SinkName_; }
  uint32_t SinkInputIndex();
  std::shared_ptr<TAudioClockSource> ClockSource() const { return ClockSource_; }

 private:
  std::shared_ptr<TPulseStream> OpenStreamFor(const TPcmFormat& format, bool corked);
  void DropStreamLocked();
  void MatchStreamToStateLocked();
  void FollowLocked();
  // The connection to use for a new stream, or null (no server; retried later).
  std::shared_ptr<TPulseConnection> ConnectionForStream();
  void RetryConnectingSoonLocked();
  void ApplyVolume(TPulseStream& stream, int32_t volume);
  HRESULT WaitAsIfPlayed(IMediaSample* sample);
  HRESULT WriteTimed(TPulseStream& stream, const TPcmFormat& format, const uint8_t* data, size_t bytes,
                     std::optional<REFERENCE_TIME> start);

  const std::string SinkName_;
  std::unique_ptr<TAudioInputPin> Input_;
  std::shared_ptr<TAudioClockSource> ClockSource_;
  ComPtr<TAudioRendererClock> Clock_;

  std::mutex Mutex_;                  // guards everything below
  std::condition_variable Changed_;   // ready, state, flush or stop changed
  std::shared_ptr<TPulseConnection> Connection_;
  // No server: samples are discarded until this time, then connecting is tried again.
  std::chrono::steady_clock::time_point NextConnectAttempt_{};
  std::chrono::milliseconds RetryDelay_{0};  // the back-off; 0 after a success
  bool JoinClock_ = false;         // the next stream made while running joins the clock
  bool StreamJoinedClock_ = false;  // Stream_ joined it: taken up once it plays steadily
  std::shared_ptr<TPulseStream> Stream_;
  std::optional<TPcmFormat> StreamFormat_;  // set by a format change in the stream
  bool Flushing_ = false;
  bool Ready_ = false;
  bool CompleteSent_ = false;
  bool NeedMapping_ = true;
  TWritePosition Position_;  // media time of the stream's write position
  double Rate_ = 1.0;
  int32_t Volume_ = 0;
  int32_t Balance_ = 0;

 public:
  static constexpr std::chrono::milliseconds KRetryFirst{100};
  static constexpr std::chrono::milliseconds KRetryMost{1000};
};

}  // namespace kv::audio
