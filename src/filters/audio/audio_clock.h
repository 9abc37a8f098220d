// The audio renderer's reference clock: the time of the sound being heard.
//
// What it is: TAudioClockSource turns the playback stream's "played" time into graph
// clock time. While the renderer runs and its stream plays, clock time is
//   stream start (the tStart of Run) + media time of the sample being heard,
// where the media time comes from a mapping set when a segment's first sample is queued
// (media time T0 was written at stream position W0: heard media time =
// T0 + played - W0). When there is nothing to follow (paused, stopped, no stream, the
// stream has ended) it runs on the system's monotonic time from where it was. It never
// goes back: when the sound lags behind, the clock waits for it, which is exactly what
// keeps the pictures in step with the sound. Near the sound (within KHoldBehind either way)
// the clock runs at real time and steers towards it, correcting the difference over
// KFollowTime with its rate changed by at most KFinePermille: the played time's small
// corrections (timing reports, scheduling) then move the clock smoothly, without steps
// that the pictures would show as jitter. Except while it settles: for KSettleTime after
// the first reading of a new mapping (a start, a seek), where the sound begins a few
// milliseconds off the clock (the server's start-up latency), it steers over
// KSettleFollowTime at up to KCoarsePercent either way, so the first seconds are in step
// too (at the fine rate a 10 ms start error took some three seconds to go). A sound taken
// at once or waited for (far off the clock, below) starts the settling afresh: a stream's
// start holds the clock until its sound is heard, and only then is the error known.
// Further behind the sound it holds; further ahead it catches up at KCoarsePercent (a jump
// forward makes the video renderer drop frames), and a sound far ahead (KSnapAhead) is
// taken at once.
// A stream that joins a clock already running without sound (the sound server came back)
// is followed with `continueFromHere`: at its first reading the mapping is moved so that
// the sound's time is the clock's time, and the clock goes on from there without a step.
//
// TAudioRendererClock is the IReferenceClock the graph is given; it asks the source.
//
// Threads: the renderer's streaming thread sets mappings, the state thread switches
// modes, and any thread reads the time. Mutex_ guards the state; reading the played time
// (which takes the PulseAudio lock) happens under it, so the renderer never takes Mutex_
// while it holds the PulseAudio lock.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/graph/reference_clock.h"

namespace kv::audio {

class TAudioClockSource {
 public:
  // Monotonic system time in 100-ns units.
  using TSystemTime = std::function<REFERENCE_TIME()>;
  // The stream's played time in 100-ns units, nullopt when it cannot tell.
  using TPlayedTime = std::function<std::optional<REFERENCE_TIME>()>;

  explicit TAudioClockSource(TSystemTime systemTime = {});

  REFERENCE_TIME Now();

  // Follow this stream from now on (Run, or the first sample after a new stream was made
  // while running). An empty function stops following (system time). With
  // `continueFromHere` the first time the stream tells re-bases the mapping on the clock's
  // current time instead of moving the clock.
  void Follow(TPlayedTime played, bool continueFromHere = false);
  void StopFollowing();
  // Stream time 0 is clock time `start` (IMediaFilter::Run).
  void SetStreamStart(REFERENCE_TIME start);
  // The segment's media time `mediaTime` was written at stream position `writtenAt`
  // (both 100-ns units).
  void SetMapping(REFERENCE_TIME mediaTime, REFERENCE_TIME writtenAt);
  // The stream was replaced (flush, stop): nothing is mapped until the next first sample.
  void ResetMapping();
  bool Following() const;

  static REFERENCE_TIME MonotonicNow();

  // A sound further ahead than this is taken at once.
  static constexpr REFERENCE_TIME KSnapAhead = 5000000;  // 500 ms
  // Within this of the sound the clock steers smoothly; a sound further behind is waited
  // for, one further ahead caught up at KCoarsePercent of the elapsed time.
  static constexpr REFERENCE_TIME KHoldBehind = 200000;  // 20 ms
  static constexpr REFERENCE_TIME KCoarsePercent = 5;
  // Near the sound: the difference is corrected over KFollowTime, the clock's rate
  // changed by at most KFinePermille.
  static constexpr REFERENCE_TIME KFollowTime = 10000000;  // 1 s
  static constexpr REFERENCE_TIME KFinePermille = 5;
  // Settling after a new mapping's first reading: the error is corrected over
  // KSettleFollowTime, at up to KCoarsePercent in either direction.
  static constexpr REFERENCE_TIME KSettleTime = 10000000;        // 1 s
  static constexpr REFERENCE_TIME KSettleFollowTime = 2000000;   // 200 ms

 private:
  REFERENCE_TIME FreeRunningLocked(REFERENCE_TIME system);

  mutable std::mutex Mutex_;  // guards everything below
  TSystemTime SystemTime_;
  TPlayedTime Played_;
  REFERENCE_TIME StreamStart_ = 0;
  REFERENCE_TIME MediaAtMapping_ = 0;
  REFERENCE_TIME WrittenAtMapping_ = 0;
  bool Mapped_ = false;
  bool Rebase_ = false;            // the next reading moves the mapping, not the clock
  bool Settling_ = false;          // a new mapping: settle from its first reading on
  REFERENCE_TIME SettleFrom_ = -1; // system time of that reading (-1: not read yet)
  REFERENCE_TIME Last_ = 0;        // last time handed out
  REFERENCE_TIME LastSystem_ = 0;  // system time when Last_ was handed out
};

class TAudioRendererClock : public TBaseReferenceClock {
 public:
  explicit TAudioRendererClock(std::shared_ptr<TAudioClockSource> source) : Source_(std::move(source)) {}
  ~TAudioRendererClock() override { Shutdown(); }
  REFERENCE_TIME GetPrivateTime() override { return Source_->Now(); }
  // The source switched modes: advises are looked at again.
  void Changed() { TimeChanged(); }

 private:
  std::shared_ptr<TAudioClockSource> Source_;
};

}  // namespace kv::audio
