// Screenshots of the OSD over a moving picture on a real X server (run under xvfb-run).
//
// The owner window shows a moving test pattern (painted by the owner itself, or by a child
// "video" widget beneath the panels); the OSD shows the clock, a message, the sound mode,
// the status line, the volume bar and the menu over it. What reached the X server is read
// back and probed: letters in `Color`, outline in `OpaqueFontColor`, the pattern visible in
// the panels around the letters, no key-coloured box, no stray colours; after the pattern
// moves, the pattern under the panels changed and the letters did not. The screenshots are
// kept under the build tree.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <memory>

#include "osd/osdunit.h"
#include "osd_fake_clock.h"
#include "osd_qt_app.h"
#include "osd_test_values.h"

namespace kv {
namespace {

using E = TOSD::Element;


// Diagonal bands in colours that are none of the OSD's (green letters, black outline,
// the key), moved by `Phase`.
const QRgb kPattern[] = {qRgb(220, 40, 40), qRgb(40, 60, 220), qRgb(230, 200, 30),
                         qRgb(140, 40, 180)};
constexpr QRgb kLetters = 0xFF00FF00;
constexpr QRgb kDim = 0xFF007F00;
constexpr QRgb kOutline = 0xFF000000;
constexpr QRgb kKey = 0xFF100010;

void PaintPattern(QWidget* w, int phase) {
  constexpr int kBand = 12;
  QImage image(w->size(), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = kPattern[((x + y + phase) / kBand) % 4];
  }
  QPainter(w).drawImage(0, 0, image);
}

class TPatternWidget final : public QWidget {
 public:
  explicit TPatternWidget(QWidget* parent = nullptr) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  int Phase = 0;

 protected:
  void paintEvent(QPaintEvent*) override { PaintPattern(this, Phase); }
};

bool IsPattern(QRgb p) {
  for (QRgb c : kPattern) {
    if ((p | 0xFF000000) == c) return true;
  }
  return false;
}

struct TCounts {
  int Letters = 0, Dim = 0, Outline = 0, Pattern = 0, Key = 0, Other = 0;
};

TCounts Classify(const QImage& shot, const QRect& rect) {
  TCounts c;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
      const QRgb p = shot.pixel(x, y) | 0xFF000000;
      if (p == kLetters) ++c.Letters;
      else if (p == kDim) ++c.Dim;
      else if (p == kOutline) ++c.Outline;
      else if (p == kKey) ++c.Key;
      else if (IsPattern(p)) ++c.Pattern;
      else ++c.Other;
    }
  }
  return c;
}

enum class Mode { OwnerPaints, VideoChild, FullScreen };

class OsdScreenshot : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    osd::test::TestApp();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
    }
    owner_ = std::make_unique<TPatternWidget>();
    owner_->setWindowTitle("Kavello OSD screenshot");
    owner_->resize(640, 480);
    if (GetParam() != Mode::OwnerPaints) {
      video_ = new TPatternWidget(owner_.get());
      video_->setGeometry(0, 0, 640, 480);
    }
    clock_ = std::make_shared<osd::test::TFakeOsdClock>();
    osd_ = std::make_unique<TOSD>(owner_.get(), clock_);
    osd::test::TMapValueReader values;
    values.Values["Font"] = std::string("DejaVu Sans");
    osd_->LoadLayout(values, osd::TOsdLabels{});
    osd_->SetColorKey(kKey & 0xFFFFFF);  // 0x100010 is symmetric in both byte orders
    osd_->SetBarGroupEnabled(1, true);
    menu_ = std::make_unique<QMenu>();
    for (const char* caption : {"Always on top", "Control panel", "-", "Playback", "Exit"}) {
      QAction* a = menu_->addAction(QString::fromLatin1(caption));
      if (caption[0] == '-') a->setSeparator(true);
      osd::SetMenuItemTag(a, 1);
    }
    menu_->actions()[1]->setCheckable(true);
    menu_->actions()[1]->setChecked(true);
    osd_->SetMenuSource(menu_.get());

    if (GetParam() == Mode::FullScreen) {
      // Xvfb has no window manager to honour the full-screen state: cover the screen too.
      owner_->setGeometry(owner_->screen()->geometry());
      owner_->showFullScreen();
    } else {
      owner_->show();
    }
    ASSERT_TRUE(QTest::qWaitForWindowExposed(owner_.get()));
    if (GetParam() == Mode::FullScreen) {
      ASSERT_EQ(owner_->size(), owner_->screen()->size());
      // The owner re-lays itself out after the size change, as the main window does.
      if (video_) video_->setGeometry(owner_->rect());
      osd_->HideForResize();
      osd_->Relayout();
    }
  }
  void TearDown() override {
    osd_.reset();
    owner_.reset();
  }

  QImage Grab(const char* name) {
    QCoreApplication::processEvents();
    owner_->repaint();
    QCoreApplication::processEvents();
    QImage shot = owner_->screen()->grabWindow(owner_->winId()).toImage().convertToFormat(
        QImage::Format_RGB32);
    const QString dir = QStringLiteral(KAVELLO_OSD_ARTIFACT_DIR);
    QDir().mkpath(dir);
    const char* modes[] = {"window", "video-child", "fullscreen"};
    shot.save(QStringLiteral("%1/%2-%3.png").arg(dir, QLatin1String(name),
                                                 QLatin1String(modes[static_cast<int>(GetParam())])));
    return shot;
  }

  void Move() {
    TPatternWidget* painter = video_ ? video_ : owner_.get();
    painter->Phase += 5;
    painter->update();
  }

  QRect PanelRect(E e) const { return osd_->Panel(e)->geometry(); }

  // The panel shows letters and outline over the visible pattern, with no key colour and
  // nothing blended; when the pattern moves, only the pattern changes.
  void ExpectOverPicture(const QImage& before, const QImage& after, E e, bool dimSteps = false) {
    const QRect r = PanelRect(e);
    ASSERT_TRUE(osd_->Visible(e));
    ASSERT_TRUE(before.rect().contains(r)) << "panel outside the shot";
    const TCounts c = Classify(before, r);
    const int area = r.width() * r.height();
    SCOPED_TRACE(testing::Message() << "panel " << static_cast<int>(e) << " letters " << c.Letters
                                    << " dim " << c.Dim << " outline " << c.Outline << " pattern "
                                    << c.Pattern << " key " << c.Key << " other " << c.Other);
    EXPECT_GT(c.Letters, 15);
    EXPECT_GT(c.Outline, 15);
    EXPECT_GT(c.Pattern, area / 4);  // the picture is visible around the letters
    EXPECT_EQ(c.Key, 0);             // no box in the key colour
    EXPECT_EQ(c.Other, 0);           // no fringe of blended pixels
    if (dimSteps) {
      EXPECT_GT(c.Dim, 15);
    }
    int patternChanged = 0, lettersMoved = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) {
        const QRgb a = before.pixel(x, y) | 0xFF000000;
        const QRgb b = after.pixel(x, y) | 0xFF000000;
        if (IsPattern(a) && IsPattern(b) && a != b) ++patternChanged;
        if ((a == kLetters) != (b == kLetters)) ++lettersMoved;
      }
    }
    EXPECT_GT(patternChanged, area / 20);  // the picture moves beneath the panel
    EXPECT_EQ(lettersMoved, 0);            // the letters stay
  }

  std::unique_ptr<TPatternWidget> owner_;
  TPatternWidget* video_ = nullptr;
  std::shared_ptr<osd::test::TFakeOsdClock> clock_;
  std::unique_ptr<TOSD> osd_;
  std::unique_ptr<QMenu> menu_;
};

