// TLavfiGraph: one libavfilter graph between a buffer source and a buffer sink.
//
// What it is: the RAII owner of an AVFilterGraph built from a chain description
// ("eq=brightness=0.1", "volume=3dB,alimiter=...") with the input's exact format on the
// source and the same format forced on the sink, so that what comes out has the layout
// the output pin announced (libavfilter inserts conversions where a filter needs them).
// Times are in the graph's 100-ns units throughout.
// Threads: one owner thread (an effect filter's streaming thread); not thread-safe.
#pragma once

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libavutil/samplefmt.h>
}

#include <string>

struct AVFilterGraph;
struct AVFilterContext;

namespace kv::effects {

class TLavfiGraph {
 public:
  TLavfiGraph() = default;
  ~TLavfiGraph() { Close(); }
  TLavfiGraph(const TLavfiGraph&) = delete;
  TLavfiGraph& operator=(const TLavfiGraph&) = delete;

  // Builds the graph for pictures of width x height in `input`, producing `output`.
  // False (and *error) when the chain does not parse or configure.
  bool OpenVideo(int width, int height, AVPixelFormat input, AVPixelFormat output, AVRational aspect,
                 const std::string& chain, std::string* error);
  // Builds the graph for interleaved or planar samples; the sink gives the same format.
  bool OpenAudio(int sampleRate, AVSampleFormat format, int channels, const std::string& chain, std::string* error);
  void Close();
  bool IsOpen() const { return graph_ != nullptr; }

  // Hands a frame to the graph (its data is referenced or copied as libavfilter needs);
  // null announces the end. False on a libavfilter failure.
  bool Push(AVFrame* frame);
  // Moves the next finished frame into `frame` (unreferenced first), its time in 100-ns
  // units. False when none is ready (more input needed, or the end was reached).
  bool Pull(AVFrame* frame);

 private:
  bool Finish(const std::string& chain, std::string* error);
  AVFilterGraph* graph_ = nullptr;
  AVFilterContext* source_ = nullptr;  // owned by graph_
  AVFilterContext* sink_ = nullptr;    // owned by graph_
};

}  // namespace kv::effects
