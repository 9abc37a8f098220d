// Media format names and the format-block readers.
#include "engine/formats.h"

#include <cstring>

namespace kv {

namespace {

struct TNameRow {
  GUID subtype;
  const char* name;
};

// Tested in this order; the first equal subtype names the stream.
const TNameRow kVideoNames[] = {
    {FourccSubtype("YUYV"), "YUYV"},
    {FourccSubtype("YUY2"), "YUY2"},
    {GuidLiteral("{E436EB7D-524F-11CE-9F53-0020AF0BA770}"), "RGB24"},
    {GuidLiteral("{E436EB7C-524F-11CE-9F53-0020AF0BA770}"), "RGB555"},
    {GuidLiteral("{E436EB7B-524F-11CE-9F53-0020AF0BA770}"), "RGB565"},
    {GuidLiteral("{E436EB7E-524F-11CE-9F53-0020AF0BA770}"), "RGB32"},
    {FourccSubtype("UYVY"), "UYVY"},
    {FourccSubtype("YVU9"), "YVU9"},
    {FourccSubtype("Y411"), "Y411"},
    {FourccSubtype("Y41P"), "Y41P"},
    {FourccSubtype("YVYU"), "YVYU"},
    {FourccSubtype("Y211"), "Y211"},
    {FourccSubtype("IYUV"), "IYUV"},
    {FourccSubtype("YV12"), "YV12"},
    {FourccSubtype("I420"), "I420"},
    {FourccSubtype("MJPG"), "MJPG"},
    {FourccSubtype("HFYU"), "Huffyuv"},
    {FourccSubtype("IJPG"), "IJPG"},
    {FourccSubtype("DVSD"), "DV"},
    {FourccSubtype("dvsd"), "DV"},
    {FourccSubtype("DIVX"), "DivX 3"},
    {FourccSubtype("DIV3"), "DivX 3"},
    {FourccSubtype("DIV4"), "DivX 4"},
    {FourccSubtype("DX50"), "DivX 5"},
    {FourccSubtype("XVID"), "XviD"},
    {GuidLiteral("{E436EB81-524F-11CE-9F53-0020AF0BA770}"), "MPEG-1"},
    {GuidLiteral("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}"), "MPEG-2"},
    {FourccSubtype("MWV1"), "Aware Motion Wavelets"},
    {FourccSubtype("PVW2"), "PICVideo Wavelet 2000"},
    {FourccSubtype("JPGL"), "PICVideo Lossless JPG"},
    {FourccSubtype("IV50"), "Indeo Video 5"},
    {FourccSubtype("MP4S"), "MS MPEG-4 V1"},
    {FourccSubtype("AVC1"), "MPEG-4 AVC (H264)"},
    {FourccSubtype("WMV1"), "Windows Media Video 7"},
    {FourccSubtype("WMV2"), "Windows Media Video 8"},
    {FourccSubtype("WMV3"), "Windows Media Video 9"},
    {FourccSubtype("VXIS"), "VXIS"},
    {FourccSubtype("VBIV"), "Raw VBI data"},
};

const TNameRow kAudioNames[] = {
    {WaveFormatSubtype(0x0001), "PCM"},
    {WaveFormatSubtype(0x0216), "DV Audio - PAL"},
    {WaveFormatSubtype(0x0215), "DV Audio - NTSC"},
    {WaveFormatSubtype(0x0011), "IMA ADPCM"},
    {WaveFormatSubtype(0x0002), "Microsoft ADPCM"},
    {GuidLiteral("{E436EB80-524F-11CE-9F53-0020AF0BA770}"), "Mpeg Layer 1"},
    {GuidLiteral("{E436EB8D-524F-11CE-9F53-0020AF0BA770}"), "AIFF"},
    {GuidLiteral("{E436EB87-524F-11CE-9F53-0020AF0BA770}"), "Mpeg Layer 1"},
    {WaveFormatSubtype(0x0050), "Mpeg Layer 1"},
    {GuidLiteral("{E436EB8C-524F-11CE-9F53-0020AF0BA770}"), "AU"},
    {GuidLiteral("{CDDCA2D5-6D75-4F98-840E-737BEDD5C63B}"), "Ogg Vorbis"},
    {GuidLiteral("{8D2FD10B-5841-4A6B-8905-588FEC1ADED9}"), "Ogg Vorbis"},
    {GuidLiteral("{E06D802B-DB46-11CF-B4D1-00805F6CBBEA}"), "Mpeg Layer 2"},
    {WaveFormatSubtype(0x0055), "Mpeg Layer 3"},
    {WaveFormatSubtype(0x0270), "ATRAC3"},
    {WaveFormatSubtype(0x2000), "Dolby AC3"},
    {GuidLiteral("{E06D802C-DB46-11CF-B4D1-00805F6CBBEA}"), "Dolby AC3"},
    {WaveFormatSubtype(0x0092), "Dolby AC3"},
    {WaveFormatSubtype(0x0161), "Windows Media Audio 9"},
};

template <class T>
T ReadLE(const uint8_t* block, size_t offset) {
  T value;
  std::memcpy(&value, block + offset, sizeof(T));  // the format blocks are little-endian, as is the host
  return value;
}

}  // namespace

std::string VideoCodecName(const GUID& subtype) {
  for (const auto& row : kVideoNames)
    if (row.subtype == subtype) return row.name;
  if (IsBaseSubtype(subtype)) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((subtype.Data1 >> (8 * i)) & 0xFF);
    return text;
  }
  return {};
}

