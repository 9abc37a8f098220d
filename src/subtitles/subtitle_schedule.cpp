#include "subtitles/subtitle_schedule.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kv {

TSubtitleSchedule::TSubtitleSchedule(const TSubTitles& list, TDebug& log, ISubtitleTimer& timer,
                                     TDraw draw)
    : list_(list), log_(log), timer_(timer), draw_(std::move(draw)) {}

std::int32_t TSubtitleSchedule::TimerInterval(std::int64_t ms) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(ms, 1, std::numeric_limits<std::int32_t>::max()));
}

void TSubtitleSchedule::Arm(std::int64_t interval, bool logIt) {
  timer_.SetInterval(TimerInterval(interval));
  // The log shows the interval as computed, so a late or overlapped entry is visible there.
  if (logIt) {
    log_.IntegerOut("Next timer", static_cast<std::int32_t>(std::clamp<std::int64_t>(
                                      interval, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max())));
  }
}

void TSubtitleSchedule::ApplyOverlap(std::uint32_t stop, std::int64_t base,
                                     std::int64_t& interval) {
  std::uint32_t nextStart = 0, nextStop = 0;
  if (!list_.GetTimes(NextSubtitle + 1, nextStart, nextStop) || nextStart > stop) return;
  log_.TextOut("Subtitles are overlapping");
  interval = std::int64_t{nextStart} - base;
  ClearPending = false;
  if (interval > kOverlapHoldMs) {
    ClearPending = true;
    interval = kOverlapHoldMs;
    log_.TextOut("Fixing");
  }
}

void TSubtitleSchedule::Prepare(std::int32_t position, bool running) {
  // The list's times are unsigned; a position before the start reads as 0.
  const std::uint32_t t = static_cast<std::uint32_t>(std::max<std::int32_t>(position, 0));
  int index = 0;
  std::string text;
  if (!list_.FindAt(t, index, text)) return;
  log_.TextOut("Preparing subtitles from time " + std::to_string(t));
  log_.TextOut("First subtitle: " + std::to_string(index) + "," + text);
  NextSubtitle = index;
  draw_(text);
  timer_.Disable();
  std::uint32_t start = 0, stop = 0;
  list_.GetTimes(index, start, stop);
  if (!text.empty()) {
    std::int64_t interval = std::int64_t{stop} - t;
    ClearPending = true;
    ApplyOverlap(stop, t, interval);
    Arm(interval, true);
    ++NextSubtitle;
  } else {
    const std::int64_t interval = std::int64_t{start} - t;
    Arm(interval, true);
    ClearPending = false;
  }
  if (running) timer_.Enable();
}

void TSubtitleSchedule::Tick(std::int32_t now, bool running) {
  log_.IntegerOut("Current time:", now);
  if (ClearPending) {
    ClearEnded(now, running);
  } else {
    ShowDue(now, running);
  }
}

void TSubtitleSchedule::ClearEnded(std::int64_t now, bool running) {
  log_.TextOut("Clearing subtitle");
  draw_(std::string());
  std::uint32_t start = 0, stop = 0;
  // After the last entry nothing more is armed.
  if (!list_.GetTimes(NextSubtitle, start, stop)) return;
  const std::int64_t remaining = std::int64_t{start} - now;
  log_.TextOut("Next subtitle: " + std::to_string(start) + "," + std::to_string(remaining));
  if (remaining >= 1) {
    Arm(remaining, false);
    timer_.Enable();
    ClearPending = false;
  } else {
    Prepare(static_cast<std::int32_t>(now), running);
  }
}

void TSubtitleSchedule::ShowDue(std::int64_t now, bool running) {
  std::string text;
  std::uint32_t start = 0, stop = 0;
  if (!list_.GetText(NextSubtitle, text) || !list_.GetTimes(NextSubtitle, start, stop)) {
    // The list changed under the schedule (it was cleared or reloaded): start over.
    Prepare(static_cast<std::int32_t>(now), running);
    return;
  }
  log_.TextOut("Next subtitle: " + std::to_string(NextSubtitle) + "," + text);
  log_.TextOut("Subtitle time: " + std::to_string(start) + "," + std::to_string(stop));
  const std::int64_t remaining = std::int64_t{stop} - now;
  if (remaining < 1) {
    log_.TextOut("Restart");
    Prepare(static_cast<std::int32_t>(now), running);
    return;
  }
  draw_(text);
  ClearPending = true;
  std::int64_t interval = remaining;
  ApplyOverlap(stop, now, interval);
  Arm(interval, true);
  timer_.Enable();
  ++NextSubtitle;
}

}  // namespace kv
