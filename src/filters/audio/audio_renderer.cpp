#include "filters/audio/audio_renderer.h"

#include <pulse/volume.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "filters/audio/audio_format.h"

namespace kv::audio {

namespace {

constexpr REFERENCE_TIME KUnitsPerMicrosecond = 10;
// How long a stream that joined a running clock plays before the clock follows it.
constexpr REFERENCE_TIME KJoinSettle = 10000000;  // 1 s

REFERENCE_TIME BytesToTime(const TPcmFormat& format, uint64_t bytes) {
  return static_cast<REFERENCE_TIME>(format.BytesToMicroseconds(bytes)) * KUnitsPerMicrosecond;
}

uint64_t TimeToBytes(const TPcmFormat& format, REFERENCE_TIME time) {
  return time <= 0 ? 0 : format.MicrosecondsToBytes(static_cast<uint64_t>(time / KUnitsPerMicrosecond));
}

}  // namespace

// ---------------------------------------------------------------- input pin

TAudioInputPin::TAudioInputPin(TAudioRenderer* renderer, std::string name)
    : TBaseInputPin(renderer, std::move(name)), Renderer_(renderer) {}

HRESULT TAudioInputPin::CheckMediaType(const MediaType& type) {
  return ReadPcmFormat(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TAudioInputPin::Receive(IMediaSample* sample) {
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return Renderer_->ReceiveSample(sample);
}

HRESULT TAudioInputPin::EndOfStream() {
  HRESULT hr = TBaseInputPin::EndOfStream();
  if (hr != S_OK) return hr;
  return Renderer_->ReceiveEndOfStream();
}

HRESULT TAudioInputPin::BeginFlush() {
  TBaseInputPin::BeginFlush();
  Renderer_->BeginFlushing();
  return S_OK;
}

HRESULT TAudioInputPin::EndFlush() {
  Renderer_->EndFlushing();
  return TBaseInputPin::EndFlush();
}

HRESULT TAudioInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  TBasePin::NewSegment(start, stop, rate);
  Renderer_->SetSegmentRate(rate);
  return S_OK;
}

// ---------------------------------------------------------------- renderer

TAudioRenderer::TAudioRenderer(const CLSID& clsid, std::string sinkName)
    : TBaseFilter(clsid), SinkName_(std::move(sinkName)) {
  Input_ = std::make_unique<TAudioInputPin>(this, "Audio Input pin (rendered)");
  ClockSource_ = std::make_shared<TAudioClockSource>();
  Clock_ = ComPtr<TAudioRendererClock>(new TAudioRendererClock(ClockSource_));
}

TAudioRenderer::~TAudioRenderer() {
  std::lock_guard<std::mutex> lock(Mutex_);
  DropStreamLocked();
}

HRESULT TAudioRenderer::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IAMFilterMiscFlags::kIid) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
  if (iid == IBasicAudio::kIid) return GetInterface(static_cast<IBasicAudio*>(this), out);
  if (iid == ISpecifyPropertyPages::kIid) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
  if (iid == IAudioRendererInfo::kIid) return GetInterface(static_cast<IAudioRendererInfo*>(this), out);
  // The clock is an object of its own (it outlives a removed renderer harmlessly).
  if (iid == IReferenceClock::kIid) return Clock_->QueryInterface(iid, out);
  return TBaseFilter::NonDelegatingQueryInterface(iid, out);
}

TBasePin* TAudioRenderer::GetPin(int n) { return n == 0 ? Input_.get() : nullptr; }

HRESULT TAudioRenderer::GetPages(std::vector<CLSID>* pages) {
  if (!pages) return E_POINTER;
  *pages = {CLSID_AudioRendererPage};
  return S_OK;
}

HRESULT TAudioRenderer::GetAudioRendererInfo(TAudioRendererInfo* info) {
  if (!info) return E_POINTER;
  std::shared_ptr<TPulseStream> stream;
  std::shared_ptr<TPulseConnection> connection;
  {
    std::lock_guard lock(Mutex_);
    info->Sink = SinkName_.empty() ? "default" : SinkName_;
    connection = Connection_;
    info->Volume = Volume_;
    info->Muted = Volume_ <= -10000;
    stream = Stream_;
  }
  info->Connected = connection && connection->IsConnected();  // the PulseAudio lock: not under Mutex_
  info->Format.clear();
  info->LatencyUs = 0;
  info->BufferedBytes = 0;
  if (stream) {
    const TPcmFormat& f = stream->Format();
    static const char* const kSampleNames[] = {"8-bit", "16-bit", "32-bit", "32-bit float"};
    info->Format = std::to_string(f.Rate) + " Hz, " + std::to_string(f.Channels) + " channels, " +
                   kSampleNames[static_cast<int>(f.Sample)];
    if (auto latency = stream->Latency()) {
      info->LatencyUs = latency->count();
      info->BufferedBytes = static_cast<int64_t>(f.MicrosecondsToBytes(static_cast<uint64_t>(latency->count())));
    }
  }
  return S_OK;
}

