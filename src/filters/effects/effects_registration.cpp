#include "filters/effects/effects_registration.h"

#include "filters/audiodec/pcm_formats.h"
#include "filters/effects/audio_effect_filter.h"
#include "filters/effects/video_effect_filter.h"
#include "filters/video/picture_formats.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::effects {

HRESULT RegisterEffectFilters(TClassRegistry& registry) {
  HRESULT result = S_OK;
  for (const TEffectDesc& effect : EffectTable()) {
    TClassRegistration r;
    r.clsid = effect.Clsid;
    r.friendlyName = effect.FriendlyName;
    r.merit = MERIT_DO_NOT_USE;  // only ever put into a chain by name
    if (effect.Video) {
      for (const auto& row : video::PictureFormatTable()) {
        r.inputTypes.push_back({MEDIATYPE_Video, row.subtype});
        r.outputTypes.push_back({MEDIATYPE_Video, row.subtype});
      }
    } else {
      for (const auto& row : audiodec::PcmFormatTable()) {
        r.inputTypes.push_back({MEDIATYPE_Audio, WaveFormatSubtype(row.formatTag)});
        r.outputTypes.push_back({MEDIATYPE_Audio, WaveFormatSubtype(row.formatTag)});
      }
    }
    const TEffectDesc* desc = &effect;
    if (effect.Video)
      r.factory = [desc](const IID& iid, void** out) { return CreateComObject<TVideoEffectFilter>(iid, out, *desc); };
    else
      r.factory = [desc](const IID& iid, void** out) { return CreateComObject<TAudioEffectFilter>(iid, out, *desc); };
    HRESULT hr = registry.RegisterFilter(std::move(r));
    if (FAILED(hr)) result = hr;
  }
  return result;
}

}  // namespace kv::effects
