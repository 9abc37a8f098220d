// TOSD with its panels as child widgets of an owner window (offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPainter>

#include <memory>

#include "osd/osd_geometry.h"
#include "osd/osdunit.h"
#include "osd_fake_clock.h"
#include "osd_qt_app.h"
#include "osd_test_values.h"

namespace kv {
namespace {

using osd::TOsdRect;
using osd::test::TFakeOsdClock;
using osd::test::TMapValueReader;
using E = TOSD::Element;


TOsdRect Geometry(const QWidget* w) { return {w->x(), w->y(), w->width(), w->height()}; }

class OsdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    osd::test::TestApp();
    owner_ = std::make_unique<QWidget>();
    owner_->resize(640, 480);
    clock_ = std::make_shared<TFakeOsdClock>();
    osd_ = std::make_unique<TOSD>(owner_.get(), clock_);
    Load();
    osd_->OnHide = [this](TOSD*) { ++hides_; };
    osd_->OnBarChange = [this](int bar, int level) { changes_.push_back({bar, level}); };
  }
  void TearDown() override {
    osd_.reset();
    owner_.reset();
  }
  void Load() {
    osd::TOsdLabels labels;
    osd_->LoadLayout(values_, labels);
  }
  // Ticks every 100 ms until `ms` after the current time; returns the first tick time at
  // which `e` was hidden, or -1.
  int64_t TickUntilHidden(E e, int64_t start, int64_t ms) {
    for (int64_t t = clock_->Now; t <= start + ms; t += 100) {
      clock_->Now = t;
      osd_->Tick();
      if (!osd_->Visible(e)) return t - start;
    }
    return -1;
  }

  std::unique_ptr<QWidget> owner_;
  std::shared_ptr<TFakeOsdClock> clock_;
  std::unique_ptr<TOSD> osd_;
  TMapValueReader values_;
  int hides_ = 0;
  std::vector<std::pair<int, int>> changes_;
};

TEST_F(OsdTest, Bar_shownAtZero_hidesAtTheFirstTickAfterThreeSeconds) {
  osd_->ShowBar("Volume", 10);
  const int64_t start = clock_->Now;
  ASSERT_TRUE(osd_->Visible(E::Bar));
  const int64_t hiddenAt = TickUntilHidden(E::Bar, start, 5000);
  EXPECT_GT(hiddenAt, 3000);
  EXPECT_LE(hiddenAt, 3100);
  EXPECT_EQ(hides_, 1);
  EXPECT_FALSE(osd_->LastShow().has_value());
}

TEST_F(OsdTest, Delay_fromTheLayout_setsTheTimeOut_andEveryShowRestartsIt) {
  values_.Values["Delay"] = int32_t{1};
  Load();
  const int64_t start = clock_->Now;
  osd_->ShowText("Play");
  clock_->Now += 800;
  osd_->ShowSoundMode(-1);  // a later show keeps both up
  const int64_t hiddenAt = TickUntilHidden(E::Bar, start, 4000);
  EXPECT_GT(hiddenAt, 1800);
  EXPECT_LE(hiddenAt, 1900);
  EXPECT_FALSE(osd_->Visible(E::SoundMode));
}

TEST_F(OsdTest, HandleKey_increaseAt62_shows63AndReports252_thenAt63DoesNothing) {
  osd_->SetBarGroupEnabled(1, true);
  osd_->SetBarValue(1, 62 * 4);
  ASSERT_EQ(osd_->BarValue(1), 62);
  osd_->HandleKey(TOSD::KeyRight);
  EXPECT_TRUE(osd_->Visible(E::Bar));
  EXPECT_EQ(osd_->BarValue(1), 63);
  ASSERT_EQ(changes_.size(), 1u);
  EXPECT_EQ(changes_[0], (std::pair<int, int>{1, 252}));
  EXPECT_EQ(osd_->MessageText(), "Volume");

  osd_->HideAll();
  osd_->HandleKey(TOSD::KeyRight);
  EXPECT_FALSE(osd_->Visible(E::Bar));  // at the limit nothing is shown
  EXPECT_EQ(changes_.size(), 1u);
}