void TAudioRenderer::DropStreamLocked() {
  if (Stream_) Stream_->Abort();
  Stream_.reset();
  NeedMapping_ = true;
  StreamJoinedClock_ = false;
  ClockSource_->StopFollowing();
  ClockSource_->ResetMapping();
}

HRESULT TAudioRenderer::Stop() {
  std::shared_ptr<TPulseStream> stream;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    stream = Stream_;
  }
  if (stream) stream->Abort();  // a blocked write or drain returns now
  HRESULT hr = TBaseFilter::Stop();
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    DropStreamLocked();
    StreamFormat_.reset();
    Ready_ = false;
    CompleteSent_ = false;
    NextConnectAttempt_ = {};
    RetryDelay_ = std::chrono::milliseconds(0);
    JoinClock_ = false;
    Changed_.notify_all();
  }
  Clock_->Changed();
  return hr;
}

HRESULT TAudioRenderer::Pause() {
  FILTER_STATE old = state();
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (old == State_Stopped) {
      Ready_ = !Input_->IsConnected();
      CompleteSent_ = false;
    } else if (old == State_Running) {
      Ready_ = true;
    }
  }
  HRESULT hr = TBaseFilter::Pause();
  if (FAILED(hr)) return hr;
  if (old == State_Running) ClockSource_->StopFollowing();
  std::lock_guard<std::mutex> lock(Mutex_);
  RetryConnectingSoonLocked();
  MatchStreamToStateLocked();
  Changed_.notify_all();
  Clock_->Changed();
  return Ready_ ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

HRESULT TAudioRenderer::Run(REFERENCE_TIME tStart) {
  HRESULT hr = TBaseFilter::Run(tStart);
  if (FAILED(hr)) return hr;
  ClockSource_->SetStreamStart(tStart);
  std::lock_guard<std::mutex> lock(Mutex_);
  RetryConnectingSoonLocked();
  MatchStreamToStateLocked();
  Changed_.notify_all();
  Clock_->Changed();
  return S_OK;
}

void TAudioRenderer::MatchStreamToStateLocked() {
  // The state and the stream are matched under Mutex_ after every change of either, so a
  // stream made by the streaming thread while the state changed is never left corked in a
  // running graph (or playing in a paused one).
  if (!Stream_) return;
  bool running = state() == State_Running;
  if (Stream_->IsCorked() == !running) return;
  Stream_->Cork(!running);
  if (running && !NeedMapping_) FollowLocked();
}

void TAudioRenderer::FollowLocked() {
  std::shared_ptr<TPulseStream> stream = Stream_;
  const bool fromFirstSound = StreamJoinedClock_;
  ClockSource_->Follow([stream, fromFirstSound]() -> std::optional<REFERENCE_TIME> {
    std::optional<std::chrono::microseconds> played = stream->PlayedTime();
    if (!played) return std::nullopt;
    // A stream that joined a running clock is taken up once it has played steadily for a
    // while (a sink's first timing reports come in steps); the clock runs on by itself
    // until then instead of waiting for it or jumping to it.
    if (fromFirstSound && played->count() * KUnitsPerMicrosecond < KJoinSettle) return std::nullopt;
    return played->count() * KUnitsPerMicrosecond;
  }, /*continueFromHere=*/fromFirstSound);
  Clock_->Changed();
}

void TAudioRenderer::RetryConnectingSoonLocked() {
  NextConnectAttempt_ = {};
  RetryDelay_ = std::chrono::milliseconds(0);
}

