// The shared-memory video window keeps one image: a reader or a redraw that comes while a
// frame is being written must never see or show half of it. On a private Xvfb (skipped
// without one); what is on screen is read back with XGetImage.
#include <gtest/gtest.h>
// After gtest: Xlib defines macros (None, Bool) that gtest's own names collide with.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "lib/xvfb_server.h"
#include "platform/video/x11_shm_window.h"

namespace {

using kv::video::TFrameTarget;
using kv::video::TX11ShmWindow;

constexpr int kW = 64, kH = 48;

bool HaveDisplay() {
  static kv::test::TXvfb xvfb;
  static bool started = xvfb.Start("320x240x24");
  return started;
}

void Fill(const TFrameTarget& t, uint32_t rgb, int rows) {
  for (int y = 0; y < rows; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(t.Pixels + static_cast<size_t>(y) * t.Stride);
    for (int x = 0; x < t.Width; ++x) row[x] = rgb;
  }
}

uint32_t OnScreen(::Display* d, Window w, int x, int y) {
  XSync(d, False);
  XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
  uint32_t pixel = image ? static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF : 0xDEAD;
  if (image) XDestroyImage(image);
  return pixel;
}

// The window puts its images on a connection of its own: the server may answer this test's
// read before it has done that put, so a picture that should appear is waited for (bounded).
uint32_t OnScreenSoon(::Display* d, Window w, int x, int y, uint32_t expected) {
  uint32_t pixel = OnScreen(d, w, x, y);
  for (int i = 0; i < 200 && pixel != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    pixel = OnScreen(d, w, x, y);
  }
  return pixel;
}

TEST(ShmWindow, AReaderDuringAWriteGetsTheWholeNewFrame_andARedrawThenShowsItWhole) {
  if (!HaveDisplay()) GTEST_SKIP() << "no Xvfb";
  ::Display* d = XOpenDisplay(nullptr);
  ASSERT_TRUE(d);
  Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, kW, kH, 0, 0, 0);
  XMapWindow(d, parent);
  XSync(d, False);
  auto window = TX11ShmWindow::Create(nullptr, parent);
  ASSERT_TRUE(window) << "no MIT-SHM on the test server";
  window->SetGeometry(0, 0, kW, kH);
  window->SetMapped(true);

  TFrameTarget t;
  ASSERT_TRUE(window->BeginFrame(kW, kH, &t));
  Fill(t, 0x0000FF, kH);
  window->EndFrame(true);
  EXPECT_EQ(OnScreenSoon(d, window->WindowId(), kW / 2, kH - 1, 0x0000FF), 0x0000FFu);

  // Half of a red frame written; a reader and a redraw arrive meanwhile.
  ASSERT_TRUE(window->BeginFrame(kW, kH, &t));
  Fill(t, 0xFF0000, kH / 2);
  auto read = std::async(std::launch::async, [&] {
    uint32_t top = 0, bottom = 0;
    bool ok = window->ReadCurrent([&](const TFrameTarget& c) {
      top = reinterpret_cast<const uint32_t*>(c.Pixels)[0] & 0xFFFFFF;
      bottom = reinterpret_cast<const uint32_t*>(c.Pixels + static_cast<size_t>(kH - 1) * c.Stride)[0] & 0xFFFFFF;
    });
    return std::make_tuple(ok, top, bottom);
  });
  window->Redraw();
  EXPECT_EQ(read.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout) << "read a half-written frame";
  EXPECT_EQ(OnScreen(d, window->WindowId(), kW / 2, 0), 0x0000FFu) << "a half-written frame was put";
  Fill(t, 0xFF0000, kH);
  window->EndFrame(false);  // not to be shown, but the redraw asked for meanwhile puts it

  auto [ok, top, bottom] = read.get();
  EXPECT_TRUE(ok);
  EXPECT_EQ(top, 0xFF0000u);
  EXPECT_EQ(bottom, 0xFF0000u);
  EXPECT_EQ(OnScreenSoon(d, window->WindowId(), kW / 2, kH - 1, 0xFF0000), 0xFF0000u);

  window.reset();
  XDestroyWindow(d, parent);
  XCloseDisplay(d);
}

}  // namespace