TEST_F(OsdTest, HandleKey_withNoBarGroupEnabled_doesNothing) {
  for (int code = 0; code <= 3; ++code) osd_->HandleKey(code);
  EXPECT_FALSE(osd_->Visible(E::Bar));
  EXPECT_TRUE(changes_.empty());
  EXPECT_EQ(osd_->BarValue(1), 32);
}

TEST_F(OsdTest, SetBarValue_stores255As63And128As32_ignoresBar12_andDrawsNothing) {
  osd_->SetBarValue(1, 255);
  EXPECT_EQ(osd_->BarValue(1), 63);
  osd_->SetBarValue(1, 128);
  EXPECT_EQ(osd_->BarValue(1), 32);
  osd_->SetBarValue(12, 0);
  for (int bar = 1; bar <= 11; ++bar) EXPECT_EQ(osd_->BarValue(bar), 32);
  EXPECT_FALSE(osd_->Visible(E::Bar));
  EXPECT_FALSE(osd_->LastShow().has_value());
}

TEST_F(OsdTest, Message_replacesAVisibleBar_andTheNextBarIsLaidOutAsABarAgain) {
  osd_->ShowBar("Volume", 20);
  const TOsdRect barRect = osd::BarRect(osd_->Layout(), 640, 480);
  EXPECT_EQ(Geometry(osd_->Panel(E::Bar)), barRect);
  osd_->ShowText("Pause");
  EXPECT_EQ(Geometry(osd_->Panel(E::Bar)), osd::MessageRect(osd_->Layout(), 640, 480, 5));
  EXPECT_EQ(osd_->MessageText(), "Pause");
  osd_->ShowBar("Volume", 21);
  EXPECT_EQ(Geometry(osd_->Panel(E::Bar)), barRect);
}

TEST_F(OsdTest, VisibleBar_keepsItsPlace_whenShownAgainAfterTheOwnerResized) {
  osd_->ShowBar("Volume", 20);
  const TOsdRect before = Geometry(osd_->Panel(E::Bar));
  owner_->resize(800, 600);
  osd_->ShowBar("Volume", 22);
  EXPECT_EQ(Geometry(osd_->Panel(E::Bar)), before);
  osd_->HideAll();
  osd_->ShowBar("Volume", 22);
  EXPECT_EQ(Geometry(osd_->Panel(E::Bar)), osd::BarRect(osd_->Layout(), 800, 600));
}

TEST_F(OsdTest, ShowText_withBarSize0_showsNothing) {
  values_.Values["BarSize"] = int32_t{0};
  Load();
  osd_->ShowText("Play");
  osd_->ShowStatus("PLAY 0:00:01 1%");
  EXPECT_FALSE(osd_->Visible(E::Bar));
  EXPECT_FALSE(osd_->Visible(E::Status));
}

TEST_F(OsdTest, Clock_keptWithMode1_survivesHideAll_andMode0HidesIt) {
  osd_->ShowTime(1);
  EXPECT_TRUE(osd_->TimePersistent);
  EXPECT_EQ(Geometry(osd_->Panel(E::Clock)), (TOsdRect{483, 19, 125, 24}));
  osd_->HideAll();
  EXPECT_TRUE(osd_->Visible(E::Clock));
  osd_->ShowTime(0);
  EXPECT_FALSE(osd_->Visible(E::Clock));
  EXPECT_FALSE(osd_->TimePersistent);
  osd_->ShowTime(2);
  EXPECT_FALSE(osd_->TimePersistent);
  EXPECT_TRUE(osd_->Visible(E::Clock));
  osd_->HideAll();
  EXPECT_FALSE(osd_->Visible(E::Clock));
}

