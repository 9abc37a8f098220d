// Layout values, labels and geometry of the OSD (no Qt).
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "osd/osd_geometry.h"
#include "osd/osd_labels.h"
#include "osd/osd_layout_values.h"
#include "platform/ini/ini_file.h"
#include "osd_test_values.h"

namespace kv::osd {
namespace {

using test::TMapValueReader;

TOsdLayoutValues Defaults() {
  TMapValueReader empty;
  return ReadLayoutValues(empty);
}

TEST(OsdLayoutValues, ReadLayoutValues_givesEveryDefault_whenNothingIsStored) {
  const TOsdLayoutValues v = Defaults();
  const std::pair<int32_t, int32_t> rows[] = {
      {v.TimePosX, 95},      {v.TimePosY, 4},       {v.TimeSize, 5},       {v.TimeAlignX, 2},
      {v.TimeAlignY, 0},     {v.ChanNumPosX, 14},   {v.ChanNumPosY, 4},    {v.ChanNumSize, 10},
      {v.ChanNumAlignX, 2},  {v.ChanNumAlignY, 0},  {v.ChanNamePosX, 15},  {v.ChanNamePosY, 4},
      {v.ChanNameSize, 6},   {v.ChannelAlignX, 0},  {v.ChannelAlignY, 0},  {v.SoundModePosX, 15},
      {v.SoundModePosY, 10}, {v.SoundModeSize, 4},  {v.SoundAlignX, 0},    {v.SoundAlignY, 0},
      {v.RecStatusPosX, 5},  {v.RecStatusPosY, 90}, {v.RecStatusSize, 5},  {v.RecAlignX, 0},
      {v.RecAlignY, 0},      {v.BarPosX, 50},       {v.BarPosY, 85},       {v.BarSize, 5},
      {v.BarAlignX, 1},      {v.BarAlignY, 0},      {v.MenuPosX, 50},      {v.MenuPosY, 50},
      {v.MenuWidth, 70},     {v.MenuHeight, 70},    {v.MenuItemSize, 5},   {v.Delay, 3},
      {v.FontCharSet, 0}};
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
  EXPECT_EQ(v.Background, 0u);
  EXPECT_EQ(v.Color, 65280u);
  EXPECT_EQ(v.OpaqueFontColor, 0u);
  EXPECT_EQ(v.Font, "Verdana");
  EXPECT_TRUE(v.Transparent);
  EXPECT_TRUE(v.OpaqueFontBorder);
}

TEST(OsdLayoutValues, ReadLayoutValues_takesEveryStoredInteger_byItsName) {
  TMapValueReader reader;
  const auto names = IntegerValueNames();
  ASSERT_EQ(names.size(), 37u);
  for (size_t i = 0; i < names.size(); ++i) reader.Values[names[i]] = static_cast<int32_t>(1000 + i);
  const TOsdLayoutValues v = ReadLayoutValues(reader);
  // Spot the ends and a few in between; the table drives all of them.
  EXPECT_EQ(v.TimePosX, 1000);
  EXPECT_EQ(v.ChannelAlignY, 1014);
  EXPECT_EQ(v.RecStatusSize, 1022);
  EXPECT_EQ(v.MenuWidth, 1032);
  EXPECT_EQ(v.MenuHeight, 1033);
  EXPECT_EQ(v.Delay, 1035);
  EXPECT_EQ(v.FontCharSet, 1036);
}

TEST(OsdLayoutValues, ReadLayoutValues_readsColoursBooleansAndFont_andKeepsDefaultsForWrongTypes) {
  TMapValueReader reader;
  reader.Values["Color"] = int32_t{0x0000FF};
  reader.Values["Background"] = int32_t{0x123456};
  reader.Values["OpaqueFontColor"] = int32_t{-1};
  reader.Values["Transparent"] = int32_t{0};
  reader.Values["OpaqueFontBorder"] = int32_t{0};
  reader.Values["Font"] = std::string("DejaVu Sans");
  reader.Values["TimeSize"] = std::string("12");  // a string where an integer belongs
  reader.Values["Delay"] = std::string("x");
  const TOsdLayoutValues v = ReadLayoutValues(reader);
  EXPECT_EQ(v.Color, 0x0000FFu);
  EXPECT_EQ(v.Background, 0x123456u);
  EXPECT_EQ(v.OpaqueFontColor, 0xFFFFFFFFu);
  EXPECT_FALSE(v.Transparent);
  EXPECT_FALSE(v.OpaqueFontBorder);
  EXPECT_EQ(v.Font, "DejaVu Sans");
  EXPECT_EQ(v.TimeSize, 5);
  EXPECT_EQ(v.Delay, 3);
}

TEST(OsdGeometry, ReferenceHeight_isTheSmallerOfHeightAndThreeQuartersOfWidth) {
  struct Row { int W, Hgt, H0; } rows[] = {
      {640, 480, 480}, {1000, 300, 300}, {400, 600, 300}, {0, 480, 0}, {641, 1000, 480},
      {65536 + 640, 480, 480},      // only the low 16 bits of the size count
      {640, 65536 + 100, 100},
  };
  for (const Row& r : rows) EXPECT_EQ(ReferenceHeight(r.W, r.Hgt), r.H0) << r.W << "x" << r.Hgt;
}

TEST(OsdGeometry, AlignedPos_placesStartCentreOrEnd) {
  struct Row { int pos, size, align, expected; } rows[] = {
      {100, 50, 0, 100}, {100, 50, 1, 75}, {100, 50, 2, 50}, {100, 51, 1, 75},  // 51 div 2 = 25
      {0, 10, 1, -5},
  };
  for (const Row& r : rows) EXPECT_EQ(AlignedPos(r.pos, r.size, r.align), r.expected);
}

TEST(OsdGeometry, ClockRect_withDefaultsIn640x480_is125x24AtRightEdge608Top19) {
  const TOsdRect r = ClockRect(Defaults(), 640, 480);
  EXPECT_EQ(r.Height, 24);
  EXPECT_EQ(r.Width, 125);
  EXPECT_EQ(r.Left + r.Width, 608);
  EXPECT_EQ(r.Top, 19);
}

TEST(OsdGeometry, ElementRects_followTheirRules_withDefaultsIn640x480) {
  const TOsdLayoutValues v = Defaults();
  // sound mode: h = 480*4/100 = 19, w = 95, left at 640*15/100 = 96, top 48
  EXPECT_EQ(SoundModeRect(v, 640, 480), (TOsdRect{96, 48, 95, 19}));
  // bar: h 24, w 432, centred, centre at 480*85/100 = 408
  EXPECT_EQ(BarRect(v, 640, 480), (TOsdRect{320 - 216, 408 - 12, 432, 24}));
  // menu: h = 480*70/100 = 336, w = 640*70/100 = 448, centred at y 240
  EXPECT_EQ(MenuRect(v, 640, 480), (TOsdRect{320 - 224, 240 - 168, 448, 336}));
  // status: width = text + 2 + 2d, at 5 % / 90 %
  EXPECT_EQ(StatusRect(v, 640, 480, 100, 2), (TOsdRect{32, 432, 106, 24}));
  EXPECT_EQ(StatusHeight(v, 640, 480), 24);
}

TEST(OsdGeometry, MessageRect_nineCharactersAtBarSize5In640x480_is144x24) {
  const TOsdRect r = MessageRect(Defaults(), 640, 480, 9);
  EXPECT_EQ(r.Height, 24);
  EXPECT_EQ(r.Width, 144);
  EXPECT_EQ(r.Left, 320 - 72);    // centred: BarAlignX 1 at W div 2
  EXPECT_EQ(r.Top, 480 * 6 / 7);  // BarAlignY 0 at 6/7 of the height
}

TEST(OsdGeometry, MenuRect_heightFollowsMenuWidth_andWidthFollowsMenuHeight) {
  TOsdLayoutValues v = Defaults();
  v.MenuWidth = 50;
  v.MenuHeight = 90;
  const TOsdRect r = MenuRect(v, 640, 480);
  EXPECT_EQ(r.Height, 480 * 50 / 100);
  EXPECT_EQ(r.Width, 640 * 90 / 100);
}

TEST(OsdGeometry, BarPosXAndMenuPosX_moveNothing) {
  TOsdLayoutValues v = Defaults();
  const TOsdRect bar = BarRect(v, 800, 600);
  const TOsdRect menu = MenuRect(v, 800, 600);
  const TOsdRect message = MessageRect(v, 800, 600, 4);
  v.BarPosX = 10;
  v.MenuPosX = 90;
  EXPECT_EQ(BarRect(v, 800, 600), bar);
  EXPECT_EQ(MenuRect(v, 800, 600), menu);
  EXPECT_EQ(MessageRect(v, 800, 600, 4), message);
}

TEST(OsdGeometry, Rects_stayBoundedAndEmpty_forAbsurdStoredValues) {
  TOsdLayoutValues v = Defaults();
  v.MenuHeight = 100000;
  v.MenuWidth = INT_MAX;
  v.TimeSize = INT_MAX;
  v.TimePosX = INT_MIN;
  v.TimeAlignX = INT_MAX;
  v.BarSize = -5;
  const TOsdRect menu = MenuRect(v, 1920, 1080);
  EXPECT_LE(menu.Width, kMaxPanelExtent);
  EXPECT_LE(menu.Height, kMaxPanelExtent);
  const TOsdRect clock = ClockRect(v, 1920, 1080);
  EXPECT_LE(clock.Width, kMaxPanelExtent);
  EXPECT_GE(clock.Left, -kMaxCoordinate);
  EXPECT_TRUE(BarRect(v, 1920, 1080).Empty());
  EXPECT_TRUE(MessageRect(v, 1920, 1080, 5).Empty());
  EXPECT_LE(MessageRect(Defaults(), 1920, 1080, INT_MAX).Width, kMaxPanelExtent);
}

TEST(OsdGeometry, MenuRows_titleBandIsOneAndAHalfRows_andOneRowMarginStaysFree) {
  const TOsdLayoutValues v = Defaults();
  const int r = MenuRowHeight(v, 480);
  EXPECT_EQ(r, 24);
  EXPECT_EQ(MenuTitleBand(r), 36);
  EXPECT_EQ(MenuRowTop(r, 0), 36);
  EXPECT_EQ(MenuRowTop(r, 3), 36 + 72);
  // 336 high: rows k with 36 + (k + 2) * 24 <= 336, so k = 0..10
  EXPECT_EQ(MenuRowsThatFit(336, 24), 11);
  EXPECT_EQ(MenuRowsThatFit(36 + 2 * 24, 24), 1);
  EXPECT_EQ(MenuRowsThatFit(36 + 2 * 24 - 1, 24), 0);
  EXPECT_EQ(MenuRowsThatFit(336, 0), 0);
}

TEST(OsdGeometry, OutlineOffset_isRoundedLogOfPointsOverFive_neverNegative) {
  struct Row { int points, d; } rows[] = {{-3, 0}, {0, 0}, {1, 0}, {5, 0}, {8, 0},
                                          {9, 1},  {14, 1}, {40, 2}, {100, 3}};
  for (const Row& r : rows) EXPECT_EQ(OutlineOffset(r.points), r.d) << r.points;
}

TEST(OsdGeometry, DimColor_halvesEveryChannel) {
  EXPECT_EQ(DimColor(0x00FF00), 0x007F00u);
  EXPECT_EQ(DimColor(0xFFFFFF), 0x7F7F7Fu);
  EXPECT_EQ(DimColor(0x010101), 0u);
  EXPECT_EQ(DimColor(0xFF808001u), 0x404000u);
}

TEST(OsdGeometry, BarSteps_are63HalfPitchStepsRightOfTheLabel) {
  const int pw = 432, ph = 24;  // the default bar in 640 x 480
  const auto steps = BarSteps(pw, ph);
  ASSERT_EQ(steps.size(), 63u);
  const int span = pw - 5 * ph;  // 312, pitch 4
  EXPECT_EQ(steps.front().Index, 63);
  EXPECT_EQ(steps.front().Right, pw - ph / 7);
  EXPECT_EQ(steps.front().Right - steps.front().Left, span / 128);
  EXPECT_EQ(steps.front().Top, ph / 7);
  EXPECT_EQ(steps.front().Bottom, ph - ph / 7);
  EXPECT_EQ(steps.back().Index, 1);
  EXPECT_EQ(steps.back().Right, pw - ph / 7 - 62 * (span / 64));
  EXPECT_GE(steps.back().Left, 5 * ph);
  for (size_t i = 1; i < steps.size(); ++i) EXPECT_EQ(steps[i - 1].Left - steps[i].Left, span / 64);
}

TEST(OsdGeometry, BarSteps_becomeLines_whenThePitchIsBelowTwoPixels) {
  const auto steps = BarSteps(5 * 20 + 100, 20);  // span 100: half pitch 0
  ASSERT_EQ(steps.size(), 63u);
  EXPECT_TRUE(steps.front().IsLine());
  EXPECT_TRUE(BarSteps(0, 20).empty());
}

TEST(OsdGeometry, BarLevels_convertBetween0To255And0To63) {
  struct Row { int level, value; } rows[] = {{255, 63}, {128, 32}, {0, 0}, {3, 0}, {4, 1},
                                             {256, 63}, {100000, 63}, {-5, 0}};
  for (const Row& r : rows) EXPECT_EQ(BarValueFromLevel(r.level), r.value) << r.level;
  EXPECT_EQ(LevelFromBarValue(63), 252);
  EXPECT_EQ(LevelFromBarValue(0), 0);
}

TEST(OsdGeometry, SoundModeWord_namesCodesMinus2To4_andNothingElse) {
  struct Row { int code; const char* word; } rows[] = {
      {-3, ""}, {-2, "UNMUTE"}, {-1, "MUTE"}, {0, "MONO"}, {1, "STEREO"},
      {2, "DUAL A"}, {3, "DUAL B"}, {4, "DUAL A+B"}, {5, ""}};
  for (const Row& r : rows) EXPECT_EQ(SoundModeWord(r.code), r.word) << r.code;
  EXPECT_EQ(SoundModeTextX(0, 100, 40, 2), 2);
  EXPECT_EQ(SoundModeTextX(1, 100, 40, 2), 30);
  EXPECT_EQ(SoundModeTextX(2, 100, 40, 2), 58);
}

// ---- labels ---------------------------------------------------------------------------

class OsdLabels : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kavello_osd_labels_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_ / "Lang");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& language, const std::string& text) {
    std::ofstream(dir_ / "Lang" / (language + ".lng"), std::ios::binary) << text;
    return LabelFilePath(dir_.string(), language);
  }
  std::filesystem::path dir_;
};

