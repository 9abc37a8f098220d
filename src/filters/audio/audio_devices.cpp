#include "filters/audio/audio_devices.h"

#include <mutex>

#include "filters/audio/audio_renderer.h"
#include "platform/audio/pulse_connection.h"
#include "platform/graph/media_guids.h"

namespace kv::audio {

namespace {

TClassFactory RendererFactory(const CLSID& clsid, std::string sinkName) {
  return [clsid, sinkName](const IID& iid, void** out) {
    return CreateComObject<TAudioRenderer>(iid, out, clsid, sinkName);
  };
}

TDeviceEntry Entry(const std::string& name, const CLSID& clsid, const std::string& sinkName) {
  TDeviceEntry entry;
  entry.friendlyName = name;
  entry.properties["FriendlyName"] = name;
  entry.properties["CLSID"] = GuidToString(clsid);
  if (!sinkName.empty()) entry.properties["SinkName"] = sinkName;
  entry.factory = RendererFactory(clsid, sinkName);
  return entry;
}

}  // namespace

std::vector<TDeviceEntry> AudioRendererDevices() {
  TPulseConnection::TOptions options;
  options.ConnectTimeout = std::chrono::milliseconds(1500);
  std::shared_ptr<TPulseConnection> connection = TPulseConnection::Open(options);
  if (!connection) return {};
  std::vector<TSinkInfo> sinks = connection->Sinks();
  if (sinks.empty()) return {};
  std::vector<TDeviceEntry> entries;
  entries.push_back(Entry("Default DirectSound Device", KClsidDSoundRender, ""));
  entries.push_back(Entry("Default WaveOut Device", KClsidAudioRender, ""));
  for (const TSinkInfo& sink : sinks) entries.push_back(Entry(sink.Description, KClsidDSoundRender, sink.Name));
  return entries;
}

void RegisterAudioFilters(TClassRegistry& registry) {
  static std::once_flag once;
  std::call_once(once, [&registry] {
    TClassRegistration renderer;
    renderer.clsid = KClsidDSoundRender;
    renderer.friendlyName = "Default DirectSound Device";
    renderer.merit = MERIT_PREFERRED;
    renderer.inputTypes = {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}, {MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT}};
    renderer.factory = RendererFactory(KClsidDSoundRender, "");
    registry.RegisterFilter(renderer);
    registry.AddDeviceProvider(CLSID_AudioRendererCategory, &AudioRendererDevices);
  });
}

}  // namespace kv::audio
