// The Qt surface widget as a renderer sees it (offscreen platform).
#include <QApplication>
#include <QSignalSpy>
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "qtsurface/video_surface_widget.h"

namespace kv::qtsurface {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "render_surface_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

std::shared_ptr<video::TRgbImage> Frame(int w, int h, uint32_t rgb) {
  auto frame = std::make_shared<video::TRgbImage>();
  frame->Resize(w, h);
  frame->Fill(rgb);
  return frame;
}

TEST(VideoSurfaceWidget, IsFoundByItsHandle_andReportsItsSize) {
  App();
  auto widget = std::make_unique<TVideoSurfaceWidget>();
  widget->resize(320, 240);
  widget->show();
  std::shared_ptr<video::IVideoSurface> surface = video::FindSurface(widget->Handle());
  ASSERT_TRUE(surface);
  EXPECT_EQ(surface->Width(), 320);
  EXPECT_EQ(surface->Height(), 240);
  surface->SetGeometry({10, 20, 100, 50});
  EXPECT_EQ(widget->geometry(), QRect(10, 20, 100, 50));
  EXPECT_EQ(surface->Width(), 100);
  video::TSurfaceHandle handle = widget->Handle();
  widget.reset();
  EXPECT_EQ(video::FindSurface(handle), nullptr);
  // A renderer that still holds the surface may go on presenting: nothing happens.
  surface->Present(Frame(4, 4, 0xFF0000));
  surface->SetVisible(true);
  surface->Repaint();
}

TEST(VideoSurfaceWidget, FramePresentedFromAStreamingThread_arrivesOnTheWidgetThread) {
  App();
  TVideoSurfaceWidget widget;
  widget.resize(8, 8);
  QSignalSpy presented(&widget, &TVideoSurfaceWidget::framePresented);
  std::shared_ptr<video::IVideoSurface> surface = widget.Surface();
  std::thread streaming([&] { surface->Present(Frame(8, 8, 0x00FF00)); });
  streaming.join();
  ASSERT_TRUE(presented.wait(5000));
  ASSERT_TRUE(widget.CurrentFrame());
  EXPECT_EQ(widget.CurrentFrame()->At(3, 3), 0x00FF00u);
  EXPECT_EQ(widget.PresentedFrames(), 1u);
  QImage shot = widget.grab().toImage();
  EXPECT_EQ(shot.pixelColor(3, 3), QColor(0, 255, 0));
}

TEST(VideoSurfaceWidget, AStormOfFramesFromAStreamingThread_wakesTheWidgetOnce_andShowsTheLast) {
  App();
  TVideoSurfaceWidget widget;
  widget.resize(8, 8);
  QSignalSpy presented(&widget, &TVideoSurfaceWidget::framePresented);
  std::shared_ptr<video::IVideoSurface> surface = widget.Surface();
  // Nothing crosses to the widget's thread per frame (no queued call or event to own and
  // delete there): the frames only replace each other, and one wake stands for all.
  std::thread streaming([&] {
    for (int i = 0; i < 2000; ++i) surface->Present(Frame(8, 8, static_cast<uint32_t>(i)));
  });
  streaming.join();
  ASSERT_TRUE(presented.wait(5000));
  QCoreApplication::processEvents();
  EXPECT_EQ(presented.count(), 1);
  EXPECT_EQ(widget.PresentedFrames(), 2000u);
  EXPECT_EQ(widget.CurrentFrame()->At(3, 3), 1999u);
  // Frames keep coming while the widget's thread paints them.
  std::atomic<bool> done{false};
  std::thread busy([&] {
    for (int i = 0; i < 3000; ++i) surface->Present(Frame(8, 8, 0x010101));
    done = true;
  });
  while (!done) QCoreApplication::processEvents();
  busy.join();
  QCoreApplication::processEvents();
  // A frame after the wake wakes it again.
  surface->Present(Frame(8, 8, 0x123456));
  ASSERT_TRUE(presented.wait(5000));
  EXPECT_EQ(widget.CurrentFrame()->At(3, 3), 0x123456u);
}

}  // namespace
}  // namespace kv::qtsurface
