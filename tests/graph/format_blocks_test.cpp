// Format blocks: every field the engine reads by offset sits at that offset, little-endian;
// short blocks are refused instead of read past their end.
#include <gtest/gtest.h>

#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv {
namespace {

struct OffsetRow {
  const char* what;
  std::vector<uint8_t> block;
  size_t offset;
  int bytes;          // 2, 4 or 8
  int64_t expected;
};

std::vector<OffsetRow> Rows() {
  VIDEOINFOHEADER vih;
  vih.AvgTimePerFrame = 400000;
  vih.dwBitRate = 1234567;
  vih.bmiHeader.biWidth = 720;
  vih.bmiHeader.biHeight = -576;
  vih.bmiHeader.biCompression = 0x32595559;  // YUY2
  VIDEOINFOHEADER2 vih2;
  vih2.AvgTimePerFrame = 333667;
  vih2.dwPictAspectRatioX = 16;
  vih2.dwPictAspectRatioY = 9;
  vih2.bmiHeader.biWidth = 1920;
  vih2.bmiHeader.biHeight = 1080;
  MPEG1VIDEOINFO m1;
  m1.hdr = vih;
  m1.dwStartTimeCode = 77;
  m1.sequenceHeader = {0, 0, 1, 0xB3};
  MPEG2VIDEOINFO m2;
  m2.hdr = vih2;
  m2.dwProfile = 4;
  m2.dwLevel = 8;
  m2.sequenceHeader = {0, 0, 1, 0xB3, 1};
  WAVEFORMATEX wfx;
  wfx.wFormatTag = 0x55;
  wfx.nChannels = 2;
  wfx.nSamplesPerSec = 44100;
  wfx.nAvgBytesPerSec = 24000;
  wfx.nBlockAlign = 1;
  wfx.wBitsPerSample = 16;
  wfx.extra = {9, 8, 7};
  VORBISFORMAT vf;
  vf.nChannels = 6;
  vf.nSamplesPerSec = 48000;
  vf.nAvgBitsPerSec = 192000;
  VORBISFORMAT2 vf2;
  vf2.info = vf;
  vf2.headers = {std::vector<uint8_t>{1, 2}, std::vector<uint8_t>{3}, std::vector<uint8_t>{4, 5, 6}};
  auto v = BuildFormatBlock(vih);
  auto v2 = BuildFormatBlock(vih2);
  auto b1 = BuildFormatBlock(m1);
  auto b2 = BuildFormatBlock(m2);
  auto w = BuildFormatBlock(wfx);
  auto o = BuildFormatBlock(vf);
  auto o2 = BuildFormatBlock(vf2);
  return {
      {"VIH AvgTimePerFrame", v, 40, 8, 400000},
      {"VIH dwBitRate", v, 32, 4, 1234567},
      {"VIH biSize", v, 48, 4, 40},
      {"VIH biWidth", v, 52, 4, 720},
      {"VIH biHeight", v, 56, 4, static_cast<uint32_t>(-576)},
      {"VIH biCompression", v, 64, 4, 0x32595559},
      {"VIH2 AvgTimePerFrame", v2, 40, 8, 333667},
      {"VIH2 dwPictAspectRatioX", v2, 56, 4, 16},
      {"VIH2 dwPictAspectRatioY", v2, 60, 4, 9},
      {"VIH2 biWidth", v2, 76, 4, 1920},
      {"VIH2 biHeight", v2, 80, 4, 1080},
      {"MPEG1 biWidth", b1, 52, 4, 720},
      {"MPEG1 AvgTimePerFrame", b1, 40, 8, 400000},
      {"MPEG1 dwStartTimeCode", b1, 88, 4, 77},
      {"MPEG1 cbSequenceHeader", b1, 92, 4, 4},
      {"MPEG1 sequence byte 3", b1, 99, 1, 0xB3},
      {"MPEG2 biWidth", b2, 76, 4, 1920},
      {"MPEG2 biHeight", b2, 80, 4, 1080},
      {"MPEG2 AvgTimePerFrame", b2, 40, 8, 333667},
      {"MPEG2 cbSequenceHeader", b2, 116, 4, 5},
      {"MPEG2 dwProfile", b2, 120, 4, 4},
      {"MPEG2 dwLevel", b2, 124, 4, 8},
      {"MPEG2 sequence byte 3", b2, 135, 1, 0xB3},
      {"WFX wFormatTag", w, 0, 2, 0x55},
      {"WFX nChannels", w, 2, 2, 2},
      {"WFX nSamplesPerSec", w, 4, 4, 44100},
      {"WFX nAvgBytesPerSec", w, 8, 4, 24000},
      {"WFX nBlockAlign", w, 12, 2, 1},
      {"WFX wBitsPerSample", w, 14, 2, 16},
      {"WFX cbSize", w, 16, 2, 3},
      {"WFX extra", w, 18, 1, 9},
      {"Vorbis channels (16 bits)", o, 0, 2, 6},
      {"Vorbis rate", o, 4, 4, 48000},
      {"Vorbis average bitrate", o, 12, 4, 192000},
      {"Vorbis2 channels (16 bits)", o2, 0, 2, 6},
      {"Vorbis2 rate", o2, 4, 4, 48000},
      {"Vorbis2 average bitrate", o2, 12, 4, 192000},
      {"Vorbis2 first header size", o2, 24, 4, 2},
      {"Vorbis2 first header byte", o2, 36, 1, 1},
  };
}

int64_t ReadRaw(const std::vector<uint8_t>& b, size_t offset, int bytes) {
  int64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= int64_t(b.at(offset + i)) << (8 * i);
  return v;
}

TEST(FormatBlocks, Builders_putEveryFieldAtItsOffset) {
  for (auto& r : Rows()) EXPECT_EQ(ReadRaw(r.block, r.offset, r.bytes), r.expected) << r.what;
}

TEST(FormatBlocks, FixedSizes_matchTheLayouts) {
  EXPECT_EQ(BuildFormatBlock(VIDEOINFOHEADER{}).size(), 88u);
  EXPECT_EQ(BuildFormatBlock(VIDEOINFOHEADER2{}).size(), 112u);
  EXPECT_EQ(BuildFormatBlock(MPEG1VIDEOINFO{}).size(), 96u);
  EXPECT_EQ(BuildFormatBlock(MPEG2VIDEOINFO{}).size(), 136u);
  EXPECT_EQ(BuildFormatBlock(WAVEFORMATEX{}).size(), 18u);
  EXPECT_EQ(BuildFormatBlock(VORBISFORMAT{}).size(), 24u);
}

TEST(FormatBlocks, Readers_returnWhatBuildersWrote) {
  VIDEOINFOHEADER2 v2;
  v2.rcSource = {1, 2, 3, 4};
  v2.AvgTimePerFrame = 417083;
  v2.dwInterlaceFlags = 5;
  v2.bmiHeader.biWidth = 352;
  MPEG2VIDEOINFO m2;
  m2.hdr = v2;
  m2.dwFlags = 3;
  m2.sequenceHeader = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(*ReadMpeg2VideoInfo(BuildFormatBlock(m2)), m2);
  MPEG1VIDEOINFO m1;
  m1.hdr.bmiHeader.biHeight = 288;
  m1.sequenceHeader = {7};
  EXPECT_EQ(*ReadMpeg1VideoInfo(BuildFormatBlock(m1)), m1);
  WAVEFORMATEX w;
  w.nChannels = 6;
  w.extra = {1, 2};
  EXPECT_EQ(*ReadWaveFormatEx(BuildFormatBlock(w)), w);
  VORBISFORMAT2 vf2;
  vf2.info.fQuality = 0.5f;
  vf2.headers[2] = {9, 9, 9};
  EXPECT_EQ(*ReadVorbisFormat2(BuildFormatBlock(vf2)), vf2);
  EXPECT_EQ(*ReadVideoInfoHeader2(BuildFormatBlock(v2)), v2);
}

TEST(FormatBlocks, Readers_refuseShortOrLyingBlocks) {
  auto vih = BuildFormatBlock(VIDEOINFOHEADER{});
  vih.pop_back();
  EXPECT_FALSE(ReadVideoInfoHeader(vih));
  EXPECT_FALSE(ReadVideoInfoHeader2(std::vector<uint8_t>(111)));
  EXPECT_FALSE(ReadVorbisFormat(std::vector<uint8_t>(23)));
  // A WAVEFORMATEX whose cbSize claims more bytes than the block holds.
  WAVEFORMATEX w;
  w.extra = {1, 2, 3, 4};
  auto block = BuildFormatBlock(w);
  block.resize(20);
  EXPECT_FALSE(ReadWaveFormatEx(block));
  // An MPEG-2 block whose sequence header length runs past its end.
  MPEG2VIDEOINFO m2;
  auto b = BuildFormatBlock(m2);
  b[116] = 200;
  EXPECT_FALSE(ReadMpeg2VideoInfo(b));
  // The 16-byte WAVEFORMAT (no cbSize) is still accepted.
  EXPECT_TRUE(ReadWaveFormatEx(std::vector<uint8_t>(16)));
  EXPECT_FALSE(ReadLE32(std::vector<uint8_t>(5), 2));
  EXPECT_FALSE(ReadLE64(std::vector<uint8_t>(8), SIZE_MAX));
  EXPECT_EQ(*ReadLE16(std::vector<uint8_t>{1, 2}, 0), 0x0201);
}

TEST(FormatBlocks, MediaTypeBuilders_setTheFormatTypeOfTheirLayout) {
  EXPECT_EQ(MakeVideoInfoType(MEDIASUBTYPE_YUY2, {}).formattype, FORMAT_VideoInfo);
  EXPECT_EQ(MakeVideoInfo2Type(MEDIASUBTYPE_YUY2, {}).formattype, FORMAT_VideoInfo2);
  EXPECT_EQ(MakeMpeg1VideoType(MEDIASUBTYPE_MPEG1Payload, {}).formattype, FORMAT_MPEGVideo);
  EXPECT_EQ(MakeMpeg2VideoType(MEDIASUBTYPE_MPEG2_VIDEO, {}).formattype, FORMAT_MPEG2Video);
  auto audio = MakeWaveFormatType(MEDIASUBTYPE_PCM, {});
  EXPECT_EQ(audio.majortype, MEDIATYPE_Audio);
  EXPECT_EQ(audio.formattype, FORMAT_WaveFormatEx);
  EXPECT_EQ(MakeVorbisType(MEDIASUBTYPE_Vorbis, {}).formattype, FORMAT_VorbisFormat);
  EXPECT_EQ(MakeVorbis2Type(MEDIASUBTYPE_Vorbis2, {}).formattype, FORMAT_VorbisFormat2);
}

TEST(MediaGuids, SubtypeShapes_followTheFourccAndWaveFormatRules) {
  EXPECT_EQ(FourccSubtype("YUY2"), GuidLiteral("{32595559-0000-0010-8000-00AA00389B71}"));
  EXPECT_EQ(WaveFormatSubtype(0x2000), GuidLiteral("{00002000-0000-0010-8000-00AA00389B71}"));
  EXPECT_EQ(MEDIASUBTYPE_PCM, GuidLiteral("{00000001-0000-0010-8000-00AA00389B71}"));
  EXPECT_EQ(MediaGuidName(FourccSubtype("abcd")), "abcd");
  EXPECT_EQ(MediaGuidName(WaveFormatSubtype(0x55)), "wave 0x0055");
  EXPECT_EQ(MediaGuidName(MEDIASUBTYPE_MPEG2_VIDEO), "MPEG2_VIDEO");
  EXPECT_EQ(DescribeMediaType(MakeVideoInfoType(MEDIASUBTYPE_YUY2, {})), "Video/YUY2 format VideoInfo 88 bytes");
}

}  // namespace
}  // namespace kv
