#include "filters/demux/demux_filter.h"

#include <system_error>

#include "debugsup/debugsup.h"
#include "filters/demux/async_byte_source.h"
#include "filters/demux/pin_names.h"
#include "filters/mediatypes/stream_types.h"
#include "filters/source/file_reader.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"

namespace kv::demux {

namespace {

// Read errors in a row after which a damaged file counts as ended.
constexpr int kMaxConsecutiveReadErrors = 64;
// Seeking back for a key frame: first step, attempts (the step doubles), and how many
// packets one look for the key frame may read.
constexpr REFERENCE_TIME kSeekStepBack = 2000000;
constexpr int kMaxSeekAttempts = 8;
constexpr int kMaxProbePackets = 4096;

void Log(const std::string& text) {
  if (Debug.Enabled) Debug.TextOut(text);
}

std::string Tag(const AVDictionary* tags, const char* key) {
  const AVDictionaryEntry* e = av_dict_get(tags, key, nullptr, 0);
  return e && e->value ? e->value : "";
}

}  // namespace

// ---------------------------------------------------------------- input pin

TDemuxInputPin::TDemuxInputPin(TDemuxFilter* filter) : TBaseInputPin(filter, "Input"), demux_(filter) {}

HRESULT TDemuxInputPin::CheckMediaType(const MediaType& type) {
  // Whatever the source calls the stream, the container decides: libavformat reads it.
  return type.majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
}

HRESULT TDemuxInputPin::CompleteConnect(IPin* receivePin) {
  ComPtr<IAsyncReader> reader;
  if (FAILED(receivePin->QueryInterface(IAsyncReader::kIid, reader.PutVoid())) || !reader) return E_NOINTERFACE;
  return demux_->OpenContainer(std::make_unique<TAsyncByteSource>(std::move(reader)));
}

HRESULT TDemuxInputPin::BreakConnect() {
  demux_->CloseContainer();
  return TBaseInputPin::BreakConnect();
}

// ---------------------------------------------------------------- filter

TDemuxFilter::TDemuxFilter(const TContainerFamily& family) : TBaseFilter(family.clsid), family_(family) {
  if (!family_.isSource) input_ = std::make_unique<TDemuxInputPin>(this);
}

TDemuxFilter::~TDemuxFilter() {
  // Normally the graph stopped us; make sure no thread outlives the pins it feeds.
  stopReader_.store(true);
  for (auto& pin : outputs_)
    if (pin->IsConnected()) pin->Inactive();
  if (readerThread_.joinable()) readerThread_.join();
}

HRESULT TDemuxFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMediaSeeking::kIid) return GetInterface(static_cast<IMediaSeeking*>(this), out);
  if (iid == ISeekOrigin::kIid) return GetInterface(static_cast<ISeekOrigin*>(this), out);
  if (iid == IFileSourceFilter::kIid && family_.isSource) return GetInterface(static_cast<IFileSourceFilter*>(this), out);
  if (iid == ISpecifyPropertyPages::kIid) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
  if (iid == IDemuxInfo::kIid) return GetInterface(static_cast<IDemuxInfo*>(this), out);
  if (iid == ISynchronousDelivery::kIid) return GetInterface(static_cast<ISynchronousDelivery*>(this), out);
  return TBaseFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT TDemuxFilter::GetPages(std::vector<CLSID>* pages) {
  if (!pages) return E_POINTER;
  *pages = {CLSID_DemuxPage};
  return S_OK;
}

HRESULT TDemuxFilter::GetDemuxInfo(TDemuxInfo* info) {
  if (!info) return E_POINTER;
  std::lock_guard lock(infoMutex_);
  *info = info_;
  return S_OK;
}

int TDemuxFilter::GetPinCount() { return static_cast<int>(outputs_.size()) + (input_ ? 1 : 0); }

TBasePin* TDemuxFilter::GetPin(int n) {
  if (n < 0) return nullptr;
  if (input_) {
    if (n == 0) return input_.get();
    --n;
  }
  return n < static_cast<int>(outputs_.size()) ? outputs_[n].get() : nullptr;
}

