// Which PCM layouts the audio renderer plays, read from a WAVEFORMATEX media type.
#pragma once

#include <optional>
#include <span>

#include "platform/audio/pulse_stream.h"
#include "platform/graph/media_type.h"

namespace kv::audio {

struct TWaveFormatRow {
  uint16_t FormatTag;  // WAVE_FORMAT_PCM (1) or WAVE_FORMAT_IEEE_FLOAT (3)
  uint16_t BitsPerSample;
  TSampleFormat Sample;
};
// One row per accepted (tag, bits) pair; extensible formats are read by their sub-format.
std::span<const TWaveFormatRow> WaveFormatTable();

// The PCM format of an audio type (major type Audio, subtype PCM or IEEE float, format
// WaveFormatEx, or WAVE_FORMAT_EXTENSIBLE with one of those sub-formats); nullopt for
// anything else, including implausible rates, channel counts or block alignments.
std::optional<TPcmFormat> ReadPcmFormat(const MediaType& type);

}  // namespace kv::audio
