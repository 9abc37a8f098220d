// kavello-probe [--playback] FILE: opens a file through the playback engine and prints what
// the engine found out: the media information texts the player's "Media properties" window
// shows, the stream fields, the duration and the filters of the graph with their pins and
// connections.
//
// By default the file is opened as the stream analyzer opens it (null renderers with image
// analysis on, so the video decoder is in the graph and neither a display nor a sound
// device is needed; the analyzer does not connect audio). With --playback it is opened as
// the player opens it: the video renderer (without a window) and the audio chain to the
// default sound device, or picture only when no sound device exists.
//
// Exit status: 0 when the file opened, 1 when it did not, 2 for a usage error.
#include <cstdio>
#include <string>

#include "engine/contrl.h"
#include "filters/builtin/builtin_filters.h"
#include "platform/graph/filter_graph.h"
#include "platform/ui/messagebox.h"
#include "probe_report.h"


int main(int argc, char** argv) {
  bool playback = argc == 3 && std::string(argv[1]) == "--playback";
  if (!(argc == 2 || playback) || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: kavello-probe [--playback] FILE\n");
    return 2;
  }
  std::string file = kv::probe::AbsolutePath(argv[argc - 1]);
  kv::ui::SetMessageBoxHandler([](const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  });
  kv::CoInitialize();
  kv::RegisterBuiltinFilters(playback);
  kv::TCOMPlay engine;
  engine.NullRenderers = !playback;
  engine.ImageAnalysisWanted = !playback;
  engine.StatisticsWanted = true;
  engine.UseClock = false;
  engine.CaptureEnabled = false;
  engine.OpenVideo(file);
  std::fputs(kv::probe::MediaTexts(engine).c_str(), stdout);
  std::fputs("\n", stdout);
  std::fputs(kv::probe::Report(engine).c_str(), stdout);
  return engine.FileName.empty() ? 1 : 0;
}
