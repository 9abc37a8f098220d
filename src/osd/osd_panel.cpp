#include "osd/osd_panel.h"

#include <QPaintEvent>
#include <QPainter>

namespace kv::osd {
namespace {
constexpr int kDotsPerMeter96Dpi = 3780;
}

QColor ToQColor(TColorRef c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

TOsdPanel::TOsdPanel(QWidget* owner, const char* name) : QWidget(owner) {
  setObjectName(QString::fromLatin1(name));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setFocusPolicy(Qt::NoFocus);
  hide();
}

void TOsdPanel::SetBounds(const TOsdRect& rect) {
  setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
  if (picture_.width() != rect.Width || picture_.height() != rect.Height) {
    if (rect.Empty()) {
      picture_ = QImage();
    } else {
      picture_ = QImage(rect.Width, rect.Height, QImage::Format_ARGB32_Premultiplied);
      picture_.setDotsPerMeterX(kDotsPerMeter96Dpi);
      picture_.setDotsPerMeterY(kDotsPerMeter96Dpi);
      picture_.fill(Qt::transparent);
    }
  }
}

void TOsdPanel::SetTransparentKey(std::optional<QRgb> key) {
  key_ = key;
  // An opaque panel paints every pixel and lets Qt skip what lies beneath it.
  setAttribute(Qt::WA_OpaquePaintEvent, !key_.has_value());
}

void TOsdPanel::Commit(const QRect& rect) {
  if (picture_.isNull()) return;
  const QRect area = rect.isNull() ? picture_.rect() : rect.intersected(picture_.rect());
  if (key_) {
    const QRgb keyPixel = 0xFF000000u | (*key_ & 0x00FFFFFFu);
    for (int y = area.top(); y <= area.bottom(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(picture_.scanLine(y));
      for (int x = area.left(); x <= area.right(); ++x) {
        if (line[x] == keyPixel) line[x] = 0;
      }
    }
  }
  update(area);
}

void TOsdPanel::ShowOnTop() {
  raise();
  show();
}

void TOsdPanel::paintEvent(QPaintEvent* event) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  const QRect r = event->rect();
  painter.drawImage(r, picture_, r);
}

}  // namespace kv::osd
