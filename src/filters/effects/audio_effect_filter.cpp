#include "filters/effects/audio_effect_filter.h"

#include <algorithm>

namespace kv::effects {
namespace {

constexpr int32_t kOutputBuffers = 8;
constexpr int32_t kBufferMilliseconds = 250;

}  // namespace

HRESULT TAudioEffectFilter::CheckInputType(const MediaType& type) {
  return audiodec::ReadPcmType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TAudioEffectFilter::CheckTransform(const MediaType& in, const MediaType& out) {
  auto a = audiodec::ReadPcmType(in);
  auto b = audiodec::ReadPcmType(out);
  if (!a || !b) return VFW_E_TYPE_NOT_ACCEPTED;
  return a->format == b->format && a->sampleRate == b->sampleRate && a->channels == b->channels
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TAudioEffectFilter::GetOutputType(int position, MediaType* type) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *type = InputPin()->CurrentMediaType();
  return S_OK;
}

HRESULT TAudioEffectFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  auto l = audiodec::ReadPcmType(OutputPin()->CurrentMediaType());
  if (!l) return E_FAIL;
  const int32_t bytes = l->blockAlign * std::max(1, l->sampleRate * kBufferMilliseconds / 1000);
  ALLOCATOR_PROPERTIES want = *request;
  want.cBuffers = std::max(want.cBuffers, kOutputBuffers);
  want.cbBuffer = std::max(want.cbBuffer, bytes);
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator->SetProperties(&want, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= l->blockAlign ? S_OK : E_FAIL;
}

bool TAudioEffectFilter::OpenGraph(TLavfiGraph& graph, const std::string& chain, std::string* error) {
  auto l = audiodec::ReadPcmType(InputPin()->CurrentMediaType());
  if (!l) {
    if (error) *error = "unconnected";
    return false;
  }
  layout_ = *l;
  return graph.OpenAudio(layout_.sampleRate, layout_.format->sampleFormat, layout_.channels, chain, error);
}

bool TAudioEffectFilter::FrameFromSample(IMediaSample* sample, AVFrame* frame) {
  uint8_t* buffer = nullptr;
  const int32_t length = sample->GetActualDataLength();
  if (FAILED(sample->GetPointer(&buffer)) || !buffer || length < layout_.blockAlign) return false;
  frame->format = layout_.format->sampleFormat;
  frame->sample_rate = layout_.sampleRate;
  av_channel_layout_default(&frame->ch_layout, layout_.channels);
  frame->nb_samples = length / layout_.blockAlign;
  frame->data[0] = buffer;
  frame->extended_data = frame->data;
  frame->linesize[0] = frame->nb_samples * layout_.blockAlign;
  REFERENCE_TIME start = 0, stop = 0;
  frame->pts = SUCCEEDED(sample->GetTime(&start, &stop)) ? start : AV_NOPTS_VALUE;
  return true;
}

HRESULT TAudioEffectFilter::DeliverFrame(AVFrame* frame) {
  const int block = layout_.blockAlign;
  const uint8_t* data = frame->data[0];
  int remaining = frame->nb_samples;
  int64_t done = 0;  // sample frames delivered from this block
  while (remaining > 0) {
    ComPtr<IMediaSample> sample;
    HRESULT hr = OutputPin()->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
    if (FAILED(hr)) return IsFlushingOrStopped() ? S_FALSE : hr;
    uint8_t* buffer = nullptr;
    sample->GetPointer(&buffer);
    const int count = std::min(remaining, sample->GetSize() / block);
    if (!buffer || count <= 0) return E_FAIL;
    std::copy_n(data + done * block, size_t(count) * block, buffer);
    sample->SetActualDataLength(count * block);
    if (frame->pts != AV_NOPTS_VALUE) {
      REFERENCE_TIME start = frame->pts + done * 10000000 / layout_.sampleRate;
      REFERENCE_TIME stop = frame->pts + (done + count) * 10000000 / layout_.sampleRate;
      sample->SetTime(&start, &stop);
    }
    sample->SetSyncPoint(true);
    sample->SetDiscontinuity(TakeDiscontinuity());
    hr = DeliverSample(sample.Get());
    if (hr != S_OK) return hr;
    remaining -= count;
    done += count;
  }
  return S_OK;
}

}  // namespace kv::effects
