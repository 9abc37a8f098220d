#include "filters/effects/video_effect_filter.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>

#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::effects {
namespace {

constexpr uint32_t kInterlaced = 0x1;       // AMINTERLACE_IsInterlaced
constexpr uint32_t kField1First = 0x4;      // AMINTERLACE_Field1First
// The output thread's queue (3), the picture downstream holds, and the one being written.
constexpr int32_t kOutputBuffers = 6;
// Pictures a deinterlacer keeps (the one before, the one it works on, the one after) and
// the one libavfilter is being handed.
constexpr int32_t kHeldInputSamples = 4;

// Plane pointers of a picture laid out as the media type fixes it (libav's plane order).
void PicturePlanes(const video::TPictureGeometry& g, uint8_t* buffer, uint8_t* data[4], int linesize[4]) {
  const video::TPictureFormatRow& f = *g.format;
  for (int i = 0; i < 4; ++i) {
    data[i] = nullptr;
    linesize[i] = 0;
  }
  switch (f.pixelFormat) {
    case AV_PIX_FMT_YUV420P: {
      uint8_t* first = buffer + g.stride * g.height;
      uint8_t* second = first + (g.stride / 2) * ((g.height + 1) / 2);
      data[0] = buffer;
      data[1] = f.swapChroma ? second : first;
      data[2] = f.swapChroma ? first : second;
      linesize[0] = g.stride;
      linesize[1] = linesize[2] = g.stride / 2;
      break;
    }
    case AV_PIX_FMT_NV12:
      data[0] = buffer;
      data[1] = buffer + g.stride * g.height;
      linesize[0] = linesize[1] = g.stride;
      break;
    default: {
      const int rowBytes = g.stride * f.bitsPerPixel / 8;
      data[0] = f.bottomUp ? buffer + int64_t(rowBytes) * (g.height - 1) : buffer;
      linesize[0] = f.bottomUp ? -rowBytes : rowBytes;
      break;
    }
  }
}

struct TTypeExtras {
  bool videoInfo2 = false;
  uint32_t interlaceFlags = 0;
  uint32_t aspectX = 0, aspectY = 0;
};

TTypeExtras ExtrasOf(const MediaType& type) {
  TTypeExtras e;
  if (type.formattype == FORMAT_VideoInfo2) {
    if (auto v = ReadVideoInfoHeader2(type.format)) {
      e.videoInfo2 = true;
      e.interlaceFlags = v->dwInterlaceFlags;
      e.aspectX = v->dwPictAspectRatioX;
      e.aspectY = v->dwPictAspectRatioY;
    }
  }
  return e;
}

}  // namespace

std::optional<MediaType> TVideoEffectFilter::OutputTypeFor(const MediaType& input, bool swap) {
  auto g = video::ReadPictureType(input);
  if (!g) return std::nullopt;
  if (!swap) return input;
  TTypeExtras e = ExtrasOf(input);
  MediaType out = video::MakePictureType(*g->format, g->height, g->width, g->frameDuration, e.aspectY, e.aspectX,
                                         e.videoInfo2);
  return out;
}

HRESULT TVideoEffectFilter::CheckInputType(const MediaType& type) {
  return video::ReadPictureType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TVideoEffectFilter::CheckTransform(const MediaType& in, const MediaType& out) {
  auto gi = video::ReadPictureType(in);
  auto go = video::ReadPictureType(out);
  if (!gi || !go || in.subtype != out.subtype) return VFW_E_TYPE_NOT_ACCEPTED;
  const bool swap = Desc().SwapsSize && Desc().SwapsSize(Values());
  const int w = swap ? gi->height : gi->width, h = swap ? gi->width : gi->height;
  return go->width == w && go->height == h ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TVideoEffectFilter::GetOutputType(int position, MediaType* type) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  const bool swap = Desc().SwapsSize && Desc().SwapsSize(Values());
  auto out = OutputTypeFor(InputPin()->CurrentMediaType(), swap);
  if (!out) return VFW_S_NO_MORE_ITEMS;
  *type = *out;
  return S_OK;
}

HRESULT TVideoEffectFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  auto g = video::ReadPictureType(OutputPin()->CurrentMediaType());
  if (!g) return E_FAIL;
  ALLOCATOR_PROPERTIES want = *request;
  want.cBuffers = std::max(want.cBuffers, kOutputBuffers);
  want.cbBuffer = std::max(want.cbBuffer, g->imageSize);
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator->SetProperties(&want, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= g->imageSize ? S_OK : E_FAIL;
}

HRESULT TVideoEffectFilter::GetInputAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
  // A chain that keeps earlier pictures keeps their samples: the upstream filter needs
  // buffers beyond those (its own, and what this filter's queue holds) not to wait forever.
  if (!Desc().HoldsFrames) return E_NOTIMPL;
  props->cBuffers = std::max(props->cBuffers, kHeldInputSamples + kOutputBuffers);
  return S_OK;
}

