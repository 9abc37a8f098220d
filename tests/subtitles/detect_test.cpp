#include <gtest/gtest.h>

#include "subtitle_test_support.h"
#include "subtitles/subtitle_readers.h"

namespace kv {
namespace {

TEST(DetectFormat, firstNonEmptyLineRulesApplyInOrder) {
  struct Row {
    const char* line;
    int format;
  };
  const Row rows[] = {
      {"{1}{2}x", sfMicroDVD},
      {"{", sfMicroDVD},
      {"00:00:01.00,00:00:02.00", sfSubViewer},
      {"[INFORMATION]", sfSubViewer},
      {"[Script Info]", sfSubViewer},  // a SubStation file not named .ssa/.ass
      {"00:00:01:00\t00:00:02:00\tx", sfTabbed},
      {"0:00:01:Text", sfTimedLines},
      {"00:00:01:Text", sfTimedLines},
      {"1", sfSubRip},
      {"  12", sfSubRip},
      {"$1F", sfSubRip},
      {"0", sfSubRip},
      {"-1", sfNone},
      {"1 ", sfNone},
      {"00:00:01,000 --> 00:00:02,000", sfNone},  // SubRip needs its number line first
      {"0:00:01.50", sfNone},
      {"Hello", sfNone},
      {"00:00:01.", sfSubViewer},  // nine characters are enough
      {"00:00:01", sfNone},
  };
  for (const Row& row : rows) EXPECT_EQ(FormatFromFirstLine(row.line), row.format) << '"' << row.line << '"';
}

TEST(DetectFormat, extensionAloneDecidesAqtSsaAndAss) {
  EXPECT_EQ(TSubTitles::DetectFormat("/no/such/dir/a.AQT"), sfAQTitle);
  EXPECT_EQ(TSubTitles::DetectFormat("/no/such/dir/a.ssa"), sfSubStation);
  EXPECT_EQ(TSubTitles::DetectFormat("/no/such/dir/a.Ass"), sfSubStation);
  EXPECT_EQ(TSubTitles::DetectFormat("/no/such/dir.aqt/a"), sfNone);
  EXPECT_EQ(TSubTitles::DetectFormat("/no/such/dir/a.srt"), sfNone);
  EXPECT_EQ(TSubTitles::DetectFormat(""), sfNone);
}

TEST(DetectFormat, readsFilesSkippingEmptyLinesAndByteOrderMarks) {
  test::TTempDir dir;
  EXPECT_EQ(TSubTitles::DetectFormat(dir.Write("a.srt", "\r\n\n1\r\n00:00:01,000 --> 00:00:02,000\r\nx\r\n")), sfSubRip);
  EXPECT_EQ(TSubTitles::DetectFormat(dir.Write("b.srt", "\xEF\xBB\xBF" "1\r\n")), sfSubRip);
  EXPECT_EQ(TSubTitles::DetectFormat(dir.Write("c.srt", std::string("\xFF\xFE" "1\0\n\0", 6))), sfSubRip);
  EXPECT_EQ(TSubTitles::DetectFormat(dir.Write("d.txt", "\n\n")), sfNone);
  EXPECT_EQ(TSubTitles::DetectFormat(dir.Write("e.txt", "")), sfNone);
  EXPECT_EQ(TSubTitles::DetectFormat(dir.Write("f.txt", "just some notes\n")), sfNone);
  for (const test::TSample& sample : test::Samples()) {
    const int expected = sample.format;
    EXPECT_EQ(TSubTitles::DetectFormat(dir.Write(sample.fileName, sample.text)), expected) << sample.fileName;
  }
}

}  // namespace
}  // namespace kv
