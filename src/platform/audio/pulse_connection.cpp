#include "platform/audio/pulse_connection.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace kv::audio {

namespace {

struct TWaitTimer {
  pa_threaded_mainloop* Mainloop = nullptr;
  bool Expired = false;
};

void OnWaitTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
  auto* timer = static_cast<TWaitTimer*>(userdata);
  timer->Expired = true;
  pa_threaded_mainloop_signal(timer->Mainloop, 0);
}

std::vector<TChannelVolume> ToVector(const pa_cvolume& volume) {
  return std::vector<TChannelVolume>(volume.values, volume.values + volume.channels);
}

// Builds a pa_cvolume with `channels` channels from one value per channel, or one value
// for all. Returns false for an empty or too long list.
bool ToCVolume(const std::vector<TChannelVolume>& values, uint8_t channels, pa_cvolume* out) {
  if (values.empty() || channels == 0 || channels > PA_CHANNELS_MAX) return false;
  pa_cvolume_init(out);
  out->channels = channels;
  for (uint8_t c = 0; c < channels; ++c) {
    TChannelVolume v = values.size() == 1 ? values[0] : values[std::min<size_t>(c, values.size() - 1)];
    out->values[c] = std::min<TChannelVolume>(v, PA_VOLUME_MAX);
  }
  return pa_cvolume_valid(out) != 0;
}

// State shared between a query and its list callback (main-loop thread writes it while
// the caller waits with the main-loop lock released inside pa_threaded_mainloop_wait).
template <typename T>
struct TQuery {
  pa_threaded_mainloop* Mainloop = nullptr;
  std::vector<T> Items;
  bool Done = false;
  bool Success = false;
};

std::string SinkInputName(const pa_sink_input_info* info) {
  if (info->name && *info->name) return info->name;
  const char* app = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_NAME);
  return app ? app : "";
}

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  auto* query = static_cast<TQuery<TSinkInfo>*>(userdata);
  if (eol != 0) {
    query->Done = true;
    query->Success = eol > 0;
    pa_threaded_mainloop_signal(query->Mainloop, 0);
    return;
  }
  TSinkInfo sink;
  sink.Index = info->index;
  sink.Name = info->name ? info->name : "";
  sink.Description = info->description ? info->description : sink.Name;
  sink.Volume = ToVector(info->volume);
  sink.Mute = info->mute != 0;
  sink.ConfiguredLatency = std::chrono::microseconds(info->configured_latency);
  query->Items.push_back(std::move(sink));
}

void OnSinkInputInfo(pa_context*, const pa_sink_input_info* info, int eol, void* userdata) {
  auto* query = static_cast<TQuery<TSinkInputInfo>*>(userdata);
  if (eol != 0) {
    query->Done = true;
    query->Success = eol > 0;
    pa_threaded_mainloop_signal(query->Mainloop, 0);
    return;
  }
  TSinkInputInfo input;
  input.Index = info->index;
  input.Sink = info->sink;
  input.Name = SinkInputName(info);
  input.Volume = ToVector(info->volume);
  input.Mute = info->mute != 0;
  input.HasVolume = info->has_volume != 0;
  input.VolumeWritable = info->volume_writable != 0;
  query->Items.push_back(std::move(input));
}

struct TServerQuery {
  pa_threaded_mainloop* Mainloop = nullptr;
  std::optional<TServerInfo> Info;
  bool Done = false;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
  auto* query = static_cast<TServerQuery*>(userdata);
  if (info) {
    TServerInfo server;
    server.ServerName = info->server_name ? info->server_name : "";
    server.ServerVersion = info->server_version ? info->server_version : "";
    server.DefaultSinkName = info->default_sink_name ? info->default_sink_name : "";
    query->Info = std::move(server);
  }
  query->Done = true;
  pa_threaded_mainloop_signal(query->Mainloop, 0);
}

struct TSuccessQuery {
  pa_threaded_mainloop* Mainloop = nullptr;
  bool Done = false;
  bool Success = false;
};

void OnSuccess(pa_context*, int success, void* userdata) {
  auto* query = static_cast<TSuccessQuery*>(userdata);
  query->Done = true;
  query->Success = success != 0;
  pa_threaded_mainloop_signal(query->Mainloop, 0);
}

}  // namespace