std::shared_ptr<TPulseConnection> TAudioRenderer::ConnectionForStream() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (std::chrono::steady_clock::now() < NextConnectAttempt_) return nullptr;
    if (Connection_ && Connection_->IsConnected()) return Connection_;
  }
  // Connecting may take up to its time-out: not under Mutex_.
  std::shared_ptr<TPulseConnection> connection = TPulseConnection::Open();
  std::lock_guard<std::mutex> lock(Mutex_);
  if (!connection) {
    RetryDelay_ = std::clamp(RetryDelay_ * 2, KRetryFirst, KRetryMost);
    NextConnectAttempt_ = std::chrono::steady_clock::now() + RetryDelay_;
    JoinClock_ = true;  // the graph goes on without sound meanwhile
    return nullptr;
  }
  Connection_ = connection;
  RetryDelay_ = std::chrono::milliseconds(0);
  return connection;
}

HRESULT TAudioRenderer::GetState(uint32_t msTimeout, FILTER_STATE* st) {
  if (!st) return E_POINTER;
  *st = state();
  if (*st != State_Paused) return S_OK;
  std::unique_lock<std::mutex> lock(Mutex_);
  auto done = [&] { return Ready_ || state() != State_Paused; };
  if (msTimeout == 0xFFFFFFFFu) Changed_.wait(lock, done);
  else Changed_.wait_for(lock, std::chrono::milliseconds(msTimeout), done);
  *st = state();
  return (Ready_ || *st != State_Paused) ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

std::shared_ptr<TPulseStream> TAudioRenderer::OpenStreamFor(const TPcmFormat& format, bool corked) {
  std::shared_ptr<TPulseConnection> connection = ConnectionForStream();
  if (!connection) return nullptr;
  double rate;
  int32_t volume;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    rate = Rate_;
    volume = Volume_;
  }
  TPcmFormat played = format;
  double scaled = std::round(format.Rate * rate);
  if (scaled < 1000 || scaled > 384000) return nullptr;  // beyond what the server resamples
  played.Rate = static_cast<uint32_t>(scaled);
  TPulseStream::TOptions options;
  options.SinkName = SinkName_;
  options.MediaName = Name().empty() ? "Kavello" : "Kavello " + Name();
  options.StartCorked = corked;
  std::shared_ptr<TPulseStream> stream(TPulseStream::Open(connection, played, options).release());
  if (stream) {
    ApplyVolume(*stream, volume);
  } else {
    // A server that is only starting may refuse the stream: try again later.
    std::lock_guard<std::mutex> lock(Mutex_);
    RetryDelay_ = std::clamp(RetryDelay_ * 2, KRetryFirst, KRetryMost);
    NextConnectAttempt_ = std::chrono::steady_clock::now() + RetryDelay_;
    JoinClock_ = true;
  }
  return stream;
}

void TAudioRenderer::ApplyVolume(TPulseStream& stream, int32_t volume) {
  if (volume <= -10000) {
    stream.SetMute(true);
    return;
  }
  double linear = std::pow(10.0, volume / 2000.0);
  stream.SetVolume(pa_sw_volume_from_linear(linear));
  stream.SetMute(false);
}

HRESULT TAudioRenderer::ReceiveSample(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  MediaType* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    // A format change in the stream (a new sample rate or channel layout): the next
    // samples need a stream of their own.
    std::optional<TPcmFormat> next = ReadPcmFormat(*changed);
    DeleteMediaType(changed);
    if (!next) return VFW_E_INVALIDMEDIATYPE;
    std::lock_guard<std::mutex> lock(Mutex_);
    StreamFormat_ = next;
    DropStreamLocked();
  }
  std::optional<TPcmFormat> format;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    format = StreamFormat_;
  }
  if (!format) format = ReadPcmFormat(Input_->CurrentMediaType());
  if (!format) return VFW_E_INVALIDMEDIATYPE;
  std::shared_ptr<TPulseStream> stream;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (Flushing_ || state() == State_Stopped) return S_FALSE;
    stream = Stream_;
  }
  if (!stream) {
    stream = OpenStreamFor(*format, state() != State_Running);
    bool silent = false;
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      if (Flushing_ || state() == State_Stopped) return S_FALSE;
      if (!stream) {
        // No sound server or an unplayable rate: the picture goes on without sound.
        Ready_ = true;
        Changed_.notify_all();
        silent = true;
      } else {
        Stream_ = stream;
        NeedMapping_ = true;
        MatchStreamToStateLocked();
      }
    }
    if (silent) return WaitAsIfPlayed(sample);
  }
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return E_POINTER;
  int32_t length = sample->GetActualDataLength();
  REFERENCE_TIME start = 0, stop = 0;
  std::optional<REFERENCE_TIME> startTime;
  if (SUCCEEDED(sample->GetTime(&start, &stop))) startTime = start;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Ready_ = true;  // the preroll: a paused graph completes its Pause now
    Changed_.notify_all();
  }
  if (length <= 0) return S_OK;
  return WriteTimed(*stream, *format, data, static_cast<size_t>(length), startTime);
}

