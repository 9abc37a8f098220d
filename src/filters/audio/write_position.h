// TWritePosition: the media time at a playback stream's write position, and what a sample
// needs so that its sound is written where its time stamp says.
//
// What it is: after Map (the first sample of a segment, at media time `media`), every
// frame written (sound or inserted silence) moves the position by one frame of the stream
// as played. Next() is counted in whole frames from the mapping and rounded once: a sum of
// per-sample durations rounded to the microsecond (1024 frames at 48 kHz are 21333.3 us)
// lags behind the time stamps by some 16 ppm, until after twenty minutes the "gap" is
// filled with silence and the sound is heard 20 ms after its picture.
// Plan() says how a sample starting at `start` fits: a gap larger than KSyncTolerance (and
// smaller than KMaxSilence, beyond which a time stamp is broken rather than a real gap) is
// filled with silence, an overlap larger than KSyncTolerance is cut from the sample's
// beginning; smaller differences are decoders' rounding and are left alone.
//
// Pure logic; the owner's lock guards it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/com/hresult.h"

namespace kv::audio {

class TWritePosition {
 public:
  static constexpr REFERENCE_TIME KSyncTolerance = 200000;  // 20 ms
  static constexpr REFERENCE_TIME KMaxSilence = 50000000;   // 5 s

  struct TPlan {
    uint64_t SilenceFrames = 0;  // to write before the sample
    uint64_t SkipFrames = 0;     // to cut from its beginning (at most all of it)
  };

  // `rate`: frames per second of the stream as played (the format's rate times the
  // segment rate), > 0.
  void Map(REFERENCE_TIME media, uint32_t rate) {
    Media_ = media;
    Rate_ = std::max<uint32_t>(rate, 1);
    Frames_ = 0;
  }
  REFERENCE_TIME Next() const { return Media_ + static_cast<REFERENCE_TIME>(Frames_ * 10000000 / Rate_); }
  TPlan Plan(REFERENCE_TIME start, uint64_t frames) const {
    TPlan plan;
    // A broken time stamp can lie anywhere in the 64-bit range: the difference saturates.
    REFERENCE_TIME gap = 0;
    if (__builtin_sub_overflow(start, Next(), &gap)) gap = start < 0 ? INT64_MIN + 1 : INT64_MAX;
    if (gap > KSyncTolerance && gap < KMaxSilence) plan.SilenceFrames = FramesIn(gap);
    if (gap < -KSyncTolerance) plan.SkipFrames = std::min(FramesIn(-gap), frames);
    return plan;
  }
  void Advance(uint64_t frames) { Frames_ += frames; }

 private:
  // Beyond an hour the count only ever meets a cap (all of a sample, or no silence): clamped
  // so that the product cannot overflow.
  uint64_t FramesIn(REFERENCE_TIME time) const {
    return static_cast<uint64_t>(std::min<REFERENCE_TIME>(time, 36000000000)) * Rate_ / 10000000;
  }

  REFERENCE_TIME Media_ = 0;
  uint32_t Rate_ = 1;
  uint64_t Frames_ = 0;  // since Map
};

}  // namespace kv::audio
