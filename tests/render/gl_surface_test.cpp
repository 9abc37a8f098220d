// "Video Mixing Renderer 9" drawing through OpenGL into the OpenGL surface widget, on an
// Xvfb display the test starts itself (Mesa's software OpenGL). Skipped without Xvfb.

#include <QApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "lib/xvfb_server.h"

#include "filters/render/mixing_renderer.h"
#include "filters/render/render_registration.h"
#include "filters/render/renderer_interfaces.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"
#include "qtsurface/gl_video_surface_widget.h"
#include "test_pictures.h"
#include "test_source.h"
#include "filters/render/gl_probe.h"

// After Qt: Xlib's macros clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kv::render {
namespace {

using kv::testing::KBlue;
using kv::testing::KGreen;
using kv::testing::KRed;
using kv::testing::KWhite;
using kv::testing::Near;

QApplication* App() {
  static kv::test::TXvfb xvfb;
  static bool started = xvfb.Start("640x480x24");
  if (!started) return nullptr;
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  static int argc = 1;
  static char name[] = "render_gl_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return &app;
}

template <class I, class From>
ComPtr<I> Query(From* from) {
  ComPtr<I> out;
  from->QueryInterface(I::kIid, out.PutVoid());
  return out;
}

TEST(VideoMixingRenderer9, DrawsYuvThroughOpenGL_withTheSecondPictureKeyed) {
  if (!App()) GTEST_SKIP() << "no Xvfb";
  RegisterRenderFilters(ClassRegistry());
  ComPtr<IBaseFilter> vmr;
  HRESULT created = CoCreateInstance(KClsidVideoMixingRenderer9, &vmr);
  if (!OpenGlAvailable()) {
    EXPECT_EQ(created, CLASS_E_CLASSNOTAVAILABLE);
    GTEST_SKIP() << "no OpenGL on this display";
  }
  ASSERT_EQ(created, S_OK);
  ASSERT_EQ(Query<IVMRFilterConfig9>(vmr.Get())->SetNumberOfStreams(2), S_OK);
  EXPECT_FALSE(Query<IVMRFilterConfig>(vmr.Get()));  // the "9" interfaces only

  qtsurface::TGlVideoSurfaceWidget widget;
  widget.resize(128, 96);
  widget.show();
  QSignalSpy presented(&widget, &qtsurface::TGlVideoSurfaceWidget::framePresented);

  const int w = 64, h = 48;
  ComPtr<testing::TTestSource> video(new testing::TTestSource(testing::VideoType(MEDIASUBTYPE_I420, w, h), w * h * 2));
  ComPtr<testing::TTestSource> page(
      new testing::TTestSource(testing::VideoType(MEDIASUBTYPE_RGB32, w, h, true), w * h * 4));
  ASSERT_EQ(video->ConnectTo(testing::InputPin(vmr.Get(), 0)), S_OK);
  ASSERT_EQ(page->ConnectTo(testing::InputPin(vmr.Get(), 1)), S_OK);
  ComPtr<IVideoWindow> window = Query<IVideoWindow>(vmr.Get());
  // The program registers the surface the module hands it; so does this test.
  const video::TSurfaceHandle handle = video::RegisterSurface(widget.Surface());
  window->put_Owner(static_cast<OAHWND>(handle));
  window->SetWindowPosition(0, 0, 128, 96);
  vmr->SetSyncSource(nullptr);
  video->Pause();
  page->Pause();
  vmr->Run(0);
  video->Run(0);
  page->Run(0);
  COLORREF key = 0;
  Query<IVMRWindowlessControl9>(vmr.Get())->GetColorKey(&key);
  uint32_t keyPixel = video::ColorRefToPixel(key);
  // Page: key colour with an opaque white block in the bottom-right quadrant.
  ASSERT_EQ(page->Deliver(testing::MakePicture(TPixelLayout::RGB32, w, h,
                                               [&](int x, int y) { return x >= 40 && y >= 30 ? KWhite : keyPixel; })),
            S_OK);
  ASSERT_EQ(video->Deliver(testing::MakePicture(TPixelLayout::I420, w, h,
                                                [&](int x, int y) { return testing::QuadrantColor(x, y, w, h); })),
            S_OK);
  ASSERT_TRUE(presented.count() > 0 || presented.wait(5000));
  QImage shot = widget.grabFramebuffer();
  ASSERT_EQ(shot.width(), 128);
  auto at = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFF; };
  EXPECT_TRUE(Near(at(10, 10), KRed, 30)) << std::hex << at(10, 10);     // scaled 2x by the card
  EXPECT_TRUE(Near(at(110, 10), KGreen, 30)) << std::hex << at(110, 10);
  EXPECT_TRUE(Near(at(10, 80), KBlue, 30)) << std::hex << at(10, 80);
  EXPECT_TRUE(Near(at(70, 55), KWhite, 30)) << std::hex << at(70, 55);   // white quadrant, no page
  EXPECT_TRUE(Near(at(110, 85), KWhite, 30)) << std::hex << at(110, 85); // page block over white
  EXPECT_FALSE(Near(at(10, 10), keyPixel, 30));                          // key colour never shows
  vmr->Stop();
  video->Stop();
  page->Stop();
  testing::Unplug(testing::InputPin(vmr.Get(), 0));
  testing::Unplug(testing::InputPin(vmr.Get(), 1));
  video::UnregisterSurface(handle);
}

TEST(OpenGlAnswer, IsKeptOnTheDisplayForThisHostOnly) {
  if (!App()) GTEST_SKIP() << "no Xvfb";
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const Atom property = XInternAtom(display, "_KAVELLO_OPENGL", False);
  XDeleteProperty(display, DefaultRootWindow(display), property);
  EXPECT_EQ(RememberedOpenGl(display), std::nullopt);
  RememberOpenGl(display, true);
  EXPECT_EQ(RememberedOpenGl(display), std::optional<bool>(true));
  RememberOpenGl(display, false);
  EXPECT_EQ(RememberedOpenGl(display), std::optional<bool>(false));
  // Kept by a player on another host (a remote display): its libraries may answer otherwise.
  const char other[] = "elsewhere.example yes";
  XChangeProperty(display, DefaultRootWindow(display), property, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(other), sizeof other - 1);
  EXPECT_EQ(RememberedOpenGl(display), std::nullopt);
  XDeleteProperty(display, DefaultRootWindow(display), property);
  XCloseDisplay(display);
}

}  // namespace
}  // namespace kv::render
