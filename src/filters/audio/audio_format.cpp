#include "filters/audio/audio_format.h"

#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::audio {

namespace {

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

constexpr TWaveFormatRow KRows[] = {
    {WAVE_FORMAT_PCM, 8, TSampleFormat::U8},
    {WAVE_FORMAT_PCM, 16, TSampleFormat::S16},
    {WAVE_FORMAT_PCM, 32, TSampleFormat::S32},
    {WAVE_FORMAT_IEEE_FLOAT, 32, TSampleFormat::F32},
};

}  // namespace

std::span<const TWaveFormatRow> WaveFormatTable() { return KRows; }

std::optional<TPcmFormat> ReadPcmFormat(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio || type.formattype != FORMAT_WaveFormatEx) return std::nullopt;
  if (type.subtype != MEDIASUBTYPE_PCM && type.subtype != MEDIASUBTYPE_IEEE_FLOAT) return std::nullopt;
  std::optional<WAVEFORMATEX> wave = ReadWaveFormatEx(type.format);
  if (!wave) return std::nullopt;
  uint16_t tag = wave->wFormatTag;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    // WAVEFORMATEXTENSIBLE: valid bits (2), channel mask (4), then the sub-format GUID
    // whose first two bytes are the real tag.
    if (wave->extra.size() < 22) return std::nullopt;
    tag = static_cast<uint16_t>(wave->extra[6] | (wave->extra[7] << 8));
  }
  for (const TWaveFormatRow& row : KRows) {
    if (row.FormatTag != tag || row.BitsPerSample != wave->wBitsPerSample) continue;
    TPcmFormat format{row.Sample, wave->nSamplesPerSec, static_cast<uint8_t>(std::min<uint16_t>(wave->nChannels, 255))};
    if (wave->nChannels == 0 || wave->nChannels > 32 || !format.IsValid()) return std::nullopt;
    if (wave->nBlockAlign != format.BytesPerFrame()) return std::nullopt;
    return format;
  }
  return std::nullopt;
}

}  // namespace kv::audio