TEST_F(OsdLabels, LabelFilePath_isLangSlashNameDotLng_evenWithoutAName) {
  EXPECT_EQ(LabelFilePath("", ""), "Lang/.lng");
  EXPECT_EQ(LabelFilePath("/opt/kv", "German"), "/opt/kv/Lang/German.lng");
  EXPECT_EQ(LabelFilePath("/opt/kv/", "German"), "/opt/kv/Lang/German.lng");
}

TEST_F(OsdLabels, ReadLabels_keepsEveryDefault_whenTheFileIsMissing) {
  const TOsdLabels labels = ReadLabels((dir_ / "Lang" / "None.lng").string());
  const TOsdLabels defaults;
  EXPECT_EQ(labels.Bars, defaults.Bars);
  EXPECT_EQ(labels.Bars[9], "Whitebal");
  EXPECT_EQ(labels.Bars[10], "Backlight");
  EXPECT_EQ(labels.MenuTitle, "OSD Menu");
}

TEST_F(OsdLabels, ReadLabels_takesKeysOfTheDisplaySection_caseInsensitively) {
  const std::string path = Write("Test",
                                 "\xEF\xBB\xBF[Other]\r\nVolume=Wrong\r\n"
                                 "[display]\r\n volume = Lautstaerke \r\nWHITEBALANCE=\"Weiss\"\r\n"
                                 "; OSDMenu=Comment\r\nBacklightComp=\r\nOSDMenu=Menue\r\nOSDMenu=Second\r\n");
  const TOsdLabels labels = ReadLabels(path);
  EXPECT_EQ(labels.Bars[0], "Lautstaerke");
  EXPECT_EQ(labels.Bars[1], "Brightness");  // missing key keeps its default
  EXPECT_EQ(labels.Bars[9], "Weiss");
  EXPECT_EQ(labels.Bars[10], "");           // a present but empty key is empty
  EXPECT_EQ(labels.MenuTitle, "Menue");     // the first of two equal keys wins
}

TEST_F(OsdLabels, ReadLabels_ofTheShippedEnglishFile_givesTheDefaultWords) {
  const std::string path = std::string(KAVELLO_TEST_SOURCE_DIR) + "/../data/Lang/English.lng";
  const TOsdLabels labels = ReadLabels(path);
  const TOsdLabels defaults;
  EXPECT_EQ(labels.Bars, defaults.Bars);
  EXPECT_EQ(labels.MenuTitle, defaults.MenuTitle);
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  const ini::TIniFile file(path);
  for (const char* key : kBarLabelKeys) EXPECT_TRUE(file.ValueExists("Display", key)) << key;
  EXPECT_TRUE(file.ValueExists("Display", kMenuTitleKey));
}

}  // namespace
}  // namespace kv::osd
