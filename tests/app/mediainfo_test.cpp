// The media information texts: every number format on a table of values, and the fills that
// keep the file size when the file cannot be read.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/mediainfo.h"

namespace kv::mediainfo {
namespace {

TEST(MediaInfoFormats, FileSize_unitsByThreshold) {
  const struct {
    int64_t bytes;
    const char* text;
  } rows[] = {
      {0, "0 kB"},
      {5000, "4 kB"},                         // 5000 div 1024
      {10 * 1048576LL, "10240 kB"},           // exactly 10 MiB is not above it
      {10 * 1048576LL + 1, "10 MB"},
      {700LL * 1000 * 1000, "667 MB"},        // a 700-MB file
      {1500LL * 1000 * 1000, "1430 MB"},      // 1.5 GB stays in MB below 10 GiB
      {10 * 1073741824LL, "10240 MB"},        // exactly 10 GiB
      {15LL * 1073741824 / 10 * 10, "15.0 GB"},
      {12345678901LL, "11.5 GB"},
  };
  for (const auto& r : rows) EXPECT_EQ(FileSizeText(r.bytes), r.text) << r.bytes;
}

TEST(MediaInfoFormats, Duration_hoursWithoutLeadingZero) {
  EXPECT_EQ(DurationText(((1 * 60 + 23) * 60 + 45) * 1000 + 42), "1:23:45.042");
  EXPECT_EQ(DurationText(4000), "0:00:04.000");
  EXPECT_EQ(DurationText(36000000), "10:00:00.000");
  EXPECT_EQ(DurationText(0), "?");
  EXPECT_EQ(DurationText(-5), "?");
}

TEST(MediaInfoFormats, VideoSize_reducedDisplayRatio) {
  EXPECT_EQ(VideoSizeText(720, 576, 1024, 576), "720x576 (16:9)");
  EXPECT_EQ(VideoSizeText(720, 576, 720, 576), "720x576 (5:4)");
  EXPECT_EQ(VideoSizeText(352, 240, 352, 240), "352x240 (22:15)");
  EXPECT_EQ(VideoSizeText(1920, 1080, 1920, 1080), "1920x1080 (16:9)");
  // Only the divisors up to 19 are tried: 23 stays in the ratio.
  EXPECT_EQ(VideoSizeText(46, 23, 46, 23), "46x23 (46:23)");
  EXPECT_EQ(VideoSizeText(640, 480, 0, 480), "640x480");
  EXPECT_EQ(ReduceRatio(23 * 29, 29 * 31), std::make_pair(23 * 29, 29 * 31));
}

TEST(MediaInfoFormats, FrameRate_trailingZerosRemoved) {
  const struct {
    double fps;
    const char* text;
  } rows[] = {{25, "25 fps"},           {29.97, "29.97 fps"},        {23.976, "23.976 fps"},
              {100, "100 fps"},         {59.94, "59.94 fps"},        {30000.0 / 1001, "29.97 fps"},
              {24000.0 / 1001, "23.976 fps"}, {0.5, "0.5 fps"},      {12.34567, "12.3457 fps"},
              {0, "?"},                 {-25, "?"}};
  for (const auto& r : rows) EXPECT_EQ(FrameRateText(r.fps), r.text) << r.fps;
}

TEST(MediaInfoFormats, AudioTexts) {
  EXPECT_EQ(SampleRateText(44100), "44100 Hz");
  EXPECT_EQ(SampleRateText(48000), "48000 Hz");
  EXPECT_EQ(SampleRateText(0), "?");
  EXPECT_EQ(ChannelsText(0), "?");
  EXPECT_EQ(ChannelsText(1), "Mono");
  EXPECT_EQ(ChannelsText(2), "Stereo");
  EXPECT_EQ(ChannelsText(6), "6 channels");
  EXPECT_EQ(BitsText(16), "16b");
  EXPECT_EQ(BitsText(0), "?");
  EXPECT_EQ(BitrateText(192000), "192kbps");
  EXPECT_EQ(BitrateText(10001), "10kbps");
  EXPECT_EQ(BitrateText(10000), "10000bps");
  EXPECT_EQ(BitrateText(9600), "9600bps");
  EXPECT_EQ(BitrateText(0), "?");
  EXPECT_EQ(BitrateText(-1), "?");
}

TEST(MediaInfoFill, OpenedFile_fillsEveryTextAndKeepsSizeAndDuration) {
  const auto path = std::filesystem::temp_directory_path() / "kavello-mediainfo-test.bin";
  std::ofstream(path, std::ios::binary) << std::string(5000, 'x');
  TMediaValues v;
  v.Opened = true;
  v.FileName = path.string();
  v.Duration = 5025042;
  v.VideoWidth = 720;
  v.VideoHeight = 576;
  v.DisplayWidth = 1024;
  v.DisplayHeight = 576;
  v.FrameRate = 25;
  v.VideoCodec = "MPEG-2";
  v.HaveAudio = true;
  v.SampleRate = 48000;
  v.Channels = 6;
  v.BitsPerSample = 16;
  v.AudioBitrate = 448000;
  v.AudioCodec = "Dolby AC3";
  TMediaTexts t;
  int64_t size = -1;
  int32_t duration = -1;
  FillVideoTexts(v, &t, &size, &duration);
  FillAudioTexts(v, &t);
  EXPECT_EQ(t.MediaName, "kavello-mediainfo-test.bin");
  EXPECT_EQ(t.MediaSize, "4 kB");
  EXPECT_EQ(size, 5000);
  EXPECT_EQ(duration, 5025042);
  EXPECT_EQ(t.MediaLength, "1:23:45.042");
  EXPECT_EQ(t.VideoSize, "720x576 (16:9)");
  EXPECT_EQ(t.Framerate, "25 fps");
  EXPECT_EQ(t.VideoCompression, "MPEG-2");
  EXPECT_EQ(t.AudioFreq, "48000 Hz");
  EXPECT_EQ(t.AudioChannels, "6 channels");
  EXPECT_EQ(t.AudioBits, "16b");
  EXPECT_EQ(t.AudioBitrate, "448kbps");
  EXPECT_EQ(t.AudioCompression, "Dolby AC3");

  // The file went away: the size and its text stay as they were, the rest follows.
  std::filesystem::remove(path);
  v.Duration = 4000;
  FillVideoTexts(v, &t, &size, &duration);
  EXPECT_EQ(size, 5000);
  EXPECT_EQ(t.MediaSize, "4 kB");
  EXPECT_EQ(t.MediaLength, "0:00:04.000");

  // Closed: every video text is "?"; no engine: every audio text is "?".
  FillVideoTexts(TMediaValues{}, &t, &size, &duration);
  FillAudioTexts(TMediaValues{}, &t);
  for (const std::string* s : {&t.MediaName, &t.MediaSize, &t.MediaLength, &t.VideoSize, &t.Framerate,
                               &t.VideoCompression, &t.AudioFreq, &t.AudioChannels, &t.AudioBits,
                               &t.AudioBitrate, &t.AudioCompression})
    EXPECT_EQ(*s, "?");
}

TEST(MediaInfoFill, Report_listsTheLabelsInTheWindowsOrder) {
  TMediaTexts t;
  t.MediaName = "a.avi";
  t.AudioChannels = "Mono";
  const std::string report = TextsReport(t);
  EXPECT_EQ(report.find("Name: a.avi\n"), 0u);
  EXPECT_NE(report.find("\nAudio channels: Mono\n"), std::string::npos);
  EXPECT_LT(report.find("Video size"), report.find("Audio frequency"));
}

}  // namespace
}  // namespace kv::mediainfo
