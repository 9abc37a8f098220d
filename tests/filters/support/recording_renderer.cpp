#include "recording_renderer.h"

#include "filters/audiodec/pcm_formats.h"
#include "filters/video/picture_formats.h"
#include "platform/graph/media_guids.h"

namespace kv::testing {

namespace {
const CLSID kRecordingRendererClsid = GuidLiteral("{7E0A7C51-3E0B-4D21-9B0E-5C5B6B1D2A11}");
}

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
