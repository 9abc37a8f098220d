// TRegistry over the hive files: value types, names, keys, damaged and leftover files.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "temp_config.h"

namespace kv::registry {
namespace {

using kv::testing::TempConfig;
using namespace std::string_literals;
constexpr const char* kRoot = "Software\\Tessaland\\Kavello";

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { SetDiagnosticHook(nullptr); }
  TempConfig config_;
};

TEST_F(RegistryTest, HivePath_followsXdgConfigHome) {
  EXPECT_EQ(HivePath(Hive::CurrentUser), config_.Dir() + "/kavello/user.reg");
  EXPECT_EQ(HivePath(Hive::ClassesRoot), config_.Dir() + "/kavello/classes.reg");
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') {
    EXPECT_EQ(ConfigDirectory(), std::string(home) + "/.config/kavello");
  }
}

TEST_F(RegistryTest, EveryValueType_roundTripsThroughTheFile) {
  const std::vector<uint8_t> blob{0, 1, 0x7f, 0x80, 0xff};
  const std::string awkward = "C:\\Path \"with\" quotes\nand a second line\\";
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string(kRoot) + "\\Position", true));
    EXPECT_TRUE(reg.WriteString("Str", awkward));
    EXPECT_TRUE(reg.WriteString("EmptyStr", ""));
    EXPECT_TRUE(reg.WriteInteger("Min", std::numeric_limits<int32_t>::min()));
    EXPECT_TRUE(reg.WriteInteger("Max", std::numeric_limits<int32_t>::max()));
    EXPECT_TRUE(reg.WriteInteger("Minus1", -1));
    EXPECT_TRUE(reg.WriteBool("True", true));
    EXPECT_TRUE(reg.WriteBool("False", false));
    EXPECT_TRUE(reg.WriteFloat("Zoom", 0.25));
    EXPECT_TRUE(reg.WriteFloat("Pi", M_PI));
    EXPECT_TRUE(reg.WriteFloat("NegZero", -0.0));
    EXPECT_TRUE(reg.WriteBinaryData("Blob", blob));
  }
  TRegistry reg;  // a fresh accessor reads the file
  ASSERT_TRUE(reg.OpenKey(std::string(kRoot) + "\\Position", false));
  EXPECT_EQ(reg.ReadString("Str"), awkward);
  EXPECT_EQ(reg.ReadString("EmptyStr"), "");
  EXPECT_EQ(reg.ReadInteger("Min"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(reg.ReadInteger("Max"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(reg.ReadInteger("Minus1"), -1);
  EXPECT_EQ(reg.ReadBool("True"), true);
  EXPECT_EQ(reg.ReadBool("False"), false);
  EXPECT_EQ(reg.ReadFloat("Zoom"), 0.25);
  EXPECT_EQ(reg.ReadFloat("Pi"), M_PI);
  ASSERT_TRUE(reg.ReadFloat("NegZero").has_value());
  EXPECT_TRUE(std::signbit(*reg.ReadFloat("NegZero")));
  EXPECT_EQ(reg.ReadBinaryData("Blob"), blob);
  EXPECT_EQ(reg.GetDataType("Str"), ValueType::String);
  EXPECT_EQ(reg.GetDataType("Min"), ValueType::DWord);
  EXPECT_EQ(reg.GetDataType("Zoom"), ValueType::Binary);
  EXPECT_EQ(reg.GetDataType("Missing"), ValueType::None);

  std::string text = TempConfig::ReadFile(config_.Hive());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Position]"), std::string::npos);
  EXPECT_NE(text.find("\"Zoom\"=hex:00,00,00,00,00,00,d0,3f"), std::string::npos);
  EXPECT_NE(text.find("\"Max\"=dword:7fffffff"), std::string::npos);
}

TEST_F(RegistryTest, Readers_giveNothing_whenMissingOrOfAnotherType) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, true));
  reg.WriteString("Text", "12");
  reg.WriteInteger("Number", 12);
  reg.WriteBinaryData("Seven", std::vector<uint8_t>(7, 0));
  EXPECT_FALSE(reg.ReadInteger("Text"));
  EXPECT_FALSE(reg.ReadBool("Text"));
  EXPECT_FALSE(reg.ReadString("Number"));
  EXPECT_FALSE(reg.ReadFloat("Number"));
  EXPECT_FALSE(reg.ReadFloat("Seven"));  // a double is exactly 8 bytes
  EXPECT_FALSE(reg.ReadBinaryData("Number"));
  EXPECT_FALSE(reg.ReadString("Nothing"));
}

TEST_F(RegistryTest, Names_areCaseInsensitive_andKeepFirstSpelling) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Tessaland\\Kavello\\Display", true));
  reg.WriteInteger("HideCursor", 1);
  reg.WriteInteger("HIDECURSOR", 0);
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("software\\TESSALAND\\kavello\\display", false));
  EXPECT_EQ(reg.ReadInteger("hidecursor"), 0);
  EXPECT_TRUE(reg.ValueExists("HiDeCuRsOr"));
  EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"HideCursor"});
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\tessaland"));
  std::string text = TempConfig::ReadFile(config_.Hive());
  EXPECT_NE(text.find("\\Display]"), std::string::npos);
  EXPECT_EQ(text.find("display]"), std::string::npos);
}

