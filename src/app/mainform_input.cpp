// Keys (application-wide), the mouse on the picture, and dropped files.
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QMouseEvent>
#include <QWindow>

#include <cstdio>

#include "app/keytable.h"
#include "app/mainform.h"
#include "qtsurface/video_surface_widget.h"
#include "osd/osdunit.h"
#include "settings/optunit.h"

namespace kv {
namespace {

int VirtualKeyOf(const QKeyEvent* e) {
  const bool keypad = e->modifiers() & Qt::KeypadModifier;
  switch (e->key()) {
    case Qt::Key_Control: return keys::kControl;
    case Qt::Key_Left: return keys::kLeft;
    case Qt::Key_Up: return keys::kUp;
    case Qt::Key_Right: return keys::kRight;
    case Qt::Key_Down: return keys::kDown;
    case Qt::Key_Plus: return keypad ? keys::kAdd : 0;
    case Qt::Key_Minus: return keypad ? keys::kSubtract : 0;
    default: return 0;
  }
}

// The character a key press produces, with Control+letter as its control code.
int CharacterOf(const QKeyEvent* e) {
  if ((e->modifiers() & Qt::ControlModifier) && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
    return e->key() - Qt::Key_A + 1;
  const QString text = e->text();
  if (text.size() != 1) return -1;
  const char16_t c = text.at(0).unicode();
  return c < 128 ? static_cast<int>(c) : -1;
}

// A widget that takes typed text: keys are its own, never the key table's.
bool TakesText(const QWidget* w) {
  if (!w) return false;
  if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w)) return true;
  if (auto* t = qobject_cast<const QTextEdit*>(w)) return !t->isReadOnly();
  if (auto* t = qobject_cast<const QPlainTextEdit*>(w)) return !t->isReadOnly();
  if (auto* c = qobject_cast<const QComboBox*>(w)) return c->isEditable();
  return w->testAttribute(Qt::WA_InputMethodEnabled);
}

QString ZoomText(double factor) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Zoom %.2fx", factor);
  return QString::fromLatin1(buf);
}

}  // namespace

bool TMainForm::HandleKeyDown(int vk) {
  if (vk == keys::kControl) {
    CtrlDown = true;
    return false;
  }
  const int direction = keys::ArrowDirection(vk);
  if (direction >= 0) {
    if (!CtrlDown && !ZoomMode) {
      if (OnScreen) OnScreen->HandleKey(direction);
    } else if (Player) {
      int x = Player->ZoomX, y = Player->ZoomY;
      const int step = Options->ZoomPosStep;
      if (vk == keys::kUp) y -= step;
      if (vk == keys::kDown) y += step;
      if (vk == keys::kLeft) x -= step;
      if (vk == keys::kRight) x += step;
      Player->SetZoomPosition(x, y);
      ShowOsdText(QStringLiteral("Zoom position %1,%2").arg(Player->ZoomX).arg(Player->ZoomY));
    }
    return true;
  }
  if ((vk == keys::kAdd || vk == keys::kSubtract) && CtrlDown) {
    if (Player) {
      Player->SetZoom(Player->ZoomFactor + (vk == keys::kAdd ? Options->ZoomStep : -Options->ZoomStep));
      ShowOsdText(ZoomText(Player->ZoomFactor));
    }
    return true;
  }
  return false;
}

bool TMainForm::HandleKeyUp(int vk) {
  if (vk == keys::kControl) {
    CtrlDown = false;
    return false;
  }
  return keys::ArrowDirection(vk) >= 0 || vk == keys::kAdd || vk == keys::kSubtract;
}

