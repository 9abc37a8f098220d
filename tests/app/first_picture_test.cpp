// The first picture of a file is on the screen by the time the start returns, on a real
// (virtual) X display with MIT-SHM: the window's thread is held by the graph's start while
// the picture is drawn, so the native video window must already be placed and mapped by
// then, not at a later turn of the event loop. Read back from the screen through a
// connection of the test's own. Skipped without Xvfb.
#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QThread>

#include "filters/render/mixing_renderer.h"
#include "lib/xvfb_server.h"
#include "mainform_fixture.h"

// After Qt: Xlib's macros (Bool, Status) clash with Qt's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kv {
namespace {

class FirstPictureTest : public MainWindowHarness {
 protected:
  static void SetUpTestSuite() {
    MakeHome("kavello-first-picture");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x360:rate=25 -t 2 "
                           "-c:v libx264 -preset ultrafast -pix_fmt yuv420p '" +
                           (root_ / "media/bars.mkv").string() + "'")
                              .c_str()),
              0);
    static test::TXvfb xvfb;
    if (!xvfb.Start("1280x720x24")) return;
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 1);  // picture only
    StartApplication();
  }
  void SetUp() override {
    if (!app_) GTEST_SKIP() << "no Xvfb";
    MainWindowHarness::SetUp();
  }
};

// The picture's top row of colour bars (testsrc2) where the video area lies on the screen:
// no point of it black.
bool BarsOnScreen(Display* display, QPoint origin) {
  XImage* row = XGetImage(display, DefaultRootWindow(display), origin.x(), origin.y() + 60, 640, 1, AllPlanes,
                          ZPixmap);
  if (!row) return false;
  bool bars = true;
  for (int x = 20; x < 640; x += 80) {
    const unsigned long p = XGetPixel(row, x, 0);
    if (((p >> 16) & 0xff) + ((p >> 8) & 0xff) + (p & 0xff) <= 150) bars = false;
  }
  XDestroyImage(row);
  return bars;
}

// Waits up to `ms` for the bars at `origin` on a connection of the test's own; `between`
// runs between looks (sleeping, or turning the window's event loop).
template <class F>
bool BarsShowWithin(QPoint origin, int ms, F between) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  QElapsedTimer waited;
  waited.start();
  bool shown = false;
  while (!(shown = BarsOnScreen(display, origin)) && waited.elapsed() < ms) between();
  XCloseDisplay(display);
  return shown;
}

TEST_F(FirstPictureTest, IsOnScreenWhenTheStartOfTheFileReturns) {
  form_->PlayFileNow(Media("bars.mkv"));  // what the file of the command line goes through
  ASSERT_EQ(form_->VideoArea->size(), QSize(640, 360));
  // From here on no turn of the window's event loop: only what the start itself put on the
  // display may show. The bound only guards against the X server being slow.
  const QPoint origin = form_->VideoArea->mapToGlobal(QPoint(0, 0));
  EXPECT_TRUE(BarsShowWithin(origin, 3000, [] { QThread::msleep(20); })) << "the first picture was not on the screen";
}

// The OpenGL renderer's surface comes from a module of its own, loaded when the renderer is
// first chosen from the menu: the picture must reach the screen through it all the same.
TEST_F(FirstPictureTest, TheOpenGlRendererChosenFromTheMenu_drawsThroughItsModule) {
  if (!render::OpenGlAvailable()) GTEST_SKIP() << "no OpenGL on this display";
  form_->PlayFileNow(Media("bars.mkv"));
  QAction* gl = nullptr;
  for (QAction* a : form_->findChild<QMenu*>("MMVideoRenderers")->actions())
    if (a->text() == "Video Mixing Renderer 9") gl = a;
  ASSERT_NE(gl, nullptr);
  gl->trigger();
  ASSERT_EQ(form_->Player->VideoRendererName, "Video Mixing Renderer 9");
  auto* surface = form_->findChild<QWidget*>("VideoSurfaceGL");
  ASSERT_NE(surface, nullptr);
  EXPECT_TRUE(surface->isVisible());
  EXPECT_STREQ(surface->metaObject()->className(), "kv::qtsurface::TGlVideoSurfaceWidget");
  form_->MMPauseClick();  // a still picture to read
  const QPoint origin = form_->VideoArea->mapToGlobal(QPoint(0, 0));
  EXPECT_TRUE(BarsShowWithin(origin, 5000, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); }))
      << "no picture through the OpenGL surface";
}

}  // namespace
}  // namespace kv
