// The PCM layouts the audio decoder offers, in the order it offers them, and their types.
//
// 16-bit integer first (every renderer takes it), then 32-bit float. Each is offered with
// the stream's own channel count and, for more than two channels, again as stereo (the
// converter mixes down). Pure data and functions, any thread.
#pragma once

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <optional>
#include <span>

#include "platform/graph/media_type.h"

namespace kv::audiodec {

struct TPcmFormatRow {
  uint16_t formatTag;  // WAVE_FORMAT_PCM or WAVE_FORMAT_IEEE_FLOAT
  uint16_t bits;
  AVSampleFormat sampleFormat;  // interleaved
};

std::span<const TPcmFormatRow> PcmFormatTable();

// What an output type fixes.
struct TPcmLayout {
  const TPcmFormatRow* format = nullptr;
  int sampleRate = 0;
  int channels = 0;
  int blockAlign = 0;  // bytes per sample frame (all channels)
};

inline constexpr int kMaxOutputChannels = 8;

MediaType MakePcmType(const TPcmFormatRow& format, int sampleRate, int channels);
// nullopt when the type is not one of our PCM layouts or its numbers are inconsistent.
std::optional<TPcmLayout> ReadPcmType(const MediaType& type);
// The output type at `position` for a stream of sampleRate and channels; nullopt past the end.
std::optional<MediaType> PcmTypeAt(int position, int sampleRate, int channels);

}  // namespace kv::audiodec