TPulseConnection::TLock::TLock(const TPulseConnection& connection) : Mainloop_(connection.Mainloop_) {
  pa_threaded_mainloop_lock(Mainloop_);
}

TPulseConnection::TLock::~TLock() { pa_threaded_mainloop_unlock(Mainloop_); }

std::shared_ptr<TPulseConnection> TPulseConnection::Open(const TOptions& options) {
  std::shared_ptr<TPulseConnection> connection(new TPulseConnection(options));
  if (!connection->Connect()) return nullptr;
  connection->StartEventThread();
  return connection;
}

TPulseConnection::TPulseConnection(const TOptions& options) : Options_(options) {}

TPulseConnection::~TPulseConnection() {
  {
    std::lock_guard<std::mutex> lock(EventMutex_);
    Stopping_ = true;
  }
  EventReady_.notify_all();
  if (EventThread_.joinable()) EventThread_.join();
  if (Mainloop_) pa_threaded_mainloop_stop(Mainloop_);
  if (Context_) {
    pa_context_set_state_callback(Context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(Context_, nullptr, nullptr);
    pa_context_disconnect(Context_);
    pa_context_unref(Context_);
  }
  if (Mainloop_) pa_threaded_mainloop_free(Mainloop_);
}

bool TPulseConnection::Connect() {
  Mainloop_ = pa_threaded_mainloop_new();
  if (!Mainloop_) return false;
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, Options_.ApplicationName.c_str());
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "kavello");
  Context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(Mainloop_),
                                          Options_.ApplicationName.c_str(), props);
  pa_proplist_free(props);
  if (!Context_) return false;
  pa_context_set_state_callback(Context_, &TPulseConnection::OnContextState, this);
  pa_context_set_subscribe_callback(
      Context_,
      [](pa_context* c, pa_subscription_event_type_t type, uint32_t index, void* self) {
        OnSubscription(c, static_cast<int>(type), index, self);
      },
      this);
  // No autospawn: a player must never start a sound server behind the user's back.
  if (pa_context_connect(Context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  if (pa_threaded_mainloop_start(Mainloop_) < 0) return false;

  TLock lock(*this);
  if (!WaitLocked([this] { return ContextReadyLocked() || ContextFailedLocked(); },
                  Options_.ConnectTimeout) ||
      !ContextReadyLocked()) {
    return false;
  }
  auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                  PA_SUBSCRIPTION_MASK_SINK_INPUT |
                                                  PA_SUBSCRIPTION_MASK_SERVER);
  TSuccessQuery query;
  query.Mainloop = Mainloop_;
  return FinishOperationLocked(pa_context_subscribe(Context_, mask, &OnSuccess, &query)) &&
         query.Success;
}

bool TPulseConnection::ContextReadyLocked() const {
  return pa_context_get_state(Context_) == PA_CONTEXT_READY;
}

bool TPulseConnection::ContextFailedLocked() const {
  return !PA_CONTEXT_IS_GOOD(pa_context_get_state(Context_));
}

bool TPulseConnection::IsConnected() const {
  if (!Context_) return false;
  TLock lock(*this);
  return ContextReadyLocked();
}

bool TPulseConnection::InMainloopThread() const {
  return Mainloop_ && pa_threaded_mainloop_in_thread(Mainloop_) != 0;
}

bool TPulseConnection::WaitLocked(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) const {
  if (done()) return true;
  if (InMainloopThread()) return false;
  TWaitTimer timer{Mainloop_};
  pa_time_event* event = pa_context_rttime_new(
      Context_, pa_rtclock_now() + static_cast<pa_usec_t>(timeout.count()) * 1000, &OnWaitTimer, &timer);
  while (!done() && !timer.Expired && !ContextFailedLocked()) pa_threaded_mainloop_wait(Mainloop_);
  if (event) pa_threaded_mainloop_get_api(Mainloop_)->time_free(event);
  return done();
}

