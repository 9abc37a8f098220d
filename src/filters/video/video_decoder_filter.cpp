#include "filters/video/video_decoder_filter.h"

#include "filters/mediatypes/codec_tables.h"
#include "filters/mediatypes/stream_types.h"
#include "platform/com/class_registry.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::video {

namespace {
std::atomic<int32_t> gThreadSetting{0};
constexpr int32_t kMaxThreadSetting = 16;
constexpr int64_t kDefaultFrameDuration = 400000;  // 25 frames per second
constexpr int64_t kSkipMargin = 2000000;  // 200 ms: how far before a seek target pictures may be skipped
// Output buffers: one held by a paused renderer, one being filled, the rest in flight.
constexpr int32_t kOutputBuffers = 4;

// The picture size and aspect ratio an input type announces.
void InputPictureInfo(const MediaType& type, int64_t* duration, uint32_t* ax, uint32_t* ay) {
  *duration = 0;
  *ax = *ay = 0;
  if (type.formattype == FORMAT_VideoInfo) {
    if (auto v = ReadVideoInfoHeader(type.format)) *duration = v->AvgTimePerFrame;
  } else if (type.formattype == FORMAT_VideoInfo2) {
    if (auto v = ReadVideoInfoHeader2(type.format)) {
      *duration = v->AvgTimePerFrame;
      *ax = v->dwPictAspectRatioX;
      *ay = v->dwPictAspectRatioY;
    }
  } else if (type.formattype == FORMAT_MPEGVideo) {
    if (auto v = ReadMpeg1VideoInfo(type.format)) *duration = v->hdr.AvgTimePerFrame;
  } else if (type.formattype == FORMAT_MPEG2Video) {
    if (auto v = ReadMpeg2VideoInfo(type.format)) {
      *duration = v->hdr.AvgTimePerFrame;
      *ax = v->hdr.dwPictAspectRatioX;
      *ay = v->hdr.dwPictAspectRatioY;
    }
  }
}
}  // namespace

int32_t VideoDecoderThreadSetting() { return gThreadSetting.load(); }

bool UsesFrameThreads(int width, int height, int64_t frameDuration, int32_t threadSetting) {
  if (threadSetting != 0) return true;
  constexpr int64_t kSliceOnlyPixelRate = 1024LL * 576 * 30;  // pixels per second
  const int64_t duration = frameDuration > 0 ? frameDuration : kDefaultFrameDuration;
  const int64_t pixelRate = static_cast<int64_t>(std::max(width, 0)) * std::max(height, 0) * 10000000 / duration;
  return pixelRate > kSliceOnlyPixelRate;
}

TVideoDecoderFilter::TVideoDecoderFilter() : TDecoderFilter(CLSID_KavelloVideoDecoder), frame_(ffmpeg::MakeFrame()) {}

HRESULT TVideoDecoderFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == ISpecifyPropertyPages::kIid) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
  if (iid == IVideoDecoderInfo::kIid) return GetInterface(static_cast<IVideoDecoderInfo*>(this), out);
  return TDecoderFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT TVideoDecoderFilter::GetPages(std::vector<CLSID>* pages) {
  if (!pages) return E_POINTER;
  *pages = {CLSID_VideoDecoderPage};
  return S_OK;
}

HRESULT TVideoDecoderFilter::GetVideoDecoderInfo(TVideoDecoderInfo* info) {
  if (!info) return E_POINTER;
  {
    std::lock_guard lock(infoMutex_);
    info->Codec = codecText_;
    info->ThreadsInUse = threadsInUse_;
    info->OutputFormat = outputText_;
    info->Width = infoWidth_;
    info->Height = infoHeight_;
  }
  info->ThreadSetting = gThreadSetting.load();
  info->FramesDecoded = decoded_.load();
  info->FramesDropped = dropped_.load();
  return S_OK;
}

HRESULT TVideoDecoderFilter::SetThreadSetting(int32_t threads) {
  if (threads < 0 || threads > kMaxThreadSetting) return E_INVALIDARG;
  gThreadSetting.store(threads);
  return S_OK;
}

