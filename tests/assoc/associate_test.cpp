// File associations in a private XDG home: mimeapps.list kept line for line, the backup of
// another program's default, our own MIME type for unknown extensions, what xdg-mime answers.
#include <QCoreApplication>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "assoc/associate.h"
#include "assoc/mimeapps_file.h"

namespace kv::assoc {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* f = popen(command.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, f)) out += buf;
    pclose(f);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

TEST(MimeAppsFile, UntouchedLinesStay_andSetRemoveRoundTripsByteForByte) {
  const std::string text =
      "# my defaults\n[Default Applications]\nvideo/mp4=vlc.desktop\n\n[Unknown Group]\nx=y\ngarbage line \x01\x02\n"
      "[Added Associations]\nvideo/mp4 = vlc.desktop ;mpv.desktop";  // no final newline
  TMimeAppsFile f = TMimeAppsFile::Parse(text);
  EXPECT_EQ(f.Serialize(), text);
  EXPECT_EQ(f.Get("Added Associations", "video/mp4"), "vlc.desktop ;mpv.desktop");
  f.Set("Default Applications", "video/x-matroska", "kavello.desktop");
  f.Set("X-Kavello Backup", "Extension/mkv", "video/x-matroska");
  EXPECT_EQ(f.Keys("Default Applications"), (std::vector<std::string>{"video/mp4", "video/x-matroska"}));
  EXPECT_TRUE(f.Remove("Default Applications", "video/x-matroska"));
  EXPECT_TRUE(f.Remove("X-Kavello Backup", "Extension/mkv"));
  f.RemoveGroupIfEmpty("X-Kavello Backup");
  EXPECT_EQ(f.Serialize(), text);
  EXPECT_EQ(SplitDesktopList(" a.desktop;;b.desktop "), (std::vector<std::string>{"a.desktop", "b.desktop"}));
}

class AssociateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kavello-assoc-XXXXXX";
    home_ = mkdtemp(tmpl);
    fs::create_directories(home_ / "config");
    fs::create_directories(home_ / "data/applications");
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", ((home_ / "data").string() + ":/usr/share").c_str(), 1);
    setenv("XDG_CURRENT_DESKTOP", "X-Generic", 1);
    // Another player owns Matroska files.
    std::ofstream(home_ / "data/applications/other-player.desktop")
        << "[Desktop Entry]\nType=Application\nName=Other\nExec=sh %f\nMimeType=video/x-matroska;\n";
    original_ = "# written by the desktop\n[Default Applications]\nvideo/x-matroska=other-player.desktop\n"
                "text/plain=editor.desktop\n\n[Removed Associations]\nvideo/mp4=junk.desktop\n";
    std::ofstream(home_ / "config/mimeapps.list", std::ios::binary) << original_;
    a_.KeyName = "Kavello";
    // A program that exists: xdg-mime passes over entries whose program it cannot find.
    program_ = fs::read_symlink("/proc/self/exe").string();
    a_.PathToApp = program_;
    a_.Shell = "\"" + program_ + "\" \"%1\"";
    a_.ShellCmd = "Play";
    a_.TypeName = "Kavello.file";
    a_.TypeDesc = "Kavello file";
    a_.Log = [this](const std::string& line) { log_ += line + "\n"; };
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(home_, ec);
  }
  std::string MimeApps() { return Slurp(home_ / "config/mimeapps.list"); }

  fs::path home_;
  std::string original_;
  std::string program_;
  std::string log_;
  TAssociate a_;
};

