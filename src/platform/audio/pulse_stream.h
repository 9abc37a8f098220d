// One PulseAudio playback stream.
//
// What it is: a sink input fed with interleaved PCM. The audio renderer owns one per
// connected format and writes decoded samples into it on its streaming thread; the
// renderer's clock and the volume control read and change it from the graph's threads.
//
// Timing: PlayedTime() is the stream's playback time (the position of the sample being
// heard now, corrected for the server's and the device's latency). Each timing report of the
// server places it; between reports it runs on the monotonic clock. It starts at 0, stops
// while the stream is corked, never passes WrittenTime() and only grows.
// WrittenTime() is the duration of everything written so far. Played audio can never be
// "un-played": to drop queued audio (a flush), close the stream and open a new one.
//
// Threads: Write, Drain and Open block; Abort() may be called from any other thread and
// makes a blocked (and every later) Write or Drain return Aborted until ClearAbort().
// None of the functions may be called on the PulseAudio main-loop thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/pulse_connection.h"

struct pa_stream;

namespace kv::audio {

enum class TSampleFormat { U8, S16, S32, F32 };

struct TPcmFormat {
  TSampleFormat Sample = TSampleFormat::S16;
  uint32_t Rate = 48000;
  uint8_t Channels = 2;

  uint32_t BytesPerFrame() const;
  uint64_t BytesToMicroseconds(uint64_t bytes) const;
  uint64_t MicrosecondsToBytes(uint64_t us) const;  // rounded down to whole frames
  bool IsValid() const;
};

enum class TWriteResult { Ok, Aborted, Failed };

class TPulseStream {
 public:
  struct TOptions {
    std::string SinkName;   // empty: the server's default sink
    std::string MediaName = "Kavello";
    std::chrono::milliseconds TargetLatency{100};
    bool StartCorked = false;
  };

  // Creates the stream and waits until the server has accepted it. Null on failure.
  static std::unique_ptr<TPulseStream> Open(std::shared_ptr<TPulseConnection> connection,
                                            const TPcmFormat& format, const TOptions& options);
  ~TPulseStream();
  TPulseStream(const TPulseStream&) = delete;
  TPulseStream& operator=(const TPulseStream&) = delete;

  const TPcmFormat& Format() const { return Format_; }

  // Queues `bytes` bytes (whole frames), waiting while the server's buffer is full.
  [[nodiscard]] TWriteResult Write(const void* data, size_t bytes);
  // Waits until everything written has been heard. Starts playback of a buffer that never
  // filled up (a short stream). Returns Aborted when Abort() interrupts it.
  [[nodiscard]] TWriteResult Drain();
  void Abort();
  void ClearAbort();

  // Pauses (true) or resumes playback. Returns whether the server confirmed it.
  bool Cork(bool corked);
  bool IsCorked() const;

  std::optional<std::chrono::microseconds> PlayedTime() const;
  std::chrono::microseconds WrittenTime() const;
  // Server-side latency: written but not yet heard.
  std::optional<std::chrono::microseconds> Latency() const;
  // The duration of the server's target buffer: how long after writing a sample of a
  // stream that keeps its buffer full the sample is heard (0 when unknown).
  std::chrono::microseconds BufferTime() const;

  // The sink input this stream is on the server (for pactl and the mixer).
  uint32_t SinkInputIndex() const;
  // Volume of the stream, one value for all channels (KVolumeNorm = 100 %), and its mute.
  bool SetVolume(TChannelVolume volume);
  bool SetMute(bool mute);
  // Changes the rate at which the server consumes the samples (playback rate).
  bool SetSampleRate(uint32_t rate);

 private:
  TPulseStream(std::shared_ptr<TPulseConnection> connection, const TPcmFormat& format);
  bool StreamGoodLocked() const;
  void FitBufferToSinkLocked(std::chrono::milliseconds target);
  static void OnStreamSignal(pa_stream* stream, void* self);
  static void OnStreamSignalBytes(pa_stream* stream, size_t bytes, void* self);
  static void OnLatencyUpdate(pa_stream* stream, void* self);
  static int64_t MonotonicUs();
  void TakeTimingLocked();
  int64_t ExtrapolatedLocked(int64_t nowUs) const;

  std::shared_ptr<TPulseConnection> Connection_;
  TPcmFormat Format_;
  pa_stream* Stream_ = nullptr;
  // Written and read with the connection's main-loop lock held.
  bool Aborted_ = false;
  bool Corked_ = false;
  bool Draining_ = false;  // Drain() was asked and nothing written since
  uint64_t BytesWritten_ = 0;
  // The last timing report: played time AnchorUs_ at monotonic AnchorAtUs_, running on
  // from there unless the sink was not playing or the stream is corked.
  bool HasAnchor_ = false;
  bool AnchorRunning_ = false;
  int64_t AnchorUs_ = 0;
  int64_t AnchorAtUs_ = 0;
  mutable int64_t LastPlayedUs_ = 0;  // what PlayedTime() last handed out
};

}  // namespace kv::audio
