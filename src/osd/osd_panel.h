// One OSD panel: a borderless child widget of the owner window holding one picture that is
// redrawn in full (or by rows, for the menu) and shown as it is.
//
// Transparency: when a key colour is set, every pixel of the picture that has exactly that
// colour is turned fully transparent before it reaches the screen, so whatever the owner
// draws beneath (the video) shows through and only letters, outlines and bar steps stay.
// Text is drawn without antialiasing, so no blended fringe pixels sit between the letters
// and the key colour. The panel never paints a background of its own and Qt's backing store
// composes it over its siblings, so a moving picture beneath updates without flicker.
// Mouse events pass through to the widget beneath, so clicking an OSD element acts like
// clicking the video.
//
// Threads: user-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>

#include <optional>

#include "osd/osd_geometry.h"

namespace kv::osd {

class TOsdPanel final : public QWidget {
 public:
  explicit TOsdPanel(QWidget* owner, const char* name);

  // Moves and sizes the panel; the picture always takes the panel's size.
  void SetBounds(const TOsdRect& rect);
  // The picture to draw on (96 dots per inch, so point sizes give the usual pixel sizes).
  QImage& Picture() { return picture_; }
  // Makes `rect` of the picture (all of it when null) visible: applies the key and asks
  // for a repaint of just that part.
  void Commit(const QRect& rect = QRect());
  // The colour that becomes transparent, or none for an opaque panel.
  void SetTransparentKey(std::optional<QRgb> key);

  // Shows the panel above its siblings (the video) or hides it.
  void ShowOnTop();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  std::optional<QRgb> key_;
};

// 0x00BBGGRR to QColor.
QColor ToQColor(TColorRef c);

}  // namespace kv::osd