bool TPulseConnection::FinishOperationLocked(pa_operation* operation) const {
  if (!operation) return false;
  bool finished = WaitLocked(
      [operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; },
      Options_.OperationTimeout);
  if (!finished) pa_operation_cancel(operation);
  bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return finished && done;
}

std::optional<TServerInfo> TPulseConnection::ServerInfo() {
  TLock lock(*this);
  if (!ContextReadyLocked()) return std::nullopt;
  TServerQuery query;
  query.Mainloop = Mainloop_;
  if (!FinishOperationLocked(pa_context_get_server_info(Context_, &OnServerInfo, &query))) return std::nullopt;
  return query.Info;
}

std::vector<TSinkInfo> TPulseConnection::Sinks() {
  std::optional<TServerInfo> server = ServerInfo();
  TLock lock(*this);
  if (!ContextReadyLocked()) return {};
  TQuery<TSinkInfo> query;
  query.Mainloop = Mainloop_;
  if (!FinishOperationLocked(pa_context_get_sink_info_list(Context_, &OnSinkInfo, &query)) ||
      !query.Success) {
    return {};
  }
  std::sort(query.Items.begin(), query.Items.end(),
            [](const TSinkInfo& a, const TSinkInfo& b) { return a.Index < b.Index; });
  for (TSinkInfo& sink : query.Items) sink.IsDefault = server && sink.Name == server->DefaultSinkName;
  return query.Items;
}

std::vector<TSinkInfo> TPulseConnection::SinksDefaultFirst() {
  std::vector<TSinkInfo> sinks = Sinks();
  std::stable_partition(sinks.begin(), sinks.end(), [](const TSinkInfo& s) { return s.IsDefault; });
  return sinks;
}

std::optional<TSinkInfo> TPulseConnection::SinkByIndex(uint32_t index) {
  for (TSinkInfo& sink : Sinks()) {
    if (sink.Index == index) return sink;
  }
  return std::nullopt;
}

std::vector<TSinkInputInfo> TPulseConnection::SinkInputs(uint32_t sink) {
  TLock lock(*this);
  if (!ContextReadyLocked()) return {};
  TQuery<TSinkInputInfo> query;
  query.Mainloop = Mainloop_;
  if (!FinishOperationLocked(pa_context_get_sink_input_info_list(Context_, &OnSinkInputInfo, &query)) ||
      !query.Success) {
    return {};
  }
  std::vector<TSinkInputInfo> result;
  for (TSinkInputInfo& input : query.Items) {
    if (sink == KInvalidIndex || input.Sink == sink) result.push_back(std::move(input));
  }
  std::sort(result.begin(), result.end(),
            [](const TSinkInputInfo& a, const TSinkInputInfo& b) { return a.Index < b.Index; });
  return result;
}

std::optional<TSinkInputInfo> TPulseConnection::SinkInput(uint32_t index) {
  TLock lock(*this);
  if (!ContextReadyLocked()) return std::nullopt;
  TQuery<TSinkInputInfo> query;
  query.Mainloop = Mainloop_;
  if (!FinishOperationLocked(pa_context_get_sink_input_info(Context_, index, &OnSinkInputInfo, &query)) ||
      !query.Success || query.Items.empty()) {
    return std::nullopt;
  }
  return query.Items.front();
}

bool TPulseConnection::SetSinkVolume(uint32_t sink, const std::vector<TChannelVolume>& volume) {
  std::optional<TSinkInfo> info = SinkByIndex(sink);
  pa_cvolume cv;
  if (!info || !ToCVolume(volume, static_cast<uint8_t>(info->Volume.size()), &cv)) return false;
  TLock lock(*this);
  if (!ContextReadyLocked()) return false;
  TSuccessQuery query;
  query.Mainloop = Mainloop_;
  return FinishOperationLocked(pa_context_set_sink_volume_by_index(Context_, sink, &cv, &OnSuccess, &query)) &&
         query.Success;
}

bool TPulseConnection::SetSinkMute(uint32_t sink, bool mute) {
  TLock lock(*this);
  if (!ContextReadyLocked()) return false;
  TSuccessQuery query;
  query.Mainloop = Mainloop_;
  return FinishOperationLocked(pa_context_set_sink_mute_by_index(Context_, sink, mute, &OnSuccess, &query)) &&
         query.Success;
}

