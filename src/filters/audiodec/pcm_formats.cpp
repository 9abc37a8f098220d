#include "filters/audiodec/pcm_formats.h"

#include <algorithm>

#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::audiodec {

namespace {
const TPcmFormatRow kPcmFormats[] = {
    {0x0001, 16, AV_SAMPLE_FMT_S16},
    {0x0003, 32, AV_SAMPLE_FMT_FLT},
};
}  // namespace

std::span<const TPcmFormatRow> PcmFormatTable() { return kPcmFormats; }

MediaType MakePcmType(const TPcmFormatRow& format, int sampleRate, int channels) {
  WAVEFORMATEX w;
  w.wFormatTag = format.formatTag;
  w.nChannels = static_cast<uint16_t>(channels);
  w.nSamplesPerSec = static_cast<uint32_t>(sampleRate);
  w.wBitsPerSample = format.bits;
  w.nBlockAlign = static_cast<uint16_t>(channels * format.bits / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * w.nSamplesPerSec;
  MediaType mt = MakeWaveFormatType(WaveFormatSubtype(format.formatTag), w);
  mt.majortype = MEDIATYPE_Audio;
  mt.bFixedSizeSamples = true;
  mt.bTemporalCompression = false;
  mt.lSampleSize = w.nBlockAlign;
  return mt;
}

std::optional<TPcmLayout> ReadPcmType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio || type.formattype != FORMAT_WaveFormatEx) return std::nullopt;
  auto w = ReadWaveFormatEx(type.format);
  if (!w || type.subtype != WaveFormatSubtype(w->wFormatTag)) return std::nullopt;
  const auto row = std::find_if(std::begin(kPcmFormats), std::end(kPcmFormats), [&](const TPcmFormatRow& r) {
    return r.formatTag == w->wFormatTag && r.bits == w->wBitsPerSample;
  });
  if (row == std::end(kPcmFormats)) return std::nullopt;
  if (w->nChannels == 0 || w->nChannels > kMaxOutputChannels || w->nSamplesPerSec == 0 ||
      w->nSamplesPerSec > 768000 || w->nBlockAlign != w->nChannels * row->bits / 8)
    return std::nullopt;
  return TPcmLayout{&*row, static_cast<int>(w->nSamplesPerSec), w->nChannels, w->nBlockAlign};
}

std::optional<MediaType> PcmTypeAt(int position, int sampleRate, int channels) {
  if (position < 0 || sampleRate <= 0 || channels <= 0) return std::nullopt;
  channels = std::min(channels, kMaxOutputChannels);
  const int formats = static_cast<int>(std::size(kPcmFormats));
  if (position < formats) return MakePcmType(kPcmFormats[position], sampleRate, channels);
  position -= formats;
  if (channels > 2 && position < formats) return MakePcmType(kPcmFormats[position], sampleRate, 2);
  return std::nullopt;
}

}  // namespace kv::audiodec