bool TMainForm::HandleChar(int code, uint32_t timestamp) {
  // The same message seen twice (same code and time stamp) acts once. A message without a
  // time stamp (made by the program, not the window system) is always a new one; the event
  // filter already keeps one message from acting again while it climbs to the parents.
  const bool duplicate = timestamp != 0 && lastCharSeen_ && static_cast<uint32_t>(code) == lastCharCode_ &&
                         timestamp == lastCharTime_;
  lastCharSeen_ = true;
  lastCharCode_ = static_cast<uint32_t>(code);
  lastCharTime_ = timestamp;
  if (duplicate) return false;
  // Each row says whether it ran: a character is marked handled only then, so that a
  // character nothing here uses passes on to the window that has the focus.
  const bool haveGraph = Player && Player->Graph;
  switch (keys::ClassifyChar(code)) {
    case keys::CharCommand::None: return false;
    case keys::CharCommand::Mute:
      if (!haveGraph) return false;
      Muted = !Muted;
      Player->SetMute(Muted);
      if (OnScreen) OnScreen->ShowSoundMode(Muted ? -1 : -2);
      return true;
    case keys::CharCommand::Fullscreen: MMFullscreenClick(); return true;
    case keys::CharCommand::AlwaysOnTop: MMAlwaysontopClick(); return true;
    case keys::CharCommand::AspectOriginal: SetAspect(true, 0, 0, 0); return true;
    case keys::CharCommand::Aspect43: SetAspect(true, 4, 3, 1); return true;
    case keys::CharCommand::AspectNone: SetAspect(false, 0, 0, -1); return true;
    case keys::CharCommand::OsdMenu:
      if (!OnScreen) return false;
      OnScreen->HandleKey(TOSD::KeyMenu);
      return true;
    case keys::CharCommand::Clock:
      ClockShown = !ClockShown;
      if (OnScreen) OnScreen->ShowTime(ClockShown ? 1 : 0);
      return true;
    case keys::CharCommand::SaveOrCapture:
      if (Player && Player->TeletextShown) {
        SaveTeletext(false);
        return true;
      }
      return CaptureKey();
    case keys::CharCommand::SaveAllPages:
    case keys::CharCommand::Teletext:
    case keys::CharCommand::TeletextTransparent:
    case keys::CharCommand::Digit:
      return TeletextKey(code);  // acts only while a teletext decoder runs
    case keys::CharCommand::Status:
      if (!OnScreen) return false;
      if (Muted) OnScreen->ShowSoundMode(-1);
      OnScreen->ShowTime(2);
      OnScreen->ShowStatus(QString::fromStdString(StatusText()));
      return true;
    case keys::CharCommand::Pause: MMPauseClick(); return true;
    case keys::CharCommand::ZoomOff:
      if (!Player) return false;
      Player->SetZoom(1.0);
      ShowOsdText(QStringLiteral("Zoom off"));
      ZoomMode = false;
      return true;
    case keys::CharCommand::CropOff:
      if (!Player) return false;
      Player->SetZoomCrop(0);
      ShowOsdText(QStringLiteral("Crop off"));
      CropMode = false;
      if (Fullscreen) FullscreenLayout();
      return true;
    case keys::CharCommand::ZoomMode:
      ZoomMode = !ZoomMode;
      CropMode = false;
      ShowOsdText(ZoomMode ? QStringLiteral("Zoom mode ON") : QStringLiteral("Zoom mode OFF"));
      return true;
    case keys::CharCommand::CropMode:
      ZoomMode = false;
      CropMode = !CropMode;
      ShowOsdText(CropMode ? QStringLiteral("Crop mode ON") : QStringLiteral("Crop mode OFF"));
      return true;
    case keys::CharCommand::Plus:
    case keys::CharCommand::Minus: {
      const bool plus = keys::ClassifyChar(code) == keys::CharCommand::Plus;
      if (!Player) return false;
      const bool paged = TeletextPaging(plus);
      if (ZoomMode) {
        Player->SetZoom(Player->ZoomFactor + (plus ? Options->ZoomStep : -Options->ZoomStep));
        ShowOsdText(ZoomText(Player->ZoomFactor));
        return true;
      }
      if (CropMode) {
        Player->SetZoomCrop(Player->ZoomCrop + (plus ? Options->ZoomCropStep : -Options->ZoomCropStep));
        if (Fullscreen) FullscreenLayout();
        else AdjustHeightToAspect();
        FormResize();
        ShowOsdText(QStringLiteral("Crop %1%").arg(Player->ZoomCrop));
        return true;
      }
      return paged;
    }
  }
  return false;
}

bool TMainForm::CaptureKey() {
  if (!Player || !Player->Graph) return false;
  // With capture switched off no grabber is linked; the key still answers, with the reason.
  if (!Options->CaptureEnabled) {
    if (OnScreen) OnScreen->ShowStatus(QStringLiteral("Frame capture disabled"));
    return true;
  }
  if (!Player->GrabberConnected) return false;
  CaptureFrame();
  return true;
}

bool TMainForm::IsKeyWindow(const QWidget* w) const {
  if (w == this) return true;
  // The control panel: a tool window the main window owns (never one of the dialogs).
  return w && w->isWindow() && w->parentWidget() == this && w->windowType() == Qt::Tool &&
         !qobject_cast<const QDialog*>(w);
}

