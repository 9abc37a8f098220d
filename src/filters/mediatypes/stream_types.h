// Media types for FFmpeg streams, and codec setups from media types.
//
// The demultiplexers describe each stream with MediaTypeForStream: the subtype from the
// codec tables, the format block the engine reads by offset (frame size and duration,
// sample rate, channels, bits, bitrate), and the codec private data after the fixed part of
// the block so that a decoder can open the stream from the media type alone. The decoders
// read it back with CodecSetupFor.
//
// Layouts of the private data:
//   VIDEOINFOHEADER   after the 88 bytes; biSize = 40 + its length
//   MPEG1VIDEOINFO / MPEG2VIDEOINFO   the sequence header field
//   WAVEFORMATEX      the cbSize extra bytes
//   VORBISFORMAT2     the three Vorbis headers
// Pure functions, any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "filters/ffmpeg/decoder_core.h"
#include "platform/graph/media_type.h"

namespace kv::mediatypes {

// The media type a demultiplexer pin offers for `stream`; nullopt when the codec has no
// subtype (the stream gets no pin). Teletext streams get FOURCC VBIV with no format block.
std::optional<MediaType> MediaTypeForStream(const AVStream* stream);

// The decoder's view of a compressed media type; nullopt (and *error) when the subtype is
// not one we decode or the format block is malformed (too short, a tail longer than the
// block, a zero size or rate).
std::optional<ffmpeg::TCodecSetup> CodecSetupFor(const MediaType& type, std::string* error);

// Frame duration in 100 ns units from a frame rate; 0 when the rate is unknown or absurd.
int64_t FrameDurationFromRate(AVRational rate);

// Vorbis private data: libavformat gives the three headers either Xiph-laced (first byte 2)
// or each behind a 16-bit big-endian length. Splits both; nullopt when malformed.
std::optional<std::vector<std::vector<uint8_t>>> SplitXiphHeaders(const std::vector<uint8_t>& extradata);
// The 16-bit-length form libavcodec's Vorbis decoder reads.
std::vector<uint8_t> JoinXiphHeaders(const std::vector<std::vector<uint8_t>>& headers);

}  // namespace kv::mediatypes
