#include "filters/mediatypes/stream_types.h"

#include "filters/mediatypes/codec_tables.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <limits>

namespace kv::mediatypes {

namespace {

// Beyond this a frame size or private-data length is corruption, not a picture.
constexpr int kMaxDimension = 16384;
constexpr size_t kMaxPrivateData = 16 * 1024 * 1024;

std::vector<uint8_t> ExtraData(const AVCodecParameters* par) {
  if (!par->extradata || par->extradata_size <= 0) return {};
  return std::vector<uint8_t>(par->extradata, par->extradata + par->extradata_size);
}

uint32_t ClampU32(int64_t v) {
  if (v < 0) return 0;
  if (v > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(v);
}

int64_t StreamFrameDuration(const AVStream* st) {
  int64_t d = FrameDurationFromRate(st->avg_frame_rate);
  if (d == 0) d = FrameDurationFromRate(st->r_frame_rate);
  return d;
}

// Display aspect ratio of the picture, reduced, from the sample aspect ratio.
void DisplayAspect(const AVStream* st, uint32_t* x, uint32_t* y) {
  const AVCodecParameters* par = st->codecpar;
  AVRational sar = st->sample_aspect_ratio.num > 0 ? st->sample_aspect_ratio : par->sample_aspect_ratio;
  if (sar.num <= 0 || sar.den <= 0) sar = AVRational{1, 1};
  int num = 0, den = 0;
  av_reduce(&num, &den, int64_t(par->width) * sar.num, int64_t(par->height) * sar.den, 1 << 20);
  *x = num > 0 ? static_cast<uint32_t>(num) : 0;
  *y = den > 0 ? static_cast<uint32_t>(den) : 0;
}

BITMAPINFOHEADER BitmapHeader(const AVCodecParameters* par, uint32_t fourcc, size_t extra) {
  BITMAPINFOHEADER b;
  b.biSize = static_cast<uint32_t>(40 + extra);
  b.biWidth = par->width;
  b.biHeight = par->height;
  b.biPlanes = 1;
  b.biBitCount = static_cast<uint16_t>(par->bits_per_coded_sample > 0 ? par->bits_per_coded_sample : 24);
  b.biCompression = fourcc;
  b.biSizeImage = ClampU32(int64_t(par->width) * par->height * b.biBitCount / 8);
  return b;
}

MediaType VideoType(const AVStream* st, const TVideoSubtype& sub) {
  const AVCodecParameters* par = st->codecpar;
  const std::vector<uint8_t> extra = ExtraData(par);
  const RECT frame{0, 0, par->width, par->height};
  MediaType mt;
  switch (sub.block) {
    case VideoBlock::VideoInfo: {
      VIDEOINFOHEADER v;
      v.rcSource = v.rcTarget = frame;
      v.dwBitRate = ClampU32(par->bit_rate);
      v.AvgTimePerFrame = StreamFrameDuration(st);
      v.bmiHeader = BitmapHeader(par, sub.fourcc, extra.size());
      mt = MakeVideoInfoType(sub.subtype, v);
      mt.format.insert(mt.format.end(), extra.begin(), extra.end());
      break;
    }
    case VideoBlock::Mpeg1Video: {
      MPEG1VIDEOINFO v;
      v.hdr.rcSource = v.hdr.rcTarget = frame;
      v.hdr.dwBitRate = ClampU32(par->bit_rate);
      v.hdr.AvgTimePerFrame = StreamFrameDuration(st);
      v.hdr.bmiHeader = BitmapHeader(par, 0, 0);
      v.sequenceHeader = extra;
      mt = MakeMpeg1VideoType(sub.subtype, v);
      break;
    }
    case VideoBlock::Mpeg2Video: {
      MPEG2VIDEOINFO v;
      v.hdr.rcSource = v.hdr.rcTarget = frame;
      v.hdr.dwBitRate = ClampU32(par->bit_rate);
      v.hdr.AvgTimePerFrame = StreamFrameDuration(st);
      DisplayAspect(st, &v.hdr.dwPictAspectRatioX, &v.hdr.dwPictAspectRatioY);
      v.hdr.bmiHeader = BitmapHeader(par, 0, 0);
      v.dwProfile = par->profile > 0 ? static_cast<uint32_t>(par->profile) : 0;
      v.dwLevel = par->level > 0 ? static_cast<uint32_t>(par->level) : 0;
      v.sequenceHeader = extra;
      mt = MakeMpeg2VideoType(sub.subtype, v);
      break;
    }
  }
  mt.majortype = MEDIATYPE_Video;
  mt.bFixedSizeSamples = false;
  mt.bTemporalCompression = true;
  mt.lSampleSize = 0;
  return mt;
}

std::optional<MediaType> AudioType(const AVCodecParameters* par, const TAudioSubtype& sub) {
  const int channels = par->ch_layout.nb_channels;
  if (par->sample_rate <= 0 || channels <= 0) return std::nullopt;
  const std::vector<uint8_t> extra = ExtraData(par);
  MediaType mt;
  if (sub.block == AudioBlock::Vorbis2) {
    auto headers = SplitXiphHeaders(extra);
    if (!headers || headers->size() != 3) return std::nullopt;
    VORBISFORMAT2 v;
    v.info.nChannels = static_cast<uint32_t>(channels);
    v.info.nSamplesPerSec = static_cast<uint32_t>(par->sample_rate);
    v.info.nAvgBitsPerSec = ClampU32(par->bit_rate);
    for (int i = 0; i < 3; ++i) v.headers[i] = (*headers)[i];
    mt = MakeVorbis2Type(sub.subtype, v);
  } else {
    WAVEFORMATEX w;
    w.wFormatTag = sub.formatTag;
    w.nChannels = static_cast<uint16_t>(channels);
    w.nSamplesPerSec = static_cast<uint32_t>(par->sample_rate);
    const int bits = par->bits_per_coded_sample > 0 ? par->bits_per_coded_sample
                                                    : av_get_bits_per_sample(par->codec_id);
    w.wBitsPerSample = static_cast<uint16_t>(bits);
    if (av_get_exact_bits_per_sample(par->codec_id) > 0 && bits > 0) {
      // Uncompressed: the block and byte rate follow from the layout.
      w.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
      w.nAvgBytesPerSec = w.nBlockAlign * w.nSamplesPerSec;
    } else {
      w.nBlockAlign = static_cast<uint16_t>(par->block_align > 0 ? par->block_align : 1);
      w.nAvgBytesPerSec = ClampU32(par->bit_rate / 8);
    }
    w.extra = extra;
    mt = MakeWaveFormatType(sub.subtype, w);
  }
  mt.majortype = MEDIATYPE_Audio;
  mt.bFixedSizeSamples = false;
  mt.bTemporalCompression = false;
  mt.lSampleSize = 0;
  return mt;
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// The private data that follows a BITMAPINFOHEADER at `bmiOffset`, bounded by the block.
bool BitmapTail(const std::vector<uint8_t>& block, size_t bmiOffset, uint32_t biSize, std::vector<uint8_t>* out,
                std::string* error) {
  if (biSize < 40) return Fail(error, "bitmap header size below 40");
  const size_t tail = biSize - 40;
  const size_t start = bmiOffset + 40;
  if (tail > kMaxPrivateData || start + tail > block.size()) return Fail(error, "bitmap header longer than the block");
  out->assign(block.begin() + start, block.begin() + start + tail);
  return true;
}

bool ReadVideoSetup(const MediaType& mt, ffmpeg::TCodecSetup* s, std::string* error) {
  s->kind = AVMEDIA_TYPE_VIDEO;
  s->codecId = VideoCodecFor(mt.subtype);
  if (s->codecId == AV_CODEC_ID_NONE) return Fail(error, "video subtype " + MediaGuidName(mt.subtype) + " is not decoded here");
  if (IsBaseSubtype(mt.subtype)) s->codecTag = mt.subtype.Data1;
  int32_t width = 0, height = 0;
  if (mt.formattype == FORMAT_VideoInfo) {
    auto v = ReadVideoInfoHeader(mt.format);
    if (!v) return Fail(error, "VIDEOINFOHEADER too short");
    if (!BitmapTail(mt.format, 48, v->bmiHeader.biSize, &s->extradata, error)) return false;
    width = v->bmiHeader.biWidth;
    height = v->bmiHeader.biHeight;
    s->bitsPerCodedSample = v->bmiHeader.biBitCount;
  } else if (mt.formattype == FORMAT_VideoInfo2) {
    auto v = ReadVideoInfoHeader2(mt.format);
    if (!v) return Fail(error, "VIDEOINFOHEADER2 too short");
    if (!BitmapTail(mt.format, 72, v->bmiHeader.biSize, &s->extradata, error)) return false;
    width = v->bmiHeader.biWidth;
    height = v->bmiHeader.biHeight;
    s->bitsPerCodedSample = v->bmiHeader.biBitCount;
  } else if (mt.formattype == FORMAT_MPEGVideo) {
    auto v = ReadMpeg1VideoInfo(mt.format);
    if (!v) return Fail(error, "MPEG1VIDEOINFO malformed");
    width = v->hdr.bmiHeader.biWidth;
    height = v->hdr.bmiHeader.biHeight;
    s->extradata = v->sequenceHeader;
  } else if (mt.formattype == FORMAT_MPEG2Video) {
    auto v = ReadMpeg2VideoInfo(mt.format);
    if (!v) return Fail(error, "MPEG2VIDEOINFO malformed");
    width = v->hdr.bmiHeader.biWidth;
    height = v->hdr.bmiHeader.biHeight;
    s->extradata = v->sequenceHeader;
  } else {
    return Fail(error, "video format type " + MediaGuidName(mt.formattype) + " is not understood");
  }
  if (height < 0) height = -height;  // top-down bitmaps give a negative height
  if (width < 0 || width > kMaxDimension || height > kMaxDimension) return Fail(error, "frame size out of range");
  s->width = width;
  s->height = height;
  return true;
}

bool ReadAudioSetup(const MediaType& mt, ffmpeg::TCodecSetup* s, std::string* error) {
  s->kind = AVMEDIA_TYPE_AUDIO;
  if (mt.formattype == FORMAT_WaveFormatEx) {
    auto w = ReadWaveFormatEx(mt.format);
    if (!w) return Fail(error, "WAVEFORMATEX malformed");
    s->codecId = AudioCodecFor(mt.subtype, w->wBitsPerSample);
    if (s->codecId == AV_CODEC_ID_NONE) return Fail(error, "audio subtype " + MediaGuidName(mt.subtype) + " is not decoded here");
    if (w->nChannels == 0 || w->nSamplesPerSec == 0) return Fail(error, "audio with no channels or no sample rate");
    s->codecTag = w->wFormatTag;
    s->sampleRate = static_cast<int>(w->nSamplesPerSec);
    s->channels = w->nChannels;
    s->blockAlign = w->nBlockAlign;
    s->bitsPerCodedSample = w->wBitsPerSample;
    s->bitRate = int64_t(w->nAvgBytesPerSec) * 8;
    s->extradata = w->extra;
    return true;
  }
  if (mt.formattype == FORMAT_VorbisFormat2) {
    auto v = ReadVorbisFormat2(mt.format);
    if (!v) return Fail(error, "Vorbis block malformed");
    s->codecId = AudioCodecFor(mt.subtype, 0);
    if (s->codecId != AV_CODEC_ID_VORBIS) return Fail(error, "Vorbis block with a subtype that is not Vorbis");
    if (v->info.nChannels == 0 || v->info.nSamplesPerSec == 0) return Fail(error, "audio with no channels or no sample rate");
    s->sampleRate = static_cast<int>(v->info.nSamplesPerSec);
    s->channels = static_cast<int>(v->info.nChannels);
    s->bitRate = v->info.nAvgBitsPerSec;
    s->extradata = JoinXiphHeaders({v->headers[0], v->headers[1], v->headers[2]});
    return true;
  }
  return Fail(error, "audio format type " + MediaGuidName(mt.formattype) + " is not understood");
}

}  // namespace

int64_t FrameDurationFromRate(AVRational rate) {
  // Rates below 1 or above 1000 frames per second are container placeholders, not rates.
  if (rate.num <= 0 || rate.den <= 0) return 0;
  if (int64_t(rate.num) < int64_t(rate.den) || int64_t(rate.num) > int64_t(rate.den) * 1000) return 0;
  return av_rescale(10000000, rate.den, rate.num);
}

std::optional<MediaType> MediaTypeForStream(const AVStream* stream) {
  const AVCodecParameters* par = stream->codecpar;
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) return std::nullopt;  // cover art
    if (par->width <= 0 || par->height <= 0 || par->width > kMaxDimension || par->height > kMaxDimension)
      return std::nullopt;
    auto sub = VideoSubtypeFor(par->codec_id, par->codec_tag);
    if (!sub) return std::nullopt;
    return VideoType(stream, *sub);
  }
  if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
    auto sub = AudioSubtypeFor(par->codec_id);
    if (!sub) return std::nullopt;
    return AudioType(par, *sub);
  }
  if (par->codec_id == kTeletextCodec) {
    // The engine finds the teletext stream among the video pins by its subtype.
    MediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_VBIV;
    mt.formattype = FORMAT_None;
    mt.bFixedSizeSamples = false;
    return mt;
  }
  return std::nullopt;
}

