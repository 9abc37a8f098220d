#include "panel_format.h"

#include <cstdio>

namespace kv::cappanel {

std::string TimeText(int32_t tenths) {
  if (tenths < 0) tenths = 0;
  const int32_t seconds = tenths / 10;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buf;
}

void Unpack(int32_t packed, int32_t* high, int32_t* low) {
  const int32_t l = static_cast<int16_t>(static_cast<uint32_t>(packed) & 0xFFFFu);
  *low = l;
  *high = static_cast<int32_t>((static_cast<int64_t>(packed) - l) / 65536);
}

std::string PictureText(int32_t packed) {
  if (packed == 0) return {};
  const int32_t width = static_cast<int32_t>(static_cast<uint32_t>(packed) >> 16);
  const int32_t height = static_cast<int32_t>(static_cast<uint32_t>(packed) & 0xFFFFu);
  return std::to_string(width) + " x " + std::to_string(height);
}

std::string FrameRateText(int32_t packed) {
  if (packed <= 0) return {};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d.%03d fps", packed / 65536, packed % 65536);
  return buf;
}

std::string SizeText(int64_t kib) {
  char buf[32];
  if (kib < 1024) std::snprintf(buf, sizeof buf, "%lld KiB", static_cast<long long>(kib));
  else if (kib < 1024 * 1024) std::snprintf(buf, sizeof buf, "%.1f MiB", kib / 1024.0);
  else std::snprintf(buf, sizeof buf, "%.1f GiB", kib / (1024.0 * 1024.0));
  return buf;
}

std::string BitrateText(int32_t kbit) {
  if (kbit < 0) return "-";
  return std::to_string(kbit) + " kbit/s";
}

std::string AudioFormatText(int32_t sampleRate, int32_t channels, int32_t bits) {
  if (sampleRate <= 0) return {};
  std::string text = std::to_string(sampleRate) + " Hz";
  if (channels > 0) text += ", " + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
  if (bits > 0) text += ", " + std::to_string(bits) + " bit";
  return text;
}

int32_t TimeAtSliderValue(int32_t value, int32_t durationTenths) {
  if (value < 0) value = 0;
  if (value > 10000) value = 10000;
  return static_cast<int32_t>(static_cast<int64_t>(durationTenths) * value / 10000);
}

}  // namespace kv::cappanel