TEST_F(OsdTest, Tick_redrawsTheClock_onlyWhenItsTextChanges) {
  osd_->ShowTime(1);
  QImage& picture = osd_->Panel(E::Clock)->Picture();
  picture.setPixel(0, 0, qRgb(1, 2, 3));  // a mark that a redraw would paint over
  osd_->Tick();
  EXPECT_EQ(picture.pixel(0, 0), qRgb(1, 2, 3));
  clock_->Time = clock_->Time.addSecs(1);
  osd_->Tick();
  EXPECT_NE(picture.pixel(0, 0), qRgb(1, 2, 3));
}

TEST_F(OsdTest, TimeText_usesTheSystemFormat_withoutATimeZone) {
  const QString text = TOSD::TimeText(QTime(13, 5, 9));
  EXPECT_TRUE(text.contains(QLatin1String("05"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QLatin1String("09"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QLatin1String("UTC"))) << text.toStdString();
}

TEST_F(OsdTest, Status_widensToItsText_reshowsOnNul_andEmptyHidesIt) {
  osd_->StatusByOwner = true;
  osd_->ShowStatus("PLAY 0:00:01 1%");
  ASSERT_TRUE(osd_->StatusShown());
  const int h = osd::StatusHeight(osd_->Layout(), 640, 480);
  const int points = osd::BarFontSize(h);
  const int d = osd::OutlineOffset(points);
  const int tw = osd::StatusTextWidth(osd_->Style(), h, "PLAY 0:00:01 1%");
  EXPECT_EQ(Geometry(osd_->Panel(E::Status)),
            osd::StatusRect(osd_->Layout(), 640, 480, tw, d));
  EXPECT_GT(tw, 0);
  const auto firstShow = osd_->LastShow();
  clock_->Now += 500;
  osd_->ShowStatus("PLAY 0:00:02 2%");  // an update does not restart the time-out
  EXPECT_EQ(osd_->LastShow(), firstShow);
  osd_->ShowStatus(QString(QChar(0)));
  EXPECT_EQ(osd_->StatusText(), "PLAY 0:00:02 2%");
  osd_->ShowStatus("");
  EXPECT_FALSE(osd_->StatusShown());
  EXPECT_FALSE(osd_->Visible(E::Status));
  osd_->ShowStatus("OPEN");
  osd_->HideAll();
  EXPECT_FALSE(osd_->StatusShown());
  EXPECT_TRUE(osd_->StatusText().isEmpty());
}

TEST_F(OsdTest, Status_comesBackAfterAResize_withTheSameText) {
  osd_->ShowStatus("PAUSE 0:00:01 1%");
  osd_->HideForResize();
  owner_->resize(800, 600);
  osd_->Relayout();
  osd_->ShowStatus("PAUSE 0:00:01 1%");  // paused: the owner's text has not changed
  EXPECT_TRUE(osd_->StatusShown());
  EXPECT_TRUE(osd_->Visible(E::Status));
}

TEST_F(OsdTest, BarSteps_haveNoUnpaintedSeamBetweenFillAndOutline) {
  osd_->SetColorKey(0x00FF00FF);
  osd_->ShowBar("Volume", 63);
  const QImage& picture = osd_->Panel(E::Bar)->Picture();
  ASSERT_TRUE(osd_->Style().OutlineOn) << "the default layout draws outlines";
  int seams = 0, steps = 0;
  for (const osd::TBarStep& step : osd::BarSteps(picture.width(), picture.height())) {
    if (step.IsLine()) continue;
    ++steps;
    const int midY = (step.Top + step.Bottom) / 2, midX = (step.Left + step.Right - 1) / 2;
    // The fill ends at Right-1 and Bottom-1; the outline's first ring is the next pixel.
    if (qAlpha(picture.pixel(step.Right, midY)) == 0) ++seams;
    if (qAlpha(picture.pixel(midX, step.Bottom)) == 0) ++seams;
  }
  EXPECT_GT(steps, 10);
  EXPECT_EQ(seams, 0) << "key-coloured (see-through) pixels between a step and its outline";
}

TEST_F(OsdTest, HideForResize_hidesEveryPanel_andRelayoutBringsBackOnlyTheKeptClock) {
  osd_->ShowTime(1);
  osd_->ShowBar("Volume", 3);
  osd_->ShowStatus("OPEN");
  osd_->ShowSoundMode(1);
  osd_->HideForResize();
  for (int i = 0; i < TOSD::kElementCount; ++i) EXPECT_FALSE(osd_->Visible(static_cast<E>(i))) << i;
  EXPECT_FALSE(osd_->StatusShown());
  owner_->resize(1000, 300);
  osd_->Relayout();
  EXPECT_TRUE(osd_->Visible(E::Clock));
  EXPECT_EQ(Geometry(osd_->Panel(E::Clock)), osd::ClockRect(osd_->Layout(), 1000, 300));
  EXPECT_FALSE(osd_->Visible(E::Bar));
  EXPECT_EQ(hides_, 0);
}

TEST_F(OsdTest, KeptClock_withAnOwnerThatRelaysOutOnHide_hidesOnceAndSettles) {
  osd_->OnHide = [this](TOSD*) {  // what the main window does on OnHide
    ++hides_;
    osd_->HideForResize();
    osd_->Relayout();
  };
  osd_->ShowTime(1);
  osd_->ShowText("Play");
  const int64_t start = clock_->Now;
  for (clock_->Now = start; clock_->Now <= start + 20000; clock_->Now += 100) osd_->Tick();
  EXPECT_EQ(hides_, 1);
  EXPECT_TRUE(osd_->Visible(E::Clock));
  EXPECT_FALSE(osd_->Visible(E::Bar));
}

TEST_F(OsdTest, OwnerGone_leavesEveryOperationHarmless) {
  osd_->ShowTime(1);
  owner_.reset();
  osd_->ShowTime(2);
  osd_->ShowText("Play");
  osd_->ShowBar("Volume", 3);
  osd_->ShowSoundMode(0);
  osd_->ShowStatus("OPEN");
  osd_->HandleKey(TOSD::KeyMenu);
  osd_->SetColorKey(0x102030);
  clock_->Now += 10000;
  osd_->Tick();
  osd_->HideForResize();
  osd_->Relayout();
  EXPECT_EQ(osd_->Panel(E::Clock), nullptr);
}

TEST_F(OsdTest, Disabled_makesEveryOperationANoOp_andHidesWhatWasShown) {
  osd_->SetBarGroupEnabled(1, true);
  osd_->ShowText("Play");
  osd_->ShowStatus("OPEN");
  osd_->SetEnabled(false);
  EXPECT_FALSE(osd_->Visible(E::Bar));
  EXPECT_FALSE(osd_->Visible(E::Status));
  osd_->ShowTime(1);
  osd_->ShowText("Stop");
  osd_->ShowSoundMode(0);
  osd_->ShowBar("Volume", 4);
  osd_->HandleKey(TOSD::KeyRight);
  osd_->HandleKey(TOSD::KeyMenu);
  for (int i = 0; i < TOSD::kElementCount; ++i) EXPECT_FALSE(osd_->Visible(static_cast<E>(i))) << i;
  EXPECT_TRUE(changes_.empty());
}

TEST_F(OsdTest, Transparent_panelsLetThePictureBeneathThrough_exceptLettersAndOutline) {
  osd_->SetColorKey(0x00FF00FF);
  osd_->ShowText("Play");
  const QImage& picture = osd_->Panel(E::Bar)->Picture();
  int clear = 0, letters = 0, outline = 0, other = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      if (qAlpha(p) == 0) ++clear;
      else if (p == qRgb(0, 255, 0)) ++letters;
      else if (p == qRgb(0, 0, 0)) ++outline;
      else ++other;
    }
  }
  EXPECT_GT(clear, letters);
  EXPECT_GT(letters, 20);
  EXPECT_GT(outline, 20);
  EXPECT_EQ(other, 0);  // no key-coloured or blended pixel is left
}