std::string AudioCodecName(const GUID& subtype) {
  for (const auto& row : kAudioNames)
    if (row.subtype == subtype) return row.name;
  return {};
}

void TStreamInfo::ReadVideoFormat(const GUID& subtype, const GUID& formatType, const uint8_t* block,
                                  size_t size) {
  VideoCodec = VideoCodecName(subtype);
  size_t sizeOffset = 0;
  int64_t minDuration = 0;  // frame durations above this count
  if (formatType == FORMAT_VideoInfo) {
    sizeOffset = 52;
    minDuration = 100000;  // a VIDEOINFO frame rate is only believed below 100 frames per second
  } else if (formatType == FORMAT_VideoInfo2) {
    sizeOffset = 76;
    minDuration = 100000;
  } else if (formatType == FORMAT_MPEGVideo) {
    sizeOffset = 52;
  } else if (formatType == FORMAT_MPEG2Video) {
    sizeOffset = 76;
  }
  if (sizeOffset == 0 || !block || size < sizeOffset + 8) {
    VideoWidth = VideoHeight = 0;
    FrameRate = 0;
    return;
  }
  VideoWidth = ReadLE<int32_t>(block, sizeOffset);
  VideoHeight = ReadLE<int32_t>(block, sizeOffset + 4);
  int64_t perFrame = ReadLE<int64_t>(block, 40);
  FrameRate = perFrame > minDuration ? 10000000.0 / static_cast<double>(perFrame) : 0;
}

void TStreamInfo::ReadAudioFormat(const GUID& subtype, const GUID& formatType, const uint8_t* block,
                                  size_t size) {
  AudioCodec = AudioCodecName(subtype);
  if (formatType == FORMAT_WaveFormatEx) {
    if (!block || size < 16) return;
    SampleRate = ReadLE<int32_t>(block, 4);
    Channels = ReadLE<uint16_t>(block, 2);
    BitsPerSample = ReadLE<uint16_t>(block, 14);
    AudioBitrate = static_cast<int32_t>(static_cast<int64_t>(ReadLE<int32_t>(block, 8)) * 8);
  } else if (formatType == FORMAT_VorbisFormat || formatType == FORMAT_VorbisFormat2) {
    if (!block || size < 16) return;
    SampleRate = ReadLE<int32_t>(block, 4);
    Channels = ReadLE<uint16_t>(block, 0);
    BitsPerSample = 0;
    AudioBitrate = ReadLE<int32_t>(block, 12);
  }
}

}  // namespace kv
