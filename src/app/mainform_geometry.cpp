// The window follows the picture: aspect commands, the re-layout, full screen, always on top
// and cursor hiding. The arithmetic is in geometry.cpp.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "app/geometry.h"
#include "app/mainform.h"
#include "osd/osdunit.h"
#include "qtsurface/video_surface_widget.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_controller.h"

namespace kv {
namespace {

geometry::Aspect CurrentAspect(int pictureWidth, int pictureHeight) {
  geometry::Aspect a;
  a.keep = Options->KeepAspectRatio;
  a.x = Options->AspectRatioX;
  a.y = Options->AspectRatioY;
  a.pictureWidth = pictureWidth;
  a.pictureHeight = pictureHeight;
  return a;
}

std::vector<geometry::Rect> AvailableAreas() {
  std::vector<geometry::Rect> areas;
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect a = screen->availableGeometry();
    areas.push_back(geometry::Rect{a.x(), a.y(), a.width(), a.height()});
  }
  return areas;
}

}  // namespace

QRect TMainForm::KeptOnScreen(const QRect& bounds) const {
  const std::vector<geometry::Rect> areas = AvailableAreas();
  const geometry::Rect r = geometry::KeepOnScreen(geometry::Rect{bounds.x(), bounds.y(), bounds.width(), bounds.height()},
                                                  areas.data(), static_cast<int>(areas.size()));
  return QRect(r.left, r.top, r.width, r.height);
}

// The window is frameless, so the window and its client area are the same size unless a
// window manager adds a frame of its own; that real difference is what counts.
int TMainForm::FrameWidth() const { return frameGeometry().width() - geometry().width(); }
int TMainForm::FrameHeight() const { return frameGeometry().height() - geometry().height(); }

void TMainForm::SetTopmost(bool on) {
  // On the native window: changing the widget's flags would make a new window (a flash, and
  // the renderer's surface would lose its window for a moment).
  if (QWindow* w = windowHandle()) {
    w->setFlag(Qt::WindowStaysOnTopHint, on);
    if (on) w->raise();
  } else {
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
  }
}

void TMainForm::SetAspect(bool keep, int x, int y, int mode) {
  Options->KeepAspectRatio = keep;
  if (keep) {
    Options->AspectRatioX = x;
    Options->AspectRatioY = y;
  }
  Updating = true;
  if (Fullscreen) {
    FullscreenLayout();
  } else if (keep) {
    const int w = frameGeometry().width();
    const int h = geometry::AspectCommandHeight(mode, w, FrameWidth(), FrameHeight(),
                                                CurrentAspect(PictureWidth, PictureHeight));
    if (h > 0) {
      keptHeight_ = h - FrameHeight();
      resize(width(), keptHeight_);
    }
  }
  Updating = false;
  FormResize();
  UpdateAspectMenu();
}

void TMainForm::UpdateAspectMenu() {
  const bool keep = Options->KeepAspectRatio;
  const int x = Options->AspectRatioX, y = Options->AspectRatioY;
  auto check = [this](const char* name, bool on) {
    if (QAction* a = Action(name)) a->setChecked(on);
  };
  check("MMAspectNone", !keep);
  check("MMKeepaspectratio", keep && x == 0 && y == 0);
  check("MMAspect43", keep && x == 4 && y == 3);
  check("MMAspect169", keep && x == 16 && y == 9);
  check("MMAspect2410", keep && x == 24 && y == 10);
}

int TMainForm::FormCanResize(int newWidth) {
  if (Updating || Fullscreen || !Options || !Options->KeepAspectRatio) return -1;
  return geometry::ResizeHeight(newWidth, FrameWidth(), FrameHeight(), CurrentAspect(PictureWidth, PictureHeight),
                                Player != nullptr, Player ? Player->ZoomCrop : 0) - FrameHeight();
}

int TMainForm::FormCanResizeWidth(int newHeight) {
  if (Updating || Fullscreen || !Options || !Options->KeepAspectRatio) return -1;
  return geometry::ResizeWidth(newHeight + FrameHeight(), FrameWidth(), FrameHeight(),
                               CurrentAspect(PictureWidth, PictureHeight), Player != nullptr,
                               Player ? Player->ZoomCrop : 0) - FrameWidth();
}

void TMainForm::AdjustHeightToAspect() {
  if (!Options->KeepAspectRatio || Updating || Fullscreen) return;
  const int h = geometry::ResizeHeight(frameGeometry().width(), FrameWidth(), FrameHeight(),
                                       CurrentAspect(PictureWidth, PictureHeight), Player != nullptr,
                                       Player ? Player->ZoomCrop : 0);
  if (h > FrameHeight()) {
    keptHeight_ = h - FrameHeight();
    resize(width(), keptHeight_);
  }
}

void TMainForm::SizeWindowToPicture() {
  if (Fullscreen) {
    FullscreenLayout();
    return;
  }
  int w = 0, h = 0;
  geometry::OpenSize(CurrentAspect(PictureWidth, PictureHeight), 0, 0, w, h);
  if (w <= 0 || h <= 0) return;
  // A picture larger than the screen that holds the window: the window fits the screen's
  // available area (frame included), the width deciding, the height following.
  QScreen* screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    int fw = w + FrameWidth(), fh = h + FrameHeight();
    geometry::FitIntoArea(fw, fh, FrameWidth(), FrameHeight(), area.width(), area.height());
    w = fw - FrameWidth();
    h = fh - FrameHeight();
  }
  // Grown by a larger picture, the window may now hang off the screen: pull it back.
  const QRect placed = KeptOnScreen(QRect(frameGeometry().topLeft(), QSize(w + FrameWidth(), h + FrameHeight())));
  keptWidth_ = placed.width() - FrameWidth();
  keptHeight_ = placed.height() - FrameHeight();
  if (placed.topLeft() != frameGeometry().topLeft()) move(placed.topLeft());
  resize(placed.width() - FrameWidth(), placed.height() - FrameHeight());
}

