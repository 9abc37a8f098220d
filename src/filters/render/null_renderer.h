// The null renderer: takes any stream and discards it, on time.
//
// Used for both video and audio when a file is opened for analysis without picture and
// sound. It schedules like any renderer (so with a clock it plays in real time, without
// one as fast as the upstream filters deliver) and counts what it rendered.
#pragma once

#include "platform/graph/renderer_base.h"

namespace kv::render {

class TNullRenderer : public TBaseRenderer {
 public:
  TNullRenderer();
  HRESULT CheckMediaType(const MediaType& type) override { return S_OK; }
  HRESULT DoRenderSample(IMediaSample* sample) override { return S_OK; }
};

}  // namespace kv::render
