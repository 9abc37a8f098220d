#include "filters/audio/audio_clock.h"

#include <time.h>

#include <algorithm>

namespace kv::audio {

REFERENCE_TIME TAudioClockSource::MonotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<REFERENCE_TIME>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

TAudioClockSource::TAudioClockSource(TSystemTime systemTime)
    : SystemTime_(systemTime ? std::move(systemTime) : TSystemTime(&TAudioClockSource::MonotonicNow)) {
  LastSystem_ = SystemTime_();
  Last_ = LastSystem_;
}

REFERENCE_TIME TAudioClockSource::FreeRunningLocked(REFERENCE_TIME system) {
  return Last_ + std::max<REFERENCE_TIME>(0, system - LastSystem_);
}

REFERENCE_TIME TAudioClockSource::Now() {
  std::lock_guard<std::mutex> lock(Mutex_);
  REFERENCE_TIME system = SystemTime_();
  REFERENCE_TIME elapsed = std::max<REFERENCE_TIME>(0, system - LastSystem_);
  REFERENCE_TIME t = Last_ + elapsed;
  if (Played_ && Mapped_) {
    if (std::optional<REFERENCE_TIME> played = Played_()) {
      REFERENCE_TIME heard = StreamStart_ + MediaAtMapping_ + (*played - WrittenAtMapping_);
      if (Rebase_) {
        // A stream joining the running clock: its sound is placed at the clock's time.
        MediaAtMapping_ += t - heard;
        heard = t;
        Rebase_ = false;
      }
      if (Settling_ && SettleFrom_ < 0) SettleFrom_ = system;
      if (Settling_ && system - SettleFrom_ >= KSettleTime) Settling_ = false;
      REFERENCE_TIME error = heard - t;
      if (error > KSnapAhead || error < -KHoldBehind) {
        // Far ahead (a stall ended): take the sound's time. Far behind (the sound stalled, or
        // starts late): take it too; the max below turns the step back into holding still,
        // so pictures wait for the sound. Either way the clock settles afresh from here.
        t = heard;
        Settling_ = true;
        SettleFrom_ = system;
      } else {
        // Near: follow the sound smoothly, correcting the error over KFollowTime at a rate
        // no larger than KFinePermille (KCoarsePercent for a lead past KHoldBehind), so the
        // timing reports' small corrections move the clock without a step.
        const bool coarse = Settling_ || error > KHoldBehind;
        const REFERENCE_TIME follow = Settling_ ? KSettleFollowTime : KFollowTime;
        REFERENCE_TIME bound = coarse ? elapsed * KCoarsePercent / 100 : elapsed * KFinePermille / 1000;
        REFERENCE_TIME step = elapsed >= follow ? error : error * elapsed / follow;
        t += std::clamp(step, -bound, bound);
      }
    }
  }
  Last_ = std::max(Last_, t);
  LastSystem_ = system;
  return Last_;
}

void TAudioClockSource::Follow(TPlayedTime played, bool continueFromHere) {
  std::lock_guard<std::mutex> lock(Mutex_);
  // Settle the free-running time first so the switch does not lose the time since.
  REFERENCE_TIME system = SystemTime_();
  Last_ = FreeRunningLocked(system);
  LastSystem_ = system;
  Played_ = std::move(played);
  Rebase_ = continueFromHere && Played_;
}

void TAudioClockSource::StopFollowing() { Follow({}); }

void TAudioClockSource::SetStreamStart(REFERENCE_TIME start) {
  std::lock_guard<std::mutex> lock(Mutex_);
  StreamStart_ = start;
}

void TAudioClockSource::SetMapping(REFERENCE_TIME mediaTime, REFERENCE_TIME writtenAt) {
  std::lock_guard<std::mutex> lock(Mutex_);
  MediaAtMapping_ = mediaTime;
  WrittenAtMapping_ = writtenAt;
  Mapped_ = true;
  Settling_ = true;
  SettleFrom_ = -1;
}

void TAudioClockSource::ResetMapping() {
  std::lock_guard<std::mutex> lock(Mutex_);
  REFERENCE_TIME system = SystemTime_();
  Last_ = FreeRunningLocked(system);
  LastSystem_ = system;
  Mapped_ = false;
}

bool TAudioClockSource::Following() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return static_cast<bool>(Played_) && Mapped_;
}

}  // namespace kv::audio
