#include "recording_renderer.h"

#include <cstring>
#include <optional>

#include "filters/audiodec/pcm_formats.h"
#include "filters/video/picture_formats.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/picture_sample.h"

namespace kv::testing {

namespace {
const CLSID kRecordingRendererClsid = GuidLiteral("{7E0A7C51-3E0B-4D21-9B0E-5C5B6B1D2A11}");

// Whether the planes of `picture` (libav order) hold what `bytes` holds in the buffer
// layout of `g` (4:2:0 planar, V first for YV12, or NV12).
bool PlanesMatch(const TPicturePlanes& planes, const video::TPictureGeometry& g, const uint8_t* bytes) {
  const bool nv12 = g.format->pixelFormat == AV_PIX_FMT_NV12;
  const int cw = (g.width + 1) / 2, ch = (g.height + 1) / 2;
  const uint8_t* y = bytes;
  const uint8_t* first = bytes + g.stride * g.height;
  const uint8_t* second = first + (g.stride / 2) * ch;
  struct Plane {
    const uint8_t* buffer;
    int bufferStride, rowBytes, rows;
  };
  std::vector<Plane> wanted = {{y, g.stride, g.width, g.height}};
  if (nv12) {
    wanted.push_back({first, g.stride, cw * 2, ch});
  } else {
    wanted.push_back({g.format->swapChroma ? second : first, g.stride / 2, cw, ch});  // U
    wanted.push_back({g.format->swapChroma ? first : second, g.stride / 2, cw, ch});  // V
  }
  for (size_t p = 0; p < wanted.size(); ++p) {
    if (!planes.Data[p]) return false;
    for (int row = 0; row < wanted[p].rows; ++row) {
      if (std::memcmp(planes.Data[p] + static_cast<ptrdiff_t>(row) * planes.Stride[p],
                      wanted[p].buffer + static_cast<ptrdiff_t>(row) * wanted[p].bufferStride, wanted[p].rowBytes))
        return false;
    }
  }
  return true;
}
}  // namespace

TRecordingRenderer::TRecordingRenderer(GUID majorType) : TBaseRenderer(kRecordingRendererClsid), major_(majorType) {}

HRESULT TRecordingRenderer::CheckMediaType(const MediaType& type) {
  if (type.majortype != major_) return S_FALSE;
  if (major_ == MEDIATYPE_Video) return video::ReadPictureType(type) ? S_OK : S_FALSE;
  return audiodec::ReadPcmType(type) ? S_OK : S_FALSE;
}

HRESULT TRecordingRenderer::SetMediaType(const MediaType& type) {
  std::lock_guard lock(mutex_);
  type_ = type;
  auto pcm = audiodec::ReadPcmType(type);
  blockAlign_ = pcm ? pcm->blockAlign : 0;
  return S_OK;
}

HRESULT TRecordingRenderer::DoRenderSample(IMediaSample* sample) {
  Sample s;
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT hr = sample->GetTime(&start, &stop);
  s.timed = hr == S_OK || hr == VFW_S_NO_STOP_TIME;
  s.start = start;
  s.stop = stop;
  s.bytes = sample->GetActualDataLength();
  s.discontinuity = sample->IsDiscontinuity() == S_OK;
  if (std::shared_ptr<const IPicture> picture = AttachedPicture(sample)) {
    s.carried = true;
    MediaType type;
    {
      std::lock_guard lock(mutex_);
      type = type_;
    }
    uint8_t* bytes = nullptr;
    std::optional<video::TPictureGeometry> g = video::ReadPictureType(type);
    if (g && SUCCEEDED(sample->GetPointer(&bytes)) && bytes && AttachedPicture(sample) == nullptr)
      s.planesMatchBytes = PlanesMatch(picture->Planes(), *g, bytes);
  }
  std::lock_guard lock(mutex_);
  s.segmentStart = segmentStart_;
  s.segment = segments_;
  samples_.push_back(s);
  return S_OK;
}

void TRecordingRenderer::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME, double) {
  std::lock_guard lock(mutex_);
  segmentStart_ = start;
  ++segments_;
}

std::vector<TRecordingRenderer::Sample> TRecordingRenderer::Samples() {
  std::lock_guard lock(mutex_);
  return samples_;
}

MediaType TRecordingRenderer::Type() {
  std::lock_guard lock(mutex_);
  return type_;
}

int TRecordingRenderer::BlockAlign() {
  std::lock_guard lock(mutex_);
  return blockAlign_;
}

void TRecordingRenderer::Clear() {
  std::lock_guard lock(mutex_);
  samples_.clear();
}

}  // namespace kv::testing
