#include "filters/builtin/builtin_filters.h"

#include "debugsup/debugsup.h"
#include "filters/audio/audio_devices.h"
#include "filters/audiodec/audio_decoder_filter.h"
#include "filters/demux/demux_filter.h"
#include "filters/grabber/frame_grabber.h"
#include "filters/render/render_registration.h"
#include "filters/source/file_source_filter.h"
#include "filters/stats/statistics_filter.h"
#include "filters/video/video_decoder_filter.h"
#include "platform/com/class_registry.h"

namespace kv {

void RegisterBuiltinFilters(bool sound) {
  source::RegisterFileSource();
  demux::RegisterDemultiplexers();
  video::RegisterVideoDecoder();
  audiodec::RegisterAudioDecoder();
  RegisterStatisticsFilter();
  RegisterFrameGrabber();
  render::RegisterRenderFilters(ClassRegistry());
  if (sound) audio::RegisterAudioFilters(ClassRegistry());
}

int LoadComponentFilters(const std::string& programDir) {
  std::vector<std::string> errors;
  int count = ClassRegistry().LoadFilterModules(programDir + "/Components/Filters", &errors);
  for (const std::string& e : errors) Debug.TextOut("Filter module skipped: " + e);
  return count;
}

}  // namespace kv
