// Media types built from FFmpeg streams: the engine's offsets, the private data round trip,
// and malformed blocks refused.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cstring>

#include "filters/mediatypes/codec_tables.h"
#include "filters/mediatypes/stream_types.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::mediatypes {
namespace {

// A format context that only holds streams to describe.
class StreamTypes : public ::testing::Test {
 protected:
  void SetUp() override { ctx_ = avformat_alloc_context(); }
  void TearDown() override { avformat_free_context(ctx_); }

  AVStream* NewStream(AVMediaType kind, AVCodecID codec, const std::vector<uint8_t>& extra = {}) {
    AVStream* st = avformat_new_stream(ctx_, nullptr);
    st->codecpar->codec_type = kind;
    st->codecpar->codec_id = codec;
    if (!extra.empty()) {
      st->codecpar->extradata = static_cast<uint8_t*>(av_mallocz(extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
      std::memcpy(st->codecpar->extradata, extra.data(), extra.size());
      st->codecpar->extradata_size = static_cast<int>(extra.size());
    }
    return st;
  }
  AVStream* NewVideo(AVCodecID codec, int w, int h, AVRational rate, const std::vector<uint8_t>& extra = {}) {
    AVStream* st = NewStream(AVMEDIA_TYPE_VIDEO, codec, extra);
    st->codecpar->width = w;
    st->codecpar->height = h;
    st->avg_frame_rate = rate;
    return st;
  }
  AVStream* NewAudio(AVCodecID codec, int rate, int channels, int64_t bitRate, const std::vector<uint8_t>& extra = {}) {
    AVStream* st = NewStream(AVMEDIA_TYPE_AUDIO, codec, extra);
    st->codecpar->sample_rate = rate;
    av_channel_layout_default(&st->codecpar->ch_layout, channels);
    st->codecpar->bit_rate = bitRate;
    return st;
  }
  AVFormatContext* ctx_ = nullptr;
};

int32_t I32(const MediaType& mt, size_t at) { return static_cast<int32_t>(*ReadLE32(mt.format, at)); }

// Offsets the engine reads: size at 52/56 (VIDEOINFOHEADER, MPEG1VIDEOINFO) or 76/80
// (MPEG2VIDEOINFO), the frame duration at 40 in all of them.
TEST_F(StreamTypes, VideoBlocks_carrySizeAndFrameDurationAtTheEnginesOffsets) {
  struct Row {
    AVCodecID codec;
    GUID formatType;
    size_t widthAt, heightAt;
  } rows[] = {
      {AV_CODEC_ID_H264, FORMAT_VideoInfo, 52, 56},
      {AV_CODEC_ID_MPEG1VIDEO, FORMAT_MPEGVideo, 52, 56},
      {AV_CODEC_ID_MPEG2VIDEO, FORMAT_MPEG2Video, 76, 80},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(avcodec_get_name(r.codec));
    auto mt = MediaTypeForStream(NewVideo(r.codec, 720, 576, AVRational{25, 1}, {0, 0, 1, 0xB3}));
    ASSERT_TRUE(mt.has_value());
    EXPECT_EQ(mt->majortype, MEDIATYPE_Video);
    EXPECT_EQ(mt->formattype, r.formatType);
    EXPECT_EQ(I32(*mt, r.widthAt), 720);
    EXPECT_EQ(I32(*mt, r.heightAt), 576);
    EXPECT_EQ(*ReadLE64(mt->format, 40), 400000);
  }
}

TEST_F(StreamTypes, VideoPrivateData_travelsToTheDecoderSetup) {
  const std::vector<uint8_t> avcc = {1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 4, 0x67, 0x64, 0, 0x1F};
  struct Row {
    AVCodecID codec;
    uint32_t tag;
  } rows[] = {{AV_CODEC_ID_H264, 0}, {AV_CODEC_ID_MPEG4, Fourcc("XVID")}, {AV_CODEC_ID_MPEG1VIDEO, 0},
              {AV_CODEC_ID_MPEG2VIDEO, 0}, {AV_CODEC_ID_THEORA, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(avcodec_get_name(r.codec));
    AVStream* st = NewVideo(r.codec, 352, 288, AVRational{30000, 1001}, avcc);
    st->codecpar->codec_tag = r.tag;
    auto mt = MediaTypeForStream(st);
    ASSERT_TRUE(mt.has_value());
    std::string error;
    auto setup = CodecSetupFor(*mt, &error);
    ASSERT_TRUE(setup.has_value()) << error;
    EXPECT_EQ(setup->codecId, r.codec);
    EXPECT_EQ(setup->width, 352);
    EXPECT_EQ(setup->height, 288);
    EXPECT_EQ(setup->extradata, avcc);
    if (r.tag) {
      EXPECT_EQ(setup->codecTag, r.tag);
    }
  }
}

TEST_F(StreamTypes, FrameRates_becomeDurationsOrZeroWhenAbsurd) {
  struct Row {
    AVRational rate;
    int64_t duration;
  } rows[] = {{{25, 1}, 400000}, {{30000, 1001}, 333667}, {{0, 1}, 0}, {{1, 0}, 0}, {{90000, 1}, 0}, {{1, 5}, 0}};
  for (const auto& r : rows) EXPECT_EQ(FrameDurationFromRate(r.rate), r.duration) << r.rate.num << "/" << r.rate.den;
}

TEST_F(StreamTypes, WaveFormat_carriesRateChannelsBitsAndByteRate) {
  struct Row {
    AVCodecID codec;
    int rate, channels;
    int64_t bitRate;
    uint16_t tag, bits;
    uint32_t bytesPerSecond;
  } rows[] = {
      {AV_CODEC_ID_PCM_S16LE, 44100, 2, 0, 0x0001, 16, 176400},
      {AV_CODEC_ID_PCM_U8, 8000, 1, 0, 0x0001, 8, 8000},
      {AV_CODEC_ID_MP3, 48000, 2, 192000, 0x0055, 0, 24000},
      {AV_CODEC_ID_AC3, 48000, 6, 448000, 0x2000, 0, 56000},
      {AV_CODEC_ID_AAC, 44100, 2, 128000, 0, 0, 16000},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(avcodec_get_name(r.codec));
    auto mt = MediaTypeForStream(NewAudio(r.codec, r.rate, r.channels, r.bitRate));
    ASSERT_TRUE(mt.has_value());
    EXPECT_EQ(mt->formattype, FORMAT_WaveFormatEx);
    EXPECT_EQ(*ReadLE16(mt->format, 0), r.tag);
    EXPECT_EQ(*ReadLE16(mt->format, 2), r.channels);
    EXPECT_EQ(*ReadLE32(mt->format, 4), static_cast<uint32_t>(r.rate));
    EXPECT_EQ(*ReadLE32(mt->format, 8), r.bytesPerSecond);
    EXPECT_EQ(*ReadLE16(mt->format, 14), r.bits);
  }
}

TEST_F(StreamTypes, Vorbis_travelsInTheSecondVorbisBlockWithItsHeaders) {
  // Xiph lacing: 2, sizes 30 and 5, then three headers.
  std::vector<uint8_t> extra = {2, 30, 5};
  for (int i = 0; i < 30; ++i) extra.push_back(static_cast<uint8_t>(i));
  for (int i = 0; i < 5; ++i) extra.push_back(0xC0);
  for (int i = 0; i < 7; ++i) extra.push_back(0x50);
  auto mt = MediaTypeForStream(NewAudio(AV_CODEC_ID_VORBIS, 44100, 2, 112000, extra));
  ASSERT_TRUE(mt.has_value());
  EXPECT_EQ(mt->subtype, MEDIASUBTYPE_Vorbis2);
  EXPECT_EQ(mt->formattype, FORMAT_VorbisFormat2);
  EXPECT_EQ(*ReadLE16(mt->format, 0), 2);
  EXPECT_EQ(*ReadLE32(mt->format, 4), 44100u);
  EXPECT_EQ(*ReadLE32(mt->format, 12), 112000u);
  std::string error;
  auto setup = CodecSetupFor(*mt, &error);
  ASSERT_TRUE(setup.has_value()) << error;
  EXPECT_EQ(setup->codecId, AV_CODEC_ID_VORBIS);
  auto headers = SplitXiphHeaders(setup->extradata);
  ASSERT_TRUE(headers.has_value());
  ASSERT_EQ(headers->size(), 3u);
  EXPECT_EQ((*headers)[0].size(), 30u);
  EXPECT_EQ((*headers)[1].size(), 5u);
  EXPECT_EQ((*headers)[2].size(), 7u);
}

TEST_F(StreamTypes, StreamsWithoutAType_getNoPin) {
  EXPECT_FALSE(MediaTypeForStream(NewVideo(AV_CODEC_ID_RAWVIDEO, 64, 64, {25, 1})));
  EXPECT_FALSE(MediaTypeForStream(NewVideo(AV_CODEC_ID_H264, 0, 0, {25, 1}))) << "no size";
  EXPECT_FALSE(MediaTypeForStream(NewVideo(AV_CODEC_ID_H264, 100000, 64, {25, 1}))) << "absurd size";
  AVStream* cover = NewVideo(AV_CODEC_ID_MJPEG, 300, 300, {0, 1});
  cover->disposition |= AV_DISPOSITION_ATTACHED_PIC;
  EXPECT_FALSE(MediaTypeForStream(cover)) << "cover art is no video stream";
  EXPECT_FALSE(MediaTypeForStream(NewAudio(AV_CODEC_ID_MP3, 0, 2, 0))) << "no rate";
  EXPECT_FALSE(MediaTypeForStream(NewAudio(AV_CODEC_ID_VORBIS, 44100, 2, 0, {9, 9}))) << "unreadable headers";
  EXPECT_FALSE(MediaTypeForStream(NewStream(AVMEDIA_TYPE_SUBTITLE, AV_CODEC_ID_SUBRIP)));
}

TEST_F(StreamTypes, Teletext_isAVideoPinWithTheVbiSubtype) {
  auto mt = MediaTypeForStream(NewStream(AVMEDIA_TYPE_SUBTITLE, AV_CODEC_ID_DVB_TELETEXT));
  ASSERT_TRUE(mt.has_value());
  EXPECT_EQ(mt->majortype, MEDIATYPE_Video);
  EXPECT_EQ(mt->subtype, MEDIASUBTYPE_VBIV);
}

// Blocks that arrive from elsewhere (another splitter, a damaged file) must be refused cleanly.
TEST(CodecSetupFor, MalformedTypes_areRefused) {
  VIDEOINFOHEADER vih;
  vih.bmiHeader.biWidth = 320;
  vih.bmiHeader.biHeight = 240;
  const MediaType good = MakeVideoInfoType(FourccSubtype("XVID"), vih);
  ASSERT_TRUE(CodecSetupFor([&] { MediaType m = good; m.majortype = MEDIATYPE_Video; return m; }(), nullptr));

  auto video = [&](auto change) {
    MediaType m = good;
    m.majortype = MEDIATYPE_Video;
    change(m);
    return m;
  };
  WAVEFORMATEX wave;
  wave.wFormatTag = 0x55;
  wave.nChannels = 2;
  wave.nSamplesPerSec = 44100;
  auto audio = [&](auto change) {
    WAVEFORMATEX w = wave;
    change(w);
    MediaType m = MakeWaveFormatType(WaveFormatSubtype(w.wFormatTag), w);
    m.majortype = MEDIATYPE_Audio;
    return m;
  };
  struct Row {
    const char* what;
    MediaType type;
  } rows[] = {
      {"short block", video([](MediaType& m) { m.format.resize(60); })},
      {"tail past the block", video([](MediaType& m) { m.format[48] = 200; })},
      {"bitmap header below 40", video([](MediaType& m) { m.format[48] = 10; })},
      {"unknown subtype", video([](MediaType& m) { m.subtype = FourccSubtype("ZZZZ"); })},
      {"unknown format type", video([](MediaType& m) { m.formattype = FORMAT_WaveFormatEx; })},
      {"huge width", video([](MediaType& m) { m.format[53] = 0x7F; })},
      {"no channels", audio([](WAVEFORMATEX& w) { w.nChannels = 0; })},
      {"no rate", audio([](WAVEFORMATEX& w) { w.nSamplesPerSec = 0; })},
      {"unknown tag", audio([](WAVEFORMATEX& w) { w.wFormatTag = 0x7777; })},
      {"text major type", [&] { MediaType m = good; m.majortype = MEDIATYPE_Text; return m; }()},
  };
  for (const auto& r : rows) {
    std::string error;
    EXPECT_FALSE(CodecSetupFor(r.type, &error).has_value()) << r.what;
    EXPECT_FALSE(error.empty()) << r.what;
  }
}

TEST(XiphHeaders, BothFormsSplit_andBrokenOnesAreRefused) {
  const std::vector<uint8_t> truncated = {0, 30, 1, 2, 3, 4};
  std::vector<uint8_t> sixteen = {0, 30};
  sixteen.insert(sixteen.end(), 30, 1);
  sixteen.insert(sixteen.end(), {0, 2, 7, 7, 0, 1, 9});
  auto split = SplitXiphHeaders(sixteen);
  ASSERT_TRUE(split.has_value());
  EXPECT_EQ((*split)[0].size(), 30u);
  EXPECT_EQ((*split)[1], (std::vector<uint8_t>{7, 7}));
  EXPECT_EQ((*split)[2], (std::vector<uint8_t>{9}));
  EXPECT_EQ(JoinXiphHeaders(*split), sixteen);

  EXPECT_FALSE(SplitXiphHeaders(truncated)) << "lengths past the end";
  EXPECT_FALSE(SplitXiphHeaders({2, 0xFF, 0xFF})) << "lacing past the end";
  EXPECT_FALSE(SplitXiphHeaders({2, 10, 10, 1, 2})) << "sizes larger than the data";
  EXPECT_FALSE(SplitXiphHeaders({})) << "empty";
  EXPECT_FALSE(SplitXiphHeaders({5, 1, 1, 1})) << "unknown form";
}

}  // namespace
}  // namespace kv::mediatypes
