// A playback graph for the benchmarks: file source, the container's splitter, the FFmpeg
// decoders, the "Video Renderer" drawing into a given surface and the PulseAudio audio
// renderer on the default sink, clocked by the audio renderer. Built by hand the way the
// engine builds it (ConnectDirect for the source, intelligent connect for the rest), so
// the benchmarks measure the same filters the player uses.
#pragma once

#include <string>

#include "platform/graph/graph_interfaces.h"
#include "platform/video/video_surface.h"

namespace kv::bench {

struct TPlayGraph {
  ComPtr<IGraphBuilder> Graph;
  ComPtr<IMediaControl> Control;
  ComPtr<IMediaEventEx> Events;
  ComPtr<IBaseFilter> VideoRenderer;
  ComPtr<IBaseFilter> AudioRenderer;
  std::string Error;

  // Registers the filter classes (once) and builds the graph for `file`; false with Error.
  bool Build(const std::string& file, video::TSurfaceHandle surface);
  // Runs until EC_COMPLETE or `timeoutMs`; returns whether it completed.
  bool PlayToEnd(int32_t timeoutMs);
  int64_t FramesRendered() const;
  int64_t FramesDropped() const;
};

}  // namespace kv::bench
