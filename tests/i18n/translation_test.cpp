// Translation of the real main window, offscreen: entries applied by path, what is ignored,
// forms shown later, and English -> German -> English with the shipped files.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/mainform.h"
#include "i18n/language.h"
#include "platform/module/program_directory.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class TranslationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/kavello-i18n-XXXXXX";
    root_ = mkdtemp(tmpl);
    fs::create_directories(root_ / "config/kavello");
    fs::create_directories(root_ / "runtime");
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    std::ofstream(root_ / "config/kavello/user.reg")
        << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n\"MultipleInst\"=dword:00000001\r\n";
    SetProgramDirectoryForTesting(KAVELLO_PROGRAM_DIR);
    static int argc = 1;
    static char arg0[] = "translation_test";
    static char* argv[] = {arg0, nullptr};
    app_ = new QApplication(argc, argv);
    form_ = new TMainForm({}, root_.string());
    form_->show();
    QApplication::processEvents();
  }
  static void TearDownTestSuite() {
    delete form_;
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  QString Caption(const char* name) { return form_->Action(name)->text(); }
  std::string WriteFile(const std::string& text) {
    const fs::path p = root_ / "test.lng";
    std::ofstream(p) << text;
    return p.string();
  }
  bool Load(const std::string& text) {
    form_->Translator->LanguageFile = WriteFile(text);
    return form_->Translator->LoadTranslation();
  }

  static inline fs::path root_;
  static inline QApplication* app_ = nullptr;
  static inline TMainForm* form_ = nullptr;
};

TEST_F(TranslationTest, EntriesReachTheirItems_unknownPartsAreIgnored) {
  ASSERT_TRUE(Load("[Player]\n"
                   " MainForm.MMPlay.Caption = Abspielen \n"
                   "mainform.mmstop.caption=Halt\n"            // names compare case-insensitively
                   "MMPause.Caption=no form at the head\n"
                   "MainForm.NoSuchItem.Caption=nothing\n"
                   "MainForm.MMExit.NoSuchProperty=nothing\n"
                   "MainForm.MMNext.Hint=Zum nächsten Titel\n"));
  EXPECT_EQ(Caption("MMPlay"), "Abspielen");
  EXPECT_EQ(Caption("MMStop"), "Halt");
  EXPECT_NE(Caption("MMPause"), "no form at the head");
  EXPECT_EQ(form_->Action("MMNext")->toolTip(), QString::fromUtf8("Zum nächsten Titel"));
  // A file without its section changes nothing; a missing file reports failure.
  const QString before = Caption("MMPlay");
  EXPECT_TRUE(Load("MainForm.MMPlay.Caption=Spielen\n"));
  EXPECT_EQ(Caption("MMPlay"), before);
  form_->Translator->LanguageFile = (root_ / "missing.lng").string();
  EXPECT_FALSE(form_->Translator->LoadTranslation());
}

TEST_F(TranslationTest, ListsAndIntegers_andFormsShownLater) {
  QDialog later(form_);
  later.setObjectName("LaterForm");
  auto* combo = new QComboBox(&later);
  combo->setObjectName("Choice");
  combo->addItems({"one", "two"});
  auto* label = new QLabel("Before", &later);
  label->setObjectName("Note");
  ASSERT_TRUE(Load("[Player]\nLaterForm.Choice.Items=eins, zwei ,drei\nLaterForm.Note.Caption=Danach\n"
                   "LaterForm.Choice.maxVisibleItems=5\nLaterForm.Choice.minimumContentsLength=zehn\n"));
  // The dialog existed (hidden) at load time.
  EXPECT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->itemText(2), "drei");
  EXPECT_EQ(combo->maxVisibleItems(), 5);
  EXPECT_EQ(label->text(), "Danach");
  // A form made after the load is translated when it is first shown.
  QDialog* made = new QDialog(form_);
  made->setObjectName("LaterForm");
  auto* note = new QLabel("Before", made);
  note->setObjectName("Note");
  made->show();
  QApplication::processEvents();
  EXPECT_EQ(note->text(), "Danach");
  delete made;
}

TEST_F(TranslationTest, EnglishGermanEnglish_restoresEveryCaptionOfTheMenu) {
  std::map<QString, QString> original;
  for (QAction* a : form_->MainMenu->findChildren<QAction*>())
    if (!a->objectName().isEmpty()) original[a->objectName()] = a->text();
  ASSERT_GT(original.size(), 40u);
  form_->LoadLanguage("Deutsch");
  EXPECT_EQ(Caption("MMPlay"), "Abspielen");
  EXPECT_EQ(Caption("MMOpenFiles"), QString::fromUtf8("Dateien öffnen"));
  form_->LoadLanguage("Русский");
  EXPECT_EQ(Caption("MMExit"), QString::fromUtf8("Выход"));
  form_->LoadLanguage("English");
  for (const auto& [name, text] : original)
    EXPECT_EQ(form_->Action(name.toLatin1().constData())->text(), text) << name.toStdString();
}

}  // namespace
}  // namespace kv
