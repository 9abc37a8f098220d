#include "platform/graph/media_type.h"

#include <cstdio>
#include <utility>

#include "platform/graph/media_guids.h"

namespace kv {

bool MediaType::MatchesPartial(const MediaType& p) const {
  return (p.majortype == GUID_NULL || p.majortype == majortype) && (p.subtype == GUID_NULL || p.subtype == subtype) &&
         (p.formattype == GUID_NULL || p.formattype == formattype);
}

namespace {
struct Named {
  GUID guid;
  const char* name;
};
// Names for logs and the inspection tool; one row per GUID of media_guids.h.
const Named kNames[] = {
    {MEDIATYPE_Video, "Video"},
    {MEDIATYPE_Audio, "Audio"},
    {MEDIATYPE_Text, "Text"},
    {MEDIATYPE_Interleaved, "Interleaved"},
    {MEDIATYPE_Stream, "Stream"},
    {MEDIATYPE_VBI, "VBI"},
    {MEDIASUBTYPE_None, "None"},
    {MEDIASUBTYPE_RGB565, "RGB565"},
    {MEDIASUBTYPE_RGB555, "RGB555"},
    {MEDIASUBTYPE_RGB24, "RGB24"},
    {MEDIASUBTYPE_RGB32, "RGB32"},
    {MEDIASUBTYPE_MPEG1Packet, "MPEG1Packet"},
    {MEDIASUBTYPE_MPEG1Payload, "MPEG1Payload"},
    {MEDIASUBTYPE_MPEG1System, "MPEG1System"},
    {MEDIASUBTYPE_MPEG1VideoCD, "MPEG1VideoCD"},
    {MEDIASUBTYPE_MPEG1Video, "MPEG1Video"},
    {MEDIASUBTYPE_MPEG1Audio, "MPEG1Audio"},
    {MEDIASUBTYPE_Avi, "Avi"},
    {MEDIASUBTYPE_WAVE, "WAVE"},
    {MEDIASUBTYPE_AU, "AU"},
    {MEDIASUBTYPE_AIFF, "AIFF"},
    {MEDIASUBTYPE_MPEG2_VIDEO, "MPEG2_VIDEO"},
    {MEDIASUBTYPE_MPEG2_AUDIO, "MPEG2_AUDIO"},
    {MEDIASUBTYPE_DOLBY_AC3, "DOLBY_AC3"},
    {MEDIASUBTYPE_PCM, "PCM"},
    {MEDIASUBTYPE_IEEE_FLOAT, "IEEE_FLOAT"},
    {MEDIASUBTYPE_MPEG1AudioPayload, "MPEG1AudioPayload"},
    {MEDIASUBTYPE_Vorbis, "Vorbis"},
    {MEDIASUBTYPE_Vorbis2, "Vorbis2"},
    {FORMAT_None, "None"},
    {FORMAT_VideoInfo, "VideoInfo"},
    {FORMAT_WaveFormatEx, "WaveFormatEx"},
    {FORMAT_MPEGVideo, "MPEGVideo"},
    {FORMAT_MPEGStreams, "MPEGStreams"},
    {FORMAT_VideoInfo2, "VideoInfo2"},
    {FORMAT_MPEG2Video, "MPEG2Video"},
    {FORMAT_VorbisFormat, "VorbisFormat"},
    {FORMAT_VorbisFormat2, "VorbisFormat2"},
    {TIME_FORMAT_FRAME, "FRAME"},
    {TIME_FORMAT_BYTE, "BYTE"},
    {TIME_FORMAT_SAMPLE, "SAMPLE"},
    {TIME_FORMAT_FIELD, "FIELD"},
    {TIME_FORMAT_MEDIA_TIME, "MEDIA_TIME"},
};
}  // namespace

std::string MediaGuidName(const GUID& g) {
  if (g == GUID_NULL) return "NULL";
  for (auto& n : kNames)
    if (n.guid == g) return n.name;
  if (IsBaseSubtype(g)) {
    char buf[16];
    if (g.Data1 <= 0xFFFF) {
      std::snprintf(buf, sizeof buf, "wave 0x%04X", g.Data1);
      return buf;
    }
    std::string s;
    for (int i = 0; i < 4; ++i) {
      char c = static_cast<char>((g.Data1 >> (8 * i)) & 0xFF);
      s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
  }
  return GuidToString(g);
}

std::string DescribeMediaType(const MediaType& mt) {
  return MediaGuidName(mt.majortype) + "/" + MediaGuidName(mt.subtype) + " format " + MediaGuidName(mt.formattype) +
         " " + std::to_string(mt.format.size()) + " bytes";
}

}  // namespace kv
