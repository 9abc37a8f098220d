// The profile rules of the initialisation-file reader, as descriptor files rely on them.
#include "platform/ini/ini_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace kv::ini {
namespace {

struct IntRow {
  const char* text;
  std::optional<int32_t> expected;
};

// Names the row after its text, so that test names stay readable and stable.
void PrintTo(const IntRow& row, std::ostream* os) {
  *os << "text_";
  for (const char* c = row.text; *c; ++c) *os << (std::isalnum(static_cast<unsigned char>(*c)) ? std::string(1, *c) : *c == '-' ? "minus" : *c == '+' ? "plus" : "_");
}

class ProfileIntegerTest : public ::testing::TestWithParam<IntRow> {};

TEST_P(ProfileIntegerTest, ParsesProfileInteger) {
  EXPECT_EQ(ParseProfileInteger(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileIntegerTest,
    ::testing::Values(IntRow{"0", 0}, IntRow{"42", 42}, IntRow{"-7", -7}, IntRow{"+7", 7},
                      IntRow{"  12  ", 12}, IntRow{"0x10", 16}, IntRow{"0X1f", 31}, IntRow{"0xFFFFFFFF", -1},
                      IntRow{"0x80000000", INT32_MIN}, IntRow{"-0x10", -16}, IntRow{"2147483647", INT32_MAX},
                      IntRow{"-2147483648", INT32_MIN}, IntRow{"12abc", 12}, IntRow{"0x1Fzz", 31},
                      IntRow{"007", 7}, IntRow{"3.9", 3},
                      // rows that give the caller's default
                      IntRow{"", std::nullopt}, IntRow{"abc", std::nullopt}, IntRow{"-", std::nullopt},
                      IntRow{"0x", std::nullopt}, IntRow{"0xg", std::nullopt}, IntRow{"$10", std::nullopt},
                      IntRow{"2147483648", std::nullopt}, IntRow{"-2147483649", std::nullopt},
                      IntRow{"0x100000000", std::nullopt}, IntRow{"99999999999999999999", std::nullopt}));

const char* const kDescriptor =
    "\xEF\xBB\xBF; a video container\r\n"
    "orphan=before any section\r\n"
    "[Main]\r\n"
    "Extension=AVI,DIVX\r\n"
    "  Description  =  Movies  \r\n"
    "Priority=0x10\r\n"
    "Statistics=0\r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Single='x'\r\n"
    "Unbalanced=\"x\r\n"
    "Lonely\r\n"
    "Empty=\r\n"
    "Extension=second value ignored\r\n"
    "[ Source ]\r\n"
    "Name=File Source (Async.)\r\n"
    "GUID={E436EBB5-524F-11CE-9F53-0020AF0BA770}\r\n"
    "[main]\r\n"
    "Late=in a repeated section\r\n"
    "[Formats]\r\n"
    "1={00000001-0000-0010-8000-00AA00389B71}\r\n"
    "2=x=y\r\n";

TEST(IniFile, ReadString_followsTheProfileRules) {
  TIniFile ini = TIniFile::FromText(kDescriptor);
  struct Row {
    const char* section;
    const char* key;
    const char* def;
    std::string expected;
  } rows[] = {
      {"Main", "Extension", "", "AVI,DIVX"},
      {"MAIN", "extension", "", "AVI,DIVX"},  // names are case-insensitive
      {"Main", "Description", "", "Movies"},  // trimmed both sides
      {"Main", "Quoted", "", "  spaced  "},   // one pair of quotes removed
      {"Main", "Single", "", "x"},
      {"Main", "Unbalanced", "", "\"x"},
      {"Main", "Lonely", "dflt", "dflt"},  // a line without "=" is no value
      {"Main", "Empty", "dflt", ""},       // an empty value is a value
      {"Main", "Missing", "dflt  ", "dflt"},  // the default loses trailing blanks
      {"Source", "Name", "", "File Source (Async.)"},  // "[ Source ]"
      {"Main", "Late", "none", "none"},  // the first section of a name wins
      {"Formats", "2", "", "x=y"},       // the first "=" splits
      {"Nowhere", "Name", "d", "d"},
      {"", "orphan", "d", "d"},  // keys before any section are unreachable
  };
  for (const auto& r : rows) {
    EXPECT_EQ(ini.ReadString(r.section, r.key, r.def), r.expected) << r.section << "/" << r.key;
  }
}

TEST(IniFile, ReadIntegerAndBool_useDefaultsForUnreadableValues) {
  TIniFile ini = TIniFile::FromText(
      "[N]\nHex=0x10\nDec= 25 \nText=abc\nEmpty=\nQuoted=\"5\"\nTrail=12abc\nZero=0\nTwo=2\nNeg=-1\n");
  EXPECT_EQ(ini.ReadInteger("N", "Hex", -1), 16);
  EXPECT_EQ(ini.ReadInteger("N", "Dec", -1), 25);
  EXPECT_EQ(ini.ReadInteger("N", "Text", -1), -1);
  EXPECT_EQ(ini.ReadInteger("N", "Empty", -1), -1);
  EXPECT_EQ(ini.ReadInteger("N", "Quoted", -1), 5);
  EXPECT_EQ(ini.ReadInteger("N", "Trail", -1), 12);
  EXPECT_EQ(ini.ReadInteger("N", "Missing", 77), 77);
  EXPECT_FALSE(ini.ReadBool("N", "Zero", true));
  EXPECT_TRUE(ini.ReadBool("N", "Two", false));
  EXPECT_TRUE(ini.ReadBool("N", "Neg", false));
  EXPECT_TRUE(ini.ReadBool("N", "Missing", true));
  EXPECT_FALSE(ini.ReadBool("N", "Text", false));
}

TEST(IniFile, ReadString_cutsAt255Characters) {
  std::string longValue(300, 'a');
  longValue[254] = 'Z';
  TIniFile ini = TIniFile::FromText("[Main]\nName=" + longValue + "\n");
  std::string read = ini.ReadString("Main", "Name", "");
  EXPECT_EQ(read.size(), 255u);
  EXPECT_EQ(read.back(), 'Z');
  EXPECT_EQ(ini.ReadString("Main", "Missing", std::string(400, 'd')).size(), 255u);
}

TEST(IniFile, Enumerations_listSectionsAndKeysOnceInOrder) {
  TIniFile ini = TIniFile::FromText(kDescriptor);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Main", "Source", "Formats"}));
  EXPECT_EQ(ini.ReadSection("formats"), (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(ini.SectionExists("SOURCE"));
  EXPECT_TRUE(ini.ValueExists("Main", "Empty"));
  EXPECT_FALSE(ini.ValueExists("Main", "Lonely"));
}

class IniFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/kavello-ini-XXXXXX";
    dir_ = ::mkdtemp(templ);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(IniFileOnDisk, Files_missingOrUnreadableReadAsEmpty) {
  const std::string& dir = dir_;
  std::string path = dir + "/x264.vid";
  std::ofstream(path) << "[Main]\nName=x264 Encoder\nNeedCapturePin=1\n";

  TIniFile file(path);
  EXPECT_TRUE(file.Exists());
  EXPECT_EQ(file.ReadString("main", "name", ""), "x264 Encoder");
  EXPECT_EQ(GetPrivateProfileString("Main", "Name", "", path), "x264 Encoder");
  EXPECT_EQ(GetPrivateProfileInt("Main", "NeedCapturePin", 0, path), 1);

  TIniFile missing(dir + "/none.vid");
  EXPECT_FALSE(missing.Exists());
  EXPECT_EQ(missing.ReadString("Main", "Name", "d"), "d");
  TIniFile directory(dir);  // a directory is no file (and must not throw)
  EXPECT_FALSE(directory.Exists());
  EXPECT_EQ(directory.ReadString("Main", "Name", "d"), "d");
}

}  // namespace
}  // namespace kv::ini