std::optional<ffmpeg::TCodecSetup> CodecSetupFor(const MediaType& type, std::string* error) {
  ffmpeg::TCodecSetup setup;
  bool ok = false;
  if (type.majortype == MEDIATYPE_Video) {
    ok = ReadVideoSetup(type, &setup, error);
  } else if (type.majortype == MEDIATYPE_Audio) {
    ok = ReadAudioSetup(type, &setup, error);
  } else {
    Fail(error, "major type " + MediaGuidName(type.majortype) + " is not decoded here");
  }
  if (!ok) return std::nullopt;
  return setup;
}

std::optional<std::vector<std::vector<uint8_t>>> SplitXiphHeaders(const std::vector<uint8_t>& data) {
  std::vector<std::vector<uint8_t>> headers;
  if (data.size() >= 6 && data[0] == 0 && data[1] == 30) {
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
      if (at + 2 > data.size()) return std::nullopt;
      const size_t len = size_t(data[at]) << 8 | data[at + 1];
      at += 2;
      if (at + len > data.size()) return std::nullopt;
      headers.emplace_back(data.begin() + at, data.begin() + at + len);
      at += len;
    }
    return headers;
  }
  if (data.size() >= 3 && data[0] == 2) {
    size_t at = 1;
    size_t sizes[2] = {0, 0};
    for (size_t& size : sizes) {
      while (at < data.size() && data[at] == 0xFF) {
        size += 0xFF;
        ++at;
      }
      if (at >= data.size()) return std::nullopt;
      size += data[at++];
    }
    if (sizes[0] + sizes[1] > data.size() - at) return std::nullopt;
    const size_t third = data.size() - at - sizes[0] - sizes[1];
    for (size_t len : {sizes[0], sizes[1], third}) {
      headers.emplace_back(data.begin() + at, data.begin() + at + len);
      at += len;
    }
    return headers;
  }
  return std::nullopt;
}

std::vector<uint8_t> JoinXiphHeaders(const std::vector<std::vector<uint8_t>>& headers) {
  std::vector<uint8_t> out;
  for (const auto& h : headers) {
    const size_t len = std::min<size_t>(h.size(), 0xFFFF);
    out.push_back(static_cast<uint8_t>(len >> 8));
    out.push_back(static_cast<uint8_t>(len & 0xFF));
    out.insert(out.end(), h.begin(), h.begin() + len);
  }
  return out;
}

}  // namespace kv::mediatypes
