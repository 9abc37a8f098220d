// Configuration interfaces the engine calls on renderers and DV filters.
//
// The mixer and mixing-renderer interfaces are the renderers' own (filters/render); the DV
// encoder's interface is declared here because no filter of this program implements it:
// the External-to-DV construction is kept for components that do.
#pragma once

#include <cstdint>

#include "filters/render/renderer_interfaces.h"
#include "platform/com/unknown.h"

namespace kv {

struct IDVEnc : IUnknown {
  static constexpr IID kIid = GuidLiteral("{D18E17A0-AACB-11D0-AFB0-00AA00B67A42}");
  virtual HRESULT put_IFormatResolution(int32_t videoFormat, int32_t dvFormat, int32_t resolution, bool dvInfo,
                                        const void* info) = 0;
};

}  // namespace kv
