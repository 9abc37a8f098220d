#include "filters/module_ffmpeg/module_ffmpeg.h"

#include "filters/audiodec/audio_decoder_filter.h"
#include "filters/demux/demux_filter.h"
#include "filters/source/file_source_filter.h"
#include "filters/video/video_decoder_filter.h"

namespace kv::filters {

HRESULT RegisterFfmpegFilters() {
  HRESULT result = S_OK;
  for (HRESULT hr : {source::RegisterFileSource(), demux::RegisterDemultiplexers(), video::RegisterVideoDecoder(),
                     audiodec::RegisterAudioDecoder()}) {
    if (FAILED(hr)) result = hr;
  }
  return result;
}

}  // namespace kv::filters
