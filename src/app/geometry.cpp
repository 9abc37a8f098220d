#include "app/geometry.h"

namespace kv::geometry {

int Aspect::Ax() const {
  int ax = x != 0 ? x : pictureWidth;
  return ax > 0 ? ax : 4;
}

int Aspect::Ay() const {
  int ay = y != 0 ? y : pictureHeight;
  return ay > 0 ? ay : 3;
}

int AspectCommandHeight(int mode, int w, int fw, int fh, const Aspect& a) {
  const int client = w - fw;
  switch (mode) {
    case 0: {
      int pw = a.pictureWidth > 0 ? a.pictureWidth : 4;
      return client * a.pictureHeight / pw + fh;
    }
    case 1: return client * 3 / 4 + fh;
    case 2: return client * 9 / 16 + fh;
    case 3: return client * 10 / 24 + fh;
    default: return -1;
  }
}

int ResizeHeight(int nw, int fw, int fh, const Aspect& a, bool haveEngine, int zoomCrop) {
  int h = (nw - fw) * a.Ay() / a.Ax();
  if (haveEngine) h = h + zoomCrop * h / 100;
  return h + fh;
}

void OpenSize(const Aspect& a, int fw, int fh, int& width, int& height) {
  width = a.pictureWidth + fw;
  // A pair with exactly one zero (only possible by hand-editing) counts as the picture's own.
  if (!a.keep || a.x == 0 || a.y == 0)
    height = a.pictureHeight + fh;
  else
    height = a.y * a.pictureWidth / a.x + fh;
}

Rect FullscreenLayout(const Aspect& a, int sw, int sh, bool haveEngine, int zoomCrop) {
  if (!a.keep) return Rect{0, 0, sw, sh};
  const int ax = a.Ax(), ay = a.Ay();
  int w = 0, h = 0;
  if (static_cast<double>(ax) / ay > static_cast<double>(sw) / sh) {
    w = sw;
    h = sw * ay / ax;
    if (haveEngine) {
      if (zoomCrop > 0) {
        h = h * 100 / (100 - zoomCrop);
        if (h > sh) {
          w = sw * sh / h;
          h = sh;
        }
      }
      if (zoomCrop < 0) h = h + zoomCrop * h / 100;
    }
  } else {
    h = sh;
    w = sh * ax / ay;
    if (haveEngine) {
      if (zoomCrop < 0) {
        w = w * 100 / (zoomCrop + 100);
        if (w > sw) {
          h = sh * sw / w;
          w = sw;
        }
      }
      if (zoomCrop > 0) w = w - zoomCrop * w / 100;
    }
  }
  return Rect{(sw - w) / 2, (sh - h) / 2, w, h};
}

}  // namespace kv::geometry