TEST_F(RegistryTest, OpenKey_createsOnlyWhenAsked_andListsSubkeys) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\Nowhere", false));
  EXPECT_FALSE(std::filesystem::exists(config_.Hive()));  // reading creates nothing
  ASSERT_TRUE(reg.OpenKey("Software\\Tessaland\\Kavello\\Position", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Tessaland\\Kavello\\Position");
  ASSERT_TRUE(reg.OpenKey("Software\\Tessaland\\Kavello\\Display\\", true));
  ASSERT_TRUE(reg.OpenKey("Software\\Tessaland\\Kavello", false));
  EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"Display", "Position"}));
  ASSERT_TRUE(reg.OpenKey("", false));  // the hive root
  EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Software"});
  // the empty key was persisted at once
  EXPECT_TRUE(TRegistry().KeyExists("Software\\Tessaland\\Kavello\\Display"));
}

TEST_F(RegistryTest, KeyPathsWithLineBreaks_areRefused) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\Bad\nKey", true));
  EXPECT_FALSE(reg.OpenKey(std::string("Software\\Nul\0Key", 16), true));
  EXPECT_FALSE(reg.KeyExists("Software\\Bad\rKey"));
  EXPECT_FALSE(std::filesystem::exists(config_.Hive()));
  ASSERT_TRUE(reg.OpenKey(kRoot, true));
  EXPECT_TRUE(reg.WriteString("Line\nbreak in a name", "is escaped"));
  EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"Line\nbreak in a name"});
}

TEST_F(RegistryTest, DeleteKeyAndValue_removeWhatTheyName) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\A\\B\\C", true));
  reg.WriteString("v", "1");
  ASSERT_TRUE(reg.OpenKey("Software\\AB", true));  // shares a prefix, must survive
  reg.WriteString("v", "2");
  EXPECT_TRUE(reg.DeleteValue("V"));
  EXPECT_FALSE(reg.DeleteValue("V"));
  EXPECT_TRUE(reg.DeleteKey("Software\\a"));
  EXPECT_FALSE(reg.KeyExists("Software\\A\\B\\C"));
  EXPECT_FALSE(reg.KeyExists("Software\\A"));
  EXPECT_TRUE(reg.KeyExists("Software\\AB"));
  EXPECT_FALSE(reg.DeleteKey("Software\\A"));
  EXPECT_FALSE(reg.DeleteKey(""));  // the root stays
}

TEST_F(RegistryTest, ClassesRoot_isASeparateFile) {
  TRegistry user;
  TRegistry classes(Hive::ClassesRoot);
  ASSERT_TRUE(classes.OpenKey(".avi", true));
  classes.WriteString("", "Kavello.file");
  EXPECT_FALSE(user.KeyExists(".avi"));
  EXPECT_EQ(classes.ReadString(""), "Kavello.file");
  std::string text = TempConfig::ReadFile(config_.Dir() + "/kavello/classes.reg");
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\.avi]\n@=\"Kavello.file\""), std::string::npos);
}

TEST_F(RegistryTest, DamagedFile_isReadAroundAndNeverShrunk) {
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Position]\n"
      "\"Left\"=dword:00000010\n"
      "\"Top\"=dword:zz\n"
      "\x00\x01\x02 binary junk\n"
      "\"Width\"=dword:00000200\n"
      "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Subtitles\n"
      "\"FontName\"=\"Verdana"s;
  TempConfig::WriteFile(config_.Hive(), damaged);
  std::vector<std::string> reports;
  SetDiagnosticHook([&](const std::string& line) { reports.push_back(line); });

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Tessaland\\Kavello\\Position", false));
  EXPECT_EQ(reg.ReadInteger("Left"), 16);
  EXPECT_FALSE(reg.ReadInteger("Top"));
  EXPECT_EQ(reg.ReadInteger("Width"), 512);
  EXPECT_EQ(reports.size(), 4u);
  for (const auto& r : reports) EXPECT_NE(r.find("user.reg, line "), std::string::npos) << r;

  ASSERT_TRUE(reg.WriteInteger("Height", 180));
  reg.ReadInteger("Left");
  EXPECT_EQ(reports.size(), 4u) << "each damaged line is reported once";
  std::string after = TempConfig::ReadFile(config_.Hive());
  for (const char* kept : {"\"Top\"=dword:zz", "binary junk", "\"FontName\"=\"Verdana",
                           "Kavello\\Subtitles\n", "\"Left\"=dword:00000010", "\"Width\"=dword:00000200",
                           "\"Height\"=dword:000000b4"}) {
    EXPECT_NE(after.find(kept), std::string::npos) << kept;
  }
}

