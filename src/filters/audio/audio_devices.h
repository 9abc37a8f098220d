// The audio renderer devices and their registration.
//
// The audio renderer category lists, while a sound server answers: "Default DirectSound
// Device" and "Default WaveOut Device" (both play on the server's default sink, whichever
// it is when playback starts), then one entry per sink by its description, in the
// server's order; each entry's moniker creates an audio renderer for that sink. With no
// server the category is empty. The list is made fresh at every enumeration.
#pragma once

#include <string>
#include <vector>

#include "platform/com/class_registry.h"

namespace kv::audio {

inline constexpr CLSID KClsidDSoundRender = GuidLiteral("{79376820-07D0-11CF-A24D-0020AFD79767}");
inline constexpr CLSID KClsidAudioRender = GuidLiteral("{E30629D1-27E5-11CE-875D-00608CB78066}");

// The category's entries now (connects to the server with a short time-out).
std::vector<TDeviceEntry> AudioRendererDevices();

// Registers the audio renderer class ("Default DirectSound Device", for intelligent
// connect) and the device provider of CLSID_AudioRendererCategory. Idempotent.
void RegisterAudioFilters(TClassRegistry& registry);

}  // namespace kv::audio
