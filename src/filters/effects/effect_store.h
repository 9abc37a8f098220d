// Where the shipped effects keep their settings between instances and between runs: one
// registry key per effect under the player's key,
//   HKEY_CURRENT_USER\Software\Tessaland\Kavello\Effects\<friendly name>
// with one floating-point value per parameter row, named after the row's key
// ("brightness"). A new effect filter starts from these; the property page stores them when
// the user applies it (IKavelloEffect::SaveValues).
//
// Pure logic over the registry layer (no Qt, no libav). Values read back are clamped into
// the rows' ranges; a missing or unreadable value gives the row's default. Any thread (each
// call uses its own registry accessor).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "filters/effects/effect_catalogue.h"

namespace kv::effects {

// The registry key of an effect's settings, relative to the current-user root.
std::string EffectKey(const TEffectDesc& effect);
// The stored values in row order, or nullopt when nothing was ever stored for the effect.
std::optional<std::vector<double>> LoadEffectValues(const TEffectDesc& effect);
// Stores the values (clamped) in one update; false when the hive could not be written.
bool StoreEffectValues(const TEffectDesc& effect, const std::vector<double>& values);

}  // namespace kv::effects
