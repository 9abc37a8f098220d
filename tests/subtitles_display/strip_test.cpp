// The strip's pixels (offscreen): the key-coloured band that lets the video through, the
// black rows below the picture, the black box of the opaque mode, outlines, line styles.
#include <gtest/gtest.h>

#include <QImage>

#include "subtitles/subtitle_layout.h"
#include "view_rig.h"

namespace kv {
namespace {

using test::TViewRig;

constexpr QRgb kWhite = 0xFFFFFFFF;

struct TCounts {
  int Transparent = 0, Letters = 0, Black = 0, Key = 0, Outline = 0, Other = 0;
};

// Classifies rows [top, bottom) of the strip's picture.
TCounts Classify(const QImage& picture, int top, int bottom, QRgb outline = 0xFFFF0000) {
  TCounts c;
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      if (qAlpha(p) == 0) ++c.Transparent;
      else if (p == kWhite) ++c.Letters;
      else if (p == 0xFF000000) ++c.Black;
      else if (p == 0xFF100010) ++c.Key;
      else if (p == outline) ++c.Outline;
      else ++c.Other;
    }
  }
  return c;
}

// Leftmost and rightmost columns holding a pixel of `colour`.
std::pair<int, int> ColumnsOf(const QImage& picture, QRgb colour) {
  int left = picture.width(), right = -1;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (picture.pixel(x, y) == colour) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  return {left, right};
}

class StripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.host.Values.FontName = "DejaVu Sans";
    rig_.host.Values.FontSize = 40;  // 750 px wide: 20 points
    rig_.controller->SubtitlesOn = true;
  }
  TSubtitleController& C() { return *rig_.controller; }
  const QImage& Picture() { return C().Strip().Picture(); }
  TViewRig rig_;
};

TEST_F(StripTest, TransparentBandShowsOnlyLettersOverThePictureAndBlackBelowIt) {
  C().PlaceTransparentStrip();
  const TStripRect r = C().Strip().Bounds();
  // 20 pt: 88 rows, 10 above the client bottom; the picture ends at 390.
  EXPECT_EQ(r, (TStripRect{2, 322, 746, 88}));
  C().DrawSubtitle("Hello");
  const int keyRows = 390 - 322;
  const TCounts over = Classify(Picture(), 0, keyRows);
  const TCounts below = Classify(Picture(), keyRows, r.Height);
  EXPECT_GT(over.Transparent, keyRows * r.Width * 9 / 10);
  EXPECT_GT(over.Letters + below.Letters, 40);
  EXPECT_EQ(over.Key + below.Key, 0);
  EXPECT_EQ(over.Black, 0);
  EXPECT_EQ(over.Other + below.Other, 0);  // no blended fringe
  EXPECT_EQ(below.Transparent, 0);
  EXPECT_GT(below.Black, (r.Height - keyRows) * r.Width * 8 / 10);
  EXPECT_EQ(C().SubtitleText, "Hello");
  EXPECT_FALSE(rig_.host.UpdatingNow);
  EXPECT_EQ(rig_.host.UpdatingSets, 2);
  EXPECT_EQ(rig_.host.Fits, 0);
  // Drawn inside the window's own re-layout: the window's guard stays up.
  rig_.host.UpdatingNow = true;
  C().Redraw();
  EXPECT_TRUE(rig_.host.UpdatingNow);
}

TEST_F(StripTest, TransparentWithoutBlackBorderSitsOnThePictureAndIsAllSeeThrough) {
  rig_.host.Values.BlackBorder = false;
  C().PlaceTransparentStrip();
  EXPECT_EQ(C().Strip().Bounds().Top, 390 - 88 - 10);
  C().DrawSubtitle("Hello|World");
  const TCounts c = Classify(Picture(), 0, Picture().height());
  EXPECT_EQ(c.Black + c.Key + c.Other, 0);
  EXPECT_GT(c.Letters, 80);
}

TEST_F(StripTest, KeyBlackDoesNotEatTheBlackRows) {
  C().KeyColor = 0;
  C().PlaceTransparentStrip();
  C().DrawSubtitle("Hello");
  const TCounts below = Classify(Picture(), 390 - 322, Picture().height());
  EXPECT_EQ(below.Transparent, 0);
}

