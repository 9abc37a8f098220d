#include "filters/effects/lavfi_graph.h"

#include "filters/effects/lavfi_library.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

namespace kv::effects {
namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

bool TLavfiGraph::OpenVideo(int width, int height, AVPixelFormat input, AVPixelFormat output, AVRational aspect,
                            const std::string& chain, std::string* error) {
  Close();
  const TLavfiApi* api = LavfiApi();
  if (!api) {
    if (error) *error = "libavfilter cannot be loaded";
    return false;
  }
  graph_ = api->GraphAlloc();
  if (!graph_) return false;
  if (aspect.num <= 0 || aspect.den <= 0) aspect = {1, 1};
  const std::string args = "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
                           ":pix_fmt=" + std::to_string(input) + ":time_base=1/10000000:pixel_aspect=" +
                           std::to_string(aspect.num) + "/" + std::to_string(aspect.den);
  int r = api->GraphCreateFilter(&source_, api->GetByName("buffer"), "in", args.c_str(), nullptr, graph_);
  if (r >= 0) r = api->GraphCreateFilter(&sink_, api->GetByName("buffersink"), "out", nullptr, nullptr, graph_);
  if (r < 0) {
    if (error) *error = "buffer source/sink: " + AvError(r);
    Close();
    return false;
  }
  return Finish(chain + ",format=pix_fmts=" + av_get_pix_fmt_name(output), error);
}

bool TLavfiGraph::OpenAudio(int sampleRate, AVSampleFormat format, int channels, const std::string& chain,
                            std::string* error) {
  Close();
  const TLavfiApi* api = LavfiApi();
  if (!api) {
    if (error) *error = "libavfilter cannot be loaded";
    return false;
  }
  graph_ = api->GraphAlloc();
  if (!graph_) return false;
  AVChannelLayout layout;
  av_channel_layout_default(&layout, channels);
  char layoutName[64] = {};
  av_channel_layout_describe(&layout, layoutName, sizeof layoutName);
  av_channel_layout_uninit(&layout);
  const std::string args = "time_base=1/10000000:sample_rate=" + std::to_string(sampleRate) +
                           ":sample_fmt=" + av_get_sample_fmt_name(format) + ":channel_layout=" + layoutName;
  int r = api->GraphCreateFilter(&source_, api->GetByName("abuffer"), "in", args.c_str(), nullptr, graph_);
  if (r >= 0)
    r = api->GraphCreateFilter(&sink_, api->GetByName("abuffersink"), "out", nullptr, nullptr, graph_);
  if (r < 0) {
    if (error) *error = "abuffer source/sink: " + AvError(r);
    Close();
    return false;
  }
  return Finish(chain + ",aformat=sample_fmts=" + av_get_sample_fmt_name(format) +
                    ":sample_rates=" + std::to_string(sampleRate) + ":channel_layouts=" + layoutName,
                error);
}

bool TLavfiGraph::Finish(const std::string& chain, std::string* error) {
  const TLavfiApi* api = LavfiApi();  // loaded: a graph exists
  AVFilterInOut* outputs = api->InOutAlloc();
  AVFilterInOut* inputs = api->InOutAlloc();
  int r = outputs && inputs ? 0 : AVERROR(ENOMEM);
  if (r == 0) {
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source_;
    outputs->pad_idx = 0;
    outputs->next = nullptr;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    r = api->GraphParsePtr(graph_, chain.c_str(), &inputs, &outputs, nullptr);
  }
  api->InOutFree(&inputs);
  api->InOutFree(&outputs);
  if (r >= 0) r = api->GraphConfig(graph_, nullptr);
  if (r < 0) {
    if (error) *error = "\"" + chain + "\": " + AvError(r);
    Close();
    return false;
  }
  return true;
}

void TLavfiGraph::Close() {
  if (graph_) LavfiApi()->GraphFree(&graph_);  // a graph exists only where the library loaded
  source_ = nullptr;
  sink_ = nullptr;
}

bool TLavfiGraph::Push(AVFrame* frame) {
  const TLavfiApi* api = LavfiApi();  // loaded: a graph exists
  if (!graph_) return false;
  return api->BufferSrcAddFrameFlags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

bool TLavfiGraph::Pull(AVFrame* frame) {
  const TLavfiApi* api = LavfiApi();  // loaded: a graph exists
  if (!graph_) return false;
  av_frame_unref(frame);
  if (api->BufferSinkGetFrame(sink_, frame) < 0) return false;
  // Some filters change the time base on the way (a deinterlacer halves it): back to ours.
  const AVRational base = api->BufferSinkGetTimeBase(sink_);
  if (frame->pts != AV_NOPTS_VALUE && (base.num != 1 || base.den != 10000000))
    frame->pts = av_rescale_q(frame->pts, base, AVRational{1, 10000000});
  return true;
}

}  // namespace kv::effects
