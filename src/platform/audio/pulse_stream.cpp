#include "platform/audio/pulse_stream.h"

#include <pulse/pulseaudio.h>
#include <time.h>

#include <algorithm>

namespace kv::audio {

namespace {

pa_sample_format_t ToPulse(TSampleFormat format) {
  switch (format) {
    case TSampleFormat::U8: return PA_SAMPLE_U8;
    case TSampleFormat::S16: return PA_SAMPLE_S16LE;
    case TSampleFormat::S32: return PA_SAMPLE_S32LE;
    case TSampleFormat::F32: return PA_SAMPLE_FLOAT32LE;
  }
  return PA_SAMPLE_INVALID;
}

uint32_t BytesPerSample(TSampleFormat format) {
  switch (format) {
    case TSampleFormat::U8: return 1;
    case TSampleFormat::S16: return 2;
    case TSampleFormat::S32:
    case TSampleFormat::F32: return 4;
  }
  return 0;
}

struct TStreamOp {
  pa_threaded_mainloop* Mainloop = nullptr;
  bool Success = false;
};

void OnStreamSuccess(pa_stream*, int success, void* userdata) {
  auto* op = static_cast<TStreamOp*>(userdata);
  op->Success = success != 0;
  pa_threaded_mainloop_signal(op->Mainloop, 0);
}

}  // namespace

uint32_t TPcmFormat::BytesPerFrame() const { return BytesPerSample(Sample) * Channels; }

uint64_t TPcmFormat::BytesToMicroseconds(uint64_t bytes) const {
  if (!IsValid()) return 0;
  uint64_t frames = bytes / BytesPerFrame();
  return frames / Rate * 1000000 + frames % Rate * 1000000 / Rate;
}

uint64_t TPcmFormat::MicrosecondsToBytes(uint64_t us) const {
  if (!IsValid()) return 0;
  uint64_t frames = us / 1000000 * Rate + us % 1000000 * Rate / 1000000;
  return frames * BytesPerFrame();
}

bool TPcmFormat::IsValid() const {
  return Rate > 0 && Rate <= PA_RATE_MAX && Channels > 0 && Channels <= PA_CHANNELS_MAX;
}

TPulseStream::TPulseStream(std::shared_ptr<TPulseConnection> connection, const TPcmFormat& format)
    : Connection_(std::move(connection)), Format_(format) {}

std::unique_ptr<TPulseStream> TPulseStream::Open(std::shared_ptr<TPulseConnection> connection,
                                                 const TPcmFormat& format, const TOptions& options) {
  if (!connection || !format.IsValid() || connection->InMainloopThread()) return nullptr;
  std::unique_ptr<TPulseStream> stream(new TPulseStream(connection, format));
  TPulseConnection::TLock lock(*connection);
  pa_sample_spec spec{ToPulse(format.Sample), format.Rate, format.Channels};
  pa_channel_map map;
  pa_channel_map_init_extend(&map, format.Channels, PA_CHANNEL_MAP_DEFAULT);
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "video");
  stream->Stream_ = pa_stream_new_with_proplist(connection->Context(), options.MediaName.c_str(), &spec, &map, props);
  pa_proplist_free(props);
  if (!stream->Stream_) return nullptr;
  pa_stream_set_state_callback(stream->Stream_, &TPulseStream::OnStreamSignal, stream.get());
  pa_stream_set_write_callback(stream->Stream_, &TPulseStream::OnStreamSignalBytes, stream.get());
  pa_stream_set_latency_update_callback(stream->Stream_, &TPulseStream::OnLatencyUpdate, stream.get());

  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(format.MicrosecondsToBytes(options.TargetLatency.count() * 1000));
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(-1);
  auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                              PA_STREAM_ADJUST_LATENCY | PA_STREAM_VARIABLE_RATE |
                                              (options.StartCorked ? PA_STREAM_START_CORKED : 0));
  stream->Corked_ = options.StartCorked;
  const char* device = options.SinkName.empty() ? nullptr : options.SinkName.c_str();
  if (pa_stream_connect_playback(stream->Stream_, device, &attr, flags, nullptr, nullptr) < 0) return nullptr;
  pa_stream* s = stream->Stream_;
  connection->WaitLocked([s] { return pa_stream_get_state(s) != PA_STREAM_CREATING; },
                         connection->OperationTimeout());
  if (pa_stream_get_state(s) != PA_STREAM_READY) return nullptr;
  stream->FitBufferToSinkLocked(options.TargetLatency);
  return stream;
}

