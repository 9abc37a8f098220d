// The system mixer: master volume and the volume controls of every playback line.
//
// What it is: TAudioMixer models the sound server as one mixer device whose destination
// lines are the PulseAudio sinks (the default sink first, then the others in the
// server's order) and whose source lines ("connections") are the playback streams (sink
// inputs) playing into each sink. Every line has a volume control and a mute control.
// Volumes are 0..65535 per channel, mapped linearly onto the server's 0..100 % scale
// (louder-than-100 % server volumes read as 65535). The player uses only destination 0,
// the line itself: the master volume.
//
// Identifiers: a line's LineId is 0xFFFF0000 | sink index for destinations and
// 0x10000000 | sink input index for connections; a control's ControlId is
// (server index << 4) | 8 for a sink input | 1 for volume, 2 for mute. Both stay valid
// while the server object lives.
//
// Ownership and threads: the main window owns the mixer and calls it on its own thread.
// The server's change events arrive on the PulseAudio connection's event thread, and
// OnLineChange / OnControlChange are called THERE (never on the PulseAudio main-loop
// thread, so a handler may call GetVolume). Delivering them on the user-interface thread
// is the application's job (post them to the event loop). Set the handlers before
// anything can change, and do not replace them while events may arrive.
//
// The default output: when the user switches the server's default sink, destination 0
// becomes the new default (the lines are rebuilt), and OnLineChange (its line) and
// OnControlChange (its volume control) tell the owner to read the master volume again.
//
// Failure: without a server MixerId is -1, the lists are empty and every volume
// operation returns false and changes nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kv::audio {
class TPulseConnection;
}

namespace kv {

// Control types and flags, as the mixer interface numbers them.
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MUX = 0x70010001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MIXER = 0x71010001;
inline constexpr uint32_t MIXERCONTROL_CONTROLF_UNIFORM = 1;
inline constexpr uint32_t MIXERCONTROL_CONTROLF_MULTIPLE = 2;
inline constexpr uint32_t MIXERCONTROL_CONTROLF_DISABLED = 0x80000000;

struct TMixerControl {
  uint32_t ControlId = 0;
  uint32_t ControlType = 0;
  uint32_t ControlFlags = 0;
  uint32_t Items = 0;
};
using TMixerControls = std::vector<TMixerControl>;

struct TMixerConnection {
  uint32_t LineId = 0;
  uint32_t Channels = 0;
  std::string Name;
  TMixerControls Controls;
  uint32_t ServerIndex = 0;  // the sink input
};
using TMixerConnections = std::vector<TMixerConnection>;

struct TMixerDestination {
  uint32_t LineId = 0;
  uint32_t Channels = 0;
  std::string Name;
  TMixerConnections Connections;
  TMixerControls Controls;
  uint32_t ServerIndex = 0;  // the sink
};
using TMixerDestinations = std::vector<TMixerDestination>;

// What GetVolume reports about one line.
struct TMixerVolume {
  int Left = -1;
  int Right = -1;
  int Mute = -1;
  bool Stereo = false;
  bool VolumeDisabled = true;
  bool MuteDisabled = true;
};

class TAudioMixer {
 public:
  // Connects to the sound server (short time-out) and selects mixer 0 when there is one.
  TAudioMixer();
  // Uses the given connection (null: no mixer device). For tests and for sharing.
  explicit TAudioMixer(std::shared_ptr<audio::TPulseConnection> connection);
  ~TAudioMixer();
  TAudioMixer(const TAudioMixer&) = delete;
  TAudioMixer& operator=(const TAudioMixer&) = delete;

  // Number of mixer devices: 1 with a server, 0 without.
  int MixerCount() const;
  int MixerId() const;
  // Selects a mixer device (only 0 exists) and rebuilds its lines; reconnects when the
  // server went away. An index out of range changes nothing; a failure leaves -1.
  void SetMixerId(int id);

  uint32_t DriverVersion() const { return DriverVersion_; }  // major << 8 | minor
  uint32_t ProductId() const { return 0; }
  uint32_t NumberOfLine() const;
  const std::string& Manufacturer() const { return Manufacturer_; }
  const std::string& ProductName() const { return ProductName_; }

  // A snapshot of the lines (rebuilt when streams or sinks came or went).
  TMixerDestinations Destinations();

  // connection == -1 addresses the destination line itself. Returns true when the line
  // exists; `volume` is reset first (see TMixerVolume) and filled from the server.
  bool GetVolume(int destination, int connection, TMixerVolume& volume);
  bool GetVolume(int destination, int connection, int& left, int& right, int& mute, bool& stereo,
                 bool& volumeDisabled, bool& muteDisabled);
  // left -1 leaves the volume, right -1 means the same as left, mute -1 leaves the mute
  // state (0 = off, anything else = on). Returns whether every write succeeded.
  bool SetVolume(int destination, int connection, int left, int right, int mute);

  // Line or control identifier of the change. Called on the connection's event thread.
  std::function<void(uint32_t lineId)> OnLineChange;
  std::function<void(uint32_t controlId)> OnControlChange;

  // Volume scale conversions (exposed for tests).
  static uint32_t ToServerVolume(int mixerVolume);
  static int FromServerVolume(uint32_t serverVolume);

 private:
  struct TLineState {
    std::vector<uint32_t> Volume;
    bool Mute = false;
  };
  struct TLineAddress {
    bool Found = false;
    bool IsInput = false;
    uint32_t ServerIndex = 0;
  };

  void Close();
  void RebuildLocked();
  TLineAddress AddressOf(int destination, int connection);
  void OnServerEvent(int facility, int change, uint32_t index);
  void OnServerChange();

  std::shared_ptr<audio::TPulseConnection> Connection_;
  int Subscription_ = 0;
  int MixerId_ = -1;
  uint32_t DriverVersion_ = 0;
  std::string Manufacturer_;
  std::string ProductName_;

  // Guards Destinations_, Dirty_, LastState_ and DefaultSink_ (the event thread and the owner's thread
  // both use them). Server queries may run while it is held; nothing the server's event
  // thread waits for needs it.
  std::mutex Mutex_;
  TMixerDestinations Destinations_;
  bool Dirty_ = false;
  // Last volume and mute seen per line, keyed by ControlId base (index << 4 | input bit),
  // so that a server "changed" event is reported only for controls that really changed.
  std::map<uint32_t, TLineState> LastState_;
  // The server's default sink when the lines were built: destination 0 follows it.
  std::string DefaultSink_;
};

}  // namespace kv
