// TAudioEffectFilter: a shipped audio effect ("Kavello Volume", "Kavello Equalizer",
// "Kavello Night Mode").
//
// Input and output: the PCM layouts the audio decoder writes (audiodec/pcm_formats.h:
// 16-bit integer or 32-bit float, interleaved), the output exactly the input's type. A
// finished block larger than an output buffer is split over several samples; sample times
// follow the graph's times (the effects' look-ahead is inside libavfilter's timestamps).
// Threads: see effect_filter.h.
#pragma once

#include "filters/audiodec/pcm_formats.h"
#include "filters/effects/effect_filter.h"

namespace kv::effects {

class TAudioEffectFilter final : public TEffectFilter {
 public:
  explicit TAudioEffectFilter(const TEffectDesc& desc) : TEffectFilter(desc) {}

  HRESULT CheckInputType(const MediaType& type) override;
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override;
  HRESULT GetOutputType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  bool OpenGraph(TLavfiGraph& graph, const std::string& chain, std::string* error) override;
  bool FrameFromSample(IMediaSample* sample, AVFrame* frame) override;
  HRESULT DeliverFrame(AVFrame* frame) override;

 private:
  audiodec::TPcmLayout layout_{};  // streaming thread: the connected layout
};

}  // namespace kv::effects
