#include <gtest/gtest.h>

#include <optional>

#include "subtitles/subtitle_time.h"

namespace kv {
namespace {

TEST(ParseTime, readsHundredthsAndMilliseconds_rejectsBrokenOrOutOfRangeTimes) {
  struct Row {
    const char* text;
    std::uint32_t ms;
  };
  const Row rows[] = {
      {"00:00:01,500", 1500},
      {"0:00:01.50", 1500},
      {"00:00:01:50", 1500},        // third ":" separates the hundredths
      {"1:02:03.045", 3723045},
      {"00:00:01.500,7", kUnreadableTime},  // "." wins; fraction "500,7" too long
      {" 1:00:00.00", 3600000},
      {"$A:00:00.00", 36000000},
      {"00:00:01,-5", 950},         // the fraction is integer text, sign and all
      {"1193:00:00.00", 4294800000u},
      {"1194:00:00.00", kUnreadableTime},  // past 32 bits: no wrap to a wrong time
      {"-1:00:00.00", kUnreadableTime},    // before zero
      {"00:00:01.5", kUnreadableTime},
      {"00:00:01.5000", kUnreadableTime},
      {"00:00:01", kUnreadableTime},
      {"00:01", kUnreadableTime},
      {"", kUnreadableTime},
      {"a:00:01.00", kUnreadableTime},
      {"00:00:01.0x", kUnreadableTime},
      {"00:00:01.50 ", kUnreadableTime},
  };
  for (const Row& row : rows) EXPECT_EQ(ParseTime(row.text), row.ms) << '"' << row.text << '"';
}

TEST(FormatTime, writesBothFormsWithTwoDigitFields) {
  EXPECT_EQ(FormatTime(3723045, TTimeForm::Milliseconds), "01:02:03,045");
  EXPECT_EQ(FormatTime(3723045, TTimeForm::Hundredths), "01:02:03:04");
  EXPECT_EQ(FormatTime(0, TTimeForm::Milliseconds), "00:00:00,000");
  EXPECT_EQ(FormatTime(5, TTimeForm::Milliseconds), "00:00:00,005");
  EXPECT_EQ(FormatTime(360000000, TTimeForm::Hundredths), "100:00:00:00");
  EXPECT_EQ(FormatTime(kUnreadableTime, TTimeForm::Milliseconds), "1193:02:47,295");
}

TEST(FrameTime, roundsHalfToEven_in64Bits) {
  struct Row {
    const char* frame;
    double rate;
    std::optional<std::uint32_t> ms;
  };
  const Row rows[] = {
      {"1", 25, 40},       {"37", 25, 1480},    {"1", 24, 42},      {"0", 25, 0},
      {"1", 2000, 0},      {"3", 2000, 2},      {"5", 2000, 2},     {"7", 2000, 4},
      {"2147484", 25, 85899360},                 // n x 1000 passes 2^31
      {"2147483647", 1, kUnreadableTime},        // past 32 bits
      {"-1", 25, std::nullopt}, {"x", 25, std::nullopt}, {"", 25, std::nullopt},
      {"1", 0, std::nullopt},   {"1", -25, std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(FrameTime(row.frame, row.rate), row.ms) << row.frame << " @ " << row.rate;
}

TEST(TimeAfter, holdsAtUnreadableInsteadOfWrapping) {
  EXPECT_EQ(TimeAfter(1000, 5000), 6000u);
  EXPECT_EQ(TimeAfter(4294967000u, 5000), kUnreadableTime);
}

}  // namespace
}  // namespace kv
