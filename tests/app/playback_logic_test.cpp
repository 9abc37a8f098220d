#include "app/playback_logic.h"

#include <gtest/gtest.h>

namespace kv::playback {
namespace {

TEST(PlaybackLogic, StatusTextPerState) {
  EXPECT_EQ(StatusText(kRunning, 65000, 650000), "PLAY 0:01:05 10%");
  EXPECT_EQ(StatusText(kPaused, 3725000, 7450000), "PAUSE 1:02:05 50%");
  EXPECT_EQ(StatusText(kOpened, 5, 10), "OPEN");
  EXPECT_EQ(StatusText(kStopped, 5, 5400000), "STP 1:30:00");
  EXPECT_EQ(StatusText(kNone, 5, 10), "");
  EXPECT_EQ(StatusText(kEmpty, 5, 10), "");
  EXPECT_EQ(StatusText(kRunning, 1000, 0), "PLAY 0:00:01 0%") << "no division by a zero duration";
  EXPECT_EQ(StatusText(kRunning, 2000000000, 2100000000), "PLAY 555:33:20 95%") << "no overflow";
}

TEST(PlaybackLogic, RelativeSeeks) {
  EXPECT_EQ(ForwardTarget(0, 110000, 60000), 60000);
  EXPECT_EQ(ForwardTarget(60000, 110000, 60000), -1) << "50 s left: forward 1 minute does nothing";
  EXPECT_EQ(ForwardTarget(50000, 110000, 60000), -1) << "exactly N left does nothing either";
  EXPECT_EQ(BackTarget(40000, 60000), 0) << "back 1 minute at 0:00:40 goes to 0:00:00";
  EXPECT_EQ(BackTarget(700000, 600000), 100000);
  EXPECT_EQ(BackTarget(10000, 10000), 0);
}

TEST(PlaybackLogic, RateTags) {
  EXPECT_EQ(RateTag(0.1), 10);
  EXPECT_EQ(RateTag(1.0), 100);
  EXPECT_EQ(RateTag(0.333), 33) << "a rate the engine rounds checks no item";
  EXPECT_EQ(RateTag(0.125), 12) << "half to even";
  EXPECT_EQ(RateTag(100.0), 10000);
}

}  // namespace
}  // namespace kv::playback

namespace kv::playback {
namespace {

TEST(PlaybackLogic, OpenDialogFilterInQtForm) {
  EXPECT_EQ(QtFileFilter("All media|*.avi;*.mkv|AVI files|*.avi|All files|*.*"),
            "All media (*.avi *.mkv);;AVI files (*.avi);;All files (*)");
  EXPECT_EQ(QtFileFilter("Empty||All files|*.*"), "All files (*)");
  EXPECT_EQ(QtFileFilter(""), "");
  EXPECT_EQ(QtFileFilter("Odd|*.a|Dangling"), "Odd (*.a)");
}

}  // namespace
}  // namespace kv::playback

namespace kv::playback {
namespace {

TEST(PlaybackLogic, CaptureNamesFromTheClock) {
  EXPECT_EQ(CaptureName(2007, 3, 12, 21, 45, 30, 70), "070312-21453007");
  EXPECT_EQ(CaptureName(2000, 1, 2, 3, 4, 5, 999), "000102-03040599");
}

}  // namespace
}  // namespace kv::playback
