// A harness graph for one effect filter: a source that plays given buffers (pictures or PCM
// blocks) with times, the effect, and a sink that keeps a copy of everything it receives.
// Runs unclocked to the end. The effect is created through the class registry by friendly
// name after the shipped module was loaded from Components/Filters, as the player does.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/graph/filter_graph.h"
#include "platform/graph/renderer_base.h"

namespace kv::test {

struct TCaptured {
  std::vector<uint8_t> data;
  REFERENCE_TIME start = 0, stop = 0;
};

// Loads Components/Filters of the build tree once, with XDG_CONFIG_HOME pointed at a new
// private folder (where the effects keep their settings); true when they are registered.
bool LoadShippedEffects();
// Creates a registered filter by friendly name (legacy filter category); null if none.
ComPtr<IBaseFilter> CreateByName(const std::string& friendlyName);

MediaType I420Type(int width, int height, int64_t frameDuration = 400000);
MediaType PcmType(int rate, int channels, bool floatSamples);

class THarness {
 public:
  THarness();
  ~THarness();
  // Builds source -> effect -> sink for `type` and plays `buffers`, each lasting
  // `duration`; false (with *error) on a connection or run failure.
  bool Run(IBaseFilter* effect, const MediaType& type, const std::vector<std::vector<uint8_t>>& buffers,
           REFERENCE_TIME duration, std::string* error);
  std::vector<TCaptured> Output();
  MediaType OutputType();

 private:
  ComPtr<IGraphBuilder> graph_;
  class Sink;
  ComPtr<Sink> sink_;
};

}  // namespace kv::test
