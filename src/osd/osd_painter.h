// Drawing of the OSD elements on a panel's picture with plain 2D calls: fill with the panel
// colour, text (bold, without antialiasing) with an optional outline, filled and outlined
// rectangles. The numbers (font sizes, positions, the bar's steps, the menu rows) come from
// osd_geometry; this file only turns them into pixels.
//
// Threads: user-interface thread (QFont and QPainter on QImage).
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <vector>

namespace kv::osd {

// How everything is drawn, from the layout values and the key colour.
struct TOsdStyle {
  QString FontName = QStringLiteral("Verdana");
  QColor FontColor = QColor(0, 255, 0);
  QColor OutlineColor = QColor(0, 0, 0);
  bool OutlineOn = true;
  QColor PanelColor = QColor(0, 0, 0);
};

// The bold, unantialiased font of `points` points (struck out on request).
QFont MakeOsdFont(const TOsdStyle& style, int points, bool strikeOut = false);

// Text metrics on the picture's device (96 dots per inch).
int TextWidth(const QImage& picture, const QFont& font, const QString& text);
int TextHeight(const QImage& picture, const QFont& font);

// Text with its top-left corner at (x, y): first the four outline copies at distance
// `outline` (when OutlineOn), then the text itself in `color`.
void DrawOutlinedText(QImage& picture, const TOsdStyle& style, const QFont& font, int x, int y,
                      const QString& text, const QColor& color, int outline);

// Each Paint* fills the whole picture with the panel colour and draws one element.
void PaintClock(QImage& picture, const TOsdStyle& style, const QString& text);
void PaintSoundMode(QImage& picture, const TOsdStyle& style, int code, int soundAlignX);
void PaintMessage(QImage& picture, const TOsdStyle& style, const QString& text);
void PaintStatus(QImage& picture, const TOsdStyle& style, const QString& text);
void PaintBar(QImage& picture, const TOsdStyle& style, const QString& label, int value);

// Pixel width of a status text drawn in a panel of height `ph` (its font's size follows
// from the height), measured at 96 dots per inch like the pictures.
int StatusTextWidth(const TOsdStyle& style, int ph, const QString& text);

// One row of the OSD menu as the painter needs it.
struct TOsdMenuRowInfo {
  QString Caption;  // without mnemonic marks
  bool Separator = false;
  bool Enabled = true;
  bool Checked = false;
  bool HasSubmenu = false;
  bool Selected = false;
};

// The menu's title band (title centred at the top).
void PaintMenuTitle(QImage& picture, const TOsdStyle& style, int rowHeight, const QString& title);
// Row `row` (0-based below the title); a null info fills the row with the panel colour.
void PaintMenuRow(QImage& picture, const TOsdStyle& style, int rowHeight, int row,
                  const TOsdMenuRowInfo* info);
// The rectangle of row `row` in the picture.
QRect MenuRowRect(const QImage& picture, int rowHeight, int row);
// The caption as it is drawn: shortened from its end to at most pw - 4r pixels, then
// " " + U+00BB appended for an item with subitems.
QString FitMenuCaption(const QImage& picture, const QFont& font, const QString& caption,
                       int maxWidth, bool hasSubmenu);

}  // namespace kv::osd
