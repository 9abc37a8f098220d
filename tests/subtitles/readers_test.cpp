// Table-driven cases per layout reader; every case is also read in one-byte blocks so that
// no reader depends on where the input's blocks end.
#include <gtest/gtest.h>

#include "subtitle_test_support.h"
#include "subtitles/subtitle_time.h"

namespace kv {
namespace {

using test::TEntry;
using E = std::vector<TEntry>;

struct ReaderCase {
  const char* name;
  std::string text;
  E entries;
  bool strip = false;
  double framerate = 25.0;
};

void RunCases(int format, const std::vector<ReaderCase>& cases) {
  for (const ReaderCase& c : cases) {
    for (std::size_t block : {std::size_t{1}, std::size_t{65536}}) {
      const TSubTitles list = test::ReadText(format, c.text, c.strip, c.framerate, block);
      EXPECT_EQ(test::Entries(list), c.entries) << c.name << " (block " << block << ")";
      EXPECT_EQ(list.Format, format);
    }
  }
}

TEST(ReadSubRip, table) {
  const std::string tooLong(300, 'w');
  RunCases(sfSubRip, {
      {"two entries", "1\r\n00:00:01,500 --> 00:00:03,250\r\nHello\r\nWorld\r\n\r\n2\r\n00:00:04.000 --> 00:00:05,000\r\nBye\r\n",
       {{1500, 3250, "Hello|World"}, {4000, 5000, "Bye"}}},
      {"no blank lines between entries",
       "1\n00:00:01,000 --> 00:00:02,000\nA\n2\n00:00:03,000 --> 00:00:04,000\nB\nb2\n3\n00:00:05,000 --> 00:00:06,000\nC",
       {{1000, 2000, "A"}, {3000, 4000, "B|b2"}, {5000, 6000, "C"}}},
      {"number only, no text", "1\n00:00:01,000 --> 00:00:02,000\n2\n00:00:03,000 --> 00:00:04,000\nB\n",
       {{3000, 4000, "B"}}},
      {"unreadable time drops the entry", "1\nxx:00:01,000 --> 00:00:02,000\nBad\n\n2\n00:00:03,000 --> 00:00:04,000\nGood\n",
       {{3000, 4000, "Good"}}},
      {"four fraction digits", "1\n00:00:01,5000 --> 00:00:02,000\nBad\n\n2\n00:00:03,000 --> 00:00:04,000\nGood\n",
       {{3000, 4000, "Good"}}},
      {"misshapen time line", "1\n0:00:01,000 --> 0:00:02,000\nBad\n\n2\n00:00:03,000 --> 00:00:04,000\nGood\n",
       {{3000, 4000, "Good"}}},
      {"lines trimmed, blank of spaces ends text", "1\n00:00:01,000 --> 00:00:02,000\n  Hi  \n   \nlost\n",
       {{1000, 2000, "Hi"}}},
      {"empty text dropped", "1\n00:00:01,000 --> 00:00:02,000\n\n", {}},
      {"time line last", "1\n00:00:01,000 --> 00:00:02,000", {}},
      {"codes kept without strip", "1\n00:00:01,000 --> 00:00:02,000\n<i>Hi</I> <B>x</b>\n", {{1000, 2000, "<i>Hi</I> <B>x</b>"}}},
      {"codes stripped", "1\n00:00:01,000 --> 00:00:02,000\n<i>Hi</I> <B>x</b><u></U>\n", {{1000, 2000, "Hi x"}}, true},
      {"long text cut, next number still dropped", "1\n00:00:01,000 --> 00:00:02,000\n" + tooLong + "\n2\n00:00:03,000 --> 00:00:04,000\nB\n",
       {{1000, 2000, tooLong.substr(0, 255)}, {3000, 4000, "B"}}},
  });
}

TEST(ReadMicroDVD, table) {
  RunCases(sfMicroDVD, {
      {"plain", "{25}{50}Hello|World\n", {{1000, 2000, "Hello|World"}}},
      {"framerate line", "{1}{1}23.976\n{24}{48}A\n", {{1001, 2002, "A"}}},
      {"100 is no framerate", "{1}{1}100\n", {{40, 40, "100"}}},
      {"framerate only before the first entry", "{1}{2}A\n{1}{1}30\n", {{40, 80, "A"}, {40, 40, "30"}}},
      {"open end ends at next start", "{100}{}Hello\n{250}{300}World\n{400}{500}X\n",
       {{4000, 10000, "Hello"}, {10000, 12000, "World"}, {16000, 20000, "X"}}},
      {"open end before the last line lasts 5 s", "{100}{}Hello\n{250}{300}World",
       {{4000, 9000, "Hello"}, {10000, 12000, "World"}}},
      {"end marker line is no entry", "{100}{}Hello\n\n{250}{}\n{300}{400}X\n",
       {{4000, 10000, "Hello"}, {12000, 16000, "X"}}},
      {"two entries on a line", "{10}{20}A{30}{40}B\n{50}{60}C\n",
       {{400, 800, "A"}, {1200, 1600, "B"}, {2000, 2400, "C"}}},
      {"second entry of the last line is lost", "{10}{20}A{30}{40}B", {{400, 800, "A"}}},
      {"open end inside a line", "{10}{}A{30}{40}B\n\n", {{400, 1200, "A"}, {1200, 1600, "B"}}},
      {"24 fps", "{1}{24}X\n", {{42, 1000, "X"}}, false, 24.0},
      {"unusable frames keep 0", "{-5}{x}A\n", {{0, 0, "A"}}},
      {"frame past 32 bits unreadable", "{2147484}{2147483647}A\n", {{85899360, kUnreadableTime, "A"}}},
      {"DEFAULT and short lines skipped", "{DEFAULT}{}{Y:i}\n{1}A\n{}{}abc\n{1}{2}B\n", {{40, 80, "B"}}},
      {"trailing bar removed", "{0}{25}A|\n", {{0, 1000, "A"}}},
      {"stop without brace", "{0}{25A\n", {{0, 1000, "A"}}},
      {"stop without brace, all digits", "{0}{75\n", {{0, 5000, "75"}}},
      {"that text may be a framerate line", "{0}{25\n{1}{2}A\n", {{40, 80, "A"}}},
      {"codes kept without strip", "{0}{25}{y:i}Italic\n", {{0, 1000, "{y:i}Italic"}}},
      {"codes stripped", "{0}{25}{y:i}{c:$0000FF}Red{x\n", {{0, 1000, "Red{x"}}, true},
      {"brace before code stops stripping", "{0}{25}a}b{y:i}c\n", {{0, 1000, "a}b{y:i}c"}}, true},
  });
}

TEST(ReadMicroDVD, framerateLineSetsFramerate) {
  EXPECT_EQ(test::ReadText(sfMicroDVD, "{1}{1}23.976\n{24}{48}A\n").Framerate, 23.976);
  EXPECT_EQ(test::ReadText(sfMicroDVD, "{1}{1}60\n").Framerate, 25.0);
}

TEST(ReadAQTitle, table) {
  RunCases(sfAQTitle, {
      {"markers close and open entries", "-->> 25\nHello\nWorld\n-->> 50\n\n-->> 75\nNext\n-->> 100\n",
       {{1000, 2000, "Hello|World"}, {3000, 4000, "Next"}}},
      {"999999 lasts 5 s", "-->> 25\nA\n-->> 999999\nB\n-->> 99999999\n", {{1000, 6000, "A"}, {39999960, 40004960, "B"}}},
      {"unusable frames", "-->> 25\nA\n-->> abc\nB\n-->> 100\n", {{1000, 6000, "A"}, {0, 4000, "B"}}},
      {"text to the end lasts 5 s", "-->> 25\nA\nLine 10", {{1000, 6000, "A|Line 10"}}},
      {"leading junk", "\n\njunk\n-->> \n-->> 25\nA\n-->> 50\n", {{1000, 2000, "A"}}},
  });
}

TEST(ReadSubViewer, table) {
  RunCases(sfSubViewer, {
      {"header and two entries",
       "[INFORMATION]\n[TITLE]x\n00:00:01.50,00:00:03.00\nHello[br]World\n00:00:04.00,00:00:05.00\n  A  [br]  B\n",
       {{1500, 3000, "Hello|World"}, {4000, 5000, "  A|B"}}},
      {"leading breaks removed, [BR] kept", "00:00:01.00,00:00:02.00\n[br][br]X[BR]y\n", {{1000, 2000, "X[BR]y"}}},
      {"time line last", "00:00:01.00,00:00:02.00", {}},
      {"unreadable time", "00:00:xx.00,00:00:02.00\nT\n", {}},
      {"text line is never a time line", "00:00:01.00,00:00:02.00\n00:00:03.00,00:00:04.00\nT\n",
       {{1000, 2000, "00:00:03.00,00:00:04.00"}}},
  });
}

TEST(ReadTimedLines, table) {
  RunCases(sfTimedLines, {
      {"each entry ends at the next", "0:00:01:Hello\n0:00:05:World\n", {{1000, 5000, "Hello"}, {5000, 10000, "World"}}},
      {"invalid lines skipped", "0:00:01:A\nnot a line\n100:00:01:x\n0:00:03:B\n", {{1000, 3000, "A"}, {3000, 8000, "B"}}},
      {"every valid line moves the last stop", "0:00:01:A\n0:00:02:\n0:00:10:B\n", {{1000, 10000, "A"}, {10000, 15000, "B"}}},
      {"end line without text keeps its stop", "0:00:01:A\n0:00:04:\n", {{1000, 4000, "A"}}},
      {"colons in text", "0:00:01:Note: x\n", {{1000, 6000, "Note: x"}}},
      {"long seconds field", "0:00:90:A\n", {{90000, 95000, "A"}}},
  });
}

TEST(ReadSubStation, table) {
  const std::string format = "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
  RunCases(sfSubStation, {
      {"ssa with commas in text",
       "[Script Info]\nDialogue: 0,0:00:00.00,0:00:01.00,x\n[Events]\n"
       "Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
       "Dialogue: Marked=0,0:00:01.00,0:00:03.50,Default,,0000,0000,0000,,Hello, world\\NSecond\\nthird\n",
       {{1000, 3500, "Hello, world|Second|third"}}},
      {"codes stripped", format + "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,{\\I1}It{\\i0} {\\an8}x\n",
       {{1000, 2000, "It {\\an8}x"}}, true},
      {"codes kept", format + "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,{\\i1}It\n", {{1000, 2000, "{\\i1}It"}}},
      {"format without text ignored", "[events]\nFormat: Start, End\nDialogue: 0:00:01.00,0:00:02.00,A\n"
       "format: Start, End, Text\nDialogue: 0:00:01.00,0:00:02.00,A\n", {{1000, 2000, "A"}}},
      {"blanks around section and keys", "  [EVENTS] \t\n\tFormat: Start, End, Text\n  dialogue: 0:00:01.00,0:00:02.00,A\n",
       {{1000, 2000, "A"}}},
      {"start as first column", "[Events]\nFormat:Start,End,Text\nDialogue:0:00:01.00,0:00:02.00,A\n", {{1000, 2000, "A"}}},
      {"missing fields and bad times dropped", format + "Dialogue: 0,0:00:01.00\nDialogue: 0,x,0:00:02.00,,,,,,,T\n"
       "Dialogue: 0,0:00:01.00,0:00:02.00,,,,,,,\n", {}},
  });
}

TEST(ReadTabbed, table) {
  RunCases(sfTabbed, {
      {"continuations and empty text", "00:00:01:00\t00:00:02:50\tHello<P>World\nmore<p>lines\n\n00:00:03:00\t00:00:04:00\t\n",
       {{1000, 2500, "Hello|World|more|lines|"}, {3000, 4000, ""}}},
      {"bad stop forgets the entry", "00:00:01:00\t00:00:02:00\tA\n00:00:03:00\tbad\tB\ncont\n", {{1000, 2000, "A"}}},
      {"continuation before any entry ignored", "intro\n00:00:01:00\t00:00:02:00\tA\n", {{1000, 2000, "A"}}},
      {"unreadable start is a continuation", "00:00:01:00\t00:00:02:00\tA\n00:00:0x:00\t00:00:02:00\tB\n",
       {{1000, 2000, "A|00:00:0x:00\t00:00:02:00\tB"}}},
  });
}

TEST(Readers, neverReadPastHugeOrBrokenInput) {
  // Long lines, NUL bytes and a truncated last line in every layout: no entry is invented
  // and nothing is read out of bounds (the sanitizer build checks the latter).
  const std::string noise = std::string(100000, '{') + "\n" + std::string("\0\0}{\t:", 6) + "\n{1}{";
  for (int format = sfSubRip; format <= sfTabbed; ++format) {
    const TSubTitles list = test::ReadText(format, noise, true);
    for (const TSubTitleItem& item : list.Items) EXPECT_LE(item.Text().size(), 255u);
  }
}

}  // namespace
}  // namespace kv
