#include "filters/mediatypes/codec_tables.h"

#include <algorithm>

namespace kv::mediatypes {

namespace {

constexpr GUID Fcc(const char (&c)[5]) { return FourccSubtype(c); }

constexpr TVideoCodecRow kVideoCodecs[] = {
    {AV_CODEC_ID_H264, Fcc("AVC1"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_HEVC, Fcc("HEVC"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_MPEG4, Fcc("MP4V"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_MSMPEG4V1, Fcc("MPG4"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_MSMPEG4V2, Fcc("MP42"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_MSMPEG4V3, Fcc("DIV3"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_VP8, Fcc("VP80"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_VP9, Fcc("VP90"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_AV1, Fcc("AV01"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_MJPEG, Fcc("MJPG"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_THEORA, Fcc("THEO"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_WMV1, Fcc("WMV1"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_WMV2, Fcc("WMV2"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_WMV3, Fcc("WMV3"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_VC1, Fcc("WVC1"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_DVVIDEO, Fcc("dvsd"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_HUFFYUV, Fcc("HFYU"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_FFV1, Fcc("FFV1"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_H263, Fcc("H263"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_FLV1, Fcc("FLV1"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_CINEPAK, Fcc("cvid"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_INDEO5, Fcc("IV50"), VideoBlock::VideoInfo},
    {AV_CODEC_ID_MPEG1VIDEO, MEDIASUBTYPE_MPEG1Payload, VideoBlock::Mpeg1Video},
    {AV_CODEC_ID_MPEG2VIDEO, MEDIASUBTYPE_MPEG2_VIDEO, VideoBlock::Mpeg2Video},
};

constexpr TVideoFourccRow kVideoFourccs[] = {
    {Fourcc("H264"), AV_CODEC_ID_H264, false}, {Fourcc("h264"), AV_CODEC_ID_H264, false},
    {Fourcc("X264"), AV_CODEC_ID_H264, false}, {Fourcc("x264"), AV_CODEC_ID_H264, false},
    {Fourcc("avc1"), AV_CODEC_ID_H264, false}, {Fourcc("AVC1"), AV_CODEC_ID_H264, false},
    {Fourcc("HEVC"), AV_CODEC_ID_HEVC, false}, {Fourcc("hvc1"), AV_CODEC_ID_HEVC, false},
    {Fourcc("hev1"), AV_CODEC_ID_HEVC, false}, {Fourcc("H265"), AV_CODEC_ID_HEVC, false},
    {Fourcc("XVID"), AV_CODEC_ID_MPEG4, true}, {Fourcc("xvid"), AV_CODEC_ID_MPEG4, true},
    {Fourcc("DIVX"), AV_CODEC_ID_MPEG4, true}, {Fourcc("divx"), AV_CODEC_ID_MPEG4, true},
    {Fourcc("DX50"), AV_CODEC_ID_MPEG4, true}, {Fourcc("dx50"), AV_CODEC_ID_MPEG4, true},
    {Fourcc("MP4S"), AV_CODEC_ID_MPEG4, true}, {Fourcc("mp4s"), AV_CODEC_ID_MPEG4, true},
    {Fourcc("M4S2"), AV_CODEC_ID_MPEG4, true}, {Fourcc("FMP4"), AV_CODEC_ID_MPEG4, true},
    {Fourcc("MP4V"), AV_CODEC_ID_MPEG4, true}, {Fourcc("mp4v"), AV_CODEC_ID_MPEG4, true},
    {Fourcc("3IV2"), AV_CODEC_ID_MPEG4, true},
    {Fourcc("MPG4"), AV_CODEC_ID_MSMPEG4V1, true}, {Fourcc("MP42"), AV_CODEC_ID_MSMPEG4V2, true},
    {Fourcc("DIV3"), AV_CODEC_ID_MSMPEG4V3, true}, {Fourcc("div3"), AV_CODEC_ID_MSMPEG4V3, true},
    {Fourcc("DIV4"), AV_CODEC_ID_MSMPEG4V3, true}, {Fourcc("MP43"), AV_CODEC_ID_MSMPEG4V3, true},
    {Fourcc("VP80"), AV_CODEC_ID_VP8, false}, {Fourcc("VP90"), AV_CODEC_ID_VP9, false},
    {Fourcc("AV01"), AV_CODEC_ID_AV1, false}, {Fourcc("av01"), AV_CODEC_ID_AV1, false},
    {Fourcc("MJPG"), AV_CODEC_ID_MJPEG, true}, {Fourcc("mjpg"), AV_CODEC_ID_MJPEG, true},
    {Fourcc("IJPG"), AV_CODEC_ID_MJPEG, true}, {Fourcc("AVRn"), AV_CODEC_ID_MJPEG, true},
    {Fourcc("THEO"), AV_CODEC_ID_THEORA, true},
    {Fourcc("WMV1"), AV_CODEC_ID_WMV1, true}, {Fourcc("WMV2"), AV_CODEC_ID_WMV2, true},
    {Fourcc("WMV3"), AV_CODEC_ID_WMV3, true}, {Fourcc("WVC1"), AV_CODEC_ID_VC1, true},
    {Fourcc("WMVA"), AV_CODEC_ID_VC1, true},
    {Fourcc("dvsd"), AV_CODEC_ID_DVVIDEO, true}, {Fourcc("DVSD"), AV_CODEC_ID_DVVIDEO, true},
    {Fourcc("dv25"), AV_CODEC_ID_DVVIDEO, true}, {Fourcc("dv50"), AV_CODEC_ID_DVVIDEO, true},
    {Fourcc("dvhd"), AV_CODEC_ID_DVVIDEO, true}, {Fourcc("dvsl"), AV_CODEC_ID_DVVIDEO, true},
    {Fourcc("CDVC"), AV_CODEC_ID_DVVIDEO, true},
    {Fourcc("HFYU"), AV_CODEC_ID_HUFFYUV, true}, {Fourcc("FFV1"), AV_CODEC_ID_FFV1, true},
    {Fourcc("H263"), AV_CODEC_ID_H263, true}, {Fourcc("FLV1"), AV_CODEC_ID_FLV1, true},
    {Fourcc("cvid"), AV_CODEC_ID_CINEPAK, true}, {Fourcc("IV50"), AV_CODEC_ID_INDEO5, true},
};

constexpr TAudioCodecRow kAudioCodecs[] = {
    {AV_CODEC_ID_ADPCM_MS, WaveFormatSubtype(0x0002), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_PCM_ALAW, WaveFormatSubtype(0x0006), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_PCM_MULAW, WaveFormatSubtype(0x0007), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_WMAVOICE, WaveFormatSubtype(0x000A), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_ADPCM_IMA_WAV, WaveFormatSubtype(0x0011), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_GSM_MS, WaveFormatSubtype(0x0031), AudioBlock::WaveFormatEx},
    // Layer 2 first: the subtype names both layers and the layer 2 decoder reads layer 1 too.
    {AV_CODEC_ID_MP2, WaveFormatSubtype(0x0050), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_MP1, WaveFormatSubtype(0x0050), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_MP3, WaveFormatSubtype(0x0055), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_WMAV1, WaveFormatSubtype(0x0160), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_WMAV2, WaveFormatSubtype(0x0161), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_WMAPRO, WaveFormatSubtype(0x0162), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_WMALOSSLESS, WaveFormatSubtype(0x0163), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_ATRAC3, WaveFormatSubtype(0x0270), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_AC3, WaveFormatSubtype(0x2000), AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_VORBIS, MEDIASUBTYPE_Vorbis2, AudioBlock::Vorbis2},
    {AV_CODEC_ID_AAC, MEDIASUBTYPE_KV_AAC, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_AAC_LATM, MEDIASUBTYPE_KV_AAC_LATM, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_OPUS, MEDIASUBTYPE_KV_OPUS, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_FLAC, MEDIASUBTYPE_KV_FLAC, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_EAC3, MEDIASUBTYPE_KV_EAC3, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_DTS, MEDIASUBTYPE_KV_DTS, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_TRUEHD, MEDIASUBTYPE_KV_TRUEHD, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_ALAC, MEDIASUBTYPE_KV_ALAC, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_PCM_S16BE, MEDIASUBTYPE_KV_PCM_S16BE, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_PCM_S24BE, MEDIASUBTYPE_KV_PCM_S24BE, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_AMR_NB, MEDIASUBTYPE_KV_AMR_NB, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_SPEEX, MEDIASUBTYPE_KV_SPEEX, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_PCM_DVD, MEDIASUBTYPE_KV_PCM_DVD, AudioBlock::WaveFormatEx},
    {AV_CODEC_ID_PCM_BLURAY, MEDIASUBTYPE_KV_PCM_BLURAY, AudioBlock::WaveFormatEx},
};

constexpr TAudioSubtypeAliasRow kAudioAliases[] = {
    {MEDIASUBTYPE_MPEG1Packet, AV_CODEC_ID_MP2},
    {MEDIASUBTYPE_MPEG1Audio, AV_CODEC_ID_MP2},
    {MEDIASUBTYPE_MPEG2_AUDIO, AV_CODEC_ID_MP2},
    {MEDIASUBTYPE_DOLBY_AC3, AV_CODEC_ID_AC3},
    {WaveFormatSubtype(0x0092), AV_CODEC_ID_AC3},
    {MEDIASUBTYPE_Vorbis, AV_CODEC_ID_VORBIS},
    {WaveFormatSubtype(0x00FF), AV_CODEC_ID_AAC},
    {WaveFormatSubtype(0x1610), AV_CODEC_ID_AAC},
    {WaveFormatSubtype(0x2001), AV_CODEC_ID_DTS},
};

constexpr TPcmRow kPcm[] = {
    {AV_CODEC_ID_PCM_U8, 0x0001, 8},
    {AV_CODEC_ID_PCM_S16LE, 0x0001, 16},
    {AV_CODEC_ID_PCM_S24LE, 0x0001, 24},
    {AV_CODEC_ID_PCM_S32LE, 0x0001, 32},
    {AV_CODEC_ID_PCM_F32LE, 0x0003, 32},
    {AV_CODEC_ID_PCM_F64LE, 0x0003, 64},
};

void AddUnique(std::vector<GUID>& list, const GUID& g) {
  if (std::find(list.begin(), list.end(), g) == list.end()) list.push_back(g);
}

}  // namespace

std::span<const TVideoCodecRow> VideoCodecTable() { return kVideoCodecs; }
std::span<const TVideoFourccRow> VideoFourccTable() { return kVideoFourccs; }
std::span<const TAudioCodecRow> AudioCodecTable() { return kAudioCodecs; }
std::span<const TAudioSubtypeAliasRow> AudioSubtypeAliasTable() { return kAudioAliases; }
std::span<const TPcmRow> PcmTable() { return kPcm; }

std::optional<TVideoSubtype> VideoSubtypeFor(AVCodecID codec, uint32_t codecTag) {
  const auto row = std::find_if(std::begin(kVideoCodecs), std::end(kVideoCodecs),
                                [&](const TVideoCodecRow& r) { return r.codec == codec; });
  if (row == std::end(kVideoCodecs)) return std::nullopt;
  if (row->block == VideoBlock::VideoInfo && codecTag != 0) {
    for (const auto& alias : kVideoFourccs) {
      if (alias.named && alias.fourcc == codecTag && alias.codec == codec)
        return TVideoSubtype{BaseSubtype(codecTag), row->block, codecTag};
    }
  }
  const uint32_t fourcc = row->block == VideoBlock::VideoInfo ? row->subtype.Data1 : 0;
  return TVideoSubtype{row->subtype, row->block, fourcc};
}

AVCodecID VideoCodecFor(const GUID& subtype) {
  for (const auto& row : kVideoCodecs)
    if (row.subtype == subtype) return row.codec;
  if (IsBaseSubtype(subtype)) {
    for (const auto& alias : kVideoFourccs)
      if (alias.fourcc == subtype.Data1) return alias.codec;
  }
  return AV_CODEC_ID_NONE;
}

std::vector<GUID> VideoDecoderSubtypes() {
  std::vector<GUID> list;
  for (const auto& row : kVideoCodecs) AddUnique(list, row.subtype);
  for (const auto& alias : kVideoFourccs) AddUnique(list, BaseSubtype(alias.fourcc));
  return list;
}

std::optional<TAudioSubtype> AudioSubtypeFor(AVCodecID codec) {
  for (const auto& pcm : kPcm)
    if (pcm.codec == codec) return TAudioSubtype{WaveFormatSubtype(pcm.formatTag), AudioBlock::WaveFormatEx, pcm.formatTag};
  for (const auto& row : kAudioCodecs) {
    if (row.codec != codec) continue;
    const uint16_t tag = IsBaseSubtype(row.subtype) ? static_cast<uint16_t>(row.subtype.Data1) : 0;
    return TAudioSubtype{row.subtype, row.block, tag};
  }
  return std::nullopt;
}

AVCodecID AudioCodecFor(const GUID& subtype, int bits) {
  if (IsBaseSubtype(subtype) && (subtype.Data1 == 0x0001 || subtype.Data1 == 0x0003)) {
    const int want = bits > 0 ? bits : (subtype.Data1 == 0x0003 ? 32 : 16);
    for (const auto& pcm : kPcm)
      if (pcm.formatTag == subtype.Data1 && pcm.bits == want) return pcm.codec;
    return AV_CODEC_ID_NONE;
  }
  for (const auto& row : kAudioCodecs)
    if (row.subtype == subtype) return row.codec;
  for (const auto& alias : kAudioAliases)
    if (alias.subtype == subtype) return alias.codec;
  return AV_CODEC_ID_NONE;
}

std::vector<GUID> AudioDecoderSubtypes() {
  std::vector<GUID> list;
  for (const auto& pcm : kPcm) AddUnique(list, WaveFormatSubtype(pcm.formatTag));
  for (const auto& row : kAudioCodecs) AddUnique(list, row.subtype);
  for (const auto& alias : kAudioAliases) AddUnique(list, alias.subtype);
  return list;
}

}  // namespace kv::mediatypes
