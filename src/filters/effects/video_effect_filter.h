// TVideoEffectFilter: a shipped video effect ("Kavello Picture", "Kavello Rotate", ...).
//
// Input: the uncompressed layouts the video decoder writes (video/picture_formats.h: YV12,
// I420, NV12, YUY2, RGB32). Output: the same layout; the same type unless the values turn
// the picture by a quarter, when width and height (and the aspect ratio) swap, so that the
// renderer is told the new size when the chain is connected. Interlaced input (a
// VIDEOINFOHEADER2 that says so) is marked on each frame for the deinterlacer's
// "interlaced frames only" mode.
// Threads: see effect_filter.h.
#pragma once

#include "filters/effects/effect_filter.h"
#include "filters/video/picture_formats.h"
#include "filters/video/picture_writer.h"

namespace kv::effects {

class TVideoEffectFilter final : public TEffectFilter {
 public:
  explicit TVideoEffectFilter(const TEffectDesc& desc) : TEffectFilter(desc) {}

  HRESULT CheckInputType(const MediaType& type) override;
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override;
  HRESULT GetOutputType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT GetInputAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  bool NeedsReconnect() override;

  // The output type for an input type and values (exposed for the tests of the swap).
  static std::optional<MediaType> OutputTypeFor(const MediaType& input, bool swap);

 protected:
  bool OpenGraph(TLavfiGraph& graph, const std::string& chain, std::string* error) override;
  bool FrameFromSample(IMediaSample* sample, AVFrame* frame) override;
  HRESULT DeliverFrame(AVFrame* frame) override;
  std::string ChainFor(const std::vector<double>& values) override;

 private:
  bool OutputSwapped();
  // Streaming thread: the connected layouts, read when the graph is built.
  video::TPictureGeometry in_{}, out_{};
  bool interlaced_ = false, topFieldFirst_ = true;
  // Input pictures are handed to libavfilter by reference, not copied: always for chains
  // that let go of them within Transform, and for the others when the upstream allocator
  // has buffers enough for the samples they keep.
  bool referenceInput_ = true;
  int64_t frameDuration_ = 0;
  video::TPictureWriter writer_;
};

}  // namespace kv::effects
