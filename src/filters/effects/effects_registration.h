// Registration of the shipped effect filters with a class registry, by friendly name in the
// legacy filter category (where the chain finds plug-ins) and never chosen by intelligent
// connect. The module in Components/Filters/ calls this from KavelloRegisterFilters, and
// registers the property page class (Qt) beside it. Any thread.
#pragma once

#include "platform/com/class_registry.h"

namespace kv::effects {

HRESULT RegisterEffectFilters(TClassRegistry& registry);

}  // namespace kv::effects
