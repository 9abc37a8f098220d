// kavello-probe FILE: opens a file through the playback engine as the stream analyzer does
// (null renderers with image analysis on, so the decoders are in the graph and neither a
// display nor a sound device is needed) and prints what the engine found out: the stream
// fields, the duration and the filters of the graph with their pins and connections.
//
// Exit status: 0 when the file opened, 1 when it did not, 2 for a usage error.
#include <cstdio>
#include <string>

#include "engine/contrl.h"
#include "filters/grabber/frame_grabber.h"
#include "filters/stats/statistics_filter.h"
#include "platform/graph/filter_graph.h"
#include "platform/ui/messagebox.h"
#include "probe_report.h"


int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: kavello-probe FILE\n");
    return 2;
  }
  std::string file = kv::probe::AbsolutePath(argv[1]);
  kv::ui::SetMessageBoxHandler([](const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  });
  kv::CoInitialize();
  kv::probe::RegisterBuiltinFilters();
  kv::TCOMPlay engine;
  engine.NullRenderers = true;
  engine.ImageAnalysisWanted = true;
  engine.StatisticsWanted = true;
  engine.UseClock = false;
  engine.CaptureEnabled = false;
  engine.OpenVideo(file);
  std::fputs(kv::probe::Report(engine).c_str(), stdout);
  return engine.FileName.empty() ? 1 : 0;
}
