#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_text.h"

namespace kv {
namespace {

TEST(IntegerText, acceptsSpacesSignDigitsAndHex_rejectsAnythingAfterOrOutOfRange) {
  struct Row {
    const char* text;
    std::optional<std::int32_t> value;
  };
  const Row rows[] = {
      {"0", 0},           {"42", 42},         {"  7", 7},         {"+5", 5},
      {"-12", -12},       {"$1F", 31},        {"-$a", -10},       {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"", std::nullopt}, {" ", std::nullopt}, {"-", std::nullopt}, {"$", std::nullopt},
      {"1 ", std::nullopt}, {"1a", std::nullopt}, {"0x10", std::nullopt}, {"- 1", std::nullopt},
      {"2147483648", std::nullopt}, {"$80000000", std::nullopt}, {"1.0", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(ParseIntegerText(row.text), row.value) << '"' << row.text << '"';
}

TEST(IntegerText, scanLengthStopsAtFirstForeignCharacter) {
  EXPECT_EQ(IntegerTextScanLength("25A"), 2u);
  EXPECT_EQ(IntegerTextScanLength(" -$fFx"), 5u);
  EXPECT_EQ(IntegerTextScanLength("abc"), 0u);
  EXPECT_EQ(IntegerTextScanLength("123"), 3u);
}

TEST(DecimalNumber, readsPointNumbersOnly) {
  EXPECT_EQ(ParseDecimalNumber("23.976"), 23.976);
  EXPECT_EQ(ParseDecimalNumber("25"), 25.0);
  EXPECT_EQ(ParseDecimalNumber(" +2.5e1"), 25.0);
  EXPECT_EQ(ParseDecimalNumber(".5"), 0.5);
  for (const char* bad : {"", "23,976", "25fps", "e5", "1e", "25 ", "."}) {
    EXPECT_FALSE(ParseDecimalNumber(bad)) << bad;
  }
}

TEST(TextCut, keepsAt255Bytes_neverSplittingAUtf8Sequence) {
  const std::string a254(254, 'a');
  const std::string a253(253, 'a');
  struct Row {
    std::string text;
    std::size_t kept;
  };
  const Row rows[] = {
      {std::string(300, 'a'), 255},
      {a253 + "\xC3\xA9", 255},                 // two-byte sequence ends at 255: whole
      {a254 + "\xC3\xA9", 254},                 // would be split: cut before it
      {a253 + "\xE2\x82\xAC", 253},             // three-byte sequence across the cut
      {a254 + "\xE2\x82\xAC", 254},
      {a253 + "\xF0\x9F\x98\x80", 253},         // four bytes
      {a254 + "\xE9" + "abc", 255},             // Windows-1252 "é": not UTF-8, plain cut
      {std::string(255, 'a') + "\xA9", 255},    // stray continuation byte after the cut
      {std::string(255, '\xA9') + "\xA9", 255}, // no lead byte within reach
  };
  for (const Row& row : rows) EXPECT_EQ(SubtitleCutLength(row.text), row.kept) << row.text.size();
}

TEST(TextCut, appliesOnEveryAssignmentAndAppend) {
  TSubTitleItem item;
  item.SetText(std::string(300, 'x'));
  EXPECT_EQ(item.Text().size(), 255u);
  item.SetText(std::string(250, 'x'));
  item.AppendText("|Hello");
  EXPECT_EQ(item.Text(), std::string(250, 'x') + "|Hell");
  item.AppendText("more");
  EXPECT_EQ(item.Text().size(), 255u);
}

TEST(ReplaceAll, replacesLeftToRight_optionallyIgnoringCase) {
  EXPECT_EQ(ReplaceAll("a<P>b<p>c", "<p>", "|", true), "a|b|c");
  EXPECT_EQ(ReplaceAll("a<P>b<p>c", "<p>", "|"), "a<P>b|c");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");
  EXPECT_EQ(ReplaceAll("x", "", "y"), "x");
}

}  // namespace
}  // namespace kv