bool TPulseConnection::SetSinkInputVolume(uint32_t input, const std::vector<TChannelVolume>& volume) {
  std::optional<TSinkInputInfo> info = SinkInput(input);
  pa_cvolume cv;
  if (!info || !info->HasVolume || !ToCVolume(volume, static_cast<uint8_t>(info->Volume.size()), &cv)) return false;
  TLock lock(*this);
  if (!ContextReadyLocked()) return false;
  TSuccessQuery query;
  query.Mainloop = Mainloop_;
  return FinishOperationLocked(pa_context_set_sink_input_volume(Context_, input, &cv, &OnSuccess, &query)) &&
         query.Success;
}

bool TPulseConnection::SetSinkInputMute(uint32_t input, bool mute) {
  TLock lock(*this);
  if (!ContextReadyLocked()) return false;
  TSuccessQuery query;
  query.Mainloop = Mainloop_;
  return FinishOperationLocked(pa_context_set_sink_input_mute(Context_, input, mute, &OnSuccess, &query)) &&
         query.Success;
}

int TPulseConnection::Subscribe(TPulseEventHandler handler) {
  std::lock_guard<std::mutex> lock(EventMutex_);
  int id = NextHandlerId_++;
  Handlers_[id] = std::move(handler);
  return id;
}

void TPulseConnection::Unsubscribe(int id) {
  std::unique_lock<std::mutex> lock(EventMutex_);
  Handlers_.erase(id);
  if (std::this_thread::get_id() == EventThreadId_) return;
  HandlerDone_.wait(lock, [&] { return RunningHandler_ != id; });
}

void TPulseConnection::StartEventThread() {
  EventThread_ = std::thread([this] { EventThreadMain(); });
}

void TPulseConnection::PostEvent(const TPulseEvent& event) {
  {
    std::lock_guard<std::mutex> lock(EventMutex_);
    if (Stopping_) return;
    Events_.push_back(event);
  }
  EventReady_.notify_one();
}

void TPulseConnection::EventThreadMain() {
  std::unique_lock<std::mutex> lock(EventMutex_);
  EventThreadId_ = std::this_thread::get_id();
  for (;;) {
    EventReady_.wait(lock, [&] { return Stopping_ || !Events_.empty(); });
    if (Stopping_) return;
    TPulseEvent event = Events_.front();
    Events_.pop_front();
    // Call each handler that is still registered, without holding the lock, so a handler
    // may query the server or unsubscribe itself.
    std::vector<int> ids;
    for (const auto& [id, handler] : Handlers_) ids.push_back(id);
    for (int id : ids) {
      auto it = Handlers_.find(id);
      if (it == Handlers_.end()) continue;
      TPulseEventHandler handler = it->second;
      RunningHandler_ = id;
      lock.unlock();
      handler(event);
      lock.lock();
      RunningHandler_ = 0;
      HandlerDone_.notify_all();
      if (Stopping_) return;
    }
  }
}

void TPulseConnection::OnContextState(pa_context*, void* self) {
  auto* connection = static_cast<TPulseConnection*>(self);
  pa_threaded_mainloop_signal(connection->Mainloop_, 0);
}

void TPulseConnection::OnSubscription(pa_context*, int type, uint32_t index, void* self) {
  auto* connection = static_cast<TPulseConnection*>(self);
  TPulseEvent event;
  event.Index = index;
  switch (type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) {
    case PA_SUBSCRIPTION_EVENT_SINK: event.Facility = TPulseFacility::Sink; break;
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT: event.Facility = TPulseFacility::SinkInput; break;
    case PA_SUBSCRIPTION_EVENT_SERVER: event.Facility = TPulseFacility::Server; break;
    default: event.Facility = TPulseFacility::Other; break;
  }
  switch (type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) {
    case PA_SUBSCRIPTION_EVENT_NEW: event.Change = TPulseChange::New; break;
    case PA_SUBSCRIPTION_EVENT_REMOVE: event.Change = TPulseChange::Removed; break;
    default: event.Change = TPulseChange::Changed; break;
  }
  connection->PostEvent(event);
}

}  // namespace kv::audio
