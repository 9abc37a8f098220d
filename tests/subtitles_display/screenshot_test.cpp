// Screenshots of a subtitle over a moving picture on a real X server (run under xvfb-run).
//
// A stand-in main window is black, with a "video" child that paints moving diagonal bands;
// the subtitle controller plays a SubRip file on a fake clock and its strip shows an entry.
// What reached the X server is read back and probed in the three strip modes: letters in
// the font colour, the picture visible around them (transparent modes), black rows below
// the picture (BlackBorder), a black box (opaque), never the key colour or blended pixels;
// after the picture moves, the picture under the strip changed and the letters did not.
// The screenshots are kept under the build tree.
#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include "view_rig.h"

namespace kv {
namespace {

const QRgb kPattern[] = {qRgb(220, 40, 40), qRgb(40, 60, 220), qRgb(230, 200, 30),
                         qRgb(140, 40, 180)};
constexpr QRgb kLetters = 0xFF00FF00;  // FontColor 0x00FF00
constexpr QRgb kBlack = 0xFF000000;
constexpr std::int32_t kKey = 0x100010;

bool IsPattern(QRgb p) {
  for (QRgb c : kPattern) {
    if ((p | 0xFF000000) == c) return true;
  }
  return false;
}

class TPatternWidget final : public QWidget {
 public:
  explicit TPatternWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  int Phase = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    QImage image(size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) line[x] = kPattern[((x + y + Phase) / 12) % 4];
    }
    QPainter(this).drawImage(0, 0, image);
  }
};

struct TCounts {
  int Letters = 0, Black = 0, Pattern = 0, Key = 0, Other = 0;
};
TCounts Classify(const QImage& shot, const QRect& rect) {
  TCounts c;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
      const QRgb p = shot.pixel(x, y) | 0xFF000000;
      if (p == kLetters) ++c.Letters;
      else if (p == kBlack) ++c.Black;
      else if (p == (0xFF000000 | 0x100010)) ++c.Key;
      else if (IsPattern(p)) ++c.Pattern;
      else ++c.Other;
    }
  }
  return c;
}

enum class Mode { TransparentBlackBorder, Transparent, Opaque };

class SubtitleScreenshot : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    test::TestApp();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
    }
    owner_ = std::make_unique<QWidget>();
    owner_->setWindowTitle("Kavello subtitle screenshot");
    owner_->setWindowFlag(Qt::FramelessWindowHint);
    owner_->setAutoFillBackground(true);
    QPalette pal = owner_->palette();
    pal.setColor(QPalette::Window, Qt::black);
    owner_->setPalette(pal);
    owner_->resize(640, 480);
    video_ = new TPatternWidget(owner_.get());
    video_->setGeometry(0, 0, 640, 440);

    host_.Video = video_->geometry();
    host_.Values.FontName = "DejaVu Sans";
    host_.Values.FontSize = 40;  // 17 points at 640 pixels
    host_.Values.FontColor = 0x00FF00;
    host_.Values.Transparent = GetParam() != Mode::Opaque;
    host_.Values.BlackBorder = GetParam() != Mode::Transparent;
    host_.State = TSubtitlePlayback::Running;
    const int title = host_.List.AddTitle(dir_.Path("clip.avi"));
    host_.List.AddChild(title, dir_.Write("clip.srt",
                                          "1\r\n00:00:01,000 --> 00:00:09,000\r\n"
                                          "Over the picture|below\r\n\r\n"));
    menu_ = std::make_unique<QMenu>();
    auto timer = std::make_unique<test::TFakeSubtitleTimer>(clock_);
    timer_ = timer.get();
    controller_ = std::make_unique<TSubtitleController>(owner_.get(), host_, menu_.get(), list_,
                                                        log_.Log, std::move(timer));
    controller_->VideoFramerate = 25;
    controller_->KeyColor = kKey;
    owner_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(owner_.get()));
    // The window's resize handler: the strip's place, then the current text again.
    controller_->PlaceTransparentStrip();
    controller_->Redraw();

    player_.Run();
    menu_->actions()[3]->trigger();  // choose clip.srt while playing
    test::RunClock(clock_, *timer_, 2000);
    ASSERT_EQ(controller_->SubtitleText, "Over the picture|below");
  }

  QImage Grab(const char* name) {
    QCoreApplication::processEvents();
    owner_->repaint();
    QCoreApplication::processEvents();
    QImage shot = owner_->screen()->grabWindow(owner_->winId()).toImage().convertToFormat(
        QImage::Format_RGB32);
    const QString dir = QStringLiteral(KAVELLO_SUBTITLE_ARTIFACT_DIR);
    QDir().mkpath(dir);
    const char* modes[] = {"transparent-blackborder", "transparent", "opaque"};
    shot.save(QStringLiteral("%1/%2-%3.png")
                  .arg(dir, QLatin1String(name), QLatin1String(modes[static_cast<int>(GetParam())])));
    return shot;
  }

  QRect StripRect() const { return controller_->Strip().SubPanel()->geometry(); }

  test::TTempDir dir_;
  test::TFakeClock clock_;
  test::TFakePlayer player_{clock_};
  test::TFakeHost host_{player_};
  test::TLogCapture log_;
  TSubTitles list_;
  std::unique_ptr<QWidget> owner_;
  TPatternWidget* video_ = nullptr;
  std::unique_ptr<QMenu> menu_;
  test::TFakeSubtitleTimer* timer_ = nullptr;
  std::unique_ptr<TSubtitleController> controller_;
};

