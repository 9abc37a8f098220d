#include "mixer/audio_mixer.h"

#include <algorithm>

#include "platform/audio/pulse_connection.h"

namespace kv {

namespace {

using audio::KVolumeNorm;
using audio::TPulseChange;
using audio::TPulseConnection;
using audio::TPulseFacility;

constexpr uint32_t KDestinationLineBase = 0xFFFF0000;
constexpr uint32_t KConnectionLineBase = 0x10000000;
constexpr uint32_t KInputBit = 8;
constexpr uint32_t KVolumeKind = 1;
constexpr uint32_t KMuteKind = 2;

uint32_t ControlBase(uint32_t serverIndex, bool input) { return serverIndex << 4 | (input ? KInputBit : 0); }

TMixerControls LineControls(uint32_t serverIndex, bool input, uint32_t channels, bool volumeUsable) {
  uint32_t base = ControlBase(serverIndex, input);
  TMixerControl volume{base | KVolumeKind, MIXERCONTROL_CONTROLTYPE_VOLUME,
                       (channels <= 1 ? MIXERCONTROL_CONTROLF_UNIFORM : 0u) |
                           (volumeUsable ? 0u : MIXERCONTROL_CONTROLF_DISABLED),
                       0};
  TMixerControl mute{base | KMuteKind, MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, 0};
  return {volume, mute};
}

// "16.1-rebootstrapped" -> 16 << 8 | 1.
uint32_t ParseVersion(const std::string& text) {
  unsigned major = 0, minor = 0;
  size_t i = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) major = major * 10 + (text[i++] - '0');
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) minor = minor * 10 + (text[i++] - '0');
  }
  return (std::min(major, 255u) << 8) | std::min(minor, 255u);
}

// Fills `volume` from one line's channel volumes and mute state.
void Describe(const std::vector<uint32_t>& channels, bool mute, bool volumeUsable, TMixerVolume& volume) {
  if (!channels.empty()) {
    volume.Left = TAudioMixer::FromServerVolume(channels[0]);
    volume.Stereo = channels.size() >= 2;
    volume.Right = volume.Stereo ? TAudioMixer::FromServerVolume(channels[1]) : volume.Left;
    volume.VolumeDisabled = !volumeUsable;
  }
  volume.Mute = mute ? 1 : 0;
  volume.MuteDisabled = false;
}

}  // namespace

// The server has one step more than the mixer (0..65536 against 0..65535): the upper half
// of the mixer scale moves up by one, so every mixer level maps to its own server level
// and reads back unchanged (a slider never creeps when it is read after being set).
uint32_t TAudioMixer::ToServerVolume(int mixerVolume) {
  int v = std::clamp(mixerVolume, 0, 65535);
  return static_cast<uint32_t>(v) + (v >= 32768 ? 1u : 0u);
}

int TAudioMixer::FromServerVolume(uint32_t serverVolume) {
  uint32_t v = std::min(serverVolume, KVolumeNorm);
  return static_cast<int>(v - (v > 32768 ? 1u : 0u));
}

TAudioMixer::TAudioMixer() : TAudioMixer([] {
    TPulseConnection::TOptions options;
    options.ConnectTimeout = std::chrono::milliseconds(1500);
    return TPulseConnection::Open(options);
  }()) {}

TAudioMixer::TAudioMixer(std::shared_ptr<audio::TPulseConnection> connection) : Connection_(std::move(connection)) {
  if (MixerCount() > 0) SetMixerId(0);
}

TAudioMixer::~TAudioMixer() { Close(); }

int TAudioMixer::MixerCount() const { return Connection_ && Connection_->IsConnected() ? 1 : 0; }

int TAudioMixer::MixerId() const { return MixerId_; }

uint32_t TAudioMixer::NumberOfLine() const {
  auto* self = const_cast<TAudioMixer*>(this);
  std::lock_guard<std::mutex> lock(self->Mutex_);
  return static_cast<uint32_t>(Destinations_.size());
}

void TAudioMixer::Close() {
  if (Connection_ && Subscription_ != 0) Connection_->Unsubscribe(Subscription_);
  Subscription_ = 0;
  MixerId_ = -1;
  std::lock_guard<std::mutex> lock(Mutex_);
  Destinations_.clear();
  LastState_.clear();
  Dirty_ = false;
}

