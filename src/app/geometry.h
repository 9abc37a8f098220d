// The arithmetic of the video window: how the window's height follows the picture's aspect,
// how the crop value enters it, and where the picture sits in full screen. Integer arithmetic
// with division truncating toward zero, as the window has always done; only the full-screen
// comparison of ratios is floating point. Pure logic, no Qt.
#pragma once

namespace kv::geometry {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct Aspect {
  bool keep = true;
  int x = 0, y = 0;                        // forced ratio; 0, 0 = the picture's own
  int pictureWidth = 4, pictureHeight = 3;  // the picture's display size

  // The effective ratio, each 0 replaced by the picture's value. A hand-edited pair with one
  // zero and a picture of zero size never yields a zero divisor: it falls back to 4:3.
  int Ax() const;
  int Ay() const;
};

// Window height for an aspect command at window width w (frame overhead fw, fh).
// mode: 0 "Original", 1 "4:3 (TV)", 2 "16:9 (DVD)", 3 "24:10 (Cinema)".
int AspectCommandHeight(int mode, int w, int fw, int fh, const Aspect& a);

// New window height while the user drags the frame to width nw; crop applies with an engine.
int ResizeHeight(int nw, int fw, int fh, const Aspect& a, bool haveEngine, int zoomCrop);

// New window width when only the height was changed from outside to nh: the inverse of
// ResizeHeight (the width follows the picture).
int ResizeWidth(int nh, int fw, int fh, const Aspect& a, bool haveEngine, int zoomCrop);

// Window size when a title opens with preview (crop not applied).
void OpenSize(const Aspect& a, int fw, int fh, int& width, int& height);

// The video area inside a full-screen window of sw x sh.
Rect FullscreenLayout(const Aspect& a, int sw, int sh, bool haveEngine, int zoomCrop);

// A window (frame included) of width x height that does not fit into an available area of
// areaWidth x areaHeight is made smaller with the aspect arithmetic of the window: the width
// decides (the largest that fits both ways) and the height follows the picture. fw, fh: the
// frame's overhead. A window that fits is left as it is.
void FitIntoArea(int& width, int& height, int fw, int fh, int areaWidth, int areaHeight);

// Where a window placed at `window` goes when it is less than three quarters visible on every
// one of `areas` (the screens' available areas): inside the area nearest to it, sized down
// there when it is larger (FitIntoArea, no frame). A window visible enough stays put. No
// areas: unchanged.
Rect KeepOnScreen(const Rect& window, const Rect* areas, int count);

}  // namespace kv::geometry
