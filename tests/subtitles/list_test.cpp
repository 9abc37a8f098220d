// TSubTitles as the player uses it: loading files, lookup, offsets, framerate changes and
// writing the list back out.
#include <gtest/gtest.h>

#include <filesystem>

#include "subtitle_test_support.h"
#include "subtitles/subtitle_time.h"

namespace kv {
namespace {

using test::TEntry;

TSubTitles ListOf(std::vector<TEntry> entries) {
  TSubTitles list;
  for (const TEntry& e : entries) {
    TSubTitleItem item;
    item.Start = e.start;
    item.Stop = e.stop;
    item.SetText(e.text);
    list.Items.push_back(item);
  }
  return list;
}

TEST(FindAt, reportsEntryInsideAndNextEntryInGaps_firstMatchWins) {
  TSubTitles list = ListOf({{1000, 2000, "A"}, {3000, 4000, "B"}});
  struct Row {
    std::uint32_t time;
    bool found;
    int index;
    const char* text;
  };
  const Row rows[] = {
      {0, true, 0, ""},    {999, true, 0, ""},  {1000, true, 0, "A"}, {2000, true, 0, "A"},
      {2001, true, 1, ""}, {3000, true, 1, "B"}, {4000, true, 1, "B"}, {4001, false, 7, ""},
      {kUnreadableTime, false, 7, ""},
  };
  for (const Row& row : rows) {
    int index = 7;
    std::string text = "old";
    EXPECT_EQ(list.FindAt(row.time, index, text), row.found) << row.time;
    EXPECT_EQ(index, row.index) << row.time;
    EXPECT_EQ(text, row.text) << row.time;
  }
  TSubTitles unordered = ListOf({{5000, 6000, "X"}, {1000, 2000, "Y"}});
  int index = -1;
  std::string text;
  EXPECT_TRUE(unordered.FindAt(1500, index, text));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(text, "");
}

TEST(FindAt, appliesOffsetIn64Bits) {
  TSubTitles list = ListOf({{5000, 6000, "A"}});
  list.SetOffset(-2000);
  int index = -1;
  std::string text;
  EXPECT_TRUE(list.FindAt(3000, index, text));
  EXPECT_EQ(text, "A");
  EXPECT_TRUE(list.FindAt(4000, index, text));
  EXPECT_EQ(text, "A");
  EXPECT_FALSE(list.FindAt(4001, index, text));

  list.SetOffset(-10000);  // the entry lies before zero: it never shows, nothing wraps
  EXPECT_FALSE(list.FindAt(0, index, text));
  TSubTitles late = ListOf({{4294967000u, 4294967200u, "late"}});
  late.SetOffset(1000);  // past the 32-bit range: always still to come
  EXPECT_TRUE(late.FindAt(kUnreadableTime, index, text));
  EXPECT_EQ(text, "");
}

TEST(GetTextAndTimes, outOfRangeLeavesOutputs_timesWrapWithOffset) {
  TSubTitles list = ListOf({{1000, 2000, "A"}});
  list.SetOffset(-2000);
  std::string text = "keep";
  std::uint32_t start = 1, stop = 2;
  EXPECT_FALSE(list.GetText(-1, text));
  EXPECT_FALSE(list.GetText(1, text));
  EXPECT_FALSE(list.GetTimes(-1, start, stop));
  EXPECT_FALSE(list.GetTimes(1, start, stop));
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(stop, 2u);
  EXPECT_TRUE(list.GetText(0, text));
  EXPECT_EQ(text, "A");
  EXPECT_TRUE(list.GetTimes(0, start, stop));
  EXPECT_EQ(start, 4294966296u);
  EXPECT_EQ(stop, 0u);
}

TEST(LoadFromFile, keepsStateRules_forEmptyMissingAndForeignFiles) {
  test::TTempDir dir;
  TSubTitles list = ListOf({{1, 2, "kept"}});
  list.Format = sfTabbed;
  EXPECT_FALSE(list.LoadFromFile("", true));
  EXPECT_EQ(list.FileName, "");
  EXPECT_FALSE(list.StripCodes);

  EXPECT_FALSE(list.LoadFromFile(dir.Path("missing.srt"), true));
  EXPECT_EQ(list.FileName, dir.Path("missing.srt"));
  EXPECT_TRUE(list.StripCodes);
  EXPECT_EQ(list.Items.size(), 1u);

  EXPECT_FALSE(list.LoadFromFile(dir.Write("notes.txt", "Dear diary\n"), false));
  EXPECT_EQ(list.Items.size(), 1u);
  EXPECT_EQ(list.Format, sfTabbed);

  EXPECT_FALSE(list.LoadFromFile(dir.Write("empty.srt", "1\n"), false));  // known layout, no entry
  EXPECT_TRUE(list.Items.empty());
  EXPECT_EQ(list.Format, sfSubRip);

  list = ListOf({{1, 2, "kept"}});
  EXPECT_FALSE(list.LoadFromFile(dir.Path("missing.ssa"), false));  // SubStation empties first
  EXPECT_TRUE(list.Items.empty());
}

TEST(LoadFromFile, readsByteOrderMarkedUtf8AndUtf16AndAssFiles) {
  test::TTempDir dir;
  TSubTitles list;
  ASSERT_TRUE(list.LoadFromFile(dir.Write("bom.srt", "\xEF\xBB\xBF" "1\r\n00:00:01,000 --> 00:00:02,000\r\nx\r\n"), false));
  EXPECT_EQ(test::Entries(list), (std::vector<TEntry>{{1000, 2000, "x"}}));
  const std::u16string utf16 = u"1\r\n00:00:01,000 --> 00:00:02,000\r\nCaf\u00E9\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : utf16) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  ASSERT_TRUE(list.LoadFromFile(dir.Write("utf16.srt", bytes), false));
  EXPECT_EQ(test::Entries(list), (std::vector<TEntry>{{1000, 2000, "Caf\xC3\xA9"}}));
  ASSERT_TRUE(list.LoadFromFile(dir.Write("modern.ass", "[Script Info]\n[Events]\nFormat: Layer, Start, End, Text\n"
                                                        "Dialogue: 0,0:00:01.00,0:00:02.00,Hi\n"), false));
  EXPECT_EQ(list.Format, sfSubStation);
}

TEST(SetFramerate, rereadsFrameNumberedFile_onlyWhenTheRateChanges) {
  test::TTempDir dir;
  const std::string path = dir.Write("a.sub", "{25}{50}A\n");
  TSubTitles list;
  ASSERT_TRUE(list.LoadFromFile(path, true));
  EXPECT_EQ(test::Entries(list), (std::vector<TEntry>{{1000, 2000, "A"}}));
  dir.Write("a.sub", "{50}{100}B\n");
  list.SetFramerate(25.0);  // same rate: the file is not read again
  EXPECT_EQ(list.Items[0].Text(), "A");
  list.SetFramerate(50.0);
  EXPECT_EQ(test::Entries(list), (std::vector<TEntry>{{1000, 2000, "B"}}));
  EXPECT_EQ(list.GetFramerate(), 50.0);
  list.SetFramerate(0.0);  // not a frame rate: ignored
  list.SetFramerate(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(list.GetFramerate(), 50.0);

  TSubTitles aqt;
  ASSERT_TRUE(aqt.LoadFromFile(dir.Write("a.aqt", "-->> 25\nA\n-->> 50\n"), true));
  aqt.SetFramerate(50.0);
  EXPECT_EQ(test::Entries(aqt), (std::vector<TEntry>{{500, 1000, "A"}}));

  TSubTitles srt;
  ASSERT_TRUE(srt.LoadFromFile(dir.Write("a.srt", "1\n00:00:01,000 --> 00:00:02,000\nx\n"), true));
  std::filesystem::remove(dir.Path("a.srt"));
  srt.SetFramerate(30.0);  // millisecond layouts keep their entries
  EXPECT_EQ(srt.Items.size(), 1u);
  srt.ClearList();
  EXPECT_TRUE(srt.Items.empty());
  EXPECT_EQ(srt.Format, sfSubRip);
  EXPECT_EQ(srt.GetFramerate(), 30.0);
}

TEST(SaveToFile, writesTheThreeLayoutsExactly) {
  test::TTempDir dir;
  TSubTitles list = ListOf({{1500, 3250, "Hello|World"}, {3723045, 3724000, ""}});
  list.SetOffset(5000);  // never written
  ASSERT_TRUE(list.SaveToFile(sfSubRip, dir.Path("a.srt")));
  EXPECT_EQ(test::ReadWholeFile(dir.Path("a.srt")),
            "1\r\n00:00:01,500 --> 00:00:03,250\r\nHello\r\nWorld\r\n\r\n"
            "2\r\n01:02:03,045 --> 01:02:04,000\r\n\r\n\r\n");
  ASSERT_TRUE(list.SaveToFile(sfTabbed, dir.Path("a.txt")));
  EXPECT_EQ(test::ReadWholeFile(dir.Path("a.txt")),
            "00:00:01:50\t00:00:03:25\tHello<P>World\r\n01:02:03:04\t01:02:04:00\t\r\n");
  ASSERT_TRUE(list.SaveToFile(sfMillisecondDump, dir.Path("zorsub.sub")));
  EXPECT_EQ(test::ReadWholeFile(dir.Path("zorsub.sub")), "{1500}{3250}Hello|World\r\n{3723045}{3724000}\r\n");
}

TEST(SaveToFile, refusesUnknownCodesEmptyListsAndUnwritablePaths) {
  test::TTempDir dir;
  TSubTitles list = ListOf({{0, 1, "x"}});
  EXPECT_FALSE(list.SaveToFile(sfMicroDVD, dir.Path("a")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("a")));
  EXPECT_FALSE(list.SaveToFile(sfSubRip, dir.Path("no-such-dir/a.srt")));
  TSubTitles empty;
  EXPECT_FALSE(empty.SaveToFile(sfSubRip, dir.Path("b")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("b")));
}

// What a text becomes in SubRip: lines trimmed of spaces, the text ending at an empty line.
std::string AsSubRipText(const std::string& text) {
  std::string out;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('|', begin);
    if (end == std::string::npos) end = text.size();
    std::string_view line = std::string_view(text).substr(begin, end - begin);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    if (line.empty()) break;
    out += (out.empty() ? "" : "|") + std::string(line);
    begin = end + 1;
  }
  return out;
}

TEST(SaveToFile, roundTripsSubRipAndTabbed) {
  test::TTempDir dir;
  for (const test::TSample& sample : test::Samples()) {
    TSubTitles original;
    ASSERT_TRUE(original.LoadFromFile(dir.Write(sample.fileName, sample.text), true));
    EXPECT_EQ(original.Format, sample.format);
    for (int code : {sfSubRip, sfTabbed}) {
      const std::string out = dir.Path(std::string("out") + (code == sfSubRip ? ".srt" : ".txt"));
      ASSERT_TRUE(original.SaveToFile(code, out));
      TSubTitles again;
      again.LoadFromFile(out, false);
      std::vector<TEntry> expected = test::Entries(original);
      if (code == sfSubRip) {  // SubRip trims its lines and cannot hold an empty one
        for (TEntry& e : expected) e.text = AsSubRipText(e.text);
        std::erase_if(expected, [](const TEntry& e) { return e.text.empty(); });
      } else {  // the tabbed layout keeps hundredths
        for (TEntry& e : expected) e.start -= e.start % 10, e.stop -= e.stop % 10;
      }
      EXPECT_EQ(test::Entries(again), expected) << sample.fileName << " as " << code;
    }
  }
}

}  // namespace
}  // namespace kv
