#include "filters/demux/demux_output_pin.h"

#include <cstring>

extern "C" {
#include <libavutil/intreadwrite.h>
}

#include "platform/graph/media_guids.h"

namespace kv::demux {

namespace {
// Queue bounds per stream. Audio packets are small and many: a deeper queue lets a paused
// graph preroll both renderers even when the file interleaves its streams loosely. Video
// packets are large (a second of 1080p is some 1-4 MB), so in steady playback the video
// queue holds about a second; it grows to the deep bound only while another stream runs
// dry (the demultiplexer's overfill hook), which is when a loosely interleaved file needs
// the reader to go on.
constexpr size_t kVideoQueueSamples = 32;
constexpr size_t kVideoQueueSamplesWhenStarving = 96;
constexpr size_t kAudioQueueSamples = 256;
constexpr size_t kOtherQueueSamples = 64;
constexpr size_t kQueueBytes = 48u << 20;
// Samples beyond the queue: those held downstream (decoder threads, a prerolled renderer).
constexpr int kSamplesBeyondQueue = 32;
}  // namespace

TDemuxOutputPin::TDemuxOutputPin(TBaseFilter* filter, IMediaSeeking* seeking, std::string name, int streamIndex,
                                 MediaType type)
    : TSourceStream(filter, std::move(name), TStreamMode::Queue),
      seeking_(seeking),
      streamIndex_(streamIndex),
      type_(std::move(type)) {
  size_t samples = kOtherQueueSamples;
  size_t deepest = kOtherQueueSamples;
  if (type_.majortype == MEDIATYPE_Video) {
    samples = kVideoQueueSamples;
    deepest = kVideoQueueSamplesWhenStarving;
  }
  if (type_.majortype == MEDIATYPE_Audio) samples = deepest = kAudioQueueSamples;
  SetQueueLimits(samples, kQueueBytes);
  // The pool bounds an overfilled queue: its samples are made only when first needed, so
  // the deep bound costs nothing while the queue stays shallow.
  packets_ = ComPtr<TPacketAllocator>(new TPacketAllocator(static_cast<int>(deepest) + kSamplesBeyondQueue));
}

HRESULT TDemuxOutputPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMediaSeeking::kIid && seeking_) return GetInterface(seeking_, out);
  return TSourceStream::NonDelegatingQueryInterface(iid, out);
}

bool TDemuxOutputPin::IsVideo() const {
  return type_.majortype == MEDIATYPE_Video && type_.subtype != MEDIASUBTYPE_VBIV;
}

bool TDemuxOutputPin::IsSteady() const { return IsVideo() || type_.majortype == MEDIATYPE_Audio; }

HRESULT TDemuxOutputPin::CheckMediaType(const MediaType& type) {
  return type.majortype == type_.majortype && type.subtype == type_.subtype && type.formattype == type_.formattype &&
                 type.format == type_.format
             ? S_OK
             : S_FALSE;
}

HRESULT TDemuxOutputPin::GetMediaType(int position, MediaType* type) {
  if (!type) return E_POINTER;
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *type = type_;
  return S_OK;
}

HRESULT TDemuxOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  // Buffers grow to each packet (packet_allocator.h); start small so that a pool of mostly
  // small audio packets stays small.
  ALLOCATOR_PROPERTIES want = *request;
  want.cbBuffer = std::max(want.cbBuffer, 4096);
  ALLOCATOR_PROPERTIES actual;
  return allocator->SetProperties(&want, &actual);
}

HRESULT TDemuxOutputPin::CompleteConnect(IPin* receivePin) {
  ComPtr<IMemInputPin> input;
  if (FAILED(receivePin->QueryInterface(IMemInputPin::kIid, input.PutVoid())) || !input) return E_NOINTERFACE;
  ALLOCATOR_PROPERTIES request;
  input->GetAllocatorRequirements(&request);
  HRESULT hr = DecideBufferSize(packets_.Get(), &request);
  if (FAILED(hr)) return hr;
  hr = input->NotifyAllocator(packets_.Get(), true);
  if (FAILED(hr)) return hr;
  allocator_ = ComPtr<IMemAllocator>(packets_.Get());
  inputPin_ = input;
  return S_OK;
}

void TDemuxOutputPin::BeginSegment(REFERENCE_TIME start, REFERENCE_TIME stop, bool exact, REFERENCE_TIME dropBefore) {
  segStart_ = start;
  dropBefore_ = dropBefore;
  segStop_ = stop;
  exact_ = exact;
  discontinuity_ = true;
  waitingForKey_ = IsVideo();
  ended_ = false;
}

HRESULT TDemuxOutputPin::DeliverPacket(AVPacket& packet, const ffmpeg::TFormatReader& reader) {
  if (ended_) return S_OK;
  const bool key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
  if (waitingForKey_) {
    // After a start or seek a decoder cannot use anything before the first key frame.
    if (!key) return S_OK;
    waitingForKey_ = false;
  }
  const int64_t ts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  const int64_t time = reader.ToGraphTime(streamIndex_, ts);
  if (time != AV_NOPTS_VALUE && segStop_ != INT64_MAX && time > segStop_) {
    EndStream();
    return S_OK;
  }
  if (packet.size <= 0) return S_OK;
  const int64_t duration = reader.DurationToGraph(streamIndex_, packet.duration);
  if (dropBefore_ != AV_NOPTS_VALUE && time != AV_NOPTS_VALUE && duration > 0 && time + duration <= dropBefore_)
    return S_OK;  // wholly before where playback starts

  // What the sample needs of the packet beyond its data, read before the packet is taken over.
  uint32_t skipStart = 0, skipEnd = 0;
  size_t sideSize = 0;
  if (const uint8_t* skip = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &sideSize); skip && sideSize >= 8) {
    skipStart = AV_RL32(skip);
    skipEnd = AV_RL32(skip + 4);
  }
  const int32_t size = packet.size;
  // The packet's own buffer when nobody else references it (no copy), else a copy.
  ComPtr<TPacketSample> sample;
  HRESULT hr = packets_->GetPacketSample(&packet, &sample);
  if (hr == S_FALSE) {
    hr = packets_->GetSizedBuffer(size, &sample);
    if (SUCCEEDED(hr)) {
      uint8_t* data = nullptr;
      sample->GetPointer(&data);
      std::memcpy(data, packet.data, static_cast<size_t>(size));
    }
  }
  if (hr == VFW_E_NOT_COMMITTED || hr == E_ABORT) return S_FALSE;  // stopping or seeking
  if (FAILED(hr)) return hr;
  sample->SetActualDataLength(size);
  if (time != AV_NOPTS_VALUE) {
    const REFERENCE_TIME start = time - segStart_;
    const REFERENCE_TIME stop = start + duration;
    sample->SetTime(&start, duration > 0 ? &stop : nullptr);
    if (exact_ && start < 0) sample->SetPreroll(true);
  }
  sample->SetSkipSamples(skipStart, skipEnd);
  sample->SetSyncPoint(key);
  sample->SetDiscontinuity(discontinuity_);
  discontinuity_ = false;
  return QueueSample(sample.Get());
}

void TDemuxOutputPin::EndStream() {
  if (ended_) return;
  ended_ = true;
  QueueEndOfStream();
}

}  // namespace kv::demux
