// The schedule on a fake clock: what the strip shows when, which timer is armed, and the
// log lines, for the cases that matter (replacing, overlapping, "Fixing", seeks, pause).
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "display_test_support.h"
#include "subtitles/subtitle_schedule.h"

namespace kv {
namespace {

using test::TItem;

struct TShown {
  std::int32_t Position;
  std::string Text;
  bool operator==(const TShown&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TShown& s) {
  return os << "{" << s.Position << ", \"" << s.Text << "\"}";
}

enum class Act { Play, Pause, Resume, Seek };
struct TEvent {
  std::int64_t At;  // clock time
  Act What;
  std::int32_t Value = 0;  // seek target
};

// The schedule wired as the controller wires it, on a fake clock.
class TRig {
 public:
  explicit TRig(std::vector<TItem> items)
      : list(test::MakeList(items)), timer(clock), player(clock),
        schedule(list, log.Log, timer, [this](const std::string& text) {
          shown.push_back({player.Position(), text});
        }) {
    timer.OnTimer = [this] {
      timer.Disable();
      schedule.Tick(player.Position(), player.Running());
    };
  }

  void Apply(const TEvent& e) {
    test::RunClock(clock, timer, e.At);
    switch (e.What) {
      case Act::Play:
      case Act::Resume:
        player.Run();
        schedule.Prepare(player.Position(), true);
        break;
      case Act::Pause:
        player.Pause();
        timer.Disable();
        break;
      case Act::Seek:
        player.Seek(e.Value);
        schedule.Prepare(player.Position(), player.Running());
        break;
    }
  }
  void Run(const std::vector<TEvent>& events, std::int64_t until) {
    for (const TEvent& e : events) Apply(e);
    test::RunClock(clock, timer, until);
  }

