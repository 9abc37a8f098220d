// TMasterVolume: the sound server's master volume (the default sink's volume) for the
// control panel's volume slider, through libpulse's threaded main loop.
//
// Ownership: the panel owns one; Stop (or the destructor) ends the loop's thread, after
// which no handler runs any more.
// Threads: Start, Stop and SetPercent on the panel's (user-interface) thread. OnChange is
// called on the PulseAudio loop thread; the panel posts it to its own thread.
// Lock: pulse's loop lock guards the context and sinkName_/channels_ (taken by the calls
// from the panel's thread; held by pulse itself while callbacks run).
// Failure: without a server Start returns false and SetPercent does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_server_info;
struct pa_sink_info;

namespace kv::cappanel {

class TMasterVolume {
 public:
  TMasterVolume() = default;
  ~TMasterVolume() { Stop(); }
  TMasterVolume(const TMasterVolume&) = delete;
  TMasterVolume& operator=(const TMasterVolume&) = delete;

  // Connects (never starting a server). The first OnChange tells the volume once known.
  bool Start();
  void Stop();
  // Sets every channel of the default sink to percent (0..100) of the normal volume.
  void SetPercent(int percent);

  // The volume (0..100) and mute of the default sink, whenever they are read or change.
  std::function<void(int percent, bool muted)> OnChange;

 private:
  static void StateCallback(pa_context* context, void* self);
  static void SubscribeCallback(pa_context* context, int type, uint32_t index, void* self);
  static void ServerInfoCallback(pa_context* context, const pa_server_info* info, void* self);
  static void SinkInfoCallback(pa_context* context, const pa_sink_info* info, int eol, void* self);
  void RefreshLocked();

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  std::string sinkName_;  // guarded by the loop lock
  uint8_t channels_ = 2;  // guarded by the loop lock
};

}  // namespace kv::cappanel
