#include "filters/effects/effect_store.h"

#include "platform/registry/registry.h"

namespace kv::effects {

std::string EffectKey(const TEffectDesc& effect) {
  return "Software\\Tessaland\\Kavello\\Effects\\" + effect.FriendlyName;
}

std::optional<std::vector<double>> LoadEffectValues(const TEffectDesc& effect) {
  registry::TRegistry reg;
  if (!reg.OpenKeyReadOnly(EffectKey(effect))) return std::nullopt;
  std::vector<double> values = DefaultValues(effect);
  for (size_t i = 0; i < effect.Params.size(); ++i)
    if (std::optional<double> v = reg.ReadFloat(effect.Params[i].Key); v && *v == *v) values[i] = *v;  // NaN: default
  return ClampValues(effect, std::move(values));
}

bool StoreEffectValues(const TEffectDesc& effect, const std::vector<double>& values) {
  const std::vector<double> clamped = ClampValues(effect, values);
  registry::TRegistry reg;
  reg.BeginUpdate();
  bool ok = reg.OpenKey(EffectKey(effect), true);
  for (size_t i = 0; ok && i < effect.Params.size(); ++i) ok = reg.WriteFloat(effect.Params[i].Key, clamped[i]);
  return reg.EndUpdate() && ok;
}

}  // namespace kv::effects