TEST_F(OsdTest, Opaque_panelsArePaintedInTheBackgroundColour) {
  values_.Values["Transparent"] = int32_t{0};
  values_.Values["Background"] = int32_t{0x00400000};  // dark blue
  Load();
  osd_->ShowText("Play");
  const QImage& picture = osd_->Panel(E::Bar)->Picture();
  EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 0x40));
  EXPECT_TRUE(osd_->Panel(E::Bar)->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(OsdTest, SetColorKey_redrawsVisiblePanelsInTheNewKey) {
  osd_->ShowText("Play");
  osd_->SetColorKey(0x00123456);
  const QImage& picture = osd_->Panel(E::Bar)->Picture();
  EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);
  EXPECT_EQ(osd_->KeyColor(), 0x123456u);
}

TEST_F(OsdTest, Panels_letMouseEventsThroughToTheVideoBeneath) {
  QWidget* video = new QWidget(owner_.get());
  video->setGeometry(owner_->rect());
  video->show();
  owner_->show();
  osd_->ShowText("Play");
  osd_->ShowTime(2);
  for (E e : {E::Bar, E::Clock}) {
    EXPECT_EQ(owner_->childAt(osd_->Panel(e)->geometry().center()), video) << static_cast<int>(e);
  }
}

TEST_F(OsdTest, UnknownSoundModeCode_showsAnEmptyBox) {
  osd_->ShowSoundMode(7);
  ASSERT_TRUE(osd_->Visible(E::SoundMode));
  const QImage& picture = osd_->Panel(E::SoundMode)->Picture();
  ASSERT_FALSE(picture.isNull());
  bool anyDrawn = false;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) anyDrawn |= qAlpha(picture.pixel(x, y)) != 0;
  }
  EXPECT_FALSE(anyDrawn);
}