HRESULT TDemuxFilter::OpenContainer(std::unique_ptr<ffmpeg::IByteSource> source) {
  std::lock_guard control(controlMutex_);
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  bytes_ = std::move(source);
  std::string error;
  if (!reader_.Open(*bytes_, family_.inputFormat, &error)) {
    Log(std::string(family_.friendlyName) + ": " + error);
    bytes_.reset();
    return VFW_E_UNSUPPORTED_STREAM;
  }

  // MPEG-2 program and transport streams announce their MPEG audio as MPEG-2 audio, as the
  // platform's own MPEG-2 demultiplexer does; MPEG-1 system streams keep the MPEG-1 payload.
  const std::string format = family_.inputFormat;
  bool mpeg2Container = format == "mpegts";
  for (int i = 0; format == "mpeg" && i < reader_.StreamCount(); ++i)
    if (reader_.Stream(i)->codecpar->codec_id == AV_CODEC_ID_MPEG2VIDEO) mpeg2Container = true;

  std::vector<TStreamLabel> labels;
  std::vector<std::pair<int, MediaType>> streams;
  for (int i = 0; i < reader_.StreamCount(); ++i) {
    const AVStream* st = reader_.Stream(i);
    auto type = mediatypes::MediaTypeForStream(st);
    if (type && mpeg2Container && st->codecpar->codec_id == AV_CODEC_ID_MP2)
      type->subtype = MEDIASUBTYPE_MPEG2_AUDIO;
    if (!type) {
      Log(std::string(family_.friendlyName) + ": no pin for stream " + std::to_string(i) + " (" +
          avcodec_get_name(st->codecpar->codec_id) + ")");
      continue;
    }
    TStreamKind kind = TStreamKind::Audio;
    if (type->majortype == MEDIATYPE_Video)
      kind = type->subtype == MEDIASUBTYPE_VBIV ? TStreamKind::Teletext : TStreamKind::Video;
    labels.push_back({kind, Tag(st->metadata, "title"), Tag(st->metadata, "language")});
    streams.emplace_back(i, std::move(*type));
  }
  if (streams.empty()) {
    Log(std::string(family_.friendlyName) + ": the file holds no stream we can describe");
    reader_.Close();
    bytes_.reset();
    return VFW_E_UNSUPPORTED_STREAM;
  }
  const auto names = MakePinNames(labels);
  for (size_t k = 0; k < streams.size(); ++k) {
    outputs_.push_back(std::make_unique<TDemuxOutputPin>(this, static_cast<IMediaSeeking*>(this), names[k],
                                                         streams[k].first, std::move(streams[k].second)));
  }
  pinForStream_.assign(static_cast<size_t>(reader_.StreamCount()), nullptr);
  for (auto& pin : outputs_) {
    TDemuxOutputPin* p = pin.get();
    p->SetQueueHooks([this, p] { return AnotherStreamRunsDry(p); }, [this, p] { WakeReaderExceptFor(p); });
  }
  SetDuration(reader_.Duration());
  {
    TDemuxInfo info;
    const AVFormatContext* ctx = reader_.Context();
    info.Container = std::string(ctx->iformat->name) + (ctx->iformat->long_name ? std::string(" (") + ctx->iformat->long_name + ")" : "");
    info.Duration = reader_.Duration();
    info.Bitrate = ctx->bit_rate;
    for (int i = 0; i < reader_.StreamCount(); ++i) {
      const AVStream* st = reader_.Stream(i);
      TDemuxStreamInfo s;
      s.Index = i;
      switch (st->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO: s.Kind = "Video"; break;
        case AVMEDIA_TYPE_AUDIO: s.Kind = "Audio"; break;
        case AVMEDIA_TYPE_SUBTITLE: s.Kind = "Subtitle"; break;
        default: s.Kind = "Data"; break;
      }
      s.Codec = avcodec_get_name(st->codecpar->codec_id);
      s.Language = Tag(st->metadata, "language");
      s.Bitrate = st->codecpar->bit_rate;
      for (const auto& pin : outputs_)
        if (pin->StreamIndex() == i) s.PinName = pin->Name();
      info.Streams.push_back(std::move(s));
    }
    std::lock_guard lock(infoMutex_);
    info_ = std::move(info);
  }
  atStart_ = true;
  exactSeek_ = false;
  return S_OK;
}

void TDemuxFilter::CloseContainer() {
  std::lock_guard control(controlMutex_);
  for (auto& pin : outputs_) {
    // Our pins go away with the container: break their connections on both sides.
    if (IPin* peer = pin->GetConnected()) {
      ComPtr<IPin> keep(peer);
      peer->Disconnect();
      pin->Disconnect();
    }
    retired_.push_back(std::move(pin));
  }
  outputs_.clear();
  pinForStream_.clear();
  reader_.Close();
  bytes_.reset();
  std::lock_guard lock(infoMutex_);
  info_ = {};
}

