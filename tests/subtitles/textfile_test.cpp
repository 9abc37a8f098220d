#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "subtitles/subtitle_textfile.h"

namespace kv {
namespace {

std::vector<std::string> Lines(std::string_view bytes, std::size_t blockSize = 64 * 1024) {
  TSubtitleTextFile in;
  in.OpenMemory(bytes, blockSize);
  std::vector<std::string> lines;
  while (in.HasMoreLines()) lines.push_back(in.ReadLine());
  EXPECT_FALSE(in.HasMoreLines());
  return lines;
}

std::string Utf16(std::u16string_view text, bool bigEndian, bool mark = true) {
  std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (char16_t unit : text) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

std::string Utf32(std::u32string_view text, bool bigEndian) {
  std::string out = bigEndian ? std::string("\0\0\xFE\xFF", 4) : std::string("\xFF\xFE\0\0", 4);
  for (char32_t cp : text) {
    for (int i = 0; i < 4; ++i) {
      const int shift = bigEndian ? 24 - 8 * i : 8 * i;
      out.push_back(static_cast<char>((cp >> shift) & 0xFF));
    }
  }
  return out;
}

using L = std::vector<std::string>;

TEST(TextFile, splitsAtLfAndCrLf_keepingLoneCrAndNul) {
  struct Row {
    std::string bytes;
    L lines;
  };
  const Row rows[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\n\n", {"a", ""}},
      {"a\r\nb\nc", {"a", "b", "c"}},
      {"a\rb\r\n", {"a\rb"}},
      {"x\r", {"x"}},  // a CR LF cut short at the end
      {std::string("n\0l\n", 4), {std::string("n\0l", 3)}},
      {"\n\n", {"", ""}},
  };
  for (const Row& row : rows) {
    for (std::size_t block : {1, 2, 3, 7, 65536}) EXPECT_EQ(Lines(row.bytes, block), row.lines) << block;
  }
}

TEST(TextFile, skipsUtf8MarkAndConvertsUtf16And32ToUtf8) {
  const L expected = {"1", "H\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", ""};
  const std::u16string text16 = u"1\r\nH\u00E9\u20AC\U0001F600\r\n\n";
  const std::u32string text32 = U"1\r\nH\u00E9\u20AC\U0001F600\r\n\n";
  const struct {
    std::string bytes;
    TTextEncoding encoding;
  } rows[] = {
      {"\xEF\xBB\xBF" "1\r\nH\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\r\n\n", TTextEncoding::Utf8Bom},
      {Utf16(text16, false), TTextEncoding::Utf16LE},
      {Utf16(text16, true), TTextEncoding::Utf16BE},
      {Utf32(text32, false), TTextEncoding::Utf32LE},
      {Utf32(text32, true), TTextEncoding::Utf32BE},
  };
  for (const auto& row : rows) {
    for (std::size_t block : {1, 2, 3, 5, 65536}) {
      EXPECT_EQ(Lines(row.bytes, block), expected) << static_cast<int>(row.encoding) << " block " << block;
      TSubtitleTextFile in;
      in.OpenMemory(row.bytes, block);
      in.HasMoreLines();
      EXPECT_EQ(in.Encoding(), row.encoding);
    }
  }
}

TEST(TextFile, replacesBrokenUtf16WithReplacementCharacter) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(Lines(Utf16(u"a\xD800" u"b", false)), L{"a" + replacement + "b"});  // lone high half
  EXPECT_EQ(Lines(Utf16(u"\xDC00", true)), L{replacement});                  // lone low half
  EXPECT_EQ(Lines(Utf16(u"a", false) + "\x41"), L{"a" + replacement});        // odd last byte
  EXPECT_EQ(Lines(Utf16(u"\xD83D", false)), L{replacement});                  // pair cut short
}

TEST(TextFile, readsVeryLongLinesWhole) {
  const std::string longLine(100000, 'x');
  EXPECT_EQ(Lines(longLine + "\r\nend", 4096), (L{longLine, "end"}));
}

TEST(TextFile, openFailsForMissingFilesFoldersAndDevices) {
  TSubtitleTextFile in;
  EXPECT_FALSE(in.Open("/nonexistent-kavello-dir/file.srt"));
  EXPECT_FALSE(in.Open(std::filesystem::temp_directory_path().string()));
  EXPECT_FALSE(in.Open("/dev/zero"));  // would never end
}

}  // namespace
}  // namespace kv