TEST(OsdMenuCaption, LongCaption_losesCharactersFromItsEnd_beforeTheSubmenuMark) {
  osd::test::TestApp();
  QImage picture(300, 200, QImage::Format_ARGB32_Premultiplied);
  picture.setDotsPerMeterX(3780);
  picture.setDotsPerMeterY(3780);
  const QFont font = osd::MakeOsdFont(osd::TOsdStyle{}, 12);
  const QString caption = QStringLiteral("A very long caption that cannot fit in the row");
  const int maxWidth = 120;
  const QString fitted = osd::FitMenuCaption(picture, font, caption, maxWidth, true);
  ASSERT_TRUE(fitted.endsWith(QStringLiteral(" \u00BB")));
  const QString text = fitted.chopped(2);
  EXPECT_TRUE(caption.startsWith(text));
  EXPECT_LE(osd::TextWidth(picture, font, text), maxWidth);
  EXPECT_GT(osd::TextWidth(picture, font, caption.left(text.size() + 1)), maxWidth);
  EXPECT_EQ(osd::FitMenuCaption(picture, font, "Exit", maxWidth, false), "Exit");
}

// Outline: the outline copies stand exactly d pixels beyond the letters on every side.
TEST(OsdOutline, OutlinedText_extendsTheLettersByTheOffsetOnEverySide) {
  osd::test::TestApp();
  for (int points : {14, 40}) {
    const int d = osd::OutlineOffset(points);
    osd::TOsdStyle style;
    style.PanelColor = QColor(0, 0, 255);
    style.OutlineColor = QColor(255, 0, 0);
    style.FontColor = QColor(0, 255, 0);
    QImage picture(400, 120, QImage::Format_ARGB32_Premultiplied);
    picture.setDotsPerMeterX(3780);
    picture.setDotsPerMeterY(3780);
    picture.fill(style.PanelColor);
    const QFont font = osd::MakeOsdFont(style, points);
    osd::DrawOutlinedText(picture, style, font, 50, 20, QStringLiteral("H"), style.FontColor, d);
    QRect letters, all;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QRgb p = picture.pixel(x, y);
        if (p == style.PanelColor.rgb()) continue;
        all |= QRect(x, y, 1, 1);
        if (p == style.FontColor.rgb()) letters |= QRect(x, y, 1, 1);
      }
    }
    ASSERT_FALSE(letters.isEmpty()) << points;
    EXPECT_EQ(all, letters.adjusted(-d, -d, d, d)) << points << " points, d = " << d;
  }
}

