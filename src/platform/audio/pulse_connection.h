// PulseAudio server connection.
//
// What it is: the one place where Kavello talks to the sound server outside a playback
// stream. A TPulseConnection owns a threaded main loop (its own thread, named by
// libpulse) and one context connected to the server libpulse finds by its usual rules
// (PULSE_SERVER, then $XDG_RUNTIME_DIR/pulse/native). It answers synchronous queries
// (sinks, sink inputs, server defaults), changes volumes and mute states, and forwards the
// server's subscription events to registered handlers.
//
// Ownership: created by Open() and shared (std::shared_ptr) by the mixer, the audio
// renderer category and every playback stream made on it; the last owner closes it.
//
// Threads: every public function may be called from any thread except the PulseAudio
// main-loop thread itself (a synchronous query there would wait for its own thread; such
// calls fail at once). Subscription handlers run on the connection's own event thread,
// never on the main-loop thread, so they may call the synchronous queries.
//
// Failure: with no server, Open() fails within its time-out without starting anything
// (autospawn is off). When the server goes away later, every call returns failure or an
// empty value; none waits longer than the operation time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_operation;

namespace kv::audio {

// Volume of one channel in the server's units: 0 = silent, KVolumeNorm = 100 %.
using TChannelVolume = uint32_t;
inline constexpr TChannelVolume KVolumeNorm = 0x10000U;
inline constexpr uint32_t KInvalidIndex = 0xFFFFFFFFU;

struct TSinkInfo {
  uint32_t Index = KInvalidIndex;
  std::string Name;         // the server's identifier, e.g. "alsa_output.pci-0000_00_1b.0"
  std::string Description;  // what a user reads, e.g. "Built-in Audio Analog Stereo"
  std::vector<TChannelVolume> Volume;  // one entry per channel
  bool Mute = false;
  bool IsDefault = false;
  // Latency the sink runs at now; a sink without dynamic latency (a null sink renders in
  // 2 s blocks) needs streams that buffer at least this much.
  std::chrono::microseconds ConfiguredLatency{0};
};

struct TSinkInputInfo {
  uint32_t Index = KInvalidIndex;
  uint32_t Sink = KInvalidIndex;
  std::string Name;  // media name, or the application name when the media has none
  std::vector<TChannelVolume> Volume;
  bool Mute = false;
  bool HasVolume = true;  // false for passthrough streams without a volume
  bool VolumeWritable = true;
};

struct TServerInfo {
  std::string ServerName;
  std::string ServerVersion;
  std::string DefaultSinkName;
};

// What changed on the server (a subscription event).
enum class TPulseFacility { Sink, SinkInput, Server, Other };
enum class TPulseChange { New, Changed, Removed };
struct TPulseEvent {
  TPulseFacility Facility = TPulseFacility::Other;
  TPulseChange Change = TPulseChange::Changed;
  uint32_t Index = KInvalidIndex;
};
using TPulseEventHandler = std::function<void(const TPulseEvent&)>;

class TPulseConnection : public std::enable_shared_from_this<TPulseConnection> {
 public:
  struct TOptions {
    std::string ApplicationName = "Kavello";
    // How long connecting may take, and how long any one server operation may take.
    std::chrono::milliseconds ConnectTimeout{2000};
    std::chrono::milliseconds OperationTimeout{2000};
  };

  // Connects to the server. Returns null when there is no server or it does not answer in
  // time. Any thread.
  static std::shared_ptr<TPulseConnection> Open(const TOptions& options);
  static std::shared_ptr<TPulseConnection> Open() { return Open(TOptions{}); }

  ~TPulseConnection();
  TPulseConnection(const TPulseConnection&) = delete;
  TPulseConnection& operator=(const TPulseConnection&) = delete;

  // True while the context is connected and ready.
  bool IsConnected() const;

  std::optional<TServerInfo> ServerInfo();
  // All sinks in the server's order (ascending index); the default sink is marked.
  std::vector<TSinkInfo> Sinks();
  // Sinks with the default sink moved to the front, the rest in the server's order.
  std::vector<TSinkInfo> SinksDefaultFirst();
  std::optional<TSinkInfo> SinkByIndex(uint32_t index);
  // Sink inputs (playback streams); with sink == KInvalidIndex, those of every sink.
  std::vector<TSinkInputInfo> SinkInputs(uint32_t sink = KInvalidIndex);
  std::optional<TSinkInputInfo> SinkInput(uint32_t index);

  // Volume changes; `volume` holds one value per channel (a single value is applied to
  // every channel). Return whether the server confirmed the change.
  bool SetSinkVolume(uint32_t sink, const std::vector<TChannelVolume>& volume);
  bool SetSinkMute(uint32_t sink, bool mute);
  bool SetSinkInputVolume(uint32_t input, const std::vector<TChannelVolume>& volume);
  bool SetSinkInputMute(uint32_t input, bool mute);

  // Registers a handler for sink, sink-input and server events; returns its id for
  // Unsubscribe. Handlers run on the connection's event thread, one event at a time.
  // Unsubscribe waits until a running call of that handler has returned (unless it is
  // called from inside a handler).
  int Subscribe(TPulseEventHandler handler);
  void Unsubscribe(int id);

  // For the playback stream (same library). The main-loop lock is recursive-free: take it
  // with TLock, and use WaitLocked to wait for a callback's signal with the operation
  // time-out.
  pa_threaded_mainloop* Mainloop() const { return Mainloop_; }
  pa_context* Context() const { return Context_; }
  std::chrono::milliseconds OperationTimeout() const { return Options_.OperationTimeout; }

  class TLock {
   public:
    explicit TLock(const TPulseConnection& connection);
    ~TLock();
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

   private:
    pa_threaded_mainloop* Mainloop_;
  };

  // Waits (main-loop lock held) until `done()` is true, the context fails, or `timeout`
  // passes. Returns done(). Must not be called on the main-loop thread.
  bool WaitLocked(const std::function<bool()>& done, std::chrono::milliseconds timeout) const;
  // Waits for an operation to finish (lock held) and releases it; cancels it on time-out.
  // Returns whether it completed.
  bool FinishOperationLocked(pa_operation* operation) const;
  // True when the caller is the main-loop thread (where waiting is impossible).
  bool InMainloopThread() const;

 private:
  explicit TPulseConnection(const TOptions& options);
  bool Connect();
  bool ContextReadyLocked() const;
  bool ContextFailedLocked() const;
  void StartEventThread();
  void PostEvent(const TPulseEvent& event);  // main-loop thread
  void EventThreadMain();

  static void OnContextState(pa_context* context, void* self);
  static void OnSubscription(pa_context* context, int type, uint32_t index, void* self);

  TOptions Options_;
  pa_threaded_mainloop* Mainloop_ = nullptr;
  pa_context* Context_ = nullptr;

  // Guards Handlers_, Events_, Stopping_, RunningHandler_. Never held while calling into
  // libpulse; the main-loop lock may be held when it is taken (PostEvent), never the
  // other way round.
  mutable std::mutex EventMutex_;
  std::condition_variable EventReady_;     // an event arrived or stopping
  std::condition_variable HandlerDone_;    // a handler call returned
  std::map<int, TPulseEventHandler> Handlers_;
  std::deque<TPulseEvent> Events_;
  int NextHandlerId_ = 1;
  int RunningHandler_ = 0;
  bool Stopping_ = false;
  std::thread EventThread_;
  std::thread::id EventThreadId_;
};

}  // namespace kv::audio
