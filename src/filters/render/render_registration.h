// Registration of the video renderer module's filters with the class registry.
#pragma once

#include "platform/com/class_registry.h"

namespace kv::render {

// Registers "Video Renderer", "Overlay mixer", "Overlay mixer 2", "Video Mixing Renderer 7",
// "Video Mixing Renderer 9" (whose creation fails with CLASS_E_CLASSNOTAVAILABLE unless an
// OpenGL context can be made) and the null renderer ("Null Renderer"). Idempotent.
void RegisterRenderFilters(TClassRegistry& registry);

}  // namespace kv::render
