// Media format names and stream info: what the engine records about connected streams.
//
// Two name tables (video subtypes, audio subtypes) and the readers that fill the stream
// fields of the engine from a media type's format block, read by byte offset. Pure logic:
// no graph objects, tested row by row.
// Threads: user-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/graph/media_guids.h"
#include "platform/graph/media_type.h"

namespace kv {

inline constexpr GUID MEDIASUBTYPE_dvsd = FourccSubtype("dvsd");

// Display name of a video subtype; empty when it has none.
std::string VideoCodecName(const GUID& subtype);
// Display name of an audio subtype; empty when it has none.
std::string AudioCodecName(const GUID& subtype);

// The stream fields of the engine that the readers fill.
struct TStreamInfo {
  std::string VideoCodec;
  int32_t VideoWidth = 0;
  int32_t VideoHeight = 0;
  double FrameRate = 0;
  std::string AudioCodec;
  int32_t SampleRate = 0;
  int32_t Channels = 0;
  int32_t BitsPerSample = 0;
  int32_t AudioBitrate = 0;  // bits per second

  // Reads a video media type: subtype name, frame size and rate by format type. A format
  // block too short for the offsets read is treated as an unknown format (zeros).
  void ReadVideoFormat(const GUID& subtype, const GUID& formatType, const uint8_t* block, size_t size);
  // Reads an audio media type; unknown format types leave the four numbers as they are.
  void ReadAudioFormat(const GUID& subtype, const GUID& formatType, const uint8_t* block, size_t size);
  void ReadVideoFormat(const MediaType& mt) { ReadVideoFormat(mt.subtype, mt.formattype, mt.pbFormat(), mt.cbFormat()); }
  void ReadAudioFormat(const MediaType& mt) { ReadAudioFormat(mt.subtype, mt.formattype, mt.pbFormat(), mt.cbFormat()); }
  void ClearStreamInfo() { *this = TStreamInfo(); }
};

}  // namespace kv
