// The language-file reader: the [Player] section rules, lists, and files in legacy code pages.
#include <gtest/gtest.h>

#include "i18n/lang_file.h"

namespace kv::i18n {
namespace {

TEST(LangFile, PlayerSection_entriesTrimmed_commentsSkipped_nextSectionEnds) {
  const auto e = ParsePlayerSection(
      "MainForm.MMStop.Caption=before the section\n"
      "[Info]\r\n"
      "[Player]\r\n"
      "  MainForm.MMPlay.Caption = Abspielen  \r\n"
      "; MainForm.MMPause.Caption=comment\n"
      "# also a comment\n"
      "\n"
      "no equals sign here\n"
      "OpenfilesForm.FilterComboBox.Filter=Video|*.avi=x\n"
      "[Other]\n"
      "MainForm.MMExit.Caption=after the section\n");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].Path, "MainForm.MMPlay.Caption");
  EXPECT_EQ(e[0].Value, "Abspielen");
  EXPECT_EQ(e[1].Path, "OpenfilesForm.FilterComboBox.Filter");
  EXPECT_EQ(e[1].Value, "Video|*.avi=x");  // only the first "=" splits
  EXPECT_TRUE(ParsePlayerSection("MainForm.MMPlay.Caption=x\n[Players]\nA.B=c\n").empty());
}

TEST(LangFile, Lists_splitAtSeparator_blankSeparatorIsComma) {
  EXPECT_EQ(SplitList("a, b ,c", ","), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitList("a; b", " "), (std::vector<std::string>{"a; b"}));  // blank: ","
  EXPECT_EQ(SplitList("a|b", "|"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitPath(" MainForm . MMPlay.Caption"), (std::vector<std::string>{"MainForm", "MMPlay", "Caption"}));
}

TEST(LangFile, Decoding_utf8Kept_declaredCodePageConverted_otherBytesReadAsWestern) {
  EXPECT_EQ(DecodeLanguageFile("\xEF\xBB\xBF[Player]\nA.B=\xD0\x9F\n"), "[Player]\nA.B=\xD0\x9F\n");
  // "Пуск" in Windows-1251, declared before the section.
  const auto cyr = ParsePlayerSection(DecodeLanguageFile("Charset=windows-1251\n[Player]\nA.B=\xCF\xF3\xF1\xEA\n"));
  ASSERT_EQ(cyr.size(), 1u);
  EXPECT_EQ(cyr[0].Value, "\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA");
  // Not UTF-8 and nothing declared: Western ("Lecture arrêtée").
  const auto west = ParsePlayerSection(DecodeLanguageFile("[Player]\nA.B=arr\xEAt\xE9" "e\n"));
  ASSERT_EQ(west.size(), 1u);
  EXPECT_EQ(west[0].Value, "arr\xC3\xAAt\xC3\xA9" "e");
  EXPECT_FALSE(ReadLanguageFile("/nonexistent/Deutsch.lng").has_value());
}

}  // namespace
}  // namespace kv::i18n