std::vector<TDemuxOutputPin*> TDemuxFilter::ConnectedOutputs() const {
  std::vector<TDemuxOutputPin*> pins;
  for (const auto& pin : outputs_)
    if (pin->IsConnected()) pins.push_back(pin.get());
  return pins;
}

HRESULT TDemuxFilter::SetSynchronousDelivery(bool on) {
  std::lock_guard control(controlMutex_);
  synchronous_ = on;
  return S_OK;
}

HRESULT TDemuxFilter::Pause() {
  std::lock_guard control(controlMutex_);
  const bool fromStopped = state() == State_Stopped;
  if (fromStopped) {
    const bool direct = synchronous_ && ConnectedOutputs().size() == 1;
    for (auto& pin : outputs_) pin->SetDirectDelivery(direct);
  }
  const HRESULT hr = TBaseFilter::Pause();  // output pins start their threads
  if (FAILED(hr) || !fromStopped || !reader_.IsOpen()) return hr;
  StartReaderLocked(SeekStart(), SeekStop(), SeekRate(), true, false);
  return hr;
}

HRESULT TDemuxFilter::Stop() {
  std::lock_guard control(controlMutex_);
  stopReader_.store(true);
  const HRESULT hr = TBaseFilter::Stop();  // pins stop: a reader blocked on a full queue returns
  StopReaderLocked();
  return hr;
}

HRESULT TDemuxFilter::OnSeek(REFERENCE_TIME start, REFERENCE_TIME stop, double rate, bool keyFrame) {
  std::lock_guard control(controlMutex_);
  exactSeek_ = !keyFrame;
  if (!reader_.IsOpen()) return S_OK;
  if (state() == State_Stopped) {
    // The next Pause starts from SeekStart(); nothing streams now. A key-frame seek settles
    // its key frame now, so that the position the graph reads back is where Pause starts.
    atStart_ = atStart_ && start == 0;
    if (keyFrame && start > 0) {
      const int video = FirstVideoStream();
      if (video >= 0) {
        const REFERENCE_TIME key = SeekLocked(start, video, true);
        if (key != AV_NOPTS_VALUE) MoveSeekStart(std::max<REFERENCE_TIME>(0, key));
      }
    }
    return S_OK;
  }
  stopReader_.store(true);
  for (auto* pin : ConnectedOutputs()) pin->FlushAndStop();  // downstream flushes, the reader is released
  StopReaderLocked();
  StartReaderLocked(start, stop, rate, false, true);
  return S_OK;
}

int TDemuxFilter::FirstVideoStream() const {
  for (auto* pin : ConnectedOutputs())
    if (pin->IsVideo()) return pin->StreamIndex();
  return -1;
}

void TDemuxFilter::StartReaderLocked(REFERENCE_TIME start, REFERENCE_TIME stop, double rate, bool queueSegment,
                                     bool restartPins) {
  // A stop at the end of the file is no stop: streams run until the container ends.
  int64_t duration = 0;
  GetDuration(&duration);
  const REFERENCE_TIME segmentStop = stop >= duration ? INT64_MAX : stop;
  std::fill(pinForStream_.begin(), pinForStream_.end(), nullptr);
  int video = -1;
  for (auto* pin : ConnectedOutputs()) {
    pinForStream_[static_cast<size_t>(pin->StreamIndex())] = pin;
    if (video < 0 && pin->IsVideo()) video = pin->StreamIndex();
  }
  // From the beginning everything plays exactly as on the first run: the container is
  // opened afresh, and samples before time 0 (encoder priming) are neither skipped nor
  // marked as preroll.
  const bool fromBeginning = start <= 0;
  std::string error;
  if (fromBeginning && !atStart_ && !reader_.Reopen(&error)) {
    // The reader stays closed: the reader thread finds nothing to read and ends the streams.
    Log(std::string(family_.friendlyName) + ": cannot restart the file: " + error);
  }
  // Streams nobody listens to are skipped inside libavformat.
  if (AVFormatContext* ctx = reader_.Context()) {
    for (unsigned i = 0; i < ctx->nb_streams; ++i)
      ctx->streams[i]->discard = pinForStream_[i] ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }
  REFERENCE_TIME keyTime = AV_NOPTS_VALUE;
  if (!fromBeginning) keyTime = SeekLocked(start, video, !exactSeek_);
  atStart_ = false;
  // A key-frame seek plays from its key frame: the segment (and so the position, the sound
  // and the subtitles) begins where the picture does. An exact one begins at the target.
  REFERENCE_TIME segStart = start;
  if (!exactSeek_ && !fromBeginning && video >= 0 && keyTime != AV_NOPTS_VALUE) {
    segStart = std::max<REFERENCE_TIME>(0, keyTime);
    if (segStart != start) MoveSeekStart(segStart);
  }
  for (auto* pin : ConnectedOutputs()) {
    if (restartPins) pin->RestartAfterFlush(segStart, stop, rate);
    // Other streams begin with the picture: what ends before its key frame is not needed.
    const REFERENCE_TIME dropBefore = pin->IsVideo() ? AV_NOPTS_VALUE : keyTime;
    pin->BeginSegment(segStart, segmentStop, exactSeek_ && !fromBeginning, dropBefore);
    if (queueSegment) pin->QueueNewSegment(segStart, stop, rate);
  }
  stopReader_.store(false);
  try {
    readerThread_ = std::thread([this] { ReaderMain(); });
  } catch (const std::system_error& e) {
    // No thread, no data: end the streams so that the graph still completes.
    Log(std::string(family_.friendlyName) + ": cannot start the reader: " + e.what());
    EndAllStreams();
  }
}