bool TMainForm::KeyTableApplies(QObject* watched, QEvent* event) {
  if (!isVisible() || QApplication::activePopupWidget()) return false;
  // Only while the main window (or its control panel) is the active window: the program's
  // dialogs keep their keys.
  QWidget* active = QApplication::activeWindow();
  if (!IsKeyWindow(active)) return false;
  // (A tool window leaves the main window the active one: the event's own window counts.)
  if (!watched->isWidgetType() || !IsKeyWindow(static_cast<QWidget*>(watched)->window())) return false;
  if (TakesText(QApplication::focusWidget())) return false;
  // The same key event travels from the focus widget up to its parents: it is one message.
  if (event == lastKeyEvent_ && lastKeyReceiver_ && watched != lastKeyReceiver_ &&
      static_cast<QWidget*>(watched)->isAncestorOf(lastKeyReceiver_))
    return false;
  lastKeyEvent_ = event;
  lastKeyReceiver_ = static_cast<QWidget*>(watched);
  return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // Characters of the key table act from every window, once: they must not also fire
      // as menu shortcuts.
      lastKeyEvent_ = nullptr;  // a new key message starts here
      if (!isVisible() || !IsKeyWindow(QApplication::activeWindow()) || TakesText(QApplication::focusWidget()))
        return false;
      auto* key = static_cast<QKeyEvent*>(event);
      const int code = CharacterOf(key);
      if (code >= 0 && keys::ClassifyChar(code) != keys::CharCommand::None) event->accept();
      return false;
    }
    case QEvent::KeyPress: {
      if (!KeyTableApplies(watched, event)) return false;
      auto* key = static_cast<QKeyEvent*>(event);
      const int vk = VirtualKeyOf(key);
      if (vk && HandleKeyDown(vk)) return true;
      if (vk == keys::kControl) return false;
      const int code = CharacterOf(key);
      if (code >= 0 && HandleChar(code, static_cast<uint32_t>(key->timestamp()))) return true;
      return false;
    }
    case QEvent::KeyRelease: {
      lastKeyEvent_ = nullptr;
      if (!isVisible() || !IsKeyWindow(QApplication::activeWindow()) || TakesText(QApplication::focusWidget()))
        return false;
      auto* key = static_cast<QKeyEvent*>(event);
      const int vk = VirtualKeyOf(key);
      return vk && HandleKeyUp(vk);
    }
    default: break;
  }
  // The form itself only for its own area (the black bars): a mouse event that a child let
  // pass climbs to the form and must not act twice.
  const bool onBars = watched == this && (event->type() == QEvent::MouseButtonPress ||
                                          event->type() == QEvent::MouseMove ||
                                          event->type() == QEvent::MouseButtonRelease ||
                                          event->type() == QEvent::MouseButtonDblClick) &&
                      !childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
  if (watched == VideoArea || watched == static_cast<QObject*>(VideoSurface) || onBars) {
    // (either surface: only the one in use is shown)
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        VideoAreaMouseDown(static_cast<QMouseEvent*>(event)->button());
        return false;
      case QEvent::MouseMove:
        VideoAreaMouseMove(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return false;
      case QEvent::MouseButtonRelease:
        VideoAreaMouseUp(static_cast<QMouseEvent*>(event)->button());
        return false;
      case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) VideoAreaDblClick();
        return true;
      default: break;
    }
  }
  return false;
}

void TMainForm::VideoAreaMouseDown(Qt::MouseButton button) {
  if (Updating) return;
  if (button == Qt::RightButton || button == Qt::MiddleButton) CursorHideAllowed = false;
  if (button == Qt::LeftButton && !Fullscreen && windowHandle()) windowHandle()->startSystemMove();
  if (CursorHidden) {
    QApplication::restoreOverrideCursor();
    CursorHidden = false;
  }
  CursorCountdown = 20;
}

void TMainForm::VideoAreaMouseMove(const QPoint& pos) {
  if (pos == lastMouse_) return;
  lastMouse_ = pos;
  if (Fullscreen && Options->HideCursor && !Updating) {
    if (CursorHidden) {
      QApplication::restoreOverrideCursor();
      CursorHidden = false;
    }
    CursorCountdown = 20;
  }
}

void TMainForm::VideoAreaMouseUp(Qt::MouseButton button) {
  CursorHideAllowed = true;
  if (IgnoreNextUp) {
    IgnoreNextUp = false;
    return;
  }
  if (button == Qt::LeftButton && Fullscreen) {
    if (PanelHasFocus) {
      activateWindow();
      PanelHasFocus = false;
    } else if (PanelLibrary.Loaded()) {
      PanelLibrary.SetPanelFocus();
      PanelHasFocus = true;
    }
  }
}

void TMainForm::VideoAreaDblClick() { MMFullscreenClick(); }

void TMainForm::FilesDropped(const QStringList& files) {
  if (files.isEmpty()) return;
  PlayFileNow(files.first().toStdString());
  MMPlayClick();
}

}  // namespace kv
