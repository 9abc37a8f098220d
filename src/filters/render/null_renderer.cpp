#include "filters/render/null_renderer.h"

#include "filters/render/renderer_interfaces.h"

namespace kv::render {

TNullRenderer::TNullRenderer() : TBaseRenderer(KClsidNullRenderer, "In") {}

}  // namespace kv::render
