// Components/Filters/KavelloEffects.so: the shipped effect filters and their page.
#include "effect_page.h"
#include "filters/effects/effects_registration.h"

extern "C" __attribute__((visibility("default"))) kv::HRESULT KavelloRegisterFilters(kv::TClassRegistry* registry) {
  if (!registry) return kv::E_POINTER;
  kv::HRESULT filters = kv::effects::RegisterEffectFilters(*registry);
  kv::HRESULT page = kv::effects::RegisterEffectPage(*registry);
  return kv::FAILED(filters) ? filters : page;
}
