#include "app/geometry.h"

#include <gtest/gtest.h>

namespace kv::geometry {
namespace {

TEST(Geometry, AspectCommandHeights) {
  Aspect a;
  EXPECT_EQ(AspectCommandHeight(1, 320, 8, 0, a), 234);  // (320 - 8) * 3 div 4
  a.pictureWidth = 720;
  a.pictureHeight = 576;
  EXPECT_EQ(AspectCommandHeight(0, 368, 8, 8, a), 288 + 8);
  EXPECT_EQ(AspectCommandHeight(2, 1024, 0, 0, a), 576);
  EXPECT_EQ(AspectCommandHeight(3, 1200, 0, 0, a), 500);
}

TEST(Geometry, ResizeFollowsThePictureAndTheCrop) {
  Aspect a{true, 0, 0, 720, 576};
  EXPECT_EQ(ResizeHeight(360, 0, 0, a, true, 0), 288);
  Aspect b{true, 4, 3, 720, 576};
  EXPECT_EQ(ResizeHeight(400, 0, 0, b, true, 0), 300);
  EXPECT_EQ(ResizeHeight(400, 0, 0, b, true, 10), 330);
  EXPECT_EQ(ResizeHeight(400, 0, 0, b, false, 10), 300) << "crop applies only with an engine";
  EXPECT_EQ(ResizeHeight(400, 0, 0, b, true, -10), 270);
}

TEST(Geometry, OpenSizeIgnoresCropAndHandEditedPairs) {
  int w = 0, h = 0;
  OpenSize(Aspect{true, 16, 9, 720, 576}, 0, 0, w, h);
  EXPECT_EQ(w, 720);
  EXPECT_EQ(h, 405);
  OpenSize(Aspect{true, 0, 9, 720, 576}, 0, 0, w, h);
  EXPECT_EQ(h, 576) << "one zero counts as the picture's own ratio, never a division by zero";
  OpenSize(Aspect{false, 16, 9, 720, 576}, 0, 0, w, h);
  EXPECT_EQ(h, 576);
}

TEST(Geometry, FullscreenLayouts) {
  Aspect wide{true, 16, 9, 720, 576};
  EXPECT_EQ(FullscreenLayout(wide, 1024, 768, true, 0), (Rect{0, 96, 1024, 576}));
  EXPECT_EQ(FullscreenLayout(wide, 1024, 768, true, 25), (Rect{0, 0, 1024, 768}));
  Aspect tv{true, 4, 3, 720, 576};
  EXPECT_EQ(FullscreenLayout(tv, 1280, 800, true, 0), (Rect{107, 0, 1066, 800}));
  Aspect loose{false, 4, 3, 720, 576};
  EXPECT_EQ(FullscreenLayout(loose, 1280, 800, true, 0), (Rect{0, 0, 1280, 800}));
  // A negative crop on a narrow picture widens it up to the screen.
  EXPECT_EQ(FullscreenLayout(tv, 1280, 800, true, -50), (Rect{0, 160, 1280, 480}));
  EXPECT_EQ(FullscreenLayout(tv, 1280, 800, true, 10), (Rect{160, 0, 960, 800}));
}

TEST(Geometry, ZeroSizedPictureFallsBackInsteadOfDividingByZero) {
  Aspect none{true, 0, 0, 0, 0};
  Rect r = FullscreenLayout(none, 800, 600, false, 0);
  EXPECT_EQ(r, (Rect{0, 0, 800, 600}));
  EXPECT_EQ(AspectCommandHeight(0, 100, 0, 0, none), 0);
}

TEST(Geometry, APictureLargerThanTheScreenGetsAWindowThatFits) {
  int w = 1920, h = 1080;
  FitIntoArea(w, h, 0, 0, 1280, 690);  // a 1280x720 screen less a 30-pixel panel
  EXPECT_EQ(w, 1226) << "the height limits here: the widest window of that height";
  EXPECT_EQ(h, 689);
  EXPECT_LE(h, 690);
  w = 3840, h = 1600;  // wide: the width limits
  FitIntoArea(w, h, 8, 30, 1280, 720);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, (1280 - 8) * 1570 / 3832 + 30);
  w = 720, h = 576;
  FitIntoArea(w, h, 0, 0, 1280, 720);
  EXPECT_EQ(w, 720) << "a window that fits stays as it is";
  EXPECT_EQ(h, 576);
}

TEST(Geometry, APlacementOffEveryScreenComesBackInsideTheNearest) {
  const Rect screens[] = {{0, 0, 1280, 690}, {1280, 0, 1920, 1050}};
  // Left by a 1920x1080 window centred on the small screen, then used by a 720x576 picture.
  EXPECT_EQ(KeepOnScreen(Rect{-320, -180, 720, 576}, screens, 2), (Rect{0, 0, 720, 576}));
  // Saved on a monitor that is gone.
  EXPECT_EQ(KeepOnScreen(Rect{5000, 200, 640, 360}, screens, 2), (Rect{2560, 200, 640, 360}));
  // Larger than any screen and outside: sized down into the nearest.
  EXPECT_EQ(KeepOnScreen(Rect{-3000, 0, 1920, 1080}, screens, 2), (Rect{0, 0, 1226, 689}));
  // Three quarters visible is enough: the user's own placement is kept.
  EXPECT_EQ(KeepOnScreen(Rect{-100, 10, 400, 300}, screens, 2), (Rect{-100, 10, 400, 300}));
  // Across two screens, mostly on the second.
  EXPECT_EQ(KeepOnScreen(Rect{1200, 100, 640, 360}, screens, 2), (Rect{1200, 100, 640, 360}));
  EXPECT_EQ(KeepOnScreen(Rect{-300, 10, 400, 300}, screens, 0), (Rect{-300, 10, 400, 300}));
}

}  // namespace
}  // namespace kv::geometry