TPulseStream::~TPulseStream() {
  if (!Stream_) return;
  TPulseConnection::TLock lock(*Connection_);
  pa_stream_set_state_callback(Stream_, nullptr, nullptr);
  pa_stream_set_write_callback(Stream_, nullptr, nullptr);
  pa_stream_set_latency_update_callback(Stream_, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(Stream_))) pa_stream_disconnect(Stream_);
  pa_stream_unref(Stream_);
}

namespace {

struct TSinkLatencyQuery {
  pa_threaded_mainloop* Mainloop = nullptr;
  pa_usec_t Latency = 0;
};

void OnSinkLatency(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  auto* query = static_cast<TSinkLatencyQuery*>(userdata);
  if (eol == 0 && info) query->Latency = std::max(info->configured_latency, info->latency);
  if (eol != 0) pa_threaded_mainloop_signal(query->Mainloop, 0);
}

}  // namespace

void TPulseStream::FitBufferToSinkLocked(std::chrono::milliseconds target) {
  // A sink without dynamic latency pulls whole blocks of its fixed latency at a time; a
  // stream that buffers less than one block runs dry every block and plays slow. Such a
  // sink gets a buffer of one block plus the target.
  TSinkLatencyQuery query;
  query.Mainloop = Connection_->Mainloop();
  uint32_t sink = pa_stream_get_device_index(Stream_);
  if (sink == PA_INVALID_INDEX ||
      !Connection_->FinishOperationLocked(
          pa_context_get_sink_info_by_index(Connection_->Context(), sink, &OnSinkLatency, &query))) {
    return;
  }
  const pa_buffer_attr* current = pa_stream_get_buffer_attr(Stream_);
  if (!current) return;
  uint64_t needed = Format_.MicrosecondsToBytes(query.Latency + static_cast<uint64_t>(target.count()) * 1000);
  if (query.Latency <= static_cast<pa_usec_t>(target.count()) * 1000 || current->tlength >= needed) return;
  pa_buffer_attr attr = *current;
  attr.tlength = static_cast<uint32_t>(needed);
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.prebuf = static_cast<uint32_t>(-1);
  TStreamOp op{Connection_->Mainloop()};
  Connection_->FinishOperationLocked(pa_stream_set_buffer_attr(Stream_, &attr, &OnStreamSuccess, &op));
}

bool TPulseStream::StreamGoodLocked() const { return pa_stream_get_state(Stream_) == PA_STREAM_READY; }

TWriteResult TPulseStream::Write(const void* data, size_t bytes) {
  const auto* cursor = static_cast<const uint8_t*>(data);
  size_t frame = Format_.BytesPerFrame();
  bytes -= bytes % frame;
  TPulseConnection::TLock lock(*Connection_);
  while (bytes > 0) {
    // No time-out here: a corked stream legitimately stays full for as long as the user
    // pauses; Abort() and a failing stream are what end the wait.
    size_t writable = 0;
    Connection_->WaitLocked(
        [&] {
          if (Aborted_ || !StreamGoodLocked()) return true;
          writable = pa_stream_writable_size(Stream_);
          return writable != static_cast<size_t>(-1) && writable > 0;
        },
        std::chrono::hours(24));
    if (Aborted_) return TWriteResult::Aborted;
    if (!StreamGoodLocked() || writable == static_cast<size_t>(-1)) return TWriteResult::Failed;
    size_t chunk = std::min(bytes, writable);
    chunk -= chunk % frame;
    if (chunk == 0) chunk = std::min(bytes, frame);
    if (pa_stream_write(Stream_, cursor, chunk, nullptr, 0, PA_SEEK_RELATIVE) < 0) return TWriteResult::Failed;
    cursor += chunk;
    bytes -= chunk;
    BytesWritten_ += chunk;
    Draining_ = false;
  }
  return TWriteResult::Ok;
}

