// TSubtitleController: the drawing half (DrawSubtitle and the strip's place).
#include <optional>

#include "subtitles/subtitle_controller.h"
#include "subtitles/subtitle_decode.h"
#include "subtitles/subtitle_layout.h"

namespace kv {
namespace {

TStripRect ToStripRect(const QRect& r) {
  return TStripRect{r.left(), r.top(), r.width(), r.height()};
}

// A letter colour equal to the key would vanish with the key; one step of blue keeps it.
QRgb AvoidKey(QRgb colour, std::optional<QRgb> key) {
  if (key && (colour & 0xFFFFFF) == (*key & 0xFFFFFF)) return colour ^ 1;
  return colour;
}

}  // namespace

void TSubtitleController::DrawSubtitle(const std::string& text) {
  if (!SubtitlesOn || !owner_) return;
  const bool wasUpdating = host_.Updating();
  host_.SetUpdating(true);
  const TSubtitleSettings s = host_.Settings();
  const QSize window = owner_->frameGeometry().size();
  const int size = SubtitleFontSize(window.width(), s.FontSize);
  strip_->SetFont(s.FontName, size, !s.Transparent);
  const std::string decoded = DecodeSubtitleText(text, s.FontEnc);

  if (!s.Transparent) {
    TBoxedStripInput in;
    in.TextWidth = SubtitleWidth(decoded, [this](std::string_view line) {
      return strip_->LineWidth(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    });
    in.LineCount = SubtitleLineCount(decoded);
    in.Size = size;
    in.WindowWidth = window.width();
    in.WindowHeight = window.height();
    in.Video = ToStripRect(host_.VideoArea());
    in.BlackBorder = s.BlackBorder;
    in.Fullscreen = host_.Fullscreen();
    in.EmptyText = text.empty();
    strip_->SetBounds(BoxedStripRect(in));
  }
  const TStripRect bounds = strip_->Bounds();
  const int keyRows = PaintBackground(s, bounds.Height);
  SubtitleText = text;
  PaintLines(s, decoded, size, bounds.Width, bounds.Height);
  strip_->Present(s.Transparent ? std::optional<QRgb>(SubtitleColour(KeyColor)) : std::nullopt,
                  keyRows);

  if (!s.Transparent && host_.Playback() != TSubtitlePlayback::NoEngine) host_.FitVideoWindow();
  host_.SetUpdating(wasUpdating);
}

int TSubtitleController::PaintBackground(const TSubtitleSettings& s, int stripHeight) {
  const QRgb black = qRgb(0, 0, 0);
  if (!s.Transparent) {
    strip_->FillRows(0, stripHeight, black);
    return 0;
  }
  const QRgb key = SubtitleColour(KeyColor);
  int keyRows = stripHeight;
  if (s.BlackBorder) keyRows = KeyColouredRows(ToStripRect(host_.VideoArea()), strip_->Bounds());
  strip_->FillRows(0, keyRows, key);
  strip_->FillRows(keyRows, stripHeight, black);
  return keyRows;
}

void TSubtitleController::PaintLines(const TSubtitleSettings& s, const std::string& decoded,
                                     int size, int stripWidth, int stripHeight) {
  const std::optional<QRgb> key =
      s.Transparent ? std::optional<QRgb>(SubtitleColour(KeyColor)) : std::nullopt;
  const QRgb colour = AvoidKey(SubtitleColour(s.FontColor), key);
  const QRgb outlineColour = AvoidKey(SubtitleColour(s.FontBorderColor), key);
  const int outline = s.FontBorder ? SubtitleOutlineOffset(size) : 0;
  for (int i = 1;; ++i) {
    const std::string_view line = SubtitleLine(decoded, i);
    if (line.empty()) break;
    const TLineStyle style = ParseLineStyle(line);
    strip_->SetLineStyle(style.Bold, style.Italic);
    const QString q =
        QString::fromUtf8(style.Text.data(), static_cast<qsizetype>(style.Text.size()));
    const int x = SubtitleLineLeft(stripWidth, strip_->LineWidth(q));
    const int y = SubtitleLineTop(stripHeight, size, i);
    strip_->DrawLine(x, y, q, colour, outline, outlineColour);
  }
}

void TSubtitleController::Redraw() {
  if (SubtitlesOn) DrawSubtitle(SubtitleText);
}

void TSubtitleController::PlaceTransparentStrip() {
  if (!owner_) return;
  const TSubtitleSettings s = host_.Settings();
  if (!s.Transparent) return;
  const QSize client = owner_->size();
  strip_->SetBounds(TransparentStripRect(ToStripRect(host_.VideoArea()), client.width(),
                                         client.height(), s.FontSize, s.BlackBorder));
}

void TSubtitleController::ShowStripIfOn() {
  if (SubtitlesOn) strip_->Show();
}

}  // namespace kv
