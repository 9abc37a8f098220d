// MediaType: what flows over a pin connection (the platform's AM_MEDIA_TYPE).
//
// Major type, subtype and format type are GUIDs; the format block is a byte vector whose
// layouts (VIDEOINFOHEADER, WAVEFORMATEX, ...) are read and built by format_blocks.h. A
// value type: copies are deep, so a type may be handed to another thread by value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/guid.h"

namespace kv {

struct MediaType {
  GUID majortype;
  GUID subtype;
  bool bFixedSizeSamples = true;
  bool bTemporalCompression = false;
  uint32_t lSampleSize = 0;
  GUID formattype;
  std::vector<uint8_t> format;  // the format block (pbFormat, cbFormat)

  uint32_t cbFormat() const { return static_cast<uint32_t>(format.size()); }
  const uint8_t* pbFormat() const { return format.empty() ? nullptr : format.data(); }

  friend bool operator==(const MediaType&, const MediaType&) = default;

  // True when every GUID of `pattern` that is not GUID_NULL equals this type's.
  bool MatchesPartial(const MediaType& pattern) const;
};

using AM_MEDIA_TYPE = MediaType;

// Media types handed out by IEnumMediaTypes::Next are allocated with new; free them here.
inline void DeleteMediaType(MediaType* mt) { delete mt; }

// One line for logs and the graph inspection tool, e.g.
// "Video/YUY2 format VideoInfo 88 bytes" (known GUIDs by name, others in registry form).
std::string DescribeMediaType(const MediaType& mt);

}  // namespace kv
