// The control panel's texts from the protocol's numbers: times, sizes, rates. Pure logic,
// no Qt; tested directly.
#pragma once

#include <cstdint>
#include <string>

namespace kv::cappanel {

// Tenths of a second as H:MM:SS (negative counts as 0).
std::string TimeText(int32_t tenths);
// The two halves of a packed value (high x 65536 + low; low is signed).
void Unpack(int32_t packed, int32_t* high, int32_t* low);
// "640 x 360" from a packed picture size; empty for 0 x 0.
std::string PictureText(int32_t packed);
// "29.969 fps" from whole x 65536 + thousandths; empty for 0.
std::string FrameRateText(int32_t packed);
// KiB as "512 KiB", "3.4 MiB", "12.1 GiB".
std::string SizeText(int64_t kib);
// kbit/s as "1234 kbit/s"; a negative value (blanked) as "-".
std::string BitrateText(int32_t kbit);
// "48000 Hz, 2 channels, 16 bit"; empty without a sample rate.
std::string AudioFormatText(int32_t sampleRate, int32_t channels, int32_t bits);
// The time (tenths) at a slider value of 0..10000 for a title of durationTenths.
int32_t TimeAtSliderValue(int32_t value, int32_t durationTenths);

}  // namespace kv::cappanel