TEST_F(AssociateTest, TakesOverAnotherProgramsType_keepsFirstBackup_andGivesItBackExactly) {
  ASSERT_EQ(TAssociate::MimeTypeOf("MKV"), "video/x-matroska");
  ASSERT_TRUE(a_.Associate("mkv"));  // without the dot
  const std::string once = MimeApps();
  EXPECT_NE(once.find("video/x-matroska=kavello.desktop\n"), std::string::npos) << once;
  EXPECT_NE(once.find("Default/video/x-matroska=other-player.desktop"), std::string::npos) << once;
  EXPECT_NE(once.find("text/plain=editor.desktop\n"), std::string::npos);
  const std::string desktop = Slurp(home_ / "data/applications/kavello.desktop");
  EXPECT_NE(desktop.find("Exec=" + program_ + " %f\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("MimeType=video/x-matroska;\n"), std::string::npos) << desktop;
  if (access("/usr/bin/xdg-mime", X_OK) == 0)
    EXPECT_EQ(Shell("xdg-mime query default video/x-matroska"), "kavello.desktop");

  // A second association keeps the first backup: the other player, not ourselves.
  ASSERT_TRUE(a_.Associate(".mkv"));
  EXPECT_EQ(MimeApps(), once);
  std::vector<std::string> ours;
  a_.GetAssociatedExtensions(ours);
  EXPECT_EQ(ours, std::vector<std::string>{".mkv"});

  ASSERT_TRUE(a_.Unassociate(".mkv"));
  EXPECT_EQ(MimeApps(), original_);
  a_.GetAssociatedExtensions(ours);
  EXPECT_TRUE(ours.empty());
  if (access("/usr/bin/xdg-mime", X_OK) == 0)
    EXPECT_EQ(Shell("xdg-mime query default video/x-matroska"), "other-player.desktop");
}

TEST_F(AssociateTest, TwoExtensionsOfOneType_andNoFileAtAll) {
  fs::remove(home_ / "config/mimeapps.list");
  ASSERT_TRUE(a_.Associate(".mpg"));
  ASSERT_TRUE(a_.Associate(".mpeg"));
  ASSERT_EQ(TAssociate::MimeTypeOf("mpg"), TAssociate::MimeTypeOf("mpeg"));
  ASSERT_TRUE(a_.Unassociate(".mpg"));
  std::vector<std::string> ours;
  a_.GetAssociatedExtensions(ours);
  EXPECT_EQ(ours, std::vector<std::string>{".mpeg"});  // the type stays ours for .mpeg
  ASSERT_TRUE(a_.Unassociate(".mpeg"));
  EXPECT_EQ(MimeApps(), "");  // nothing of ours is left behind
  EXPECT_TRUE(a_.Unassociate(".avi"));  // never ours: nothing happens
}

TEST_F(AssociateTest, UnknownExtension_getsATypeOfOurOwn) {
  ASSERT_TRUE(TAssociate::MimeTypeOf("kvzq").empty());
  ASSERT_TRUE(a_.Associate("kvzq"));
  const std::string package = Slurp(home_ / "data/mime/packages/kavello.xml");
  EXPECT_NE(package.find("type=\"application/x-kavello-kvzq\""), std::string::npos) << package;
  EXPECT_NE(package.find("<glob pattern=\"*.kvzq\"/>"), std::string::npos);
  EXPECT_NE(MimeApps().find("application/x-kavello-kvzq=kavello.desktop"), std::string::npos);
  ASSERT_TRUE(a_.Unassociate("kvzq"));
  EXPECT_FALSE(fs::exists(home_ / "data/mime/packages/kavello.xml"));
  EXPECT_EQ(MimeApps(), original_);
}

TEST_F(AssociateTest, DamagedFileKept_andUnwritableFolderChangesNothing) {
  const std::string damaged = std::string("\x7f" "ELF\x01garbage\n[Default Applications\nnot a line\n", 40);
  std::ofstream(home_ / "config/mimeapps.list", std::ios::binary) << damaged;
  ASSERT_TRUE(a_.Associate(".mkv"));
  EXPECT_EQ(MimeApps().substr(0, damaged.size()), damaged);
  ASSERT_TRUE(a_.Unassociate(".mkv"));
  EXPECT_EQ(MimeApps(), damaged);

  // A folder that cannot be written (here: the temporary file's place is taken, which stops
  // root as well as a user): nothing changes and the log says why.
  std::ofstream(home_ / "config/mimeapps.list", std::ios::binary) << original_;
  fs::create_directories(home_ / "config/mimeapps.list.kavello-tmp");
  const std::string desktop = Slurp(home_ / "data/applications/kavello.desktop");
  EXPECT_FALSE(a_.Associate(".mkv"));
  EXPECT_EQ(MimeApps(), original_);
  EXPECT_EQ(Slurp(home_ / "data/applications/kavello.desktop"), desktop);
  EXPECT_NE(log_.find("cannot write"), std::string::npos) << log_;
}

}  // namespace
}  // namespace kv::assoc

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // QMimeDatabase wants an application object
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