TEST_P(OsdScreenshot, ClockMessageSoundModeAndStatus_showTheMovingPictureAroundTheLetters) {
  osd_->ShowTime(1);
  osd_->ShowText("Play");
  osd_->ShowSoundMode(1);
  osd_->ShowStatus("PLAY 0:01:23 12%");
  const QImage before = Grab("clock-message");
  Move();
  const QImage after = Grab("clock-message-moved");
  ExpectOverPicture(before, after, E::Clock);
  ExpectOverPicture(before, after, E::Bar);
  ExpectOverPicture(before, after, E::SoundMode);
  ExpectOverPicture(before, after, E::Status);
}

TEST_P(OsdScreenshot, VolumeBar_showsLitAndDimStepsOverTheMovingPicture) {
  osd_->SetBarValue(1, 160);
  osd_->HandleKey(TOSD::KeyUp);
  ASSERT_TRUE(osd_->Visible(E::Bar));
  const QImage before = Grab("volume-bar");
  Move();
  const QImage after = Grab("volume-bar-moved");
  ExpectOverPicture(before, after, E::Bar, true);
}

TEST_P(OsdScreenshot, Menu_showsTitleRowsAndSelectionOverTheMovingPicture) {
  osd_->HandleKey(TOSD::KeyMenu);
  osd_->HandleKey(TOSD::KeyDown);
  const QImage before = Grab("menu");
  Move();
  const QImage after = Grab("menu-moved");
  ExpectOverPicture(before, after, E::Menu);
  // The selected row is a box in the letter colour with see-through letters in it.
  const QRect menu = PanelRect(E::Menu);
  const int r = osd::MenuRowHeight(osd_->Layout(), owner_->height());
  const QRect selected(menu.left() + osd::MenuTitleBand(r) + 2, menu.top() + osd::MenuRowTop(r, 1) + 2,
                       r, r - 4);
  const TCounts box = Classify(before, selected);
  EXPECT_GT(box.Letters, selected.width() * selected.height() / 3);
}

TEST_P(OsdScreenshot, HiddenOsd_leavesNoTrace) {
  osd_->ShowText("Stop");
  osd_->HandleKey(TOSD::KeyMenu);
  Grab("before-hide");
  osd_->HideAll();
  const QImage shot = Grab("after-hide");
  const TCounts c = Classify(shot, shot.rect());
  EXPECT_EQ(c.Letters + c.Outline + c.Key + c.Other, 0);
}

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
  static const char* const kNames[] = {"Window", "VideoChild", "FullScreen"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Modes, OsdScreenshot,
                         ::testing::Values(Mode::OwnerPaints, Mode::VideoChild, Mode::FullScreen),
                         ModeName);

}  // namespace
}  // namespace kv