TWriteResult TPulseStream::Drain() {
  TPulseConnection::TLock lock(*Connection_);
  if (Aborted_) return TWriteResult::Aborted;
  if (!StreamGoodLocked()) return TWriteResult::Failed;
  Draining_ = true;  // until more is written
  TStreamOp op{Connection_->Mainloop()};
  pa_operation* operation = pa_stream_drain(Stream_, &OnStreamSuccess, &op);
  if (!operation) return TWriteResult::Failed;
  Connection_->WaitLocked(
      [&] { return Aborted_ || !StreamGoodLocked() || pa_operation_get_state(operation) != PA_OPERATION_RUNNING; },
      std::chrono::hours(24));
  bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  if (!done) pa_operation_cancel(operation);
  pa_operation_unref(operation);
  if (Aborted_) return TWriteResult::Aborted;
  return done && op.Success ? TWriteResult::Ok : TWriteResult::Failed;
}

void TPulseStream::Abort() {
  TPulseConnection::TLock lock(*Connection_);
  Aborted_ = true;
  pa_threaded_mainloop_signal(Connection_->Mainloop(), 0);
}

void TPulseStream::ClearAbort() {
  TPulseConnection::TLock lock(*Connection_);
  Aborted_ = false;
}

bool TPulseStream::Cork(bool corked) {
  TPulseConnection::TLock lock(*Connection_);
  if (!StreamGoodLocked()) return false;
  TStreamOp op{Connection_->Mainloop()};
  if (!Connection_->FinishOperationLocked(pa_stream_cork(Stream_, corked ? 1 : 0, &OnStreamSuccess, &op)) ||
      !op.Success) {
    return false;
  }
  if (corked && !Corked_) {
    // The sound stops here: the played time stands still from now on.
    AnchorUs_ = ExtrapolatedLocked(MonotonicUs());
    AnchorAtUs_ = MonotonicUs();
    AnchorRunning_ = false;
  }
  Corked_ = corked;
  if (!corked) {
    // Ask for fresh timing at once: until it comes, the played time is interpolated from
    // before the pause and runs ahead of a sink that starts late.
    TStreamOp timing{Connection_->Mainloop()};
    Connection_->FinishOperationLocked(pa_stream_update_timing_info(Stream_, &OnStreamSuccess, &timing));
  }
  return true;
}

bool TPulseStream::IsCorked() const {
  TPulseConnection::TLock lock(*Connection_);
  return Corked_;
}

std::optional<std::chrono::microseconds> TPulseStream::PlayedTime() const {
  TPulseConnection::TLock lock(*Connection_);
  if (!StreamGoodLocked()) return std::nullopt;
  if (!HasAnchor_) {
    pa_usec_t usec = 0;
    if (pa_stream_get_time(Stream_, &usec) < 0) return std::nullopt;
    return std::chrono::microseconds(usec);
  }
  int64_t played = ExtrapolatedLocked(MonotonicUs());
  // Never past what was written (a sink that ran dry stops there), never back.
  played = std::min<int64_t>(played, static_cast<int64_t>(Format_.BytesToMicroseconds(BytesWritten_)));
  LastPlayedUs_ = std::max(LastPlayedUs_, played);
  return std::chrono::microseconds(LastPlayedUs_);
}

int64_t TPulseStream::MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t TPulseStream::ExtrapolatedLocked(int64_t nowUs) const {
  if (!HasAnchor_) return 0;
  return AnchorUs_ + (AnchorRunning_ ? std::max<int64_t>(0, nowUs - AnchorAtUs_) : 0);
}

