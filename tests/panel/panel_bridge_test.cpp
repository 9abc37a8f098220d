// The protocol's arithmetic on both sides: the player's packing and command lists
// (app/panel_bridge) and the panel's texts (components/CapPanel/panel_format).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/panel_bridge.h"
#include "panel_format.h"

namespace kv::panel {
namespace {

TEST(PanelBridge, PlacementPacksLeftTopAndSize_andThePanelUnpacksNegativePlaces) {
  const TPanelCommand c = PlacementCommand(100, 50, 320, 240);
  EXPECT_EQ(c.code, 38);
  EXPECT_EQ(c.a, 100 * 65536 + 50);
  EXPECT_EQ(c.b, 320 * 65536 + 240);
  // A window partly left of or above the screen still travels and comes back.
  for (auto [high, low] : {std::pair{-20, -5}, std::pair{0, -1}, std::pair{-1, 0}, std::pair{1919, 1079}}) {
    int32_t h = 0, l = 0;
    cappanel::Unpack(PackPair(high, low), &h, &l);
    EXPECT_EQ(h, high);
    EXPECT_EQ(l, low);
    UnpackPair(PackPair(high, low), &h, &l);
    EXPECT_EQ(h, high);
    EXPECT_EQ(l, low);
  }
}

TEST(PanelBridge, FrameRateTruncatesTheFraction_andAnUnconvertibleRateIsNotSent) {
  int32_t v = 0;
  ASSERT_TRUE(FrameRateValue(25.0, &v));
  EXPECT_EQ(v, 25 * 65536);
  ASSERT_TRUE(FrameRateValue(12.5, &v));
  EXPECT_EQ(v, 12 * 65536 + 500);
  ASSERT_TRUE(FrameRateValue(30000.0 / 1001.0, &v));  // 29.97002997
  EXPECT_EQ(v, 29 * 65536 + 970);
  ASSERT_TRUE(FrameRateValue(std::nextafter(29.97, 0.0), &v));  // held slightly below 29.97
  EXPECT_EQ(v, 29 * 65536 + 969);
  EXPECT_EQ(cappanel::FrameRateText(v), "29.969 fps");
  EXPECT_FALSE(FrameRateValue(std::numeric_limits<double>::quiet_NaN(), &v));
  EXPECT_FALSE(FrameRateValue(std::numeric_limits<double>::infinity(), &v));
  EXPECT_FALSE(FrameRateValue(1e9, &v));
  TMediaInfo info;
  info.open = true;
  info.frameRate = std::numeric_limits<double>::quiet_NaN();
  for (const TPanelCommand& c : MediaInfoCommands(info)) EXPECT_NE(c.code, kFrameRate);
}

TEST(PanelBridge, SizesRoundHalfToEven_andPercentToHundredths) {
  EXPECT_EQ(RoundKiB(512), 0);         // 0.5 -> 0
  EXPECT_EQ(RoundKiB(1536), 2);        // 1.5 -> 2
  EXPECT_EQ(RoundKiB(2560), 2);        // 2.5 -> 2
  EXPECT_EQ(RoundKiB(1025), 1);
  EXPECT_EQ(RoundKiB(int64_t(1) << 50), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(PercentHundredths(50.0), 5000);
  EXPECT_EQ(PercentHundredths(12.345), 1234);  // 1234.5 -> 1234
  EXPECT_EQ(PercentHundredths(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(PanelBridge, MediaInfoInSendingOrder_andZerosWithoutATitle) {
  TMediaInfo info;
  info.open = true;
  info.nativeWidth = 720;
  info.nativeHeight = 576;
  info.frameRate = 25;
  info.fileSize = 10 * 1024 * 1024;
  info.freeBytes = 2048;
  info.sampleRate = 48000;
  info.channels = 2;
  info.bitsPerSample = 16;
  info.videoFormatName = "YV12";
  info.videoCodec = "MPEG-4";
  info.audioCodec = "Vorbis";
  info.fileName = "/m/clip.mkv";
  info.durationMs = 7259;
  const std::vector<TPanelCommand> expected = {
      {260, 720 * 65536 + 576, 0, false, {}}, {261, 25 * 65536, 0, false, {}},
      {262, 10240, 0, false, {}},             {263, 2, 0, false, {}},
      {272, 48000, 0, false, {}},             {273, 2, 0, false, {}},
      {274, 16, 0, false, {}},                {276, 0, 0, true, "YV12"},
      {277, 0, 0, true, "MPEG-4"},            {278, 0, 0, true, "Vorbis"},
      {279, 0, 0, true, "/m/clip.mkv"},       {290, 72, 0, false, {}}};
  EXPECT_EQ(MediaInfoCommands(info), expected);
  info.open = false;  // no engine, or nothing open: texts empty, numbers 0
  for (const TPanelCommand& c : MediaInfoCommands(info)) {
    EXPECT_EQ(c.a, 0) << c.code;
    EXPECT_EQ(c.text, "") << c.code;
  }
}

TEST(PanelBridge, PositionAndBitrates) {
  // Two hours, at one hour.
  const std::vector<TPanelCommand> at = PositionCommands(true, 3600000, 7200000, 50.0);
  ASSERT_EQ(at.size(), 3u);
  EXPECT_EQ(at[0].code, 275);
  EXPECT_EQ(at[0].a, 5000);
  EXPECT_EQ(at[1].code, 259);
  EXPECT_EQ(at[1].a, 36000);
  EXPECT_EQ(at[2].code, 264);
  EXPECT_EQ(at[2].a, 36000);
  for (const TPanelCommand& c : PositionCommands(false, 5, 9, 3)) EXPECT_EQ(c.a, 0);
  // Only known rates go out, in kbit/s.
  const std::vector<TPanelCommand> rates = BitrateCommands(1500999, -1, 128000, 0);
  ASSERT_EQ(rates.size(), 2u);
  EXPECT_EQ(rates[0], (TPanelCommand{280, 1500, 0, false, {}}));
  EXPECT_EQ(rates[1], (TPanelCommand{288, 128, 0, false, {}}));
  EXPECT_EQ(PanelLibraryPath(false), "Components/CapPanel.so");
  EXPECT_EQ(PanelLibraryPath(true), "Components/CapPanel/CapPanel.so");
  EXPECT_FALSE(IsKnownRequest(1000));
  EXPECT_TRUE(IsKnownRequest(784));
}

TEST(PanelFormat, TextsOfThePanel) {
  using namespace cappanel;
  EXPECT_EQ(TimeText(36000), "1:00:00");
  EXPECT_EQ(TimeText(655), "0:01:05");
  EXPECT_EQ(TimeText(-5), "0:00:00");
  EXPECT_EQ(PictureText(PackPair(640, 360)), "640 x 360");
  EXPECT_EQ(PictureText(0), "");
  EXPECT_EQ(FrameRateText(12 * 65536 + 500), "12.500 fps");
  EXPECT_EQ(SizeText(512), "512 KiB");
  EXPECT_EQ(SizeText(3 * 1024 + 512), "3.5 MiB");
  EXPECT_EQ(BitrateText(-1), "-");
  EXPECT_EQ(BitrateText(1500), "1500 kbit/s");
  EXPECT_EQ(AudioFormatText(44100, 1, 16), "44100 Hz, 1 channel, 16 bit");
  EXPECT_EQ(AudioFormatText(0, 2, 16), "");
  EXPECT_EQ(TimeAtSliderValue(5000, 72000), 36000);
  EXPECT_EQ(TimeAtSliderValue(20000, 100), 100);
}

}  // namespace
}  // namespace kv::panel
