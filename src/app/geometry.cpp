#include "app/geometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

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

int ResizeWidth(int nh, int fw, int fh, const Aspect& a, bool haveEngine, int zoomCrop) {
  int64_t h = nh - fh;
  // Undo the crop's share first (h = base + crop * base / 100).
  if (haveEngine && zoomCrop != 0 && 100 + zoomCrop > 0) h = h * 100 / (100 + zoomCrop);
  return static_cast<int>(h * a.Ax() / a.Ay()) + fw;
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

void FitIntoArea(int& width, int& height, int fw, int fh, int areaWidth, int areaHeight) {
  if (width <= areaWidth && height <= areaHeight) return;
  const int clientW = width - fw, clientH = height - fh;
  if (clientW <= 0 || clientH <= 0) return;
  // The widest client that fits both ways; the height then follows from it.
  int64_t w = std::min(clientW, areaWidth - fw);
  if (static_cast<int64_t>(clientH) * w / clientW > areaHeight - fh)
    w = static_cast<int64_t>(areaHeight - fh) * clientW / clientH;
  if (w < 1) w = 1;
  width = static_cast<int>(w) + fw;
  height = static_cast<int>(static_cast<int64_t>(clientH) * w / clientW) + fh;
}

namespace {
int64_t Overlap(const Rect& a, const Rect& b) {
  const int64_t w = std::min<int64_t>(int64_t(a.left) + a.width, int64_t(b.left) + b.width) - std::max(a.left, b.left);
  const int64_t h = std::min<int64_t>(int64_t(a.top) + a.height, int64_t(b.top) + b.height) - std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance between the centres (doubled coordinates, no rounding).
int64_t CentreDistance(const Rect& a, const Rect& b) {
  const int64_t dx = (2 * int64_t(a.left) + a.width) - (2 * int64_t(b.left) + b.width);
  const int64_t dy = (2 * int64_t(a.top) + a.height) - (2 * int64_t(b.top) + b.height);
  return dx * dx + dy * dy;
}
}  // namespace

Rect KeepOnScreen(const Rect& window, const Rect* areas, int count) {
  if (count <= 0 || window.width <= 0 || window.height <= 0) return window;
  const int64_t size = int64_t(window.width) * window.height;
  const Rect* nearest = nullptr;
  int64_t best = std::numeric_limits<int64_t>::max();
  for (int i = 0; i < count; ++i) {
    if (Overlap(window, areas[i]) * 4 >= size * 3) return window;  // visible enough
    const int64_t d = CentreDistance(window, areas[i]);
    if (d < best) {
      best = d;
      nearest = &areas[i];
    }
  }
  Rect r = window;
  FitIntoArea(r.width, r.height, 0, 0, nearest->width, nearest->height);
  r.left = std::clamp(r.left, nearest->left, nearest->left + nearest->width - r.width);
  r.top = std::clamp(r.top, nearest->top, nearest->top + nearest->height - r.height);
  return r;
}

}  // namespace kv::geometry
