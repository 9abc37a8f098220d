// TSubtitleSchedule: when the subtitle strip changes.
//
// What it is: the state machine between the subtitle list and the one-shot `SubTimer`. From a
// playback position, Prepare finds the entry showing (or the next one), puts its text on the
// strip and arms the timer for the next change; each Tick makes that change (show the due
// entry, or clear the ended one) and arms the timer again. Nothing polls: between changes
// no code runs. Overlapping entries replace one another without a clear in between; when
// the next overlapping entry starts more than 10 s later, the shown one is cleared after
// 10 s ("Fixing") and the clear step schedules the next.
//
// Ownership: borrows the list, the log, the timer and the draw callback; the controller
// (subtitle_controller.h) owns all of them and this object. The list must not change
// between Prepare and the ticks that follow it without a new Prepare.
// Threads: the user-interface thread (the timer's); no locks.
// Times are the list's milliseconds with the offset applied (FindAt, GetTimes); intervals
// are formed in 64 bits, and one that comes out at 0 or below fires at once (1 ms).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "debugsup/debugsup.h"
#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_timer.h"

namespace kv {

class TSubtitleSchedule {
 public:
  // Puts a text on the strip; an empty text clears it.
  using TDraw = std::function<void(const std::string& text)>;

  TSubtitleSchedule(const TSubTitles& list, TDebug& log, ISubtitleTimer& timer, TDraw draw);

  // Resynchronises from `position` (ms): shows the entry there or clears the strip in a gap,
  // and sets the timer for the next change; the timer is enabled only when `running`.
  // A position after the last entry leaves strip and timer as they are.
  void Prepare(std::int32_t position, bool running);

  // The timer fired at `now` (ms); the caller has disabled the timer already.
  void Tick(std::int32_t now, bool running);

  // Entry the next tick handles, and whether that tick clears the strip (true) or shows
  // entry NextSubtitle (false).
  int NextSubtitle = 0;
  bool ClearPending = false;

  // Longest time an entry stays up when a later entry overlaps it.
  static constexpr std::int64_t kOverlapHoldMs = 10000;

  // The interval handed to the timer: at least 1 ms, at most the 32-bit maximum.
  static std::int32_t TimerInterval(std::int64_t ms);

 private:
  // The overlap rule for the entry NextSubtitle just shown until `stop`, timed from `base`.
  void ApplyOverlap(std::uint32_t stop, std::int64_t base, std::int64_t& interval);
  void Arm(std::int64_t interval, bool logIt);
  void ShowDue(std::int64_t now, bool running);
  void ClearEnded(std::int64_t now, bool running);

  const TSubTitles& list_;
  TDebug& log_;
  ISubtitleTimer& timer_;
  TDraw draw_;
};

}  // namespace kv