bool TVideoEffectFilter::OutputSwapped() {
  auto gi = video::ReadPictureType(InputPin()->CurrentMediaType());
  auto go = video::ReadPictureType(OutputPin()->CurrentMediaType());
  return gi && go && gi->width != gi->height && go->width == gi->height && go->height == gi->width;
}

bool TVideoEffectFilter::NeedsReconnect() {
  if (!Desc().SwapsSize || !OutputPin()->IsConnected()) return false;
  return Desc().SwapsSize(Values()) != OutputSwapped();
}

std::string TVideoEffectFilter::ChainFor(const std::vector<double>& values) {
  if (!Desc().SwapsSize || Desc().SwapsSize(values) == OutputSwapped()) return Desc().Chain(values);
  // Until the chain is connected again the picture must keep the connected size.
  return OutputSwapped() ? "transpose=dir=clock" : "null";
}

bool TVideoEffectFilter::OpenGraph(TLavfiGraph& graph, const std::string& chain, std::string* error) {
  auto gi = video::ReadPictureType(InputPin()->CurrentMediaType());
  auto go = video::ReadPictureType(OutputPin()->CurrentMediaType());
  if (!gi || !go) {
    if (error) *error = "unconnected";
    return false;
  }
  in_ = *gi;
  out_ = *go;
  referenceInput_ = !Desc().HoldsFrames;
  ALLOCATOR_PROPERTIES upstream;
  if (IMemAllocator* a = InputPin()->Allocator(); a && SUCCEEDED(a->GetProperties(&upstream)))
    referenceInput_ = referenceInput_ || upstream.cBuffers >= kHeldInputSamples + 2;
  TTypeExtras e = ExtrasOf(InputPin()->CurrentMediaType());
  interlaced_ = (e.interlaceFlags & kInterlaced) != 0;
  topFieldFirst_ = (e.interlaceFlags & kField1First) != 0 || !interlaced_;
  frameDuration_ = gi->frameDuration;
  AVRational aspect{1, 1};
  if (e.aspectX && e.aspectY) av_reduce(&aspect.num, &aspect.den, int64_t(e.aspectX) * in_.height,
                                        int64_t(e.aspectY) * in_.width, 1 << 20);
  return graph.OpenVideo(in_.width, in_.height, in_.format->pixelFormat, out_.format->pixelFormat, aspect, chain,
                         error);
}

bool TVideoEffectFilter::FrameFromSample(IMediaSample* sample, AVFrame* frame) {
  uint8_t* buffer = nullptr;
  if (FAILED(sample->GetPointer(&buffer)) || !buffer || sample->GetActualDataLength() < in_.imageSize) return false;
  PicturePlanes(in_, buffer, frame->data, frame->linesize);
  if (referenceInput_) {
    // libavfilter takes the sample's memory as it is (a reference on the sample) instead of
    // a copy: chains that keep earlier pictures keep their samples, which the upstream
    // allocator was asked to allow for (GetInputAllocatorRequirements).
    sample->AddRef();
    frame->buf[0] = av_buffer_create(
        buffer, static_cast<size_t>(sample->GetSize()),
        [](void* opaque, uint8_t*) { static_cast<IMediaSample*>(opaque)->Release(); }, sample, 0);
    if (!frame->buf[0]) sample->Release();  // no reference: libavfilter copies instead
  }
  frame->width = in_.width;
  frame->height = in_.height;
  frame->format = in_.format->pixelFormat;
  frame->interlaced_frame = interlaced_;
  frame->top_field_first = topFieldFirst_;
  REFERENCE_TIME start = 0, stop = 0;
  HRESULT timed = sample->GetTime(&start, &stop);
  frame->pts = SUCCEEDED(timed) ? start : AV_NOPTS_VALUE;
  if (timed == S_OK && stop > start) frameDuration_ = stop - start;
  return true;
}

HRESULT TVideoEffectFilter::DeliverFrame(AVFrame* frame) {
  ComPtr<IMediaSample> sample;
  HRESULT hr = OutputPin()->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
  if (FAILED(hr)) return IsFlushingOrStopped() ? S_FALSE : hr;
  uint8_t* buffer = nullptr;
  sample->GetPointer(&buffer);
  if (!buffer || !writer_.Write(frame, out_, buffer, sample->GetSize())) return S_OK;  // not deliverable: skip
  sample->SetActualDataLength(out_.imageSize);
  if (frame->pts != AV_NOPTS_VALUE) {
    REFERENCE_TIME start = frame->pts, stop = frame->pts + std::max<int64_t>(frameDuration_, 1);
    sample->SetTime(&start, &stop);
  }
  sample->SetSyncPoint(true);
  sample->SetDiscontinuity(TakeDiscontinuity());
  return DeliverSample(sample.Get());
}

}  // namespace kv::effects