HRESULT TAudioRenderer::WriteTimed(TPulseStream& stream, const TPcmFormat& format, const uint8_t* data, size_t bytes,
                                   std::optional<REFERENCE_TIME> start) {
  // Times of the stream as played: the format's rate times the segment rate.
  TPcmFormat played = stream.Format();
  bool follow = false;
  size_t skip = 0;
  uint64_t silence = 0;
  // A stream made while the graph ran on without sound joins the running clock: its first
  // sound is the media time the clock will show when that sound is heard.
  std::optional<REFERENCE_TIME> joinAt;
  bool join = false;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    join = NeedMapping_ && JoinClock_;
  }
  if (join && start && state() == State_Running) {
    ComPtr<IReferenceClock> clock = Clock();  // the state lock: taken before Mutex_
    const REFERENCE_TIME base = StreamStart();
    REFERENCE_TIME now = 0;
    if (clock && SUCCEEDED(clock->GetTime(&now)))
      joinAt = now - base + stream.BufferTime().count() * KUnitsPerMicrosecond;
  }
  {
    // Gaps are filled and overlaps cut against the write position, so the position never
    // drifts from the time stamps.
    std::lock_guard<std::mutex> lock(Mutex_);
    size_t frame = format.BytesPerFrame();
    if (NeedMapping_) {
      REFERENCE_TIME media = start.value_or(Position_.Next());
      if (joinAt && start && JoinClock_) {
        // Sound that would be heard after its time is cut; the next sample maps instead.
        if (*start + BytesToTime(played, bytes) <= *joinAt) return S_OK;
        if (*joinAt > *start) {
          skip = static_cast<size_t>(std::min<uint64_t>(TimeToBytes(played, *joinAt - *start), bytes));
          skip -= skip % frame;
          media = *start + BytesToTime(played, skip);
        }
        JoinClock_ = false;
        StreamJoinedClock_ = true;
      }
      ClockSource_->SetMapping(media, stream.WrittenTime().count() * KUnitsPerMicrosecond);
      Position_.Map(media, played.Rate);
      NeedMapping_ = false;
      follow = state() == State_Running;
    } else if (start) {
      const TWritePosition::TPlan plan = Position_.Plan(*start, bytes / frame);
      silence = plan.SilenceFrames * frame;
      skip = static_cast<size_t>(plan.SkipFrames * frame);
    }
    Position_.Advance(silence / frame + (bytes - skip) / frame);
  }
  if (follow) {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (Stream_ && state() == State_Running) FollowLocked();
  }
  if (silence > 0) {
    std::vector<uint8_t> zeros(static_cast<size_t>(std::min<uint64_t>(silence, 1 << 20)),
                               format.Sample == TSampleFormat::U8 ? 0x80 : 0);
    while (silence > 0) {
      size_t chunk = static_cast<size_t>(std::min<uint64_t>(silence, zeros.size()));
      TWriteResult r = stream.Write(zeros.data(), chunk);
      if (r == TWriteResult::Aborted) return S_FALSE;
      if (r == TWriteResult::Failed) break;  // handled by the write below
      silence -= chunk;
    }
  }
  if (skip >= bytes) return S_OK;  // the whole sample lies in the past
  TWriteResult r = stream.Write(data + skip, bytes - skip);
  if (r == TWriteResult::Aborted) return S_FALSE;
  if (r == TWriteResult::Failed) {
    // The sound server went away (or restarted): the picture goes on. The next samples
    // try a new connection, with a back-off while there is no server.
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      DropStreamLocked();
      Connection_.reset();
      JoinClock_ = true;  // a new stream (the server's return) joins the running clock
    }
  }
  return S_OK;
}

