// The decoders' output side: picture and PCM layouts in their offered order, the picture
// writer's plane placement, and the PCM converter.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include "filters/audiodec/pcm_converter.h"
#include "filters/audiodec/pcm_formats.h"
#include "filters/ffmpeg/av_handles.h"
#include "filters/video/picture_formats.h"
#include "filters/video/picture_writer.h"
#include "filters/video/video_decoder_filter.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv {
namespace {

TEST(PictureFormats, OfferedInTheAgreedOrder) {
  const GUID expected[] = {MEDIASUBTYPE_YV12, MEDIASUBTYPE_I420, MEDIASUBTYPE_NV12, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB32};
  const auto table = video::PictureFormatTable();
  ASSERT_EQ(table.size(), std::size(expected));
  for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i].subtype, expected[i]) << i;
}

TEST(PictureFormats, EveryRow_readsBackWithBothHeaders) {
  for (const auto& row : video::PictureFormatTable()) {
    for (bool second : {true, false}) {
      SCOPED_TRACE(MediaGuidName(row.subtype) + (second ? " VIH2" : " VIH"));
      MediaType mt = video::MakePictureType(row, 175, 144, 400000, 4, 3, second);
      EXPECT_EQ(mt.formattype, second ? FORMAT_VideoInfo2 : FORMAT_VideoInfo);
      auto g = video::ReadPictureType(mt);
      ASSERT_TRUE(g.has_value());
      EXPECT_EQ(g->format, &row);
      EXPECT_EQ(g->width, 175);
      EXPECT_EQ(g->height, 144);
      EXPECT_EQ(g->stride, 176) << "rows are padded to an even length";
      EXPECT_EQ(g->frameDuration, 400000);
      EXPECT_EQ(g->imageSize, 176 * 144 * row.bitsPerPixel / 8);
      EXPECT_EQ(mt.lSampleSize, static_cast<uint32_t>(g->imageSize));
    }
  }
}

TEST(PictureFormats, ForeignOrBrokenTypes_areRefused) {
  const auto& yv12 = video::PictureFormatTable()[0];
  MediaType good = video::MakePictureType(yv12, 64, 48, 0, 0, 0, false);
  auto changed = [&](auto change) {
    MediaType m = good;
    change(m);
    return m;
  };
  EXPECT_FALSE(video::ReadPictureType(changed([](MediaType& m) { m.subtype = MEDIASUBTYPE_UYVY; })));
  EXPECT_FALSE(video::ReadPictureType(changed([](MediaType& m) { m.majortype = MEDIATYPE_Audio; })));
  EXPECT_FALSE(video::ReadPictureType(changed([](MediaType& m) { m.format.resize(40); })));
  EXPECT_FALSE(video::ReadPictureType(changed([](MediaType& m) { m.format[52] = 63; })))  // odd stride
      << "4:2:0 rows need an even length";
  EXPECT_FALSE(video::ReadPictureType(changed([](MediaType& m) { m.format[55] = 0x7F; }))) << "huge width";
}

TEST(PcmFormats, SixteenBitFirst_thenFloat_thenStereoForSurround) {
  struct Row {
    int channels;
    std::vector<std::pair<uint16_t, int>> offered;  // tag, channels
  } rows[] = {
      {2, {{1, 2}, {3, 2}}},
      {1, {{1, 1}, {3, 1}}},
      {6, {{1, 6}, {3, 6}, {1, 2}, {3, 2}}},
      {12, {{1, 8}, {3, 8}, {1, 2}, {3, 2}}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.channels);
    std::vector<std::pair<uint16_t, int>> offered;
    for (int i = 0;; ++i) {
      auto mt = audiodec::PcmTypeAt(i, 48000, r.channels);
      if (!mt) break;
      auto layout = audiodec::ReadPcmType(*mt);
      ASSERT_TRUE(layout.has_value());
      EXPECT_EQ(layout->sampleRate, 48000);
      EXPECT_EQ(*ReadLE32(mt->format, 8), static_cast<uint32_t>(48000 * layout->blockAlign)) << "bytes per second";
      offered.emplace_back(layout->format->formatTag, layout->channels);
    }
    EXPECT_EQ(offered, r.offered);
  }
  EXPECT_FALSE(audiodec::PcmTypeAt(0, 0, 2));
}

