// IPacketProperties: what a demultiplexed packet knows beyond what a media sample carries.
//
// libavformat marks samples to drop at the start or end of a packet (encoder priming,
// gapless padding, an Ogg page's trimmed end). A media sample has no room for that, so the
// demultiplexer's samples also answer this private interface, and the decoders ask for it
// (a pass-through filter between them hands the same sample on). Samples from anywhere
// else simply do not answer it. Values are fixed before the sample is queued; any thread
// may read them.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

namespace kv::ffmpeg {

struct IPacketProperties : IUnknown {
  static constexpr IID kIid = GuidLiteral("{4C2B8E57-1D7A-4F4E-9E35-2A7B61C0D9F4}");
  // Samples (per channel) the decoder drops from the start and the end of this packet.
  virtual void GetSkipSamples(uint32_t* start, uint32_t* end) = 0;
};

}  // namespace kv::ffmpeg
