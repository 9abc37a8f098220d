#include "filters/audiodec/audio_decoder_filter.h"

#include <algorithm>
#include <cstring>

#include "filters/ffmpeg/packet_properties.h"
#include "filters/mediatypes/codec_tables.h"
#include "filters/mediatypes/stream_types.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"

namespace kv::audiodec {

namespace {
constexpr int32_t kOutputBuffers = 8;
constexpr int kBufferMilliseconds = 200;

int64_t SamplesToTime(int64_t samples, int rate) { return av_rescale(samples, 10000000, rate); }
}  // namespace

TAudioDecoderFilter::TAudioDecoderFilter() : TDecoderFilter(CLSID_KavelloAudioDecoder), frame_(ffmpeg::MakeFrame()) {}

HRESULT TAudioDecoderFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == ISpecifyPropertyPages::kIid) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
  if (iid == IAudioDecoderInfo::kIid) return GetInterface(static_cast<IAudioDecoderInfo*>(this), out);
  return TDecoderFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT TAudioDecoderFilter::GetPages(std::vector<CLSID>* pages) {
  if (!pages) return E_POINTER;
  *pages = {CLSID_AudioDecoderPage};
  return S_OK;
}

HRESULT TAudioDecoderFilter::GetAudioDecoderInfo(TAudioDecoderInfo* info) {
  if (!info) return E_POINTER;
  {
    std::lock_guard lock(infoMutex_);
    *info = info_;
  }
  info->FramesDecoded = decoded_.load();
  return S_OK;
}

HRESULT TAudioDecoderFilter::CheckInputType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio) return VFW_E_TYPE_NOT_ACCEPTED;
  std::string error;
  auto setup = mediatypes::CodecSetupFor(type, &error);
  if (!setup) return VFW_E_TYPE_NOT_ACCEPTED;
  return avcodec_find_decoder(setup->codecId) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TAudioDecoderFilter::OpenDecoder(const MediaType& type) {
  std::string error;
  auto setup = mediatypes::CodecSetupFor(type, &error);
  if (!setup) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!core_.Open(*setup, 1, &error)) {
    NoteDecodeError(error);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  inputRate_ = setup->sampleRate;
  inputChannels_ = setup->channels;
  {
    std::lock_guard lock(infoMutex_);
    const AVCodec* codec = core_.Context()->codec;
    info_ = {};
    info_.Codec = codec ? std::string(codec->name) + (codec->long_name ? std::string(" (") + codec->long_name + ")" : "")
                        : "?";
    info_.InputRate = setup->sampleRate;
    info_.InputChannels = setup->channels;
    info_.InputBitrate = setup->bitRate;
  }
  decoded_ = 0;
  return S_OK;
}

void TAudioDecoderFilter::CloseDecoder() {
  core_.Close();
  std::lock_guard lock(infoMutex_);
  info_ = {};
}

HRESULT TAudioDecoderFilter::GetOutputType(int position, MediaType* type) {
  auto mt = PcmTypeAt(position, inputRate_, inputChannels_);
  if (!mt) return VFW_S_NO_MORE_ITEMS;
  *type = std::move(*mt);
  return S_OK;
}

