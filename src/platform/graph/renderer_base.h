// TBaseRenderer: a filter with one input pin that presents samples (video, audio, null).
//
// What it does with each sample, on the upstream streaming thread:
//   - Paused: the first sample is the preroll; it is held (OnReceiveFirstSample lets a
//     video renderer show it), the renderer counts as ready, which completes the graph's
//     Pause, and Receive blocks until the graph runs, flushes or stops.
//   - Running with a clock: waits until stream start + sample start time on the clock
//     (an advise, never a sleep), then renders. A sample whose own time has passed (later
//     than its duration, and at least kLateThreshold) is dropped instead when
//     DropsLateSamples() says so (video), at most kMaxConsecutiveDrops in a row and never
//     the first sample after a flush or Run: a picture still within its time is better
//     shown late than replaced by the one before it.
//   - Running without a clock: renders at once (analysis runs as fast as it can).
//   - Samples that end before the segment starts (a seek to the nearest key frame starts
//     the stream early) are passed over when SkipsSamplesBeforeStart() says so (video):
//     the paused picture after a seek is the one at the seek position, not the key frame.
//     The last one passed over is presented after all if the stream ends before any other.
//   - End of stream: counts as ready; EC_COMPLETE goes to the graph when running and the
//     last sample is done (or at Run, when it arrived while paused).
//   - BeginFlush or Stop releases the held sample and wakes the waiting thread at once.
//
// Subclass contract:
//   must implement: CheckMediaType(type); DoRenderSample(sample) - present it; runs on the
//                   streaming thread with no lock held.
//   may override:   OnReceiveFirstSample(sample) (preroll in pause, streaming thread, no
//                   lock); SetMediaType(type) (connection time); OnStartStreaming /
//                   OnStopStreaming (state thread, no lock); DropsLateSamples();
//                   SkipsSamplesBeforeStart(); RestAfterRender(duration);
//                   OnBeginFlush / OnEndFlush / OnNewSegment (delivering thread, no lock).
//   threads:        renderMutex_ guards the waiting sample, the flags and the advise;
//                   the clock's callback takes it; DoRenderSample is never called under it.
#pragma once

#include <condition_variable>

#include "platform/graph/base_filter.h"

namespace kv {

class TBaseRenderer;

// Where a renderer is in its stream: the media time of the last sample it presented.
struct IRendererPosition : IUnknown {
  static constexpr IID kIid = GuidLiteral("{3C96323C-27F8-4C4C-A125-7D28DDD9A684}");
  // S_FALSE and 0 when nothing was presented since the last flush or stop.
  virtual HRESULT GetLastPresentedPosition(REFERENCE_TIME* position) = 0;
};

class TRendererInputPin : public TBaseInputPin {
 public:
  TRendererInputPin(TBaseRenderer* renderer, std::string name);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT SetMediaType(const MediaType& type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT ReceiveCanBlock() override { return S_OK; }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

 private:
  TBaseRenderer* renderer_;
};

class TBaseRenderer : public TBaseFilter, public IAMFilterMiscFlags, public IRendererPosition {
 public:
  static constexpr REFERENCE_TIME kLateThreshold = 200000;  // 20 ms
  static constexpr int kMaxConsecutiveDrops = 8;

  explicit TBaseRenderer(const CLSID& clsid, std::string pinName = "In");
  ~TBaseRenderer() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  virtual HRESULT CheckMediaType(const MediaType& type) = 0;
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;
  virtual void OnReceiveFirstSample(IMediaSample* sample) {}
  virtual HRESULT SetMediaType(const MediaType& type) { return S_OK; }
  virtual HRESULT OnStartStreaming() { return S_OK; }
  virtual HRESULT OnStopStreaming() { return S_OK; }
  virtual bool DropsLateSamples() const { return false; }
  // Whether samples wholly before the segment start are passed over (see the top).
  virtual bool SkipsSamplesBeforeStart() const { return false; }
  // How long the streaming thread rests after presenting a sample on time, before it goes
  // back upstream to decode the next one (0: not at all). A video renderer rests so that
  // the display server and a compositor take the picture to the screen before the decoder
  // competes with them for the processor. `sampleDuration` is the sample's stop - start
  // (0 when it has none). The rest is skipped for a sample that came later than the rest
  // lasts, and a flush, pause or stop ends it at once.
  virtual REFERENCE_TIME RestAfterRender(REFERENCE_TIME sampleDuration) const { return 0; }
  // Stream events, on the thread that delivers them, no lock held.
  virtual void OnBeginFlush() {}
  virtual void OnEndFlush() {}
  virtual void OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {}

  int GetPinCount() override { return 1; }
  TBasePin* GetPin(int n) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(uint32_t msTimeout, FILTER_STATE* state) override;

  uint32_t GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
  HRESULT GetLastPresentedPosition(REFERENCE_TIME* position) override;

  int64_t FramesRendered();
  int64_t FramesDropped();
  // Samples rendered on the clock later than kLateThreshold, and the mean lateness of every
  // sample rendered on the clock (100 ns units; 0 before the first). Any thread.
  int64_t FramesLate();
  REFERENCE_TIME AverageLateness();
  TRendererInputPin* InputPin() { return input_.get(); }

  // The streaming path, called by the input pin.
  HRESULT ReceiveSample(IMediaSample* sample);
  HRESULT ReceiveEndOfStream();
  void BeginFlushing();
  void EndFlushing();

 private:
  enum class Wait { Render, Drop, Abort };
  Wait WaitForRenderTime(std::unique_lock<std::mutex>& lock, IMediaSample* sample, HRESULT* result);
  void CancelAdviseUnlocked(std::unique_lock<std::mutex>& lock);
  void SendCompleteIfDue(std::unique_lock<std::mutex>& lock);

  std::unique_ptr<TRendererInputPin> input_;
  std::mutex renderMutex_;              // guards everything below
  std::condition_variable wake_;        // state, flush, clock advise or new sample
  std::condition_variable readyChanged_;  // ready_ or state changed (GetState waits here)
  bool flushing_ = false;
  bool ready_ = false;          // prerolled a sample or saw end of stream since pause/flush
  bool holding_ = false;        // a Receive is waiting with a sample
  bool endOfStream_ = false;
  bool completeSent_ = false;
  bool firstAfterStart_ = true; // never drop the first sample after Run/flush
  bool reachedStart_ = false;   // a sample reaching the segment start came since stop/flush
  ComPtr<IMediaSample> beforeStart_;  // the last sample passed over before the start
  bool adviseFired_ = false;
  uintptr_t adviseCookie_ = 0;
  ComPtr<IReferenceClock> adviseClock_;
  int consecutiveDrops_ = 0;
  int64_t rendered_ = 0, dropped_ = 0;
  int64_t late_ = 0, clockedRendered_ = 0;
  REFERENCE_TIME latenessSum_ = 0;
  bool clockedRender_ = false;        // the sample being rendered waited on the clock...
  REFERENCE_TIME renderLateness_ = 0; // ...and was this late (set by WaitForRenderTime)
  bool presented_ = false;
  REFERENCE_TIME lastPresented_ = 0;
};

}  // namespace kv