HRESULT TAudioRenderer::WaitAsIfPlayed(IMediaSample* sample) {
  // Samples that cannot be heard still take their time, so that a file without picture
  // plays for as long as it lasts and upstream filters are paced as with sound.
  REFERENCE_TIME start = 0, stop = 0;
  HRESULT timed = sample->GetTime(&start, &stop);
  if (FAILED(timed)) return S_OK;
  REFERENCE_TIME end = timed == S_OK ? stop : start;
  for (;;) {
    ComPtr<IReferenceClock> clock = Clock();  // the state lock: taken before Mutex_
    REFERENCE_TIME base = StreamStart();
    REFERENCE_TIME now = 0;
    if (state() == State_Running && (!clock || FAILED(clock->GetTime(&now)))) return S_OK;  // unclocked
    std::unique_lock<std::mutex> lock(Mutex_);
    if (Flushing_ || state() == State_Stopped) return S_FALSE;
    if (state() == State_Paused) {
      Changed_.wait(lock);  // Run, flush or stop wake it
      continue;
    }
    if (now >= base + end) return S_OK;
    Changed_.wait_for(lock, std::chrono::microseconds((base + end - now) / KUnitsPerMicrosecond + 1));
  }
}

HRESULT TAudioRenderer::ReceiveEndOfStream() {
  std::shared_ptr<TPulseStream> stream;
  {
    std::unique_lock<std::mutex> lock(Mutex_);
    if (Flushing_) return S_FALSE;
    Ready_ = true;
    Changed_.notify_all();
    // The last sample is heard only once the graph runs.
    Changed_.wait(lock, [&] { return Flushing_ || state() != State_Paused; });
    if (Flushing_ || state() == State_Stopped) return S_OK;
    stream = Stream_;
  }
  if (stream && stream->Drain() == TWriteResult::Aborted) return S_OK;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (Flushing_ || state() == State_Stopped || CompleteSent_) return S_OK;
    CompleteSent_ = true;
  }
  // The sound has ended; the clock runs on for pictures that last longer.
  ClockSource_->StopFollowing();
  Clock_->Changed();
  NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this)));
  return S_OK;
}

void TAudioRenderer::BeginFlushing() {
  std::shared_ptr<TPulseStream> stream;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Flushing_ = true;
    stream = Stream_;
    Changed_.notify_all();
  }
  if (stream) stream->Abort();
}

void TAudioRenderer::EndFlushing() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    DropStreamLocked();  // queued sound is thrown away; the next sample opens a new stream
    RetryConnectingSoonLocked();
    JoinClock_ = false;
    Flushing_ = false;
    CompleteSent_ = false;
    if (state() == State_Paused) Ready_ = false;
    Changed_.notify_all();
  }
  Clock_->Changed();
}

void TAudioRenderer::SetSegmentRate(double rate) {
  if (!(rate > 0)) return;
  std::lock_guard<std::mutex> lock(Mutex_);
  if (rate == Rate_) return;
  Rate_ = rate;
  // A new rate needs a stream at the new sample rate; the flush before a new segment
  // usually dropped the stream already.
  if (Stream_) DropStreamLocked();
}

HRESULT TAudioRenderer::put_Volume(int32_t volume) {
  if (volume < -10000 || volume > 0) return E_INVALIDARG;
  std::shared_ptr<TPulseStream> stream;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Volume_ = volume;
    stream = Stream_;
  }
  if (stream) ApplyVolume(*stream, volume);
  return S_OK;
}

HRESULT TAudioRenderer::get_Volume(int32_t* volume) {
  if (!volume) return E_POINTER;
  std::lock_guard<std::mutex> lock(Mutex_);
  *volume = Volume_;
  return S_OK;
}

HRESULT TAudioRenderer::put_Balance(int32_t balance) {
  if (balance < -10000 || balance > 10000) return E_INVALIDARG;
  // The stream's volume is one value for all channels; a balance other than the centre
  // is refused rather than silently ignored.
  if (balance != 0) return E_NOTIMPL;
  std::lock_guard<std::mutex> lock(Mutex_);
  Balance_ = balance;
  return S_OK;
}

HRESULT TAudioRenderer::get_Balance(int32_t* balance) {
  if (!balance) return E_POINTER;
  std::lock_guard<std::mutex> lock(Mutex_);
  *balance = Balance_;
  return S_OK;
}

uint32_t TAudioRenderer::SinkInputIndex() {
  std::shared_ptr<TPulseStream> stream;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    stream = Stream_;
  }
  return stream ? stream->SinkInputIndex() : KInvalidIndex;
}

}  // namespace kv::audio