REFERENCE_TIME TDemuxFilter::SeekLocked(REFERENCE_TIME target, int videoStream, bool keyFrame) {
  const REFERENCE_TIME key = KeyFrameAtOrBeforeLocked(target, videoStream);
  // A step forward must move: when the key frame before the target is not past where
  // playback stands, the first key frame after the target serves instead.
  const REFERENCE_TIME origin = SeekOrigin();
  if (!keyFrame || videoStream < 0 || key == AV_NOPTS_VALUE || origin < 0 || target <= origin || key > origin)
    return key;
  const REFERENCE_TIME after = KeyFrameAfterLocked(target, videoStream);
  if (after == AV_NOPTS_VALUE || !reader_.SeekTo(after, videoStream)) {
    KeyFrameAtOrBeforeLocked(target, videoStream);  // none after it: back to the one before
    return key;
  }
  return after;
}

REFERENCE_TIME TDemuxFilter::KeyFrameAfterLocked(REFERENCE_TIME target, int videoStream) {
  if (!reader_.SeekTo(target, videoStream)) return AV_NOPTS_VALUE;
  auto packet = ffmpeg::MakePacket();
  for (int n = 0; packet && n < kMaxProbePackets; ++n) {
    if (reader_.ReadPacket(packet.get()) < 0) break;
    if (packet->stream_index != videoStream || !(packet->flags & AV_PKT_FLAG_KEY)) continue;
    const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    const REFERENCE_TIME time = reader_.ToGraphTime(videoStream, ts);
    if (time != AV_NOPTS_VALUE && time > target) return time;
  }
  return AV_NOPTS_VALUE;
}

REFERENCE_TIME TDemuxFilter::KeyFrameAtOrBeforeLocked(REFERENCE_TIME target, int videoStream) {
  if (videoStream < 0) {
    if (!reader_.SeekTo(target)) Log(std::string(family_.friendlyName) + ": cannot seek to " + std::to_string(target / 10000) + " ms");
    return target;
  }
  // Containers without an index land by timestamp search, which may put the first key
  // frame after the target: step back until the key frame we would start from is not.
  REFERENCE_TIME back = 0;
  for (int attempt = 0; attempt < kMaxSeekAttempts; ++attempt) {
    const REFERENCE_TIME at = std::max<REFERENCE_TIME>(0, target - back);
    if (!reader_.SeekTo(at, videoStream)) break;
    const REFERENCE_TIME key = FirstKeyFrameTime(videoStream);
    if (key == AV_NOPTS_VALUE || key <= target || at == 0) {
      reader_.SeekTo(at, videoStream);
      return key != AV_NOPTS_VALUE && key <= target ? key : target;
    }
    back = back ? back * 2 : kSeekStepBack;
  }
  Log(std::string(family_.friendlyName) + ": no key frame found before " + std::to_string(target / 10000) + " ms");
  reader_.SeekTo(target);
  return target;
}

REFERENCE_TIME TDemuxFilter::FirstKeyFrameTime(int stream) {
  auto packet = ffmpeg::MakePacket();
  for (int n = 0; packet && n < kMaxProbePackets; ++n) {
    if (reader_.ReadPacket(packet.get()) < 0) break;
    if (packet->stream_index != stream || !(packet->flags & AV_PKT_FLAG_KEY)) continue;
    const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    return reader_.ToGraphTime(stream, ts);
  }
  return AV_NOPTS_VALUE;
}

