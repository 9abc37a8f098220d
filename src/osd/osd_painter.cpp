#include "osd/osd_painter.h"

#include <QFontMetrics>
#include <QPainter>

#include "osd/osd_geometry.h"

namespace kv::osd {
namespace {

void Fill(QImage& picture, const QColor& color, const QRect& rect) {
  QPainter p(&picture);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(rect, color);
}

void FillAll(QImage& picture, const TOsdStyle& style) {
  if (!picture.isNull()) Fill(picture, style.PanelColor, picture.rect());
}

}  // namespace

QFont MakeOsdFont(const TOsdStyle& style, int points, bool strikeOut) {
  QFont font(style.FontName);
  font.setBold(true);
  font.setPointSize(std::max(points, 1));
  font.setStrikeOut(strikeOut);
  // Exact colours only: blended edge pixels would neither match the key nor the letters.
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

int TextWidth(const QImage& picture, const QFont& font, const QString& text) {
  return QFontMetrics(font, &picture).horizontalAdvance(text);
}

int TextHeight(const QImage& picture, const QFont& font) {
  return QFontMetrics(font, &picture).height();
}

void DrawOutlinedText(QImage& picture, const TOsdStyle& style, const QFont& font, int x, int y,
                      const QString& text, const QColor& color, int outline) {
  if (picture.isNull() || text.isEmpty()) return;
  QPainter p(&picture);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  p.setFont(font);
  const int baseline = QFontMetrics(font, &picture).ascent();
  if (style.OutlineOn && outline > 0) {
    p.setPen(style.OutlineColor);
    p.drawText(x, y - outline + baseline, text);
    p.drawText(x, y + outline + baseline, text);
    p.drawText(x - outline, y + baseline, text);
    p.drawText(x + outline, y + baseline, text);
  }
  p.setPen(color);
  p.drawText(x, y + baseline, text);
}

void PaintClock(QImage& picture, const TOsdStyle& style, const QString& text) {
  FillAll(picture, style);
  if (picture.isNull()) return;
  const int points = ClockFontSize(picture.height());
  if (points <= 0) return;
  const QFont font = MakeOsdFont(style, points);
  const int tw = TextWidth(picture, font, text);
  const int th = TextHeight(picture, font);
  DrawOutlinedText(picture, style, font, (picture.width() - tw) / 2,
                   (picture.height() - th) / 2 - 1, text, style.FontColor, OutlineOffset(points));
}

void PaintSoundMode(QImage& picture, const TOsdStyle& style, int code, int soundAlignX) {
  FillAll(picture, style);
  const QString word = QString::fromLatin1(SoundModeWord(code).c_str());
  if (picture.isNull() || word.isEmpty()) return;  // an unknown code leaves an empty box
  const int points = ClockFontSize(picture.height());
  if (points <= 0) return;
  const QFont font = MakeOsdFont(style, points);
  const int d = OutlineOffset(points);
  const int tw = TextWidth(picture, font, word);
  const int th = TextHeight(picture, font);
  DrawOutlinedText(picture, style, font, SoundModeTextX(soundAlignX, picture.width(), tw, d),
                   (picture.height() - th) / 2, word, style.FontColor, d);
}

void PaintMessage(QImage& picture, const TOsdStyle& style, const QString& text) {
  PaintClock(picture, style, text);  // same font rule and centring as the clock
}

int StatusTextWidth(const TOsdStyle& style, int ph, const QString& text) {
  const int points = BarFontSize(ph);
  if (points <= 0) return 0;
  static const QImage kDevice = [] {
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    return image;
  }();
  return TextWidth(kDevice, MakeOsdFont(style, points), text);
}

void PaintStatus(QImage& picture, const TOsdStyle& style, const QString& text) {
  FillAll(picture, style);
  if (picture.isNull()) return;
  const int points = BarFontSize(picture.height());
  if (points <= 0) return;
  const QFont font = MakeOsdFont(style, points);
  const int d = OutlineOffset(points);
  const int th = TextHeight(picture, font);
  // The outline copies sit at x = 0 and 2d around the text at x = d.
  DrawOutlinedText(picture, style, font, d, (picture.height() - th) / 2, text, style.FontColor, d);
}

void PaintBar(QImage& picture, const TOsdStyle& style, const QString& label, int value) {
  FillAll(picture, style);
  if (picture.isNull()) return;
  const int ph = picture.height();
  const int points = BarFontSize(ph);
  const int d = OutlineOffset(points);
  if (points > 0) {
    const QFont font = MakeOsdFont(style, points);
    const int th = TextHeight(picture, font);
    DrawOutlinedText(picture, style, font, d, (ph - th) / 2 - 1, label, style.FontColor, d);
  }
  const QColor dim = QColor::fromRgb(
      static_cast<QRgb>(DimColor(style.FontColor.rgb() & 0xFFFFFF)));  // QRgb halves the same way
  QPainter p(&picture);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (const TBarStep& step : BarSteps(picture.width(), ph)) {
    const QColor color = step.Index <= value ? style.FontColor : dim;
    if (step.IsLine()) {
      p.setPen(color);
      p.drawLine(step.Left, step.Top, step.Left, step.Bottom);
      continue;
    }
    if (style.OutlineOn) {
      p.setPen(QPen(style.OutlineColor, 1));
      p.setBrush(Qt::NoBrush);
      // Ring k covers columns Left-k .. Right-1+k and rows Top-k .. Bottom-1+k, hugging the
      // fill (Left .. Right-1). A 1-pixel pen outlines one pixel past a QRect's right and
      // bottom edge, hence the corner one less: no unpainted seam between fill and outline.
      for (int k = 1; k <= d; ++k) {
        p.drawRect(QRect(QPoint(step.Left - k, step.Top - k),
                         QPoint(step.Right + k - 2, step.Bottom + k - 2)));
      }
    }
    p.fillRect(QRect(QPoint(step.Left, step.Top), QPoint(step.Right - 1, step.Bottom - 1)), color);
  }
}

QRect MenuRowRect(const QImage& picture, int rowHeight, int row) {
  return QRect(0, MenuRowTop(rowHeight, row), picture.width(), rowHeight);
}

void PaintMenuTitle(QImage& picture, const TOsdStyle& style, int rowHeight, const QString& title) {
  if (picture.isNull()) return;
  const int t = MenuTitleBand(rowHeight);
  Fill(picture, style.PanelColor, QRect(0, 0, picture.width(), t));
  const int points = MenuTitleFontSize(rowHeight);
  if (points <= 0) return;
  const QFont font = MakeOsdFont(style, points);
  const int d = OutlineOffset(points);
  const int tw = TextWidth(picture, font, title);
  DrawOutlinedText(picture, style, font, (picture.width() - tw) / 2, d, title, style.FontColor, d);
}

QString FitMenuCaption(const QImage& picture, const QFont& font, const QString& caption,
                       int maxWidth, bool hasSubmenu) {
  QString text = caption;
  while (!text.isEmpty() && TextWidth(picture, font, text) > maxWidth) text.chop(1);
  if (hasSubmenu) text += QStringLiteral(" \u00BB");
  return text;
}

void PaintMenuRow(QImage& picture, const TOsdStyle& style, int rowHeight, int row,
                  const TOsdMenuRowInfo* info) {
  if (picture.isNull() || rowHeight <= 0) return;
  const QRect rowRect = MenuRowRect(picture, rowHeight, row);
  Fill(picture, style.PanelColor, rowRect);
  if (!info) return;
  const int r = rowHeight;
  const int pw = picture.width();
  const int points = MenuItemFontSize(r);
  const int d = OutlineOffset(points);
  if (info->Separator) {
    const int h = r / 6;
    const QRect bar(QPoint(r / 2, rowRect.top() + (r - h) / 2),
                    QPoint(pw - r / 2 - 1, rowRect.top() + (r - h) / 2 + h - 1));
    if (style.OutlineOn && d > 0) Fill(picture, style.OutlineColor, bar.adjusted(-d, -d, d, d));
    Fill(picture, style.FontColor, bar);
    return;
  }
  if (points <= 0) return;
  const QFont font = MakeOsdFont(style, points, !info->Enabled);
  const QString caption = FitMenuCaption(picture, font, info->Caption, pw - 4 * r, info->HasSubmenu);
  QColor captionColor = style.FontColor;
  if (info->Selected) {
    const int t = MenuTitleBand(r);
    const int right = TextWidth(picture, font, caption) + 2 * r + r / 2;
    Fill(picture, style.FontColor, QRect(QPoint(t, rowRect.top()), QPoint(right - 1, rowRect.bottom())));
    captionColor = style.PanelColor;
  }
  DrawOutlinedText(picture, style, font, 2 * r + d, rowRect.top() + d, caption, captionColor, d);
  if (info->Checked) {
    const QFont plain = MakeOsdFont(style, points);
    DrawOutlinedText(picture, style, plain, r / 2 + d, rowRect.top() + d, QStringLiteral("X"),
                     style.FontColor, d);
  }
}

}  // namespace kv::osd