HRESULT TAudioDecoderFilter::CheckOutputType(const MediaType& type) {
  auto layout = ReadPcmType(type);
  if (!layout || layout->sampleRate != inputRate_) return VFW_E_TYPE_NOT_ACCEPTED;
  if (layout->channels != std::min(inputChannels_, kMaxOutputChannels) && layout->channels != 2)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TAudioDecoderFilter::OnOutputType(const MediaType& type) {
  auto layout = ReadPcmType(type);
  if (!layout) return VFW_E_TYPE_NOT_ACCEPTED;
  layout_ = *layout;
  converter_.SetOutput(layout_);
  std::lock_guard lock(infoMutex_);
  info_.OutputFormat = layout_.format && layout_.format->bits == 32 ? "PCM 32-bit float" : "PCM 16-bit";
  info_.OutputRate = layout_.sampleRate;
  info_.OutputChannels = layout_.channels;
  return S_OK;
}

HRESULT TAudioDecoderFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  const int32_t bytes = std::max(16384, layout_.sampleRate / (1000 / kBufferMilliseconds) * layout_.blockAlign);
  ALLOCATOR_PROPERTIES want = *request;
  want.cBuffers = std::max(want.cBuffers, kOutputBuffers);
  want.cbBuffer = std::max(want.cbBuffer, bytes - bytes % std::max(1, layout_.blockAlign));
  ALLOCATOR_PROPERTIES actual;
  const HRESULT hr = allocator->SetProperties(&want, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= layout_.blockAlign ? S_OK : E_FAIL;
}

void TAudioDecoderFilter::ResetDecoder() {
  core_.Flush();
  converter_.Reset();
  pcm_.clear();
  base_ = AV_NOPTS_VALUE;
  counted_ = 0;
  discontinuity_ = true;
  prerolling_ = false;
}

HRESULT TAudioDecoderFilter::Decode(IMediaSample* sample) {
  if (!core_.IsOpen() || !layout_.format) return VFW_E_NOT_CONNECTED;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  const int32_t size = sample->GetActualDataLength();
  if (!data || size <= 0) return S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timeResult = sample->GetTime(&start, &stop);
  const bool timed = timeResult == S_OK || timeResult == VFW_S_NO_STOP_TIME;
  if (sample->IsPreroll() == S_OK) prerolling_ = true;
  if (sample->IsDiscontinuity() == S_OK) discontinuity_ = true;
  uint32_t skipStart = 0, skipEnd = 0;
  ComPtr<IMediaSample> held(sample);
  if (auto props = held.Query<ffmpeg::IPacketProperties>()) props->GetSkipSamples(&skipStart, &skipEnd);
  return SendPacket(core_, data, size, timed ? start : AV_NOPTS_VALUE, true, skipStart, skipEnd,
                    "broken audio frame skipped: ", [this] { return DeliverReadyFrames(); });
}

HRESULT TAudioDecoderFilter::Drain() {
  if (!core_.IsOpen() || !layout_.format) return S_OK;
  core_.Send(nullptr, 0, AV_NOPTS_VALUE, false);
  HRESULT hr = DeliverReadyFrames();
  if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
  pcm_.clear();
  const int samples = converter_.Drain(&pcm_);
  if (samples > 0) hr = DeliverPcm(AV_NOPTS_VALUE, samples);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT TAudioDecoderFilter::DeliverReadyFrames() {
  for (;;) {
    const int err = core_.Receive(frame_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return S_OK;
    if (err < 0) {
      NoteDecodeError("audio decoding failed: " + ffmpeg::ErrorText(err));
      return S_OK;
    }
    ++decoded_;
    pcm_.clear();
    const int samples = converter_.Convert(frame_.get(), &pcm_);
    const int64_t time = frame_->best_effort_timestamp;
    av_frame_unref(frame_.get());
    if (samples < 0) {
      NoteDecodeError("audio conversion refused the decoded layout");
      continue;
    }
    if (samples == 0) continue;
    const HRESULT hr = DeliverPcm(time, samples);
    if (hr != S_OK) return hr;
  }
}

HRESULT TAudioDecoderFilter::DeliverPcm(int64_t frameTime, int samples) {
  const int rate = layout_.sampleRate;
  const int64_t expected = base_ == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : base_ + SamplesToTime(counted_, rate);
  if (expected == AV_NOPTS_VALUE || (frameTime != AV_NOPTS_VALUE && std::llabs(frameTime - expected) > kResyncThreshold)) {
    base_ = frameTime != AV_NOPTS_VALUE ? frameTime : (expected != AV_NOPTS_VALUE ? expected : 0);
    counted_ = 0;
  }
  size_t offset = 0;
  while (offset < pcm_.size()) {
    const int64_t start = base_ + SamplesToTime(counted_, rate);
    ComPtr<IMediaSample> out;
    if (FAILED(GetOutputBuffer(out.Put()))) return S_FALSE;  // stopping
    const size_t room = static_cast<size_t>(out->GetSize() / layout_.blockAlign) * layout_.blockAlign;
    const size_t bytes = std::min(room, pcm_.size() - offset);
    if (bytes == 0) return E_FAIL;
    const int64_t count = static_cast<int64_t>(bytes / layout_.blockAlign);
    counted_ += count;
    const int64_t stop = base_ + SamplesToTime(counted_, rate);
    if (prerolling_ && stop <= 0) {  // wholly before the seek target: decoded, not played
      offset += bytes;
      continue;
    }
    uint8_t* dst = nullptr;
    out->GetPointer(&dst);
    std::memcpy(dst, pcm_.data() + offset, bytes);
    offset += bytes;
    out->SetActualDataLength(static_cast<int32_t>(bytes));
    out->SetTime(&start, &stop);
    out->SetSyncPoint(true);
    out->SetDiscontinuity(discontinuity_);
    discontinuity_ = false;
    const HRESULT hr = DeliverOutput(out.Get());
    if (hr != S_OK) return hr;
  }
  (void)samples;
  return S_OK;
}

HRESULT RegisterAudioDecoder() {
  TClassRegistration r;
  r.clsid = CLSID_KavelloAudioDecoder;
  r.friendlyName = kAudioDecoderName;
  r.merit = MERIT_NORMAL;
  for (const GUID& subtype : mediatypes::AudioDecoderSubtypes()) r.inputTypes.push_back({MEDIATYPE_Audio, subtype});
  for (const auto& row : PcmFormatTable()) r.outputTypes.push_back({MEDIATYPE_Audio, WaveFormatSubtype(row.formatTag)});
  r.factory = [](const IID& iid, void** out) { return CreateComObject<TAudioDecoderFilter>(iid, out); };
  return ClassRegistry().RegisterFilter(std::move(r));
}

}  // namespace kv::audiodec