// ---- the menu ------------------------------------------------------------------------

class OsdMenuTest : public OsdTest {
 protected:
  void SetUp() override {
    OsdTest::SetUp();
    menu_ = std::make_unique<QMenu>();
    Add(menu_.get(), "Always on top", 1, &alwaysOnTop_);
    Add(menu_.get(), "&Control panel", 1);
    Add(menu_.get(), "Teletext", 0);  // tag 0: only in the popup
    aspect_ = menu_->addMenu("Aspect ratio");
    osd::SetMenuItemTag(aspect_->menuAction(), 1);
    Add(aspect_, "Don't keep", 1);
    Add(aspect_, "Original", 1)->setChecked(true);
    Add(aspect_, "4:3 (TV)", 1)->setEnabled(false);
    osd::SetMenuItemTag(menu_->addSeparator(), 1);
    Add(menu_.get(), "Exit", 1, &exit_);
    osd_->SetMenuSource(menu_.get());
  }
  void TearDown() override {
    OsdTest::TearDown();
    menu_.reset();
  }
  QAction* Add(QMenu* menu, const char* caption, int tag, int* counter = nullptr) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setCheckable(true);
    osd::SetMenuItemTag(a, tag);
    if (counter) QObject::connect(a, &QAction::triggered, [counter] { ++*counter; });
    return a;
  }
  std::unique_ptr<QMenu> menu_;
  QMenu* aspect_ = nullptr;
  int alwaysOnTop_ = 0;
  int exit_ = 0;
};

TEST_F(OsdMenuTest, MenuKey_opensTheMenuOnTheFirstItem_andHidesTheBar) {
  osd_->ShowBar("Volume", 5);
  osd_->HandleKey(TOSD::KeyMenu);
  EXPECT_TRUE(osd_->Visible(E::Menu));
  EXPECT_FALSE(osd_->Visible(E::Bar));
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{0}));
  EXPECT_EQ(Geometry(osd_->Panel(E::Menu)), osd::MenuRect(osd_->Layout(), 640, 480));
  osd_->HandleKey(TOSD::KeyMenu);  // nothing while open
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{0}));
}

TEST_F(OsdMenuTest, UpDown_moveOverListedItems_andNeverChangeABar) {
  osd_->SetBarGroupEnabled(1, true);
  osd_->HandleKey(TOSD::KeyMenu);
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->Menu().Selected(), 1);
  osd_->HandleKey(TOSD::KeyDown);  // skips "Teletext" (tag 0)
  EXPECT_EQ(osd_->Menu().Selected(), 3);
  osd_->HandleKey(TOSD::KeyDown);  // skips the separator
  EXPECT_EQ(osd_->Menu().Selected(), 5);
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->Menu().Selected(), 5);
  osd_->HandleKey(TOSD::KeyUp);
  EXPECT_EQ(osd_->Menu().Selected(), 3);
  EXPECT_EQ(osd_->BarIndex(), 0);
  EXPECT_EQ(osd_->BarValue(1), 32);
  EXPECT_TRUE(changes_.empty());
  EXPECT_FALSE(osd_->Visible(E::Bar));
}

