#include <gtest/gtest.h>

#include <sstream>

#include "subconv.h"
#include "subtitle_test_support.h"
#include "subtitles/subtitle_time.h"

namespace kv::subconv {
namespace {

TEST(SubconvArguments, readsOptionsInAnyOrder_rejectsBadValues) {
  std::string error;
  auto options = ParseArguments({"--to", "tabbed", "in.sub", "--fps", "23.976", "--offset", "-2000", "out.txt"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->format, sfTabbed);
  EXPECT_EQ(options->framerate, 23.976);
  EXPECT_EQ(options->offset, -2000);
  EXPECT_EQ(options->input, "in.sub");
  EXPECT_EQ(options->output, "out.txt");
  options = ParseArguments({"a", "b"}, error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->format, sfSubRip);
  EXPECT_FALSE(options->framerate);

  const std::vector<std::vector<std::string>> bad = {
      {}, {"a"}, {"a", "b", "c"}, {"--fps", "0", "a", "b"}, {"--fps", "x", "a", "b"}, {"--offset", "1.5", "a", "b"},
      {"--to", "sub", "a", "b"}, {"--to"}, {"--verbose", "a", "b"},
  };
  for (const auto& args : bad) {
    error.clear();
    EXPECT_FALSE(ParseArguments(args, error)) << args.size();
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(ParseArguments({"--help"}, error)->help);
}

TEST(SubconvShift, movesTimesHoldsAtZeroAndDropsEntriesEndingBeforeZero) {
  TSubTitles list;
  for (auto [start, stop] : {std::pair<std::uint32_t, std::uint32_t>{500, 900}, {1000, 3000}, {4000, kUnreadableTime}}) {
    TSubTitleItem item;
    item.Start = start;
    item.Stop = stop;
    item.SetText("x");
    list.Items.push_back(item);
  }
  ShiftTimes(list, -1500);
  EXPECT_EQ(test::Entries(list), (std::vector<test::TEntry>{{0, 1500, "x"}, {2500, kUnreadableTime, "x"}}));
}

TEST(SubconvRun, convertsWithFramerateAndOffset) {
  test::TTempDir dir;
  TOptions options;
  options.framerate = 50.0;
  options.offset = 1000;
  options.format = sfTabbed;
  options.input = dir.Write("in.sub", "{50}{100}<Hello>|{y:i}World\n");
  options.output = dir.Path("out.txt");
  std::ostringstream err;
  EXPECT_EQ(Convert(options, err), kExitOk);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(test::ReadWholeFile(options.output), "00:00:02:00\t00:00:03:00\t<Hello><P>World\r\n");
}

TEST(SubconvRun, failsWithOneLineReason) {
  test::TTempDir dir;
  struct Row {
    std::string input;
    std::string output;
    int code;
    std::string reason;
  };
  const Row rows[] = {
      {dir.Path("missing.srt"), dir.Path("o"), kExitNoSubtitles, "cannot open"},
      {dir.Write("notes.txt", "Dear diary\n"), dir.Path("o"), kExitNoSubtitles, "is not a subtitle file"},
      {dir.Write("empty.srt", "1\n\n"), dir.Path("o"), kExitNoSubtitles, "holds no subtitle entry"},
      {dir.Write("ok.srt", "1\n00:00:01,000 --> 00:00:02,000\nx\n"), dir.Path("no/dir/o"), kExitUsage, "cannot write"},
  };
  for (const Row& row : rows) {
    TOptions options;
    options.input = row.input;
    options.output = row.output;
    std::ostringstream err;
    EXPECT_EQ(Convert(options, err), row.code) << row.input;
    EXPECT_NE(err.str().find(row.reason), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\n'), err.str().size() - 1);
  }
}

}  // namespace
}  // namespace kv::subconv