HRESULT TVideoDecoderFilter::CheckInputType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Video) return VFW_E_TYPE_NOT_ACCEPTED;
  std::string error;
  auto setup = mediatypes::CodecSetupFor(type, &error);
  if (!setup || setup->width <= 0 || setup->height <= 0) return VFW_E_TYPE_NOT_ACCEPTED;
  return avcodec_find_decoder(setup->codecId) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TVideoDecoderFilter::OpenDecoder(const MediaType& type) {
  std::string error;
  auto setup = mediatypes::CodecSetupFor(type, &error);
  if (!setup) return VFW_E_TYPE_NOT_ACCEPTED;
  InputPictureInfo(type, &frameDuration_, &aspectX_, &aspectY_);
  const int32_t threads = gThreadSetting.load();
  if (!core_.Open(*setup, threads, &error, UsesFrameThreads(setup->width, setup->height, frameDuration_, threads))) {
    NoteDecodeError(error);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  setup_ = *setup;
  width_ = setup->width;
  height_ = setup->height;
  {
    std::lock_guard lock(infoMutex_);
    const AVCodec* codec = core_.Context()->codec;
    codecText_ = codec ? std::string(codec->name) + (codec->long_name ? std::string(" (") + codec->long_name + ")" : "")
                       : "?";
    threadsInUse_ = core_.Context()->thread_count;
    infoWidth_ = width_;
    infoHeight_ = height_;
    outputText_.clear();
  }
  decoded_ = 0;
  dropped_ = 0;
  if (frameDuration_ <= 0) frameDuration_ = kDefaultFrameDuration;
  return S_OK;
}

void TVideoDecoderFilter::CloseDecoder() {
  core_.Close();
  std::lock_guard lock(infoMutex_);
  codecText_.clear();
  threadsInUse_ = 0;
  infoWidth_ = infoHeight_ = 0;
  outputText_.clear();
}

HRESULT TVideoDecoderFilter::GetOutputType(int position, MediaType* type) {
  const auto formats = PictureFormatTable();
  if (position < 0 || position >= static_cast<int>(formats.size() * 2)) return VFW_S_NO_MORE_ITEMS;
  const bool second = position % 2 == 0;  // VIDEOINFOHEADER2 first for each layout
  *type = MakePictureType(formats[position / 2], width_, height_, frameDuration_, aspectX_, aspectY_, second);
  return S_OK;
}

HRESULT TVideoDecoderFilter::CheckOutputType(const MediaType& type) {
  auto g = ReadPictureType(type);
  if (!g || g->width != width_ || g->height != height_) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TVideoDecoderFilter::OnOutputType(const MediaType& type) {
  auto g = ReadPictureType(type);
  if (!g) return VFW_E_TYPE_NOT_ACCEPTED;
  geometry_ = *g;
  std::lock_guard lock(infoMutex_);
  outputText_ = MediaGuidName(type.subtype) + (type.formattype == FORMAT_VideoInfo2 ? " (VIDEOINFOHEADER2)" : "");
  return S_OK;
}

HRESULT TVideoDecoderFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  ALLOCATOR_PROPERTIES want = *request;
  want.cBuffers = std::max(want.cBuffers, kOutputBuffers);
  want.cbBuffer = std::max(want.cbBuffer, geometry_.imageSize);
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator->SetProperties(&want, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= geometry_.imageSize ? S_OK : E_FAIL;
}

void TVideoDecoderFilter::ResetDecoder() {
  core_.Flush();
  lastTime_ = AV_NOPTS_VALUE;
  discontinuity_ = true;
  prerolling_ = false;
}

HRESULT TVideoDecoderFilter::Decode(IMediaSample* sample) {
  if (!core_.IsOpen()) return VFW_E_NOT_CONNECTED;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  const int32_t size = sample->GetActualDataLength();
  if (!data || size <= 0) return S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timeResult = sample->GetTime(&start, &stop);
  const bool timed = timeResult == S_OK || timeResult == VFW_S_NO_STOP_TIME;
  const bool preroll = sample->IsPreroll() == S_OK;
  if (preroll) prerolling_ = true;
  if (sample->IsDiscontinuity() == S_OK) discontinuity_ = true;
  // On the way from a key frame to an exact seek's target nothing is shown: pictures no other
  // picture refers to need not be decoded at all. Only well before the target, so that a
  // picture reordered past it (or a stream timed by decode order) is never one of them.
  const bool farBefore = preroll && timed && start < -kSkipMargin;
  if (AVCodecContext* context = core_.Context()) context->skip_frame = farBefore ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;

  return SendPacket(core_, data, size, timed ? start : AV_NOPTS_VALUE, sample->IsSyncPoint() == S_OK, 0, 0,
                    "broken frame skipped: ", [this] { return DeliverReadyFrames(); });
}

HRESULT TVideoDecoderFilter::Drain() {
  if (!core_.IsOpen()) return S_OK;
  core_.Send(nullptr, 0, AV_NOPTS_VALUE, false);
  const HRESULT hr = DeliverReadyFrames();
  return FAILED(hr) ? hr : S_OK;
}

HRESULT TVideoDecoderFilter::DeliverReadyFrames() {
  for (;;) {
    const int err = core_.Receive(frame_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return S_OK;
    if (err < 0) {
      NoteDecodeError("decoding failed: " + ffmpeg::ErrorText(err));
      return S_OK;
    }
    ++decoded_;
    const HRESULT hr = DeliverFrame(frame_.get());
    av_frame_unref(frame_.get());
    if (hr != S_OK) return hr;
  }
}

HRESULT TVideoDecoderFilter::DeliverFrame(const AVFrame* frame) {
  int64_t duration = frame->pkt_duration > 0 ? frame->pkt_duration : frameDuration_;
  int64_t time = frame->best_effort_timestamp;
  if (time == AV_NOPTS_VALUE) time = lastTime_ == AV_NOPTS_VALUE ? 0 : lastTime_ + duration;
  // Presentation times only go forward; a decoder guess that steps back keeps the cadence.
  if (lastTime_ != AV_NOPTS_VALUE && time <= lastTime_) time = lastTime_ + std::max<int64_t>(1, duration);
  lastTime_ = time;
  if (prerolling_ && time + duration <= 0) {  // before the seek target: not shown
    ++dropped_;
    return S_OK;
  }

  ComPtr<IMediaSample> out;
  HRESULT hr = GetOutputBuffer(out.Put());
  if (FAILED(hr)) return S_FALSE;  // stopping
  // The picture travels in place where the sample can carry it and the frame already has
  // the output layout; a consumer that reads the buffer gets the one copy then.
  ComPtr<IPictureSample> carrier;
  std::shared_ptr<const IPicture> picture;
  if (out->GetSize() >= geometry_.imageSize && SUCCEEDED(out.As(&carrier)))
    picture = MakeFramePicture(frame, geometry_);
  uint8_t* buffer = nullptr;
  if (picture) {
    carrier->AttachPicture(std::move(picture));
  } else if (out->GetPointer(&buffer); !writer_.Write(frame, geometry_, buffer, out->GetSize())) {
    NoteDecodeError("picture conversion failed");
    ++dropped_;
    return S_OK;
  }
  out->SetActualDataLength(geometry_.imageSize);
  const REFERENCE_TIME stop = time + duration;
  out->SetTime(&time, &stop);
  out->SetSyncPoint(true);
  out->SetDiscontinuity(discontinuity_);
  discontinuity_ = false;
  return DeliverOutput(out.Get());
}

HRESULT RegisterVideoDecoder() {
  TClassRegistration r;
  r.clsid = CLSID_KavelloVideoDecoder;
  r.friendlyName = kVideoDecoderName;
  r.merit = MERIT_NORMAL;
  for (const GUID& subtype : mediatypes::VideoDecoderSubtypes()) r.inputTypes.push_back({MEDIATYPE_Video, subtype});
  for (const auto& row : PictureFormatTable()) r.outputTypes.push_back({MEDIATYPE_Video, row.subtype});
  r.factory = [](const IID& iid, void** out) { return CreateComObject<TVideoDecoderFilter>(iid, out); };
  return ClassRegistry().RegisterFilter(std::move(r));
}

}  // namespace kv::video
