// The strip arithmetic: font size, outline offset, line functions, line styles, the box of
// the opaque mode, the band of the transparent mode and the line positions.
#include <gtest/gtest.h>

#include <string>

#include "subtitles/subtitle_layout.h"

namespace kv {
namespace {

TEST(SubtitleLayout, FontSizeFollowsWindowWidth) {
  struct Row { int width, fontSize, expected; };
  for (const Row& r : {Row{1500, 15, 15}, Row{750, 15, 7}, Row{1500, 40, 40}, Row{1499, 1, 0},
                       Row{1024, 15, 10}, Row{0, 15, 0}, Row{3000, 20, 40}}) {
    EXPECT_EQ(SubtitleFontSize(r.width, r.fontSize), r.expected) << r.width << " " << r.fontSize;
  }
}

TEST(SubtitleLayout, OutlineOffsetIsLogOfAFifthRoundedHalfEven) {
  struct Row { int size, expected; };
  for (const Row& r : {Row{7, 0}, Row{12, 1}, Row{15, 1}, Row{40, 2}, Row{5, 0}, Row{4, 0},
                       Row{0, 0}, Row{-3, 0}, Row{100, 3}}) {
    EXPECT_EQ(SubtitleOutlineOffset(r.size), r.expected) << r.size;
  }
}

TEST(SubtitleLayout, LinesAreCountedFromTheEnd) {
  EXPECT_EQ(SubtitleLineCount(""), 0);
  EXPECT_EQ(SubtitleLineCount("one"), 1);
  EXPECT_EQ(SubtitleLineCount("a|b|c"), 3);
  EXPECT_EQ(SubtitleLineCount("a|"), 2);
  EXPECT_EQ(SubtitleLine("a|b|c", 1), "c");
  EXPECT_EQ(SubtitleLine("a|b|c", 3), "a");
  EXPECT_EQ(SubtitleLine("a|b|c", 4), "");
  EXPECT_EQ(SubtitleLine("a|b|c", 0), "");
  EXPECT_EQ(SubtitleLine("", 1), "");
  // A text ending in "|" has an empty last line, so nothing of it is drawn.
  EXPECT_EQ(SubtitleLine("a|", 1), "");
  EXPECT_EQ(SubtitleLine("|b", 2), "");
}

TEST(SubtitleLayout, WidthIsTheWidestLineUpToTheFirstEmptyOne) {
  const auto measure = [](std::string_view line) { return static_cast<int>(line.size()) * 10; };
  EXPECT_EQ(SubtitleWidth("ab|abcd|a", measure), 40);
  EXPECT_EQ(SubtitleWidth("abcdef||a", measure), 10);  // stops at the empty middle line
  EXPECT_EQ(SubtitleWidth("", measure), 0);
  EXPECT_EQ(SubtitleWidth("{y:i}ab", measure), 70);   // tags included
}

TEST(SubtitleLayout, LineStyleTagIsTakenOff) {
  struct Row { const char* line; bool bold, italic; const char* text; };
  for (const Row& r : {Row{"{y:i}Hello", false, true, "Hello"}, Row{"{y:b}Bold", true, false, "Bold"},
                       Row{"{Y:B}Upper", true, false, "Upper"}, Row{"{c:$0000ff}Red", false, false, "Red"},
                       Row{"{}x", false, false, "x"}, Row{"{no close", false, false, "{no close"},
                       Row{"plain {y:i}", false, false, "plain {y:i}"}, Row{"", false, false, ""}}) {
    const TLineStyle s = ParseLineStyle(r.line);
    EXPECT_EQ(s.Bold, r.bold) << r.line;
    EXPECT_EQ(s.Italic, r.italic) << r.line;
    EXPECT_EQ(s.Text, r.text) << r.line;
  }
}

TEST(SubtitleLayout, BoxSitsAtTheWindowBottomCentredOnTheText) {
  TBoxedStripInput in;
  in.TextWidth = 300;
  in.LineCount = 2;
  in.Size = 20;
  in.WindowWidth = 800;
  in.WindowHeight = 600;
  in.Video = {0, 50, 800, 450};
  in.BlackBorder = true;
  // width 300 + 10; height 2*20*140/100 + 6 = 62; left (800-300)/2; top 600 - 62 - 10.
  EXPECT_EQ(BoxedStripRect(in), (TStripRect{250, 528, 310, 62}));
  in.Fullscreen = true;  // BlackBorder on: still the window's bottom
  EXPECT_EQ(BoxedStripRect(in).Top, 528);
  in.BlackBorder = false;  // full screen without border: the picture's bottom
  EXPECT_EQ(BoxedStripRect(in).Top, 50 + 450 - 62 - 10);
  in.EmptyText = true;  // out of sight
  EXPECT_EQ(BoxedStripRect(in).Top, 610);
}

TEST(SubtitleLayout, BoxIsNoWiderThanTheVideoArea) {
  TBoxedStripInput in;
  in.TextWidth = 5000;
  in.LineCount = 1;
  in.Size = 10;
  in.WindowWidth = 640;
  in.WindowHeight = 480;
  in.Video = {0, 0, 640, 480};
  const TStripRect r = BoxedStripRect(in);
  EXPECT_EQ(r.Width, 638 + 5);
  EXPECT_EQ(r.Left, 1);
}

TEST(SubtitleLayout, TransparentBandFollowsVideoAndClientArea) {
  const TStripRect video{10, 40, 620, 360};
  // size = 640*15/1500 = 6 -> height 26; gap 640*15/3000 = 3.
  EXPECT_EQ(TransparentStripRect(video, 640, 480, 15, true), (TStripRect{12, 480 - 26 - 3, 616, 26}));
  EXPECT_EQ(TransparentStripRect(video, 640, 480, 15, false),
            (TStripRect{12, 40 + 360 - 26 - 3, 616, 26}));
}

TEST(SubtitleLayout, KeyColouredRowsEndAtThePictureBottom) {
  const TStripRect video{0, 40, 640, 400};  // picture bottom at 440
  EXPECT_EQ(KeyColouredRows(video, {0, 420, 640, 50}), 20);
  EXPECT_EQ(KeyColouredRows(video, {0, 450, 640, 20}), 0);   // all below the picture
  EXPECT_EQ(KeyColouredRows(video, {0, 300, 640, 50}), 50);  // all over the picture
}

TEST(SubtitleLayout, LinesStackUpFromTheStripBottomCentred) {
  EXPECT_EQ(SubtitleLineTop(100, 20, 1), 100 - 28 - 5);
  EXPECT_EQ(SubtitleLineTop(100, 20, 2), 100 - 56 - 5);
  EXPECT_EQ(SubtitleLineTop(66, 15, 1), 66 - 21 - 3);
  EXPECT_EQ(SubtitleLineLeft(600, 200), 200);
  EXPECT_EQ(SubtitleLineLeft(600, 201), 199);
  EXPECT_EQ(SubtitleLineLeft(100, 300), -100);
}

TEST(SubtitleLayout, AbsurdSettingsDoNotOverflow) {
  EXPECT_EQ(SubtitleFontSize(2000000000, 2000000000), 2147483647);
  const TStripRect r = TransparentStripRect({0, 0, 100, 100}, 2000000000, 100, 2000000000, true);
  EXPECT_EQ(r.Height, 2147483647);
}

}  // namespace
}  // namespace kv