void TAudioMixer::SetMixerId(int id) {
  if (Connection_ && !Connection_->IsConnected()) {
    // The server went away (or restarted): try once to reach it again.
    Close();
    Connection_ = TPulseConnection::Open();
  }
  if (id < 0 || id >= MixerCount()) return;
  Close();
  std::optional<audio::TServerInfo> server = Connection_->ServerInfo();
  if (!server) return;
  Manufacturer_ = server->ServerName;
  ProductName_ = server->ServerName + " " + server->ServerVersion;
  DriverVersion_ = ParseVersion(server->ServerVersion);
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    RebuildLocked();
  }
  Subscription_ = Connection_->Subscribe([this](const audio::TPulseEvent& event) {
    OnServerEvent(static_cast<int>(event.Facility), static_cast<int>(event.Change), event.Index);
  });
  MixerId_ = id;
}

void TAudioMixer::RebuildLocked() {
  Destinations_.clear();
  LastState_.clear();
  Dirty_ = false;
  DefaultSink_.clear();
  std::vector<audio::TSinkInputInfo> inputs = Connection_->SinkInputs();
  for (const audio::TSinkInfo& sink : Connection_->SinksDefaultFirst()) {
    if (sink.IsDefault) DefaultSink_ = sink.Name;
    TMixerDestination destination;
    destination.LineId = KDestinationLineBase | (sink.Index & 0xFFFF);
    destination.Channels = static_cast<uint32_t>(sink.Volume.size());
    destination.Name = sink.Description;
    destination.ServerIndex = sink.Index;
    destination.Controls = LineControls(sink.Index, false, destination.Channels, true);
    LastState_[ControlBase(sink.Index, false)] = {sink.Volume, sink.Mute};
    for (const audio::TSinkInputInfo& input : inputs) {
      if (input.Sink != sink.Index) continue;
      TMixerConnection connection;
      connection.LineId = KConnectionLineBase | input.Index;
      connection.Channels = static_cast<uint32_t>(input.Volume.size());
      connection.Name = input.Name;
      connection.ServerIndex = input.Index;
      connection.Controls =
          LineControls(input.Index, true, connection.Channels, input.HasVolume && input.VolumeWritable);
      LastState_[ControlBase(input.Index, true)] = {input.Volume, input.Mute};
      destination.Connections.push_back(std::move(connection));
    }
    Destinations_.push_back(std::move(destination));
  }
}

TMixerDestinations TAudioMixer::Destinations() {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (MixerId_ >= 0 && Dirty_) RebuildLocked();
  return Destinations_;
}

TAudioMixer::TLineAddress TAudioMixer::AddressOf(int destination, int connection) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (MixerId_ < 0) return {};
  if (Dirty_) RebuildLocked();
  if (destination < 0 || destination >= static_cast<int>(Destinations_.size())) return {};
  const TMixerDestination& line = Destinations_[destination];
  if (connection == -1) return {true, false, line.ServerIndex};
  if (connection < 0 || connection >= static_cast<int>(line.Connections.size())) return {};
  return {true, true, line.Connections[connection].ServerIndex};
}

bool TAudioMixer::GetVolume(int destination, int connection, TMixerVolume& volume) {
  volume = TMixerVolume{};
  TLineAddress address = AddressOf(destination, connection);
  if (!address.Found) return false;
  if (address.IsInput) {
    std::optional<audio::TSinkInputInfo> input = Connection_->SinkInput(address.ServerIndex);
    if (!input) return false;
    Describe(input->Volume, input->Mute, input->HasVolume && input->VolumeWritable, volume);
  } else {
    std::optional<audio::TSinkInfo> sink = Connection_->SinkByIndex(address.ServerIndex);
    if (!sink) return false;
    Describe(sink->Volume, sink->Mute, true, volume);
  }
  return true;
}