TEST_F(StripTest, LettersInTheKeyColourStayVisible) {
  rig_.host.Values.FontColor = 0x100010;
  rig_.host.Values.BlackBorder = false;
  C().PlaceTransparentStrip();
  C().DrawSubtitle("Hello");
  const TCounts c = Classify(Picture(), 0, Picture().height());
  EXPECT_GT(c.Other, 40);  // the letters, one step of blue away from the key
}

TEST_F(StripTest, EmptyTextClearsTheBand) {
  C().PlaceTransparentStrip();
  C().DrawSubtitle("Hello");
  C().DrawSubtitle("");
  EXPECT_EQ(Classify(Picture(), 0, Picture().height()).Letters, 0);
  C().DrawSubtitle("a|");  // ends in "|": nothing drawn
  EXPECT_EQ(Classify(Picture(), 0, Picture().height()).Letters, 0);
}

TEST_F(StripTest, OpaqueBoxFitsTheTextAtTheWindowBottom) {
  rig_.host.Values.Transparent = false;
  rig_.host.State = TSubtitlePlayback::Running;
  C().DrawSubtitle("Hello|wide world");
  const TStripRect r = C().Strip().Bounds();
  const int size = 20;
  EXPECT_EQ(r.Height, 2 * size * 140 / 100 + size / 3);
  EXPECT_EQ(r.Top, 420 - r.Height - size / 2);
  EXPECT_GT(r.Width, 100);
  EXPECT_LT(r.Width, 400);
  EXPECT_NEAR(r.Left + (r.Width - size / 2) / 2.0, 375, 1);  // centred on the text
  const TCounts c = Classify(Picture(), 0, Picture().height());
  EXPECT_EQ(c.Transparent, 0);
  EXPECT_GT(c.Black, r.Width * r.Height / 2);
  EXPECT_GT(c.Letters, 40);
  EXPECT_EQ(rig_.host.Fits, 1);  // the box may cover a new part of the window

  C().DrawSubtitle("");
  EXPECT_EQ(C().Strip().Bounds().Top, 430);  // out of sight
}

TEST_F(StripTest, OutlineIsDrawnAroundTheLetters) {
  rig_.host.Values.BlackBorder = false;
  rig_.host.Values.FontBorder = true;
  rig_.host.Values.FontBorderColor = 0x0000FF;  // red
  C().PlaceTransparentStrip();
  C().DrawSubtitle("Hello");
  const TCounts c = Classify(Picture(), 0, Picture().height());
  EXPECT_GT(c.Outline, 40);
  EXPECT_GT(c.Letters, 20);
  EXPECT_EQ(c.Other, 0);
}

TEST_F(StripTest, StyleTagIsNotDrawnAndTheLineIsCentredOnItsText) {
  rig_.host.Values.BlackBorder = false;
  C().PlaceTransparentStrip();
  C().DrawSubtitle("Hello");
  const auto plain = ColumnsOf(Picture(), kWhite);
  const QImage plainPicture = Picture().copy();
  C().DrawSubtitle("{y:i}Hello");
  const auto italic = ColumnsOf(Picture(), kWhite);
  EXPECT_NE(Picture(), plainPicture);  // slanted letters
  const int width = Picture().width();
  EXPECT_NEAR((italic.first + italic.second) / 2.0, width / 2.0, 4);
  EXPECT_NEAR(italic.second - italic.first, plain.second - plain.first, 6);
  C().DrawSubtitle("{y:b}Hello");
  const auto bold = ColumnsOf(Picture(), kWhite);
  EXPECT_GT(bold.second - bold.first, plain.second - plain.first);
}

TEST_F(StripTest, NothingIsDrawnWhileSubtitlesAreOff) {
  C().SubtitlesOn = false;
  C().PlaceTransparentStrip();
  C().DrawSubtitle("Hello");
  EXPECT_TRUE(C().SubtitleText.empty());
  EXPECT_EQ(rig_.host.UpdatingSets, 0);
}

}  // namespace
}  // namespace kv