TEST(PcmFormats, InconsistentWaveFormats_areRefused) {
  WAVEFORMATEX w;
  w.wFormatTag = 1;
  w.nChannels = 2;
  w.nSamplesPerSec = 44100;
  w.wBitsPerSample = 16;
  w.nBlockAlign = 4;
  auto type = [](WAVEFORMATEX x) {
    MediaType m = MakeWaveFormatType(WaveFormatSubtype(x.wFormatTag), x);
    m.majortype = MEDIATYPE_Audio;
    return m;
  };
  EXPECT_TRUE(audiodec::ReadPcmType(type(w)));
  WAVEFORMATEX bad = w;
  bad.nBlockAlign = 3;
  EXPECT_FALSE(audiodec::ReadPcmType(type(bad))) << "block size";
  bad = w;
  bad.wBitsPerSample = 24;
  EXPECT_FALSE(audiodec::ReadPcmType(type(bad))) << "24-bit is not offered";
  bad = w;
  bad.nChannels = 0;
  EXPECT_FALSE(audiodec::ReadPcmType(type(bad))) << "no channels";
  bad = w;
  bad.wFormatTag = 0x55;
  EXPECT_FALSE(audiodec::ReadPcmType(type(bad))) << "compressed";
}

// A 4x2 4:2:0 picture whose planes hold distinct values: Y 10.., U 100.., V 200...
ffmpeg::FramePtr TestPicture(AVPixelFormat format = AV_PIX_FMT_YUV420P) {
  auto f = ffmpeg::MakeFrame();
  f->format = format;
  f->width = 4;
  f->height = 2;
  av_frame_get_buffer(f.get(), 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) f->data[0][y * f->linesize[0] + x] = static_cast<uint8_t>(10 + y * 4 + x);
  for (int x = 0; x < 2; ++x) {
    f->data[1][x] = static_cast<uint8_t>(100 + x);
    f->data[2][x] = static_cast<uint8_t>(200 + x);
  }
  return f;
}

TEST(PictureWriter, PlanesLandWhereEachLayoutWantsThem) {
  struct Row {
    GUID subtype;
    std::vector<uint8_t> expected;
  } rows[] = {
      {MEDIASUBTYPE_YV12, {10, 11, 12, 13, 14, 15, 16, 17, 200, 201, 100, 101}},
      {MEDIASUBTYPE_I420, {10, 11, 12, 13, 14, 15, 16, 17, 100, 101, 200, 201}},
      {MEDIASUBTYPE_NV12, {10, 11, 12, 13, 14, 15, 16, 17, 100, 200, 101, 201}},
  };
  auto frame = TestPicture();
  for (const auto& r : rows) {
    SCOPED_TRACE(MediaGuidName(r.subtype));
    const auto* format = video::FindPictureFormat(r.subtype);
    auto g = video::ReadPictureType(video::MakePictureType(*format, 4, 2, 0, 0, 0, false));
    ASSERT_TRUE(g.has_value());
    std::vector<uint8_t> buffer(static_cast<size_t>(g->imageSize), 0);
    video::TPictureWriter writer;
    ASSERT_TRUE(writer.Write(frame.get(), *g, buffer.data(), static_cast<int32_t>(buffer.size())));
    EXPECT_EQ(buffer, r.expected);
  }
}

TEST(PictureWriter, RgbIsBottomUp_andSmallBuffersAreRefused) {
  auto frame = ffmpeg::MakeFrame();
  frame->format = AV_PIX_FMT_BGRA;
  frame->width = 2;
  frame->height = 2;
  av_frame_get_buffer(frame.get(), 0);
  for (int y = 0; y < 2; ++y)
    for (int i = 0; i < 8; ++i) frame->data[0][y * frame->linesize[0] + i] = static_cast<uint8_t>(y * 8 + i);
  const auto* rgb = video::FindPictureFormat(MEDIASUBTYPE_RGB32);
  auto g = video::ReadPictureType(video::MakePictureType(*rgb, 2, 2, 0, 0, 0, false));
  ASSERT_TRUE(g.has_value());
  std::vector<uint8_t> buffer(16);
  video::TPictureWriter writer;
  ASSERT_TRUE(writer.Write(frame.get(), *g, buffer.data(), 16));
  EXPECT_EQ(buffer[0], 8) << "the first row in memory is the picture's last";
  EXPECT_EQ(buffer[8], 0);
  EXPECT_FALSE(writer.Write(frame.get(), *g, buffer.data(), 15));
}