void TMainForm::FormResize() {
  if (Updating) return;
  if (OnScreen) OnScreen->HideForResize();
  Updating = true;
  if (!Fullscreen && VideoArea) VideoArea->setGeometry(0, 0, width(), height());
  if (VideoSurface && VideoArea) VideoSurface->setGeometry(0, 0, VideoArea->width(), VideoArea->height());
  if (Subtitles && Options->Transparent) Subtitles->PlaceTransparentStrip();
  if (OnScreen) OnScreen->Relayout();
  if (Player && Player->State != psNone) {
    Player->FitVideoWindow();
    if (Subtitles && Subtitles->SubtitlesOn) Subtitles->Redraw();
    Player->RefreshVideoWindow();
  }
  Updating = false;
  if (!Fullscreen) SendPlacementToPanel();
}

void TMainForm::FullscreenLayout() {
  QScreen* screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
  if (!screen || !VideoArea) return;
  const QRect s = screen->geometry();
  geometry::Rect r = geometry::FullscreenLayout(CurrentAspect(PictureWidth, PictureHeight), s.width(),
                                                s.height(), Player != nullptr, Player ? Player->ZoomCrop : 0);
  VideoArea->setGeometry(r.left, r.top, r.width, r.height);
  if (VideoSurface) VideoSurface->setGeometry(0, 0, r.width, r.height);
  if (Player && Player->State != psNone) Player->FitVideoWindow();
}

void TMainForm::MMFullscreenClick() {
  if (Minimized) {
    showNormal();
    Minimized = false;
  }
  Fullscreen = !Fullscreen;
  if (QAction* a = Action("MMFullscreen")) a->setChecked(Fullscreen);
  if (QAction* a = Action("MMWindow")) a->setChecked(!Fullscreen);
  if (QAction* a = Action("MMBackground")) a->setChecked(false);
  if (Fullscreen) {
    WindowBounds = geometry();
    Updating = true;
    if (OnScreen) OnScreen->HideForResize();
    QScreen* screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
      keptWidth_ = screen->geometry().width();
      keptHeight_ = screen->geometry().height();
      // Ask the window manager for its full-screen state too, so that desktop panels go
      // below the window; the geometry stays the window's own arithmetic.
      setWindowState(windowState() | Qt::WindowFullScreen);
      setGeometry(screen->geometry());
    }
    if (!Options->AlwaysOnTop) {
      PanelCommand(panel::kOnTop, 1, 0);
      SetTopmost(true);
    }
    FullscreenLayout();
    Updating = false;
    CursorHideAllowed = true;
    PanelHasFocus = false;
    IgnoreNextUp = true;
  } else {
    Updating = true;
    if (OnScreen) OnScreen->HideForResize();
    if (CursorHidden) {
      QApplication::restoreOverrideCursor();
      CursorHidden = false;
      CursorCountdown = 20;
    }
    if (!Options->AlwaysOnTop) {
      PanelCommand(panel::kOnTop, 0, 0);
      SetTopmost(false);
    }
    if (Subtitles) Subtitles->HideStrip();
    keptWidth_ = WindowBounds.width();
    keptHeight_ = WindowBounds.height();
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    setGeometry(WindowBounds);
    Updating = false;
    if (Subtitles) Subtitles->ShowStripIfOn();
    FormResize();
    CursorHideAllowed = false;
  }
  LayoutPending = true;
}

void TMainForm::MMWindowClick() {
  if (Fullscreen) MMFullscreenClick();
  else if (QAction* a = Action("MMWindow")) a->setChecked(true);
}

void TMainForm::MMMinimizeClick() {
  if (Fullscreen) MMFullscreenClick();
  showMinimized();
}

void TMainForm::MMAlwaysontopClick() {
  Options->AlwaysOnTop = !Options->AlwaysOnTop;
  if (QAction* a = Action("MMAlwaysontop")) a->setChecked(Options->AlwaysOnTop);
  PanelCommand(panel::kOnTop, Options->AlwaysOnTop ? 1 : 0, 0);
  if (!Fullscreen) {
    SetTopmost(Options->AlwaysOnTop);
  }
}

void TMainForm::TimerGeometry() {
  if (LayoutPending) {
    LayoutPending = false;
    if (Fullscreen) FullscreenLayout();
    else FormResize();
    if (Player && Player->State != psNone) Player->RefreshVideoWindow();
  }
  const bool popupOpen = QApplication::activePopupWidget() != nullptr || QApplication::activeModalWidget() != nullptr;
  if (Options->HideCursor && CursorHideAllowed && Fullscreen && !popupOpen && !PanelHasFocus) {
    if (CursorCountdown > 0) --CursorCountdown;
    if (CursorCountdown == 0 && !CursorHidden) {
      QApplication::setOverrideCursor(Qt::BlankCursor);
      CursorHidden = true;
    }
  }
}

}  // namespace kv