void TPulseStream::TakeTimingLocked() {
  // The server's own account of the stream at this moment, uninterpolated: the sample at
  // the read index left the stream a transport time ago and sits behind the sink's latency.
  // From here the played time runs on the monotonic clock at real time until the next
  // report; libpulse's interpolation instead drifts between reports (by a few ms per second
  // on a null sink) and corrects itself in steps, which a clock following it shows as a
  // sawtooth.
  const pa_timing_info* info = pa_stream_get_timing_info(Stream_);
  const pa_sample_spec* spec = pa_stream_get_sample_spec(Stream_);
  if (!info || !spec || info->write_index_corrupt || info->read_index_corrupt) return;
  int64_t usec = static_cast<int64_t>(pa_bytes_to_usec(static_cast<uint64_t>(std::max<int64_t>(0, info->read_index)), spec));
  // A draining stream that has run empty is reported as not playing, but the sink still
  // plays what it holds (two seconds on a null sink): the heard time runs on, up to the end
  // of what was written (PlayedTime's cap), instead of leaping there.
  const bool running = !Corked_ && (info->playing || Draining_);
  if (running) usec += static_cast<int64_t>(info->transport_usec) - static_cast<int64_t>(info->sink_usec);
  AnchorUs_ = std::max<int64_t>(0, usec);
  AnchorAtUs_ = MonotonicUs();
  AnchorRunning_ = running;
  HasAnchor_ = true;
}

std::chrono::microseconds TPulseStream::WrittenTime() const {
  TPulseConnection::TLock lock(*Connection_);
  return std::chrono::microseconds(Format_.BytesToMicroseconds(BytesWritten_));
}

std::optional<std::chrono::microseconds> TPulseStream::Latency() const {
  TPulseConnection::TLock lock(*Connection_);
  pa_usec_t usec = 0;
  int negative = 0;
  if (!StreamGoodLocked() || pa_stream_get_latency(Stream_, &usec, &negative) < 0) return std::nullopt;
  return std::chrono::microseconds(negative ? 0 : usec);
}

std::chrono::microseconds TPulseStream::BufferTime() const {
  TPulseConnection::TLock lock(*Connection_);
  const pa_buffer_attr* attr = StreamGoodLocked() ? pa_stream_get_buffer_attr(Stream_) : nullptr;
  if (!attr || attr->tlength == static_cast<uint32_t>(-1)) return std::chrono::microseconds(0);
  return std::chrono::microseconds(Format_.BytesToMicroseconds(attr->tlength));
}

uint32_t TPulseStream::SinkInputIndex() const {
  TPulseConnection::TLock lock(*Connection_);
  return StreamGoodLocked() ? pa_stream_get_index(Stream_) : KInvalidIndex;
}

bool TPulseStream::SetVolume(TChannelVolume volume) {
  uint32_t index = SinkInputIndex();
  return index != KInvalidIndex && Connection_->SetSinkInputVolume(index, {volume});
}

bool TPulseStream::SetMute(bool mute) {
  uint32_t index = SinkInputIndex();
  return index != KInvalidIndex && Connection_->SetSinkInputMute(index, mute);
}

bool TPulseStream::SetSampleRate(uint32_t rate) {
  if (rate == 0 || rate > PA_RATE_MAX) return false;
  TPulseConnection::TLock lock(*Connection_);
  if (!StreamGoodLocked()) return false;
  TStreamOp op{Connection_->Mainloop()};
  return Connection_->FinishOperationLocked(pa_stream_update_sample_rate(Stream_, rate, &OnStreamSuccess, &op)) &&
         op.Success;
}

void TPulseStream::OnLatencyUpdate(pa_stream*, void* self) {
  auto* stream = static_cast<TPulseStream*>(self);
  stream->TakeTimingLocked();
  pa_threaded_mainloop_signal(stream->Connection_->Mainloop(), 0);
}

void TPulseStream::OnStreamSignal(pa_stream*, void* self) {
  auto* stream = static_cast<TPulseStream*>(self);
  pa_threaded_mainloop_signal(stream->Connection_->Mainloop(), 0);
}

void TPulseStream::OnStreamSignalBytes(pa_stream*, size_t, void* self) {
  auto* stream = static_cast<TPulseStream*>(self);
  pa_threaded_mainloop_signal(stream->Connection_->Mainloop(), 0);
}

}  // namespace kv::audio