TEST_P(SubtitleScreenshot, LettersOverTheMovingPicture) {
  const QImage before = Grab("subtitle");
  video_->Phase += 5;
  video_->update();
  const QImage after = Grab("subtitle-moved");

  const QRect strip = StripRect();
  ASSERT_TRUE(before.rect().contains(strip));
  const QRect picture = video_->geometry();
  const QRect over = strip.intersected(picture);
  const QRect below = strip.intersected(QRect(0, picture.bottom() + 1, 640, 480));
  const TCounts all = Classify(before, strip);
  SCOPED_TRACE(testing::Message() << "letters " << all.Letters << " black " << all.Black
                                  << " pattern " << all.Pattern << " key " << all.Key << " other "
                                  << all.Other);
  EXPECT_GT(all.Letters, 100);
  EXPECT_EQ(all.Key, 0);
  const int area = strip.width() * strip.height();

  switch (GetParam()) {
    case Mode::TransparentBlackBorder: {
      EXPECT_EQ(all.Other, 0);
      ASSERT_FALSE(over.isEmpty());
      ASSERT_FALSE(below.isEmpty());
      const TCounts o = Classify(before, over);
      EXPECT_GT(o.Pattern, over.width() * over.height() * 3 / 4);  // picture shows through
      EXPECT_GT(o.Letters, 30);                                    // first line over it
      const TCounts b = Classify(before, below);
      EXPECT_EQ(b.Pattern, 0);  // black below the picture
      EXPECT_GT(b.Black, below.width() * below.height() * 3 / 4);
      break;
    }
    case Mode::Transparent:
      EXPECT_EQ(all.Other, 0);
      EXPECT_TRUE(picture.contains(strip));
      EXPECT_GT(all.Pattern, area * 3 / 4);
      EXPECT_EQ(all.Black, 0);
      break;
    case Mode::Opaque: {
      EXPECT_EQ(all.Pattern, 0);  // a solid box
      EXPECT_GT(all.Black, area / 2);
      // The picture around the box is untouched.
      const QRect left(0, strip.top(), strip.left(), strip.height());
      const TCounts l = Classify(before, left.intersected(picture));
      EXPECT_EQ(l.Letters + l.Other, 0);
      break;
    }
  }

  // The picture moves beneath the strip; the letters stay where they are.
  int patternChanged = 0, lettersMoved = 0;
  for (int y = strip.top(); y <= strip.bottom(); ++y) {
    for (int x = strip.left(); x <= strip.right(); ++x) {
      const QRgb a = before.pixel(x, y) | 0xFF000000;
      const QRgb b = after.pixel(x, y) | 0xFF000000;
      if (IsPattern(a) && IsPattern(b) && a != b) ++patternChanged;
      if ((a == kLetters) != (b == kLetters)) ++lettersMoved;
    }
  }
  EXPECT_EQ(lettersMoved, 0);
  if (GetParam() != Mode::Opaque) {
    EXPECT_GT(patternChanged, over.width() * over.height() / 20);
  }
}

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
  static const char* const kNames[] = {"TransparentBlackBorder", "Transparent", "Opaque"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Modes, SubtitleScreenshot,
                         ::testing::Values(Mode::TransparentBlackBorder, Mode::Transparent,
                                           Mode::Opaque),
                         ModeName);

}  // namespace
}  // namespace kv
