// TClipGraph: file source -> demultiplexer -> decoders -> recording renderers, as the
// engine builds it, for the filter tests and the decode benchmark.
//
// Build() creates every filter through the class registry (so the registrations are
// exercised too), connects the first video and the first audio stream, and leaves the
// graph stopped; RunToEnd() runs it without a clock and waits for the end. UI-thread use
// only, like the engine.
#pragma once

#include <string>

#include "platform/graph/filter_graph.h"
#include "recording_renderer.h"

namespace kv::testing {

class TClipGraph {
 public:
  TClipGraph();
  ~TClipGraph();

  // Builds the graph for `path` with the demultiplexer class `demux` (a source when its
  // family reads files itself). Returns the first failure: the load, the source-demux
  // connection, or a decoder connection.
  HRESULT Build(const std::string& path, const CLSID& demux, bool video = true, bool audio = true);

  // Runs unclocked and waits up to timeoutMs for EC_COMPLETE or an error event; *code gets
  // the event (0 on time-out). Returns the wait's result.
  HRESULT RunToEnd(int32_t timeoutMs, int32_t* code);
  // Pauses, seeks to `time` (100 ns), clears the records and runs to the end again.
  HRESULT SeekAndRunToEnd(REFERENCE_TIME time, bool keyFrame, int32_t timeoutMs, int32_t* code);
  HRESULT Stop();
  // Pauses and waits up to timeoutMs for every renderer's preroll; the graph's state result.
  HRESULT PauseAndWait(int32_t timeoutMs);
  HRESULT Seek(REFERENCE_TIME time, bool keyFrame);
  REFERENCE_TIME Duration();
  // Takes every queued graph event and describes it ("code 0x45: user text / detail; ..."),
  // for failure messages; frees the events' parameters.
  std::string DrainEvents();

  TRecordingRenderer* Video() { return videoRenderer_.Get(); }
  TRecordingRenderer* Audio() { return audioRenderer_.Get(); }
  bool HasVideo() const { return videoConnected_; }
  bool HasAudio() const { return audioConnected_; }
  IGraphBuilder* Graph() { return graph_.Get(); }
  IBaseFilter* Demux() { return demux_.Get(); }
  // Names of the demultiplexer's output pins, in order.
  std::vector<std::string> OutputPinNames();
  // The first media type of each of the demultiplexer's output pins, in order.
  std::vector<MediaType> OutputTypes();

 private:
  HRESULT ConnectChain(IPin* out, const CLSID& decoder, TRecordingRenderer* renderer, const std::string& name);

  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> source_, demux_;
  ComPtr<TRecordingRenderer> videoRenderer_, audioRenderer_;
  bool videoConnected_ = false, audioConnected_ = false;
};

// Registers the runtime's and the FFmpeg module's classes once per process.
void RegisterFiltersOnce();

}  // namespace kv::testing
