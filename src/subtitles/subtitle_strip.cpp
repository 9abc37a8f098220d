#include "subtitles/subtitle_strip.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace kv {

QRgb SubtitleColour(std::int32_t colorRef) {
  const auto c = static_cast<std::uint32_t>(colorRef);
  return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
              static_cast<int>((c >> 16) & 0xFF));
}

TSubtitleStrip::TSubtitleStrip(QWidget* owner) {
  panel_ = new QWidget(owner);
  panel_->setObjectName(QStringLiteral("SubPanel"));
  panel_->setAttribute(Qt::WA_TransparentForMouseEvents);
  panel_->setAttribute(Qt::WA_NoSystemBackground);
  panel_->setAutoFillBackground(false);
  panel_->setFocusPolicy(Qt::NoFocus);
  panel_->hide();
  paintBox_ = new osd::TOsdPanel(panel_, "SubT");
  paintBox_->show();  // visible whenever SubPanel is
  font_.setHintingPreference(QFont::PreferFullHinting);
}

TSubtitleStrip::~TSubtitleStrip() { delete panel_.data(); }

void TSubtitleStrip::SetBounds(const TStripRect& rect) {
  if (!panel_) return;
  const int w = std::max(rect.Width, 0);
  const int h = std::max(rect.Height, 0);
  panel_->setGeometry(rect.Left, rect.Top, w, h);
  paintBox_->SetBounds(osd::TOsdRect{0, 0, w, h});
}

TStripRect TSubtitleStrip::Bounds() const {
  if (!panel_) return {};
  const QRect g = panel_->geometry();
  return TStripRect{g.left(), g.top(), g.width(), g.height()};
}

void TSubtitleStrip::SetFont(const std::string& family, int points, bool antialiased) {
  font_.setFamily(QString::fromStdString(family));
  font_.setPointSize(std::max(points, 1));
  font_.setStyleStrategy(antialiased ? QFont::PreferAntialias : QFont::NoAntialias);
}

void TSubtitleStrip::SetLineStyle(bool bold, bool italic) {
  font_.setBold(bold);
  font_.setItalic(italic);
}

int TSubtitleStrip::LineWidth(const QString& line) const {
  if (!paintBox_ || paintBox_->Picture().isNull()) {
    return QFontMetrics(font_).horizontalAdvance(line);
  }
  return QFontMetrics(font_, &paintBox_->Picture()).horizontalAdvance(line);
}

void TSubtitleStrip::FillRows(int top, int bottom, QRgb colour) {
  if (!paintBox_ || paintBox_->Picture().isNull() || bottom <= top) return;
  QImage& picture = paintBox_->Picture();
  QPainter p(&picture);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(QRect(0, top, picture.width(), bottom - top), QColor::fromRgb(colour));
}

void TSubtitleStrip::DrawLine(int x, int y, const QString& line, QRgb colour, int outline,
                              QRgb outlineColour) {
  if (!paintBox_ || paintBox_->Picture().isNull() || line.isEmpty()) return;
  QImage& picture = paintBox_->Picture();
  QPainter p(&picture);
  p.setRenderHint(QPainter::TextAntialiasing, font_.styleStrategy() != QFont::NoAntialias);
  p.setFont(font_);
  const int baseline = y + QFontMetrics(font_, &picture).ascent();
  if (outline > 0) {
    p.setPen(QColor::fromRgb(outlineColour));
    p.drawText(x, baseline - outline, line);
    p.drawText(x, baseline + outline, line);
    p.drawText(x - outline, baseline, line);
    p.drawText(x + outline, baseline, line);
  }
  p.setPen(QColor::fromRgb(colour));
  p.drawText(x, baseline, line);
}

void TSubtitleStrip::Present(std::optional<QRgb> key, int keyRows) {
  if (!paintBox_) return;
  paintBox_->SetTransparentKey(key);
  const QImage& picture = paintBox_->Picture();
  if (picture.isNull()) return;
  // The key applies to the rows over the picture only, so the black rows below it stay black
  // whatever the key colour is.
  if (key && keyRows > 0) paintBox_->Commit(QRect(0, 0, picture.width(), keyRows));
  paintBox_->update();
}

void TSubtitleStrip::Show() {
  if (!panel_) return;
  panel_->raise();
  panel_->show();
}

void TSubtitleStrip::Hide() {
  if (panel_) panel_->hide();
}

bool TSubtitleStrip::Visible() const { return panel_ && !panel_->isHidden(); }

const QImage& TSubtitleStrip::Picture() const {
  return paintBox_ ? paintBox_->Picture() : empty_;
}

}  // namespace kv
