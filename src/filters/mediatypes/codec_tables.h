// The mapping tables between FFmpeg's codecs and the graph's media subtypes.
//
// The engine names streams by subtype (FOURCC subtypes for video, wave-format subtypes for
// audio, a few named GUIDs for MPEG and Vorbis), and the decoder descriptors list the
// subtypes each decoder takes. These tables are the one place where a libavcodec codec id
// meets such a subtype; the demultiplexers read them one way, the decoders the other, and
// the class registrations list every subtype a decoder accepts from them.
//
// Each mapping is one table of plain rows, tested row by row. Pure data and lookups: no
// state, any thread.
#pragma once

extern "C" {
#include <libavcodec/codec_id.h>
}

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/graph/media_guids.h"

namespace kv::mediatypes {

// Audio formats the platform never named get subtypes of our own (wave-format blocks).
inline constexpr GUID MEDIASUBTYPE_KV_AAC = GuidLiteral("{21F7445D-C3E4-4788-91C1-AD6F0E568A95}");
inline constexpr GUID MEDIASUBTYPE_KV_AAC_LATM = GuidLiteral("{25F07FE5-9B36-41A6-8D29-BC679E963C90}");
inline constexpr GUID MEDIASUBTYPE_KV_OPUS = GuidLiteral("{8EBF1D6C-7F8A-43F1-90AF-EDBEAD44D58D}");
inline constexpr GUID MEDIASUBTYPE_KV_FLAC = GuidLiteral("{9CC06591-84CC-4200-A1B2-2767C303E21C}");
inline constexpr GUID MEDIASUBTYPE_KV_EAC3 = GuidLiteral("{90E84200-7E30-446A-B440-7EF5310EA768}");
inline constexpr GUID MEDIASUBTYPE_KV_DTS = GuidLiteral("{C9639BD9-A3D4-4625-84A2-A2B5C319DBE1}");
inline constexpr GUID MEDIASUBTYPE_KV_TRUEHD = GuidLiteral("{9D32113C-E097-430B-AF45-F04BE5F91EAF}");
inline constexpr GUID MEDIASUBTYPE_KV_ALAC = GuidLiteral("{2363F2CA-29B1-4078-977C-69B587D59098}");
inline constexpr GUID MEDIASUBTYPE_KV_PCM_S16BE = GuidLiteral("{DDF1AA15-0FBB-4E8E-B1E7-DEE8F59D7E8F}");
inline constexpr GUID MEDIASUBTYPE_KV_PCM_S24BE = GuidLiteral("{AD5431E3-0E8B-4F92-9518-88F970A7D203}");
inline constexpr GUID MEDIASUBTYPE_KV_AMR_NB = GuidLiteral("{DC0EC7DC-E568-4328-8667-1557F282249E}");
inline constexpr GUID MEDIASUBTYPE_KV_SPEEX = GuidLiteral("{05EDEE4E-4A1E-4C3B-9030-F0B41525E67B}");
inline constexpr GUID MEDIASUBTYPE_KV_PCM_DVD = GuidLiteral("{BD9E3323-4689-43F6-8653-16E15D902828}");
inline constexpr GUID MEDIASUBTYPE_KV_PCM_BLURAY = GuidLiteral("{F748908A-CDF6-431F-8849-35135A4B3EAD}");

// FOURCC as the 32-bit value of a FOURCC subtype: first character in the lowest byte.
constexpr uint32_t Fourcc(const char (&c)[5]) {
  return uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
         uint32_t(uint8_t(c[3])) << 24;
}

// Which format block a video subtype travels with.
enum class VideoBlock { VideoInfo, Mpeg1Video, Mpeg2Video };
// Which format block an audio subtype travels with.
enum class AudioBlock { WaveFormatEx, Vorbis2 };

// Video: one row per codec, the subtype a demultiplexer gives a stream of that codec when
// the container does not name it with one of the FOURCC aliases below.
struct TVideoCodecRow {
  AVCodecID codec;
  GUID subtype;
  VideoBlock block;
};
std::span<const TVideoCodecRow> VideoCodecTable();

// Video FOURCC aliases, all accepted by the video decoder. A container tag marked `named`
// becomes the subtype as it stands (case matters: "dvsd" and "DVSD" are different
// subtypes), so that the engine names "XviD", "DivX 5" and so on; the others only say how
// the stream is packaged (H.264's "avc1", "H264") and the codec's own subtype is used.
struct TVideoFourccRow {
  uint32_t fourcc;
  AVCodecID codec;
  bool named;
};
std::span<const TVideoFourccRow> VideoFourccTable();

// Audio: one row per codec, its subtype and, for wave-format subtypes, the format tag.
struct TAudioCodecRow {
  AVCodecID codec;
  GUID subtype;
  AudioBlock block;
};
std::span<const TAudioCodecRow> AudioCodecTable();

// Further audio subtypes the decoder accepts (named by other splitters for the same data).
struct TAudioSubtypeAliasRow {
  GUID subtype;
  AVCodecID codec;
};
std::span<const TAudioSubtypeAliasRow> AudioSubtypeAliasTable();

// Uncompressed PCM: the wave-format tag and sample size of each libavcodec PCM layout.
struct TPcmRow {
  AVCodecID codec;
  uint16_t formatTag;
  uint16_t bits;
};
std::span<const TPcmRow> PcmTable();

// What a demultiplexer announces for a stream.
struct TVideoSubtype {
  GUID subtype;
  VideoBlock block;
  uint32_t fourcc;  // biCompression: the FOURCC, 0 for the MPEG subtypes
};
// The subtype for a video stream of `codec` whose container tag is `codecTag` (0: none):
// the tag when it is an alias of that codec, else the codec's row. nullopt: not mapped.
std::optional<TVideoSubtype> VideoSubtypeFor(AVCodecID codec, uint32_t codecTag);
// The codec for a video subtype (aliases and rows); AV_CODEC_ID_NONE when not mapped.
AVCodecID VideoCodecFor(const GUID& subtype);
// Every video subtype the decoder accepts, rows first then aliases, without repeats.
std::vector<GUID> VideoDecoderSubtypes();

struct TAudioSubtype {
  GUID subtype;
  AudioBlock block;
  uint16_t formatTag;  // wFormatTag of the block (0 for subtypes of our own)
};
// The subtype for an audio stream of `codec` (PCM by its layout). nullopt: not mapped.
std::optional<TAudioSubtype> AudioSubtypeFor(AVCodecID codec);
// The codec for an audio subtype. PCM subtypes need the sample size: bits picks the row
// (0 takes 16). AV_CODEC_ID_NONE when not mapped.
AVCodecID AudioCodecFor(const GUID& subtype, int bits);
// Every audio subtype the decoder accepts, without repeats.
std::vector<GUID> AudioDecoderSubtypes();

// Teletext streams travel as FOURCC VBIV with this codec.
inline constexpr AVCodecID kTeletextCodec = AV_CODEC_ID_DVB_TELETEXT;

}  // namespace kv::mediatypes