TEST_F(OsdMenuTest, Right_runsTheCommandOfAPlainItem_andDescendsIntoASubmenu) {
  osd_->HandleKey(TOSD::KeyMenu);
  osd_->HandleKey(TOSD::KeyRight);
  EXPECT_EQ(alwaysOnTop_, 1);
  EXPECT_TRUE(osd_->Visible(E::Menu));
  osd_->HandleKey(TOSD::KeyDown);
  osd_->HandleKey(TOSD::KeyDown);
  ASSERT_EQ(osd_->Menu().Selected(), 3);
  osd_->HandleKey(TOSD::KeyRight);
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{3, 0}));
  osd_->HandleKey(TOSD::KeyDown);
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->Menu().Selected(), 2);  // the disabled item can be selected...
  osd_->HandleKey(TOSD::KeyRight);        // ...but does nothing
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{3, 2}));
  osd_->HandleKey(TOSD::KeyLeft);
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{3}));
  osd_->HandleKey(TOSD::KeyLeft);  // the top level stays
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{3}));
}

TEST_F(OsdMenuTest, EveryMenuDraw_restartsTheTimeOut_andHidingClosesTheMenu) {
  osd_->HandleKey(TOSD::KeyMenu);
  const int64_t start = clock_->Now;
  clock_->Now += 2500;
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->LastShow(), clock_->Now);
  const int64_t hiddenAt = TickUntilHidden(E::Menu, start, 8000);
  EXPECT_GT(hiddenAt, 5500);
  EXPECT_LE(hiddenAt, 5600);
  EXPECT_FALSE(osd_->Menu().IsOpen());
}

TEST_F(OsdMenuTest, Title_isTheMenuTitleAtTheTop_andTheParentCaptionBelow) {
  osd_->HandleKey(TOSD::KeyMenu);
  const QImage top = osd_->Panel(E::Menu)->Picture().copy();
  osd_->HandleKey(TOSD::KeyDown);
  osd_->HandleKey(TOSD::KeyDown);
  osd_->HandleKey(TOSD::KeyRight);
  const QImage sub = osd_->Panel(E::Menu)->Picture();
  const int t = osd::MenuTitleBand(osd::MenuRowHeight(osd_->Layout(), 480));
  EXPECT_NE(top.copy(0, 0, top.width(), t), sub.copy(0, 0, sub.width(), t));
}

TEST_F(OsdMenuTest, LongMenus_pageForwardAndBack_keepingTheSelectionOnScreen) {
  menu_->clear();
  for (int i = 0; i < 30; ++i) Add(menu_.get(), "Title", 100 + i);
  osd_->HandleKey(TOSD::KeyMenu);
  const int rows = osd::MenuRowsThatFit(osd_->Panel(E::Menu)->height(),
                                        osd::MenuRowHeight(osd_->Layout(), 480));
  ASSERT_EQ(rows, 11);
  for (int i = 0; i < rows - 1; ++i) osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->Menu().MenuTop(), 0);
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->Menu().Selected(), rows);
  EXPECT_EQ(osd_->Menu().MenuTop(), rows);
  osd_->HandleKey(TOSD::KeyUp);
  EXPECT_EQ(osd_->Menu().Selected(), rows - 1);
  EXPECT_EQ(osd_->Menu().MenuTop(), 0);
}

TEST_F(OsdMenuTest, MovingOneRow_redrawsOnlyTheTwoRowsConcerned) {
  osd_->HandleKey(TOSD::KeyMenu);
  QImage& picture = osd_->Panel(E::Menu)->Picture();
  const int r = osd::MenuRowHeight(osd_->Layout(), 480);
  const QPoint titleMark(1, 1);
  const QPoint farRowMark(1, osd::MenuRowTop(r, 3) + 1);
  picture.setPixel(titleMark, qRgb(1, 2, 3));
  picture.setPixel(farRowMark, qRgb(1, 2, 3));
  const QImage before = picture.copy(0, osd::MenuRowTop(r, 0), picture.width(), 2 * r);
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(picture.pixel(titleMark), qRgb(1, 2, 3));
  EXPECT_EQ(picture.pixel(farRowMark), qRgb(1, 2, 3));
  EXPECT_NE(picture.copy(0, osd::MenuRowTop(r, 0), picture.width(), 2 * r), before);
}

