#include "filters/effects/lavfi_graph.h"

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
  graph_ = avfilter_graph_alloc();
  if (!graph_) return false;
  if (aspect.num <= 0 || aspect.den <= 0) aspect = {1, 1};
  const std::string args = "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
                           ":pix_fmt=" + std::to_string(input) + ":time_base=1/10000000:pixel_aspect=" +
                           std::to_string(aspect.num) + "/" + std::to_string(aspect.den);
  int r = avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args.c_str(), nullptr, graph_);
  if (r >= 0) r = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph_);
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
  graph_ = avfilter_graph_alloc();
  if (!graph_) return false;
  AVChannelLayout layout;
  av_channel_layout_default(&layout, channels);
  char layoutName[64] = {};
  av_channel_layout_describe(&layout, layoutName, sizeof layoutName);
  av_channel_layout_uninit(&layout);
  const std::string args = "time_base=1/10000000:sample_rate=" + std::to_string(sampleRate) +
                           ":sample_fmt=" + av_get_sample_fmt_name(format) + ":channel_layout=" + layoutName;
  int r = avfilter_graph_create_filter(&source_, avfilter_get_by_name("abuffer"), "in", args.c_str(), nullptr, graph_);
  if (r >= 0)
    r = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr, graph_);
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
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
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
    r = avfilter_graph_parse_ptr(graph_, chain.c_str(), &inputs, &outputs, nullptr);
  }
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  if (r >= 0) r = avfilter_graph_config(graph_, nullptr);
  if (r < 0) {
    if (error) *error = "\"" + chain + "\": " + AvError(r);
    Close();
    return false;
  }
  return true;
}

void TLavfiGraph::Close() {
  avfilter_graph_free(&graph_);
  source_ = nullptr;
  sink_ = nullptr;
}

bool TLavfiGraph::Push(AVFrame* frame) {
  if (!graph_) return false;
  return av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

bool TLavfiGraph::Pull(AVFrame* frame) {
  if (!graph_) return false;
  av_frame_unref(frame);
  if (av_buffersink_get_frame(sink_, frame) < 0) return false;
  // Some filters change the time base on the way (a deinterlacer halves it): back to ours.
  const AVRational base = av_buffersink_get_time_base(sink_);
  if (frame->pts != AV_NOPTS_VALUE && (base.num != 1 || base.den != 10000000))
    frame->pts = av_rescale_q(frame->pts, base, AVRational{1, 10000000});
  return true;
}

}  // namespace kv::effects
