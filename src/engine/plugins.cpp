// The property pages of the chain plug-ins.
#include "engine/contrl.h"
#include "filters/effects/effect_settings.h"
#include "platform/graph/property_page.h"

namespace kv {

namespace {

// Whether a shipped effect asks for its chain to be connected again.
bool NeedsReconnect(IBaseFilter* filter) {
  ComPtr<effects::IKavelloEffect> effect;
  return SUCCEEDED(filter->QueryInterface(effects::IKavelloEffect::kIid, effect.PutVoid())) && effect &&
         effect->NeedsReconnect();
}

bool ShowPlugin(IEngineHost* host, IBaseFilter* filter) {
  if (!filter || !host) return false;
  ComPtr<ISpecifyPropertyPages> pages;
  if (FAILED(filter->QueryInterface(ISpecifyPropertyPages::kIid, pages.PutVoid())) || !pages) return false;
  FILTER_INFO info;
  std::string caption;
  if (SUCCEEDED(filter->QueryFilterInfo(&info))) caption = info.achName;
  host->ShowPluginProperties(filter, caption);
  return true;
}

}  // namespace

bool TCOMPlay::ShowVideoPluginProperties(int n) {
  if (n < 1 || n > kFilterSlots) return false;
  ComPtr<IBaseFilter> filter = VideoPlugins[n - 1];
  if (!ShowPlugin(host_, filter.Get())) return false;
  if (VideoOutPin && NeedsReconnect(filter.Get())) RerenderVideo(VideoFilterChain);
  return true;
}

bool TCOMPlay::ShowAudioPluginProperties(int n) {
  if (n < 1 || n > kFilterSlots) return false;
  ComPtr<IBaseFilter> filter = AudioPlugins[n - 1];
  return ShowPlugin(host_, filter.Get());
}

}  // namespace kv
