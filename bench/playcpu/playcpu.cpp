// The player side of the CPU benchmark: plays a file at 1x with the software "Video
// Renderer" into a Qt window (the same surface the main window embeds) and the
// PulseAudio audio renderer, then prints the frames rendered and dropped.
//
// usage: bench_playcpu FILE
// run.sh measures its CPU time beside mpv and VLC on the same clips.
#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <cstdio>

#include "play_graph.h"
#include "qtsurface/video_surface_widget.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  kv::qtsurface::TVideoSurfaceWidget window;
  window.setWindowTitle("Kavello benchmark");
  window.resize(320, 240);
  kv::bench::TPlayGraph graph;
  if (!graph.Build(argv[1], window.Handle())) {
    std::fprintf(stderr, "%s\n", graph.Error.c_str());
    return 1;
  }
  // The window takes the picture's size, as the players it is compared with do.
  kv::ComPtr<kv::IBasicVideo> basic;
  graph.VideoRenderer->QueryInterface(kv::IBasicVideo::kIid, basic.PutVoid());
  int32_t w = 0, h = 0;
  basic->GetVideoSize(&w, &h);
  window.resize(w, h);
  window.show();
  kv::ComPtr<kv::IVideoWindow> video;
  graph.VideoRenderer->QueryInterface(kv::IVideoWindow::kIid, video.PutVoid());
  video->SetWindowPosition(0, 0, w, h);

  bool completed = false;
  graph.Events->SetNotifyCallback([&] {
    QMetaObject::invokeMethod(
        &app,
        [&] {
          int32_t code;
          intptr_t p1, p2;
          while (graph.Events->GetEvent(&code, &p1, &p2, 0) == kv::S_OK) {
            graph.Events->FreeEventParams(code, p1, p2);
            if (code == kv::EC_COMPLETE || code == kv::EC_ERRORABORT || code == kv::EC_ERRORABORTEX) {
              completed = code == kv::EC_COMPLETE;
              app.quit();
            }
          }
        },
        Qt::QueuedConnection);
  });
  if (kv::FAILED(graph.Control->Run())) {
    std::fprintf(stderr, "the graph does not run\n");
    return 1;
  }
  // KAVELLO_PLAYCPU_TRACE=1: the dropped count each second, to see when frames drop.
  QTimer trace;
  if (qEnvironmentVariableIsSet("KAVELLO_PLAYCPU_TRACE")) {
    QObject::connect(&trace, &QTimer::timeout, [&] {
      std::fprintf(stderr, "rendered %lld dropped %lld\n", static_cast<long long>(graph.FramesRendered()),
                   static_cast<long long>(graph.FramesDropped()));
    });
    trace.start(1000);
  }
  app.exec();
  graph.Control->Stop();
  std::printf("completed: %s frames rendered: %lld dropped: %lld\n", completed ? "yes" : "no",
              static_cast<long long>(graph.FramesRendered()), static_cast<long long>(graph.FramesDropped()));
  return completed ? 0 : 1;
}