bool TAudioMixer::GetVolume(int destination, int connection, int& left, int& right, int& mute, bool& stereo,
                            bool& volumeDisabled, bool& muteDisabled) {
  TMixerVolume volume;
  bool found = GetVolume(destination, connection, volume);
  left = volume.Left;
  right = volume.Right;
  mute = volume.Mute;
  stereo = volume.Stereo;
  volumeDisabled = volume.VolumeDisabled;
  muteDisabled = volume.MuteDisabled;
  return found;
}

bool TAudioMixer::SetVolume(int destination, int connection, int left, int right, int mute) {
  TLineAddress address = AddressOf(destination, connection);
  if (!address.Found) return false;
  bool ok = true;
  if (left != -1) {
    // Channel 0 takes left, channel 1 right; further channels (surround) follow the
    // louder of the two so that a 5.1 sink changes as a whole.
    uint32_t l = ToServerVolume(left);
    uint32_t r = ToServerVolume(right == -1 ? left : right);
    size_t channels = 0;
    if (address.IsInput) {
      std::optional<audio::TSinkInputInfo> input = Connection_->SinkInput(address.ServerIndex);
      channels = input ? input->Volume.size() : 0;
    } else {
      std::optional<audio::TSinkInfo> sink = Connection_->SinkByIndex(address.ServerIndex);
      channels = sink ? sink->Volume.size() : 0;
    }
    if (channels == 0) return false;
    std::vector<uint32_t> values(channels, std::max(l, r));
    values[0] = l;
    if (channels >= 2) values[1] = r;
    ok = address.IsInput ? Connection_->SetSinkInputVolume(address.ServerIndex, values)
                         : Connection_->SetSinkVolume(address.ServerIndex, values);
  }
  if (mute != -1) {
    bool on = mute != 0;
    ok = (address.IsInput ? Connection_->SetSinkInputMute(address.ServerIndex, on)
                          : Connection_->SetSinkMute(address.ServerIndex, on)) &&
         ok;
  }
  return ok;
}

void TAudioMixer::OnServerEvent(int facility, int change, uint32_t index) {
  auto kind = static_cast<TPulseFacility>(facility);
  auto what = static_cast<TPulseChange>(change);
  if (kind == TPulseFacility::Server) {
    OnServerChange();
    return;
  }
  if (kind != TPulseFacility::Sink && kind != TPulseFacility::SinkInput) return;
  bool input = kind == TPulseFacility::SinkInput;
  if (what != TPulseChange::Changed) {
    uint32_t line = input ? (KConnectionLineBase | index) : (KDestinationLineBase | (index & 0xFFFF));
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      Dirty_ = true;
    }
    if (OnLineChange) OnLineChange(line);
    return;
  }
  // "Changed" also comes for state and latency changes: report only what moved.
  TLineState now;
  if (input) {
    std::optional<audio::TSinkInputInfo> info = Connection_->SinkInput(index);
    if (!info) return;
    now = {info->Volume, info->Mute};
  } else {
    std::optional<audio::TSinkInfo> info = Connection_->SinkByIndex(index);
    if (!info) return;
    now = {info->Volume, info->Mute};
  }
  uint32_t base = ControlBase(index, input);
  bool volumeChanged, muteChanged;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    auto it = LastState_.find(base);
    volumeChanged = it == LastState_.end() || it->second.Volume != now.Volume;
    muteChanged = it == LastState_.end() || it->second.Mute != now.Mute;
    LastState_[base] = now;
  }
  if (volumeChanged && OnControlChange) OnControlChange(base | KVolumeKind);
  if (muteChanged && OnControlChange) OnControlChange(base | KMuteKind);
}

void TAudioMixer::OnServerChange() {
  // The server's own settings changed; what matters here is a new default sink.
  std::optional<audio::TServerInfo> server = Connection_->ServerInfo();
  if (!server) return;
  uint32_t line = 0, control = 0;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (MixerId_ < 0 || server->DefaultSinkName == DefaultSink_) return;
    RebuildLocked();  // destination 0 is now the new default
    if (Destinations_.empty()) return;
    line = Destinations_[0].LineId;
    control = ControlBase(Destinations_[0].ServerIndex, false) | KVolumeKind;
  }
  if (OnLineChange) OnLineChange(line);
  if (OnControlChange) OnControlChange(control);
}

}  // namespace kv