TEST(PictureWriter, OtherSizesAndFormats_areScaledIntoTheNegotiatedPicture) {
  auto frame = TestPicture(AV_PIX_FMT_YUV444P);
  const auto* i420 = video::FindPictureFormat(MEDIASUBTYPE_I420);
  auto g = video::ReadPictureType(video::MakePictureType(*i420, 8, 4, 0, 0, 0, false));
  std::vector<uint8_t> buffer(static_cast<size_t>(g->imageSize));
  video::TPictureWriter writer;
  EXPECT_TRUE(writer.Write(frame.get(), *g, buffer.data(), static_cast<int32_t>(buffer.size())));
}

// Slice threads only for standard definition; frame threads above it, or whenever the
// user set a count.
TEST(VideoDecoderThreads, FrameThreadsAboveStandardDefinition_orWhenTheUserSetACount) {
  struct Row {
    int w, h;
    int64_t duration;  // 100 ns
    int32_t setting;
    bool frameThreads;
  } rows[] = {
      {720, 576, 400000, 0, false},   {720, 480, 333667, 0, false},  {1024, 576, 333667, 0, false},
      {720, 576, 0, 0, false},        {720, 576, 166833, 0, true},   {1280, 720, 400000, 0, true},
      {1920, 1080, 400000, 0, true},  {720, 576, 400000, 2, true},   {0, 0, 0, 0, false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(video::UsesFrameThreads(r.w, r.h, r.duration, r.setting), r.frameThreads)
        << r.w << "x" << r.h << " every " << r.duration << ", setting " << r.setting;
}

TEST(PcmConverter, PlanarFloatBecomesInterleavedSixteenBit) {
  auto frame = ffmpeg::MakeFrame();
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = 8000;
  frame->nb_samples = 4;
  av_channel_layout_default(&frame->ch_layout, 2);
  av_frame_get_buffer(frame.get(), 0);
  for (int i = 0; i < 4; ++i) {
    reinterpret_cast<float*>(frame->data[0])[i] = 0.5f;
    reinterpret_cast<float*>(frame->data[1])[i] = -0.5f;
  }
  auto layout = audiodec::ReadPcmType(*audiodec::PcmTypeAt(0, 8000, 2));
  audiodec::TPcmConverter converter;
  converter.SetOutput(*layout);
  std::vector<uint8_t> out;
  ASSERT_EQ(converter.Convert(frame.get(), &out), 4);
  ASSERT_EQ(out.size(), 16u);
  const auto* pcm = reinterpret_cast<const int16_t*>(out.data());
  EXPECT_NEAR(pcm[0], 16384, 1);
  EXPECT_NEAR(pcm[1], -16384, 1);
  EXPECT_EQ(converter.Drain(&out), 0);
}

TEST(PcmConverter, SurroundIsMixedDownToTheNegotiatedStereo) {
  auto frame = ffmpeg::MakeFrame();
  frame->format = AV_SAMPLE_FMT_S16;
  frame->sample_rate = 48000;
  frame->nb_samples = 480;
  av_channel_layout_default(&frame->ch_layout, 6);
  av_frame_get_buffer(frame.get(), 0);
  std::fill_n(reinterpret_cast<int16_t*>(frame->data[0]), 480 * 6, int16_t(1000));
  auto layout = audiodec::ReadPcmType(*audiodec::PcmTypeAt(2, 48000, 6));
  ASSERT_EQ(layout->channels, 2);
  audiodec::TPcmConverter converter;
  converter.SetOutput(*layout);
  std::vector<uint8_t> out;
  EXPECT_EQ(converter.Convert(frame.get(), &out), 480);
  EXPECT_EQ(out.size(), 480u * 4);
}

}  // namespace
}  // namespace kv
