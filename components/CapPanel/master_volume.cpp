#include "master_volume.h"

#include <pulse/pulseaudio.h>

#include <cmath>

namespace kv::cappanel {

bool TMasterVolume::Start() {
  Stop();
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) return false;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Kavello control panel");
  if (!context_) {
    Stop();
    return false;
  }
  pa_context_set_state_callback(context_, &TMasterVolume::StateCallback, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(loop_) < 0) {
    Stop();
    return false;
  }
  return true;
}

void TMasterVolume::Stop() {
  if (loop_) pa_threaded_mainloop_stop(loop_);
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  if (loop_) {
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
  }
}

void TMasterVolume::SetPercent(int percent) {
  if (!loop_ || !context_) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  pa_threaded_mainloop_lock(loop_);
  if (pa_context_get_state(context_) == PA_CONTEXT_READY && !sinkName_.empty()) {
    pa_cvolume volume;
    pa_cvolume_set(&volume, channels_,
                   static_cast<pa_volume_t>(std::lround(percent * static_cast<double>(PA_VOLUME_NORM) / 100.0)));
    if (pa_operation* op = pa_context_set_sink_volume_by_name(context_, sinkName_.c_str(), &volume, nullptr, nullptr))
      pa_operation_unref(op);
  }
  pa_threaded_mainloop_unlock(loop_);
}

void TMasterVolume::RefreshLocked() {
  if (pa_operation* op = pa_context_get_server_info(context_, &TMasterVolume::ServerInfoCallback, this))
    pa_operation_unref(op);
}

void TMasterVolume::StateCallback(pa_context* context, void* data) {
  auto* self = static_cast<TMasterVolume*>(data);
  if (pa_context_get_state(context) != PA_CONTEXT_READY) return;
  pa_context_set_subscribe_callback(
      context,
      [](pa_context* c, pa_subscription_event_type_t type, uint32_t index, void* d) {
        SubscribeCallback(c, static_cast<int>(type), index, d);
      },
      self);
  if (pa_operation* op = pa_context_subscribe(
          context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
          nullptr, nullptr))
    pa_operation_unref(op);
  self->RefreshLocked();
}

void TMasterVolume::SubscribeCallback(pa_context*, int type, uint32_t, void* data) {
  const int facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  if (facility == PA_SUBSCRIPTION_EVENT_SINK || facility == PA_SUBSCRIPTION_EVENT_SERVER)
    static_cast<TMasterVolume*>(data)->RefreshLocked();
}

void TMasterVolume::ServerInfoCallback(pa_context* context, const pa_server_info* info, void* data) {
  auto* self = static_cast<TMasterVolume*>(data);
  if (!info || !info->default_sink_name) return;
  self->sinkName_ = info->default_sink_name;
  if (pa_operation* op = pa_context_get_sink_info_by_name(context, info->default_sink_name,
                                                          &TMasterVolume::SinkInfoCallback, self))
    pa_operation_unref(op);
}

void TMasterVolume::SinkInfoCallback(pa_context*, const pa_sink_info* info, int eol, void* data) {
  auto* self = static_cast<TMasterVolume*>(data);
  if (eol || !info) return;
  self->channels_ = info->volume.channels > 0 ? info->volume.channels : 2;
  const double average = pa_cvolume_avg(&info->volume);
  int percent = static_cast<int>(std::lround(average * 100.0 / PA_VOLUME_NORM));
  if (percent > 100) percent = 100;
  if (self->OnChange) self->OnChange(percent, info->mute != 0);
}

}  // namespace kv::cappanel
