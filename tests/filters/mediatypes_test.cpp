// The codec mapping tables, row by row.
#include <gtest/gtest.h>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "filters/mediatypes/codec_tables.h"

namespace kv::mediatypes {
namespace {

bool Contains(const std::vector<GUID>& list, const GUID& g) { return std::find(list.begin(), list.end(), g) != list.end(); }

std::string CodecName(AVCodecID id) { return avcodec_get_name(id); }

TEST(VideoCodecTable, EveryRow_mapsBothWaysAndHasADecoder) {
  const auto decoderSubtypes = VideoDecoderSubtypes();
  for (const auto& row : VideoCodecTable()) {
    SCOPED_TRACE(CodecName(row.codec));
    auto sub = VideoSubtypeFor(row.codec, 0);
    ASSERT_TRUE(sub.has_value());
    EXPECT_EQ(sub->subtype, row.subtype);
    EXPECT_EQ(sub->block, row.block);
    EXPECT_EQ(VideoCodecFor(row.subtype), row.codec);
    EXPECT_TRUE(Contains(decoderSubtypes, row.subtype));
    EXPECT_NE(avcodec_find_decoder(row.codec), nullptr);
    if (row.block == VideoBlock::VideoInfo) {
      EXPECT_TRUE(IsBaseSubtype(row.subtype)) << "FOURCC rows use FOURCC subtypes";
      EXPECT_EQ(sub->fourcc, row.subtype.Data1);
    } else {
      EXPECT_EQ(sub->fourcc, 0u);
    }
  }
}

TEST(VideoFourccTable, EveryAlias_decodesAsItsCodec_andNamedOnesStayTheSubtype) {
  const auto decoderSubtypes = VideoDecoderSubtypes();
  for (const auto& row : VideoFourccTable()) {
    const GUID subtype = BaseSubtype(row.fourcc);
    SCOPED_TRACE(MediaGuidName(subtype));
    EXPECT_EQ(VideoCodecFor(subtype), row.codec);
    EXPECT_TRUE(Contains(decoderSubtypes, subtype));
    auto sub = VideoSubtypeFor(row.codec, row.fourcc);
    ASSERT_TRUE(sub.has_value());
    const GUID expected = row.named ? subtype : VideoSubtypeFor(row.codec, 0)->subtype;
    EXPECT_EQ(sub->subtype, expected);
    EXPECT_EQ(sub->fourcc, expected.Data1);
  }
}

TEST(VideoFourccTable, FourccsAreUnique_andCaseMatters) {
  std::vector<uint32_t> seen;
  for (const auto& row : VideoFourccTable()) {
    EXPECT_EQ(std::count(seen.begin(), seen.end(), row.fourcc), 0) << MediaGuidName(BaseSubtype(row.fourcc));
    seen.push_back(row.fourcc);
  }
  EXPECT_NE(VideoCodecFor(FourccSubtype("dvsd")), AV_CODEC_ID_NONE);
  EXPECT_NE(VideoCodecFor(FourccSubtype("DVSD")), AV_CODEC_ID_NONE);
  EXPECT_NE(FourccSubtype("dvsd"), FourccSubtype("DVSD"));
}

TEST(VideoSubtypeFor, TagOfAnotherCodec_givesTheCodecsOwnSubtype) {
  struct Row {
    AVCodecID codec;
    uint32_t tag;
    GUID expected;
  } rows[] = {
      {AV_CODEC_ID_MPEG4, Fourcc("XVID"), FourccSubtype("XVID")},
      {AV_CODEC_ID_MPEG4, Fourcc("DX50"), FourccSubtype("DX50")},
      {AV_CODEC_ID_MPEG4, Fourcc("mp4v"), FourccSubtype("mp4v")},
      {AV_CODEC_ID_MPEG4, Fourcc("H264"), FourccSubtype("MP4V")},  // an H.264 tag on MPEG-4 data
      {AV_CODEC_ID_MPEG4, 0, FourccSubtype("MP4V")},
      {AV_CODEC_ID_H264, Fourcc("avc1"), FourccSubtype("AVC1")},  // packaging, not a variant
      {AV_CODEC_ID_H264, Fourcc("H264"), FourccSubtype("AVC1")},
      {AV_CODEC_ID_HEVC, Fourcc("hev1"), FourccSubtype("HEVC")},
      {AV_CODEC_ID_H264, 0x1B, FourccSubtype("AVC1")},  // a transport stream's stream type
      {AV_CODEC_ID_DVVIDEO, Fourcc("dvsd"), FourccSubtype("dvsd")},
      {AV_CODEC_ID_MPEG2VIDEO, Fourcc("mpg2"), MEDIASUBTYPE_MPEG2_VIDEO},
      {AV_CODEC_ID_MPEG1VIDEO, 0, MEDIASUBTYPE_MPEG1Payload},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(CodecName(r.codec));
    auto sub = VideoSubtypeFor(r.codec, r.tag);
    ASSERT_TRUE(sub.has_value());
    EXPECT_EQ(sub->subtype, r.expected);
  }
  EXPECT_FALSE(VideoSubtypeFor(AV_CODEC_ID_RAWVIDEO, 0).has_value());
  EXPECT_EQ(VideoCodecFor(FourccSubtype("abcd")), AV_CODEC_ID_NONE);
  EXPECT_EQ(VideoCodecFor(MEDIASUBTYPE_YV12), AV_CODEC_ID_NONE) << "uncompressed pictures are not decoded";
}

TEST(AudioCodecTable, EveryRow_mapsBothWaysAndHasADecoder) {
  const auto decoderSubtypes = AudioDecoderSubtypes();
  for (const auto& row : AudioCodecTable()) {
    SCOPED_TRACE(CodecName(row.codec));
    auto sub = AudioSubtypeFor(row.codec);
    ASSERT_TRUE(sub.has_value());
    EXPECT_EQ(sub->subtype, row.subtype);
    EXPECT_EQ(sub->block, row.block);
    EXPECT_EQ(sub->formatTag, IsBaseSubtype(row.subtype) ? row.subtype.Data1 : 0u);
    EXPECT_TRUE(Contains(decoderSubtypes, row.subtype));
    EXPECT_NE(avcodec_find_decoder(row.codec), nullptr);
    // Two layers share one subtype; the layer 2 decoder reads both.
    const AVCodecID back = AudioCodecFor(row.subtype, 0);
    EXPECT_EQ(back, row.codec == AV_CODEC_ID_MP1 ? AV_CODEC_ID_MP2 : row.codec);
  }
}

TEST(AudioSubtypeAliasTable, EveryAlias_decodesAsItsCodec) {
  const auto decoderSubtypes = AudioDecoderSubtypes();
  for (const auto& row : AudioSubtypeAliasTable()) {
    SCOPED_TRACE(MediaGuidName(row.subtype));
    EXPECT_EQ(AudioCodecFor(row.subtype, 0), row.codec);
    EXPECT_TRUE(Contains(decoderSubtypes, row.subtype));
  }
}

TEST(PcmTable, EveryLayout_mapsToItsTagAndBack) {
  for (const auto& row : PcmTable()) {
    SCOPED_TRACE(CodecName(row.codec));
    auto sub = AudioSubtypeFor(row.codec);
    ASSERT_TRUE(sub.has_value());
    EXPECT_EQ(sub->subtype, WaveFormatSubtype(row.formatTag));
    EXPECT_EQ(AudioCodecFor(sub->subtype, row.bits), row.codec);
    EXPECT_EQ(av_get_bits_per_sample(row.codec), row.bits);
  }
  EXPECT_EQ(AudioCodecFor(MEDIASUBTYPE_PCM, 0), AV_CODEC_ID_PCM_S16LE) << "no size given: 16 bits";
  EXPECT_EQ(AudioCodecFor(MEDIASUBTYPE_PCM, 12), AV_CODEC_ID_NONE);
}

// The subtypes the engine names by its format-name tables must come out of the demultiplexer.
TEST(CodecTables, EngineNamedFormats_getThePlatformsSubtypes) {
  struct Row {
    AVCodecID codec;
    GUID subtype;
  } rows[] = {
      {AV_CODEC_ID_PCM_S16LE, MEDIASUBTYPE_PCM},
      {AV_CODEC_ID_MP3, WaveFormatSubtype(0x0055)},
      {AV_CODEC_ID_MP2, MEDIASUBTYPE_MPEG1AudioPayload},
      {AV_CODEC_ID_AC3, WaveFormatSubtype(0x2000)},
      {AV_CODEC_ID_WMAV2, WaveFormatSubtype(0x0161)},
      {AV_CODEC_ID_ADPCM_MS, WaveFormatSubtype(0x0002)},
      {AV_CODEC_ID_ADPCM_IMA_WAV, WaveFormatSubtype(0x0011)},
      {AV_CODEC_ID_VORBIS, MEDIASUBTYPE_Vorbis2},
  };
  for (const auto& r : rows) EXPECT_EQ(AudioSubtypeFor(r.codec)->subtype, r.subtype) << CodecName(r.codec);
  EXPECT_EQ(VideoSubtypeFor(AV_CODEC_ID_H264, 0)->subtype, FourccSubtype("AVC1"));
  EXPECT_EQ(VideoSubtypeFor(AV_CODEC_ID_WMV3, 0)->subtype, FourccSubtype("WMV3"));
}

TEST(CodecTables, OwnSubtypes_areDistinctAndNotBaseSubtypes) {
  const GUID own[] = {MEDIASUBTYPE_KV_AAC,  MEDIASUBTYPE_KV_AAC_LATM,  MEDIASUBTYPE_KV_OPUS,
                      MEDIASUBTYPE_KV_FLAC, MEDIASUBTYPE_KV_EAC3,      MEDIASUBTYPE_KV_DTS,
                      MEDIASUBTYPE_KV_TRUEHD, MEDIASUBTYPE_KV_ALAC,    MEDIASUBTYPE_KV_PCM_S16BE,
                      MEDIASUBTYPE_KV_PCM_S24BE, MEDIASUBTYPE_KV_AMR_NB, MEDIASUBTYPE_KV_SPEEX,
                      MEDIASUBTYPE_KV_PCM_DVD, MEDIASUBTYPE_KV_PCM_BLURAY};
  for (size_t i = 0; i < std::size(own); ++i) {
    EXPECT_FALSE(IsBaseSubtype(own[i]));
    for (size_t j = i + 1; j < std::size(own); ++j) EXPECT_NE(own[i], own[j]);
  }
}

}  // namespace
}  // namespace kv::mediatypes
