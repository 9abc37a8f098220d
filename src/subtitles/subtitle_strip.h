// TSubtitleStrip: the subtitle strip over the video, `SubPanel` with the paint box `SubT`.
//
// What it is: `SubPanel` is a borderless child widget of the main window with no background
// of its own; `SubT` fills it and holds one picture that is redrawn in full for every change
// of text (osd::TOsdPanel, the OSD's panel). In the transparent mode the picture is filled
// with the video renderer's key colour and those pixels are made transparent before they
// reach the screen, so Qt composes only the letters (and the black rows below the picture,
// with BlackBorder) over the moving video; letters are then drawn without antialiasing so
// that no blended fringe pixels remain. In the opaque mode the picture is a black box and
// letters are antialiased. Mouse events pass through to the video beneath.
//
// The strip only paints what it is told: the arithmetic (sizes, positions, styles) lives in
// subtitle_layout.h and the sequence in TSubtitleController::DrawSubtitle.
// Ownership: the controller owns the strip; the widgets are children of the owner window
// (deleted by the strip, or by Qt when the window goes first).
// Threads: user-interface thread only.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>

#include "osd/osd_panel.h"
#include "subtitles/subtitle_layout.h"

namespace kv {

// 0x00BBGGRR to an opaque QRgb.
QRgb SubtitleColour(std::int32_t colorRef);

class TSubtitleStrip {
 public:
  explicit TSubtitleStrip(QWidget* owner);
  ~TSubtitleStrip();
  TSubtitleStrip(const TSubtitleStrip&) = delete;
  TSubtitleStrip& operator=(const TSubtitleStrip&) = delete;

  QWidget* SubPanel() const { return panel_; }
  osd::TOsdPanel* SubT() const { return paintBox_; }

  // Moves and sizes `SubPanel` (owner coordinates); `SubT` and its picture follow.
  void SetBounds(const TStripRect& rect);
  TStripRect Bounds() const;

  // The font for the next lines: family and point size (at least 1). Bold and italic stay as
  // the last line left them until SetLineStyle. `antialiased` off for the transparent mode.
  void SetFont(const std::string& family, int points, bool antialiased);
  void SetLineStyle(bool bold, bool italic);
  // Width in pixels of `line` in the font as it stands.
  int LineWidth(const QString& line) const;

  // Fills picture rows [top, bottom) with `colour` (all columns).
  void FillRows(int top, int bottom, QRgb colour);
  // Draws `line` with its top-left at (x, y): first in `outlineColour` shifted by `outline`
  // pixels up, down, left and right when `outline` > 0, then in `colour`.
  void DrawLine(int x, int y, const QString& line, QRgb colour, int outline, QRgb outlineColour);
  // Makes the picture visible: pixels of rows [0, keyRows) that have exactly `key` become
  // transparent (none when no key).
  void Present(std::optional<QRgb> key, int keyRows);

  // Shows the strip above its siblings (the video) or hides it. Visible: shown (and not
  // hidden since), whether or not the window itself is on screen.
  void Show();
  void Hide();
  bool Visible() const;

  // The picture last presented (tests probe it).
  const QImage& Picture() const;

 private:
  QPointer<QWidget> panel_;
  QPointer<osd::TOsdPanel> paintBox_;
  QFont font_;
  QImage empty_;
};

}  // namespace kv
