// Media format names (row by row) and the format-block readers.
#include "engine/formats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kv {
namespace {

TEST(VideoCodecName, namesEveryRow) {
  std::pair<GUID, const char*> rows[] = {
      {FourccSubtype("YUYV"), "YUYV"}, {FourccSubtype("YUY2"), "YUY2"}, {MEDIASUBTYPE_RGB24, "RGB24"},
      {MEDIASUBTYPE_RGB555, "RGB555"}, {MEDIASUBTYPE_RGB565, "RGB565"}, {MEDIASUBTYPE_RGB32, "RGB32"},
      {FourccSubtype("UYVY"), "UYVY"}, {FourccSubtype("YVU9"), "YVU9"}, {FourccSubtype("Y411"), "Y411"},
      {FourccSubtype("Y41P"), "Y41P"}, {FourccSubtype("YVYU"), "YVYU"}, {FourccSubtype("Y211"), "Y211"},
      {FourccSubtype("IYUV"), "IYUV"}, {FourccSubtype("YV12"), "YV12"}, {FourccSubtype("I420"), "I420"},
      {FourccSubtype("MJPG"), "MJPG"}, {FourccSubtype("HFYU"), "Huffyuv"}, {FourccSubtype("IJPG"), "IJPG"},
      {FourccSubtype("DVSD"), "DV"}, {FourccSubtype("dvsd"), "DV"}, {FourccSubtype("DIVX"), "DivX 3"},
      {FourccSubtype("DIV3"), "DivX 3"}, {FourccSubtype("DIV4"), "DivX 4"}, {FourccSubtype("DX50"), "DivX 5"},
      {FourccSubtype("XVID"), "XviD"}, {MEDIASUBTYPE_MPEG1Payload, "MPEG-1"},
      {MEDIASUBTYPE_MPEG2_VIDEO, "MPEG-2"}, {FourccSubtype("MWV1"), "Aware Motion Wavelets"},
      {FourccSubtype("PVW2"), "PICVideo Wavelet 2000"}, {FourccSubtype("JPGL"), "PICVideo Lossless JPG"},
      {FourccSubtype("IV50"), "Indeo Video 5"}, {FourccSubtype("MP4S"), "MS MPEG-4 V1"},
      {FourccSubtype("AVC1"), "MPEG-4 AVC (H264)"}, {FourccSubtype("WMV1"), "Windows Media Video 7"},
      {FourccSubtype("WMV2"), "Windows Media Video 8"}, {FourccSubtype("WMV3"), "Windows Media Video 9"},
      {FourccSubtype("VXIS"), "VXIS"}, {FourccSubtype("VBIV"), "Raw VBI data"},
      // Outside the table: a FOURCC names itself, anything else has no name.
      {FourccSubtype("abcd"), "abcd"}, {FourccSubtype("h264"), "h264"}, {MEDIASUBTYPE_MPEG1Packet, ""},
      {GUID_NULL, ""},
  };
  for (const auto& [g, name] : rows) EXPECT_EQ(VideoCodecName(g), name) << GuidToString(g);
}

TEST(AudioCodecName, namesEveryRow) {
  std::pair<GUID, const char*> rows[] = {
      {MEDIASUBTYPE_PCM, "PCM"}, {WaveFormatSubtype(0x216), "DV Audio - PAL"},
      {WaveFormatSubtype(0x215), "DV Audio - NTSC"}, {WaveFormatSubtype(0x11), "IMA ADPCM"},
      {WaveFormatSubtype(0x2), "Microsoft ADPCM"}, {MEDIASUBTYPE_MPEG1Packet, "Mpeg Layer 1"},
      {MEDIASUBTYPE_AIFF, "AIFF"}, {MEDIASUBTYPE_MPEG1Audio, "Mpeg Layer 1"},
      {MEDIASUBTYPE_MPEG1AudioPayload, "Mpeg Layer 1"}, {MEDIASUBTYPE_AU, "AU"},
      {MEDIASUBTYPE_Vorbis, "Ogg Vorbis"}, {MEDIASUBTYPE_Vorbis2, "Ogg Vorbis"},
      {MEDIASUBTYPE_MPEG2_AUDIO, "Mpeg Layer 2"}, {WaveFormatSubtype(0x55), "Mpeg Layer 3"},
      {WaveFormatSubtype(0x270), "ATRAC3"}, {WaveFormatSubtype(0x2000), "Dolby AC3"},
      {MEDIASUBTYPE_DOLBY_AC3, "Dolby AC3"}, {WaveFormatSubtype(0x92), "Dolby AC3"},
      {WaveFormatSubtype(0x161), "Windows Media Audio 9"}, {WaveFormatSubtype(0x162), ""},
      {FourccSubtype("abcd"), ""},
  };
  for (const auto& [g, name] : rows) EXPECT_EQ(AudioCodecName(g), name) << GuidToString(g);
}

std::vector<uint8_t> VideoBlock(size_t size, size_t sizeOffset, int32_t w, int32_t h, int64_t perFrame) {
  std::vector<uint8_t> b(size, 0);
  std::memcpy(&b[40], &perFrame, 8);
  std::memcpy(&b[sizeOffset], &w, 4);
  std::memcpy(&b[sizeOffset + 4], &h, 4);
  return b;
}

TEST(ReadVideoFormat, sizeAndRateByFormatType) {
  struct Row {
    GUID format;
    size_t offset;
    int64_t perFrame;
    double rate;
  } rows[] = {
      {FORMAT_VideoInfo, 52, 400000, 25.0},  {FORMAT_VideoInfo, 52, 100000, 0.0},
      {FORMAT_VideoInfo, 52, 0, 0.0},        {FORMAT_VideoInfo2, 76, 400000, 25.0},
      {FORMAT_VideoInfo2, 76, 100000, 0.0},  {FORMAT_MPEGVideo, 52, 100000, 100.0},
      {FORMAT_MPEG2Video, 76, 100000, 100.0}, {FORMAT_MPEG2Video, 76, 0, 0.0},
      {FORMAT_MPEG2Video, 76, -5, 0.0},
  };
  for (const auto& r : rows) {
    TStreamInfo info;
    auto b = VideoBlock(120, r.offset, 720, 576, r.perFrame);
    info.ReadVideoFormat(MEDIASUBTYPE_MPEG2_VIDEO, r.format, b.data(), b.size());
    EXPECT_EQ(info.VideoCodec, "MPEG-2");
    EXPECT_EQ(info.VideoWidth, 720) << GuidToString(r.format);
    EXPECT_EQ(info.VideoHeight, 576);
    EXPECT_DOUBLE_EQ(info.FrameRate, r.rate) << GuidToString(r.format) << " " << r.perFrame;
  }
}

TEST(ReadVideoFormat, unknownFormatOrShortBlockGivesZeros) {
  TStreamInfo info;
  auto b = VideoBlock(120, 52, 720, 576, 400000);
  info.ReadVideoFormat(FourccSubtype("XVID"), FORMAT_WaveFormatEx, b.data(), b.size());
  EXPECT_EQ(info.VideoCodec, "XviD");
  EXPECT_EQ(info.VideoWidth, 0);
  EXPECT_EQ(info.FrameRate, 0);
  info.ReadVideoFormat(FourccSubtype("XVID"), FORMAT_VideoInfo2, b.data(), 60);
  EXPECT_EQ(info.VideoWidth, 0);
  info.ReadVideoFormat(FourccSubtype("XVID"), FORMAT_VideoInfo, nullptr, 0);
  EXPECT_EQ(info.VideoHeight, 0);
}

TEST(ReadAudioFormat, waveFormatAndVorbisBlocks) {
  std::vector<uint8_t> wave(18, 0);
  uint16_t channels = 2, bits = 16;
  int32_t rate = 44100, bytesPerSec = 24000;
  std::memcpy(&wave[2], &channels, 2);
  std::memcpy(&wave[4], &rate, 4);
  std::memcpy(&wave[8], &bytesPerSec, 4);
  std::memcpy(&wave[14], &bits, 2);
  TStreamInfo info;
  info.ReadAudioFormat(WaveFormatSubtype(0x55), FORMAT_WaveFormatEx, wave.data(), wave.size());
  EXPECT_EQ(info.AudioCodec, "Mpeg Layer 3");
  EXPECT_EQ(info.SampleRate, 44100);
  EXPECT_EQ(info.Channels, 2);
  EXPECT_EQ(info.BitsPerSample, 16);
  EXPECT_EQ(info.AudioBitrate, 192000);

  std::vector<uint8_t> vorbis(24, 0);
  int32_t vbitrate = 128000;
  std::memcpy(&vorbis[0], &channels, 2);
  std::memcpy(&vorbis[4], &rate, 4);
  std::memcpy(&vorbis[12], &vbitrate, 4);
  for (GUID format : {FORMAT_VorbisFormat, FORMAT_VorbisFormat2}) {
    TStreamInfo v;
    v.BitsPerSample = 99;
    v.ReadAudioFormat(MEDIASUBTYPE_Vorbis, format, vorbis.data(), vorbis.size());
    EXPECT_EQ(v.AudioCodec, "Ogg Vorbis");
    EXPECT_EQ(v.SampleRate, 44100);
    EXPECT_EQ(v.Channels, 2);
    EXPECT_EQ(v.BitsPerSample, 0);
    EXPECT_EQ(v.AudioBitrate, 128000);
  }
}

TEST(ReadAudioFormat, unknownFormatTypeKeepsNumbers_butNamesTheCodec) {
  TStreamInfo info;
  std::vector<uint8_t> block(32, 0xFF);
  info.ReadAudioFormat(MEDIASUBTYPE_DOLBY_AC3, FORMAT_VideoInfo, block.data(), block.size());
  EXPECT_EQ(info.AudioCodec, "Dolby AC3");
  EXPECT_EQ(info.SampleRate, 0);
  EXPECT_EQ(info.AudioBitrate, 0);
  info.ReadAudioFormat(MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, block.data(), 10);  // too short
  EXPECT_EQ(info.SampleRate, 0);
}

}  // namespace
}  // namespace kv