  TSubTitles list;
  test::TFakeClock clock;
  test::TFakeSubtitleTimer timer;
  test::TFakePlayer player;
  test::TLogCapture log;
  TSubtitleSchedule schedule;
  std::vector<TShown> shown;
};

struct TScenario {
  const char* Name;
  std::vector<TItem> Items;
  std::vector<TEvent> Events;
  std::int64_t Until;
  std::vector<TShown> Expected;  // (position, text) of every draw, in order
  std::vector<std::string> LogHas = {};
};

class ScheduleScenario : public ::testing::TestWithParam<TScenario> {};

TEST_P(ScheduleScenario, StripChangesAtTheEntryTimes) {
  const TScenario& s = GetParam();
  TRig rig(s.Items);
  rig.Run(s.Events, s.Until);
  EXPECT_EQ(rig.shown, s.Expected);
  for (const std::string& line : s.LogHas) EXPECT_TRUE(rig.log.Contains(line)) << line;
}

const TItem A{1000, 5000, "A"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ScheduleScenario,
    ::testing::Values(
        TScenario{"PlainEntries",
                  {{1000, 2000, "A"}, {3000, 4000, "B"}},
                  {{0, Act::Play}},
                  10000,
                  {{0, ""}, {1000, "A"}, {2000, ""}, {3000, "B"}, {4000, ""}}},
        // B starts exactly when A stops: A is replaced by B with no empty strip between.
        TScenario{"BReplacesAWithoutGap",
                  {{1000, 3000, "A"}, {3000, 5000, "B"}},
                  {{0, Act::Play}},
                  10000,
                  {{0, ""}, {1000, "A"}, {3000, "B"}, {5000, ""}},
                  {"Subtitles are overlapping"}},
        TScenario{"OverlappingEntries",
                  {{1000, 5000, "A"}, {3000, 7000, "B"}},
                  {{0, Act::Play}},
                  10000,
                  {{0, ""}, {1000, "A"}, {3000, "B"}, {7000, ""}},
                  {"Subtitles are overlapping"}},
        // A long entry overlapped 30 s later is cleared after 10 s.
        TScenario{"FixingClearsAfterTenSeconds",
                  {{0, 60000, "A"}, {30000, 40000, "B"}},
                  {{0, Act::Play}},
                  50000,
                  {{0, "A"}, {10000, ""}, {30000, "B"}, {40000, ""}},
                  {"Subtitles are overlapping", "Fixing"}},
        TScenario{"SeekIntoEntryShowsItAtOnce",
                  {A, {8000, 9000, "B"}},
                  {{0, Act::Play}, {200, Act::Seek, 2500}},
                  8000,
                  {{0, ""}, {2500, "A"}, {5000, ""}, {8000, "B"}, {9000, ""}}},
        TScenario{"SeekIntoGapClearsAndWaits",
                  {A, {8000, 9000, "B"}},
                  {{0, Act::Play}, {2000, Act::Seek, 6000}},
                  5000,
                  {{0, ""}, {1000, "A"}, {6000, ""}, {8000, "B"}, {9000, ""}}},
        // Past the last entry nothing changes: A stays, and the timer armed for its stop
        // (1000 ms after the seek into it) clears it, at whatever position that is then.
        TScenario{"SeekPastTheEndChangesNothing",
                  {A},
                  {{0, Act::Play}, {2000, Act::Seek, 4000}, {2100, Act::Seek, 60000}},
                  8000,
                  {{0, ""}, {1000, "A"}, {4000, "A"}, {60900, ""}}},
        TScenario{"BackwardSeekShowsTheEarlierEntryAgain",
                  {{1000, 2000, "A"}, {3000, 4000, "B"}},
                  {{0, Act::Play}, {3500, Act::Seek, 1500}},
                  6000,
                  {{0, ""}, {1000, "A"}, {2000, ""}, {3000, "B"}, {1500, "A"}, {2000, ""},
                   {3000, "B"}, {4000, ""}}},
        // Paused for 10 s of clock time: nothing fires; resume picks up at the same place.
        TScenario{"PauseHoldsResumeContinues",
                  {A, {6000, 7000, "B"}},
                  {{0, Act::Play}, {2000, Act::Pause}, {12000, Act::Resume}},
                  20000,
                  {{0, ""}, {1000, "A"}, {2000, "A"}, {5000, ""}, {6000, "B"}, {7000, ""}}},
        // An entry ending exactly at the position is cleared at once (1 ms), not never.
        TScenario{"EntryEndingNowClearsAtOnce",
                  {{1000, 2000, "A"}, {5000, 6000, "B"}},
                  {{0, Act::Seek, 2000}, {0, Act::Play}},
                  7000,
                  {{2000, "A"}, {2000, "A"}, {2001, ""}, {5000, "B"}, {6000, ""}}},
        // Times from a list with an unreadable stop never arm a negative or wrapped interval.
        TScenario{"UnreadableStopHoldsTheEntry",
                  {{1000, 0xFFFFFFFFu, "A"}},
                  {{0, Act::Play}},
                  100000,
                  {{0, ""}, {1000, "A"}}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Schedule, LogsEachStepOfAPlainEntry) {
  TRig rig({{1000, 3000, "Hello|World"}});
  rig.Run({{0, Act::Play}}, 10000);
  const std::vector<std::string> expected = {
      "Preparing subtitles from time 0",
      "First subtitle: 0,",
      "Next timer: 1000",
      "Current time:: 1000",
      "Next subtitle: 0,Hello|World",
      "Subtitle time: 1000,3000",
      "Next timer: 2000",
      "Current time:: 3000",
      "Clearing subtitle",
  };
  EXPECT_EQ(rig.log.Lines(), expected);
  EXPECT_FALSE(rig.timer.Enabled());  // nothing is armed after the last entry
}

TEST(Schedule, LateTickRestartsFromThePosition) {
  TRig rig({{1000, 2000, "A"}, {3000, 4000, "B"}});
  rig.Run({{0, Act::Play}}, 500);
  // The player jumps ahead without telling anyone; the tick for A finds A already over.
  rig.player.Seek(3500 - 500);
  rig.clock.Now = 1000;
  rig.timer.FireDue();
  EXPECT_TRUE(rig.log.Contains("Restart"));
  EXPECT_EQ(rig.shown.back(), (TShown{3500, "B"}));
  EXPECT_EQ(rig.timer.Interval(), 500);
}

TEST(Schedule, PreparingWhilePausedArmsButDoesNotEnable) {
  TRig rig({A});
  rig.player.Seek(2000);
  rig.schedule.Prepare(rig.player.Position(), false);
  EXPECT_EQ(rig.shown, (std::vector<TShown>{{2000, "A"}}));
  EXPECT_EQ(rig.timer.Interval(), 3000);
  EXPECT_FALSE(rig.timer.Enabled());
}

TEST(Schedule, EmptiedListStopsWithoutShowingAnything) {
  TRig rig({{1000, 2000, "A"}});
  rig.Run({{0, Act::Play}}, 500);
  rig.list.ClearList();
  test::RunClock(rig.clock, rig.timer, 5000);
  EXPECT_EQ(rig.shown, (std::vector<TShown>{{0, ""}}));
  EXPECT_FALSE(rig.timer.Enabled());
}

TEST(Schedule, TimerIntervalIsAtLeastOneMillisecond) {
  EXPECT_EQ(TSubtitleSchedule::TimerInterval(0), 1);
  EXPECT_EQ(TSubtitleSchedule::TimerInterval(-5000), 1);
  EXPECT_EQ(TSubtitleSchedule::TimerInterval(250), 250);
  EXPECT_EQ(TSubtitleSchedule::TimerInterval(std::int64_t{1} << 40), 2147483647);
}

}  // namespace
}  // namespace kv
