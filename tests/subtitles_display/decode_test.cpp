// Text decoding: UTF-8 when the bytes are UTF-8, else the code page of FontEnc, row by row.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "subtitles/framerate_values.h"
#include "subtitles/subtitle_decode.h"
#include "subtitles/subtitle_layout.h"

namespace kv {
namespace {

struct TDecodeRow {
  std::int32_t FontEnc;
  const char* Bytes;
  const char* Utf8;
};

// One letter per character set that is not plain ASCII in that set.
const TDecodeRow kRows[] = {
    {0, "\xE9", "\xC3\xA9"},                 // é
    {1, "\xE9", "\xC3\xA9"},                 // DEFAULT reads as Western
    {2, "\xE9", "\xC3\xA9"},                 // SYMBOL reads as Western
    {77, "\x8E", "\xC3\xA9"},                // Mac Roman é
    {128, "\x82\xA0", "\xE3\x81\x82"},       // Shift-JIS あ
    {129, "\xB0\xA1", "\xEA\xB0\x80"},       // Korean 가
    {130, "\x88\x61", "\xEA\xB0\x80"},       // Johab 가
    {134, "\xC4\xE3", "\xE4\xBD\xA0"},       // GBK 你
    {136, "\xA4\x40", "\xE4\xB8\x80"},       // Big5 一
    {161, "\xC1", "\xCE\x91"},               // Greek Α
    {162, "\xD0", "\xC4\x9E"},               // Turkish Ğ
    {163, "\xC3", "\xC4\x82"},               // Vietnamese Ă
    {177, "\xE0", "\xD7\x90"},               // Hebrew א
    {178, "\xC7", "\xD8\xA7"},               // Arabic ا
    {186, "\xC0", "\xC4\x84"},               // Baltic Ą
    {204, "\xC0", "\xD0\x90"},               // Cyrillic А
    {222, "\xA1", "\xE0\xB8\x81"},           // Thai ก
    {238, "\x9A", "\xC5\xA1"},               // Central European š
    {255, "\x82", "\xC3\xA9"},               // OEM 437 é
};

TEST(SubtitleDecode, EveryCharsetRowDecodesItsLetter) {
  std::size_t count = 0;
  const TCharsetRow* table = SubtitleCharsetTable(count);
  std::set<std::int32_t> tested;
  for (const TDecodeRow& r : kRows) {
    EXPECT_EQ(DecodeSubtitleText(r.Bytes, r.FontEnc), r.Utf8) << "FontEnc " << r.FontEnc;
    tested.insert(r.FontEnc);
  }
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_TRUE(tested.count(table[i].FontEnc)) << "row without a test: " << table[i].FontEnc;
  }
}

TEST(SubtitleDecode, ValidUtf8IsShownAsUtf8WhateverTheCharset) {
  const std::string text = "\xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD";  // žluťoučký
  EXPECT_EQ(DecodeSubtitleText(text, 238), text);
  EXPECT_EQ(DecodeSubtitleText(text, 204), text);
  EXPECT_EQ(DecodeSubtitleText("plain", 128), "plain");
}

TEST(SubtitleDecode, CentralEuropeanAndCyrillicFilesShowTheirLetters) {
  // "Příliš" in Windows-1250 and "Привет" in Windows-1251.
  EXPECT_EQ(DecodeSubtitleText("P\xF8\xED\x6C\x69\x9A", 238), "P\xC5\x99\xC3\xADli\xC5\xA1");
  EXPECT_EQ(DecodeSubtitleText("\xCF\xF0\xE8\xE2\xE5\xF2", 204),
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
}

TEST(SubtitleDecode, UnknownCharsetReadsAsWestern) {
  EXPECT_EQ(DecodeSubtitleText("\xE9", 9999), "\xC3\xA9");
  EXPECT_STREQ(SubtitleEncodingFor(-1), "CP1252");
}

TEST(SubtitleDecode, UnmappableBytesBecomeReplacementCharacters) {
  // 0x81 has no letter in Windows-1252; a Shift-JIS lead byte at the end has no partner.
  EXPECT_EQ(DecodeSubtitleText("a\x81z", 0), "a\xEF\xBF\xBDz");
  EXPECT_EQ(DecodeSubtitleText("a\x82", 128), "a\xEF\xBF\xBD");
}

TEST(SubtitleDecode, LineBreaksAreFoundAfterDecoding) {
  // ポ in Shift-JIS is 0x83 0x7C: its second byte is "|" but does not split the line.
  const std::string decoded = DecodeSubtitleText("\x83\x7C|x", 128);
  EXPECT_EQ(decoded, "\xE3\x83\x9D|x");
  EXPECT_EQ(SubtitleLineCount(decoded), 2);
  EXPECT_EQ(SubtitleLine(decoded, 2), "\xE3\x83\x9D");
}

TEST(SubtitleDecode, Utf8Validation) {
  struct Row { const char* bytes; bool valid; };
  for (const Row& r : {Row{"", true}, Row{"abc", true}, Row{"\xE2\x82\xAC", true},
                       Row{"\xF0\x9F\x98\x80", true}, Row{"\xC0\x80", false},
                       Row{"\xE0\x80\xAF", false}, Row{"\xED\xA0\x80", false},
                       Row{"\xF4\x90\x80\x80", false}, Row{"\xE2\x82", false},
                       Row{"\x80", false}, Row{"\xFF", false}, Row{"\xE9t\xE9", false}}) {
    EXPECT_EQ(IsValidUtf8(r.bytes), r.valid) << testing::PrintToString(std::string(r.bytes));
  }
}

TEST(FramerateValues, TenthsCarryTheSignOfTheSeconds) {
  struct Row { int sec, tenths, ms; };
  for (const Row& r : {Row{-2, 5, -2500}, Row{0, 5, 500}, Row{3, 0, 3000}, Row{-1, 0, -1000},
                       Row{0, 0, 0}, Row{12, 9, 12900}, Row{-2147483647 - 1, 9, -2147483647 - 1},
                       Row{2147483647, 9, 2147483647}}) {
    EXPECT_EQ(FramerateOffsetMs(r.sec, r.tenths), r.ms) << r.sec << " " << r.tenths;
  }
}

TEST(FramerateValues, FramerateTextIsADecimalNumberWithAPoint) {
  struct Row { const char* text; bool valid; double value; };
  for (const Row& r : {Row{"23.976", true, 23.976}, Row{"25", true, 25}, Row{" 29.97", true, 29.97},
                       Row{"1e1", true, 10}, Row{"0", true, 0}, Row{"23,976", false, 0},
                       Row{"", false, 0}, Row{"abc", false, 0}, Row{"25fps", false, 0}}) {
    const auto v = ParseFramerateText(r.text);
    EXPECT_EQ(v.has_value(), r.valid) << r.text;
    if (v && r.valid) {
      EXPECT_DOUBLE_EQ(*v, r.value) << r.text;
    }
  }
}

}  // namespace
}  // namespace kv