TEST_F(RegistryTest, UnreadableFile_isNeverOverwritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, true));
  ASSERT_TRUE(reg.WriteString("Version", "2.3.0.0"));
  std::string before = TempConfig::ReadFile(config_.Hive());
  ASSERT_EQ(::chmod(config_.Hive().c_str(), 0), 0);
  EXPECT_FALSE(reg.WriteString("Language", "English"));
  ::chmod(config_.Hive().c_str(), 0600);
  EXPECT_EQ(TempConfig::ReadFile(config_.Hive()), before);
}

TEST_F(RegistryTest, HivePathThatIsADirectory_failsWritesAndKeepsIt) {
  std::filesystem::create_directories(config_.Hive());
  TempConfig::WriteFile(config_.Hive() + "/precious", "x");
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(kRoot, true));
  EXPECT_FALSE(reg.WriteString("Version", "2.3.0.0"));
  EXPECT_EQ(TempConfig::ReadFile(config_.Hive() + "/precious"), "x");
}

TEST_F(RegistryTest, Update_keepsChangesUntilItEndsThenWritesThemOnce) {
  TRegistry reg;
  TRegistry other;
  reg.BeginUpdate();
  ASSERT_TRUE(reg.OpenKey("Software\\Tessaland\\Kavello\\Position", true));
  EXPECT_TRUE(reg.WriteInteger("Left", 5));
  reg.BeginUpdate();  // nested: only the outer end writes
  EXPECT_TRUE(reg.WriteString("Name", "x"));
  EXPECT_TRUE(reg.EndUpdate());
  EXPECT_EQ(reg.ReadInteger("Left"), 5);  // the accessor sees its own pending changes
  EXPECT_FALSE(std::filesystem::exists(config_.Hive()));
  EXPECT_FALSE(other.KeyExists("Software\\Tessaland"));
  // another writer meanwhile is merged with, not overwritten
  ASSERT_TRUE(other.OpenKey("Software\\Tessaland\\Kavello", true));
  ASSERT_TRUE(other.WriteString("Version", "2.3.0.0"));
  EXPECT_TRUE(reg.DeleteValue("Name"));
  EXPECT_TRUE(reg.EndUpdate());
  ASSERT_TRUE(other.OpenKey("Software\\Tessaland\\Kavello\\Position", false));
  EXPECT_EQ(other.ReadInteger("Left"), 5);
  EXPECT_FALSE(other.ValueExists("Name"));
  ASSERT_TRUE(other.OpenKey("Software\\Tessaland\\Kavello", false));
  EXPECT_EQ(other.ReadString("Version"), "2.3.0.0");
  EXPECT_TRUE(reg.EndUpdate());  // unmatched: harmless
}

TEST_F(RegistryTest, Update_leftOpenIsWrittenByTheDestructor) {
  {
    TRegistry reg;
    reg.BeginUpdate();
    reg.BeginUpdate();
    ASSERT_TRUE(reg.OpenKey(kRoot, true));
    reg.WriteBool("MultipleInst", true);
  }
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, false));
  EXPECT_EQ(reg.ReadBool("MultipleInst"), true);
}

TEST_F(RegistryTest, Update_thatCannotBeWritten_reportsFailureAndStoresNothing) {
  std::filesystem::create_directories(config_.Hive());
  TRegistry reg;
  reg.BeginUpdate();
  EXPECT_TRUE(reg.OpenKey(kRoot, true));
  EXPECT_TRUE(reg.WriteString("Version", "2.3.0.0"));
  EXPECT_FALSE(reg.EndUpdate());
  EXPECT_TRUE(std::filesystem::is_directory(config_.Hive()));
}

TEST_F(RegistryTest, LeftoverTemporaryFile_isIgnoredAndReplaced) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, true));
  ASSERT_TRUE(reg.WriteString("Version", "2.3.0.0"));
  TempConfig::WriteFile(config_.Hive() + ".tmp", "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\n\"Version\"=\"half");
  EXPECT_EQ(TRegistry().OpenKey(kRoot, false), true);
  EXPECT_EQ(reg.ReadString("Version"), "2.3.0.0");
  ASSERT_TRUE(reg.WriteString("Language", "Deutsch"));
  EXPECT_FALSE(std::filesystem::exists(config_.Hive() + ".tmp"));
  EXPECT_EQ(reg.ReadString("Version"), "2.3.0.0");
  EXPECT_EQ(reg.ReadString("Language"), "Deutsch");
}

TEST_F(RegistryTest, SymlinkedHive_isWrittenThroughTheLink) {
  std::string real = config_.Dir() + "/dotfiles/user.reg";
  TempConfig::WriteFile(real, "");
  std::filesystem::create_directories(config_.Dir() + "/kavello");
  std::filesystem::create_symlink(real, config_.Hive());
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, true));
  ASSERT_TRUE(reg.WriteInteger("MultipleInst", 1));
  EXPECT_TRUE(std::filesystem::is_symlink(config_.Hive()));
  EXPECT_NE(TempConfig::ReadFile(real).find("\"MultipleInst\"=dword:00000001"), std::string::npos);
}

TEST_F(RegistryTest, NewHive_isPrivateToTheUser) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRoot, true));
  struct stat st{};
  ASSERT_EQ(::stat(config_.Hive().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace kv::registry