TEST_F(OsdMenuTest, SubmenuRebuiltBehindTheOsd_orByACommand_leavesAValidSelection) {
  QMenu* titles = menu_->addMenu("Titles");
  osd::SetMenuItemTag(titles->menuAction(), 1);
  for (int i = 0; i < 3; ++i) Add(titles, "Film", 1);
  osd_->HandleKey(TOSD::KeyMenu);
  for (int i = 0; i < 4; ++i) osd_->HandleKey(TOSD::KeyDown);
  ASSERT_EQ(osd_->Menu().Selected(), 6);
  osd_->HandleKey(TOSD::KeyRight);
  osd_->HandleKey(TOSD::KeyDown);
  osd_->HandleKey(TOSD::KeyDown);
  ASSERT_EQ(osd_->Menu().Path(), (std::vector<int>{6, 2}));

  // The owner rebuilds the submenu with one item while the OSD menu is open.
  titles->clear();
  QAction* only = Add(titles, "Only", 1);
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{6, 0}));

  // A command that rebuilds its own submenu when run.
  QObject::connect(only, &QAction::triggered, titles, [this, titles] {
    titles->clear();
    Add(titles, "A", 1);
    Add(titles, "B", 1);
  });
  osd_->HandleKey(TOSD::KeyRight);
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{6, 0}));
  osd_->HandleKey(TOSD::KeyDown);
  EXPECT_EQ(osd_->Menu().Path(), (std::vector<int>{6, 1}));
}

TEST_F(OsdMenuTest, LevelWithoutListedItems_showsOnlyItsTitle) {
  QMenu* hidden = menu_->addMenu("Devices");
  osd::SetMenuItemTag(hidden->menuAction(), 1);
  Add(hidden, "Popup only", 0);
  osd_->HandleKey(TOSD::KeyMenu);
  for (int i = 0; i < 4; ++i) osd_->HandleKey(TOSD::KeyDown);
  ASSERT_EQ(osd_->Menu().Selected(), 6);
  osd_->HandleKey(TOSD::KeyRight);
  ASSERT_EQ(osd_->Menu().Depth(), 2);
  const QImage& picture = osd_->Panel(E::Menu)->Picture();
  const int t = osd::MenuTitleBand(osd::MenuRowHeight(osd_->Layout(), 480));
  int titleInk = 0, rowInk = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (qAlpha(picture.pixel(x, y)) != 0) ++(y < t ? titleInk : rowInk);
    }
  }
  EXPECT_GT(titleInk, 0);
  EXPECT_EQ(rowInk, 0);
  osd_->HandleKey(TOSD::KeyDown);  // nothing to select, nothing breaks
  osd_->HandleKey(TOSD::KeyRight);
  EXPECT_EQ(osd_->Menu().Depth(), 2);
}

TEST_F(OsdMenuTest, CommandThatDestroysTheOsd_isSurvived) {
  QObject::connect(menu_->actions()[0], &QAction::triggered, [this] { osd_.reset(); });
  osd_->HandleKey(TOSD::KeyMenu);
  osd_->HandleKey(TOSD::KeyRight);
  EXPECT_EQ(osd_, nullptr);
}

TEST_F(OsdMenuTest, DeletedMenuSource_leavesTheMenuClosedAndSafe) {
  osd_->HandleKey(TOSD::KeyMenu);
  menu_.reset();
  osd_->HandleKey(TOSD::KeyDown);
  osd_->HandleKey(TOSD::KeyRight);
  osd_->HideAll();
  osd_->HandleKey(TOSD::KeyMenu);
  EXPECT_FALSE(osd_->Menu().IsOpen());
}

}  // namespace
}  // namespace kv
