// libavfilter, loaded when the first effect graph is built.
//
// Why: libavfilter brings some 40 libraries of its own (speech synthesis, SVG, GPU
// filters...) whose loading and relocation cost every start of the player memory and time,
// although most sessions never put an effect in a chain. The effects module therefore does
// not link it; TLavfiGraph calls it through this table, filled once with dlopen/dlsym.
// Threads: any; the first call loads (once), later calls only read.
#pragma once

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace kv::effects {

struct TLavfiApi {
  decltype(&avfilter_get_by_name) GetByName;
  decltype(&avfilter_graph_alloc) GraphAlloc;
  decltype(&avfilter_graph_create_filter) GraphCreateFilter;
  decltype(&avfilter_graph_parse_ptr) GraphParsePtr;
  decltype(&avfilter_graph_config) GraphConfig;
  decltype(&avfilter_graph_free) GraphFree;
  decltype(&avfilter_inout_alloc) InOutAlloc;
  decltype(&avfilter_inout_free) InOutFree;
  decltype(&av_buffersrc_add_frame_flags) BufferSrcAddFrameFlags;
  decltype(&av_buffersink_get_frame) BufferSinkGetFrame;
  decltype(&av_buffersink_get_time_base) BufferSinkGetTimeBase;
};

// The functions, or null when the library (of the major version we were built with) cannot
// be loaded or lacks one of them.
const TLavfiApi* LavfiApi();

}  // namespace kv::effects
