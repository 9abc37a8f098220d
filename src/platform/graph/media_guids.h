// The GUIDs of media types, subtypes and format types, with the platform's names.
//
// FOURCC subtypes are {XXXXXXXX-0000-0010-8000-00AA00389B71} with the four characters in
// the first field, first character in the lowest byte; wave-format subtypes put the
// 16-bit format tag there instead. Everything here is constant data.
#pragma once

#include <string>

#include "platform/com/guid.h"

namespace kv {

// {XXXXXXXX-0000-0010-8000-00AA00389B71} with Data1 = value.
constexpr GUID BaseSubtype(uint32_t data1) {
  GUID g = GuidLiteral("{00000000-0000-0010-8000-00AA00389B71}");
  g.Data1 = data1;
  return g;
}
// FourccSubtype("YUY2"): first character in the lowest byte.
constexpr GUID FourccSubtype(const char (&c)[5]) {
  return BaseSubtype(uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
                     uint32_t(uint8_t(c[3])) << 24);
}
constexpr GUID WaveFormatSubtype(uint16_t formatTag) { return BaseSubtype(formatTag); }
// Whether g has the base-subtype shape (FOURCC and wave-format subtypes both do).
constexpr bool IsBaseSubtype(const GUID& g) {
  GUID b = BaseSubtype(g.Data1);
  return b == g;
}

// Major types.
inline constexpr GUID MEDIATYPE_Video = GuidLiteral("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Audio = GuidLiteral("{73647561-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Text = GuidLiteral("{73747874-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Interleaved = GuidLiteral("{73766169-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Stream = GuidLiteral("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIATYPE_VBI = GuidLiteral("{F72A76E1-EB0A-11D0-ACE4-0000C0CC16BA}");

// Subtypes.
inline constexpr GUID MEDIASUBTYPE_None = GuidLiteral("{E436EB8E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB565 = GuidLiteral("{E436EB7B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB555 = GuidLiteral("{E436EB7C-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB24 = GuidLiteral("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB32 = GuidLiteral("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_YUY2 = FourccSubtype("YUY2");
inline constexpr GUID MEDIASUBTYPE_UYVY = FourccSubtype("UYVY");
inline constexpr GUID MEDIASUBTYPE_YV12 = FourccSubtype("YV12");
inline constexpr GUID MEDIASUBTYPE_I420 = FourccSubtype("I420");
inline constexpr GUID MEDIASUBTYPE_IYUV = FourccSubtype("IYUV");
inline constexpr GUID MEDIASUBTYPE_NV12 = FourccSubtype("NV12");
inline constexpr GUID MEDIASUBTYPE_VBIV = FourccSubtype("VBIV");  // raw teletext (VBI) lines
inline constexpr GUID MEDIASUBTYPE_MPEG1Packet = GuidLiteral("{E436EB80-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG1Payload = GuidLiteral("{E436EB81-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG1System = GuidLiteral("{E436EB84-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG1VideoCD = GuidLiteral("{E436EB85-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG1Video = GuidLiteral("{E436EB86-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG1Audio = GuidLiteral("{E436EB87-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_Avi = GuidLiteral("{E436EB88-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_WAVE = GuidLiteral("{E436EB8B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_AU = GuidLiteral("{E436EB8C-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_AIFF = GuidLiteral("{E436EB8D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = GuidLiteral("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_AUDIO = GuidLiteral("{E06D802B-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_DOLBY_AC3 = GuidLiteral("{E06D802C-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_PCM = WaveFormatSubtype(0x0001);
inline constexpr GUID MEDIASUBTYPE_IEEE_FLOAT = WaveFormatSubtype(0x0003);
inline constexpr GUID MEDIASUBTYPE_MPEG1AudioPayload = WaveFormatSubtype(0x0050);
// The two Vorbis audio subtypes the engine names "Ogg Vorbis".
inline constexpr GUID MEDIASUBTYPE_Vorbis = GuidLiteral("{CDDCA2D5-6D75-4F98-840E-737BEDD5C63B}");
inline constexpr GUID MEDIASUBTYPE_Vorbis2 = GuidLiteral("{8D2FD10B-5841-4A6B-8905-588FEC1ADED9}");

// Format types.
inline constexpr GUID FORMAT_None = GuidLiteral("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
inline constexpr GUID FORMAT_VideoInfo = GuidLiteral("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_WaveFormatEx = GuidLiteral("{05589F81-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_MPEGVideo = GuidLiteral("{05589F82-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_MPEGStreams = GuidLiteral("{05589F83-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_VideoInfo2 = GuidLiteral("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");
inline constexpr GUID FORMAT_MPEG2Video = GuidLiteral("{E06D80E3-DB46-11CF-B4D1-00805F6CBBEA}");
// The two Vorbis format blocks (channels, rate, bitrates; format_blocks.h).
inline constexpr GUID FORMAT_VorbisFormat = GuidLiteral("{6BDDFA7E-9F22-46A9-AB5E-884EFF294D9F}");
inline constexpr GUID FORMAT_VorbisFormat2 = GuidLiteral("{B36E107F-A938-4387-93C7-55E966757473}");

// Time formats of IMediaSeeking.
inline constexpr GUID TIME_FORMAT_NONE = GUID_NULL;
inline constexpr GUID TIME_FORMAT_FRAME = GuidLiteral("{7B785570-8C82-11CF-BC0C-00AA00AC74F6}");
inline constexpr GUID TIME_FORMAT_BYTE = GuidLiteral("{7B785571-8C82-11CF-BC0C-00AA00AC74F6}");
inline constexpr GUID TIME_FORMAT_SAMPLE = GuidLiteral("{7B785572-8C82-11CF-BC0C-00AA00AC74F6}");
inline constexpr GUID TIME_FORMAT_FIELD = GuidLiteral("{7B785573-8C82-11CF-BC0C-00AA00AC74F6}");
inline constexpr GUID TIME_FORMAT_MEDIA_TIME = GuidLiteral("{7B785574-8C82-11CF-BC0C-00AA00AC74F6}");

// A short name for a GUID of this file ("Video", "YUY2", "VideoInfo", "MEDIA_TIME"), the
// four characters of an unnamed FOURCC subtype, "wave 0x0055" for an unnamed wave-format
// subtype, else the registry form.
std::string MediaGuidName(const GUID& guid);

}  // namespace kv