void TDemuxFilter::StopReaderLocked() {
  stopReader_.store(true);
  if (readerThread_.joinable()) readerThread_.join();
}

void TDemuxFilter::ReaderMain() {
  auto packet = ffmpeg::MakePacket();
  if (!packet) {
    EndAllStreams();
    return;
  }
  int failures = 0;
  while (!stopReader_.load()) {
    const int err = reader_.ReadPacket(packet.get());
    if (err < 0) {
      if (err != AVERROR_EOF && ++failures < kMaxConsecutiveReadErrors) continue;
      if (err == AVERROR(EIO)) {
        // The file itself failed (a vanished disk, a truncated network file): say so. Damaged
        // content is not an error of ours: the streams just end where it stops making sense.
        ReportStreamingError(MakeHResult(0x8007001E), "Playback stopped because the file could not be read.",
                             std::string(family_.inputFormat) + " reader: " + ffmpeg::ErrorText(err));
      } else if (err != AVERROR_EOF) {
        Log(std::string(family_.friendlyName) + ": read error, ending: " + ffmpeg::ErrorText(err));
      }
      break;
    }
    failures = 0;
    const auto index = static_cast<size_t>(packet->stream_index);
    TDemuxOutputPin* pin = index < pinForStream_.size() ? pinForStream_[index] : nullptr;
    if (!pin) continue;
    const HRESULT hr = pin->DeliverPacket(*packet, reader_);
    av_packet_unref(packet.get());
    if (FAILED(hr)) Log(std::string(family_.friendlyName) + ": packet dropped on \"" + pin->Name() + "\": " + HResultText(hr));
    if (hr == S_FALSE || AllStreamsEnded()) break;
  }
  if (!stopReader_.load()) EndAllStreams();
}

bool TDemuxFilter::AnotherStreamRunsDry(const TDemuxOutputPin* full) const {
  for (const TDemuxOutputPin* pin : pinForStream_)
    if (pin && pin != full && pin->IsSteady() && !pin->Ended() && pin->QueuedSamplesNow() == 0) return true;
  return false;
}

void TDemuxFilter::WakeReaderExceptFor(const TDemuxOutputPin* dry) {
  // Any of the other pins may hold the reader on its full queue.
  for (const auto& pin : outputs_)
    if (pin.get() != dry) pin->WakeProducer();
}

void TDemuxFilter::EndAllStreams() {
  for (TDemuxOutputPin* pin : pinForStream_)
    if (pin) pin->EndStream();
}

bool TDemuxFilter::AllStreamsEnded() const {
  for (const TDemuxOutputPin* pin : pinForStream_)
    if (pin && !pin->Ended()) return false;
  return true;
}

HRESULT TDemuxFilter::Load(const std::string& fileName, const MediaType*) {
  if (!family_.isSource) return E_NOTIMPL;
  if (fileName.empty()) return E_INVALIDARG;
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  for (const auto& pin : outputs_)
    if (pin->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  CloseContainer();
  auto file = std::make_unique<source::TFileReader>();
  std::string error;
  int errorNumber = 0;
  if (!file->Open(fileName, &error, &errorNumber)) {
    Log(std::string(family_.friendlyName) + ": cannot open " + fileName + ": " + error);
    return source::HResultFromErrno(errorNumber);
  }
  const HRESULT hr = OpenContainer(std::move(file));
  if (SUCCEEDED(hr)) fileName_ = fileName;
  return hr;
}

HRESULT TDemuxFilter::GetCurFile(std::string* fileName, MediaType* type) {
  if (!fileName) return E_POINTER;
  *fileName = fileName_;
  if (type) *type = MediaType{};
  return S_OK;
}

HRESULT RegisterDemultiplexers() {
  HRESULT result = S_OK;
  for (const TContainerFamily& family : ContainerFamilies()) {
    TClassRegistration r;
    r.clsid = family.clsid;
    r.friendlyName = family.friendlyName;
    r.merit = MERIT_NORMAL;
    if (!family.isSource) r.inputTypes = {{MEDIATYPE_Stream, GUID_NULL}};
    r.outputTypes = {{MEDIATYPE_Video, GUID_NULL}, {MEDIATYPE_Audio, GUID_NULL}};
    const TContainerFamily* f = &family;
    r.factory = [f](const IID& iid, void** out) { return CreateComObject<TDemuxFilter>(iid, out, *f); };
    const HRESULT hr = ClassRegistry().RegisterFilter(std::move(r));
    if (FAILED(hr)) result = hr;
  }
  return result;
}

}  // namespace kv::demux
