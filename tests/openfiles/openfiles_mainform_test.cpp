// "Open files" in the real main window: the menu item opens the dialog, a playlist of three
// titles is built in it (two with a SubRip file attached, one with an external audio file),
// OK starts the first title, and the titles play one after the other with the subtitle and
// audio menus showing the files attached to the title that plays.
// The same run under a real X server (built into the Xvfb driver only; its script runs it)
// ends the program with --quit-at-end after the last title and keeps a screenshot of the
// dialog.
#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "app/mainform.h"
#include "app/mainmenu.h"
#include "openfiles/open.h"
#include "openfiles_test_support.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_controller.h"

namespace kv {
namespace {

using namespace kv::test;

class OpenFilesInMainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = MakeTempDir("openfiles-main");
    for (const char* d : {"config/kavello", "media", "runtime", "data"}) fs::create_directories(root_ / d);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    if (!getenv("KAVELLO_KEEP_PULSE")) setenv("PULSE_SERVER", "unix:/nonexistent", 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    WriteFile(root_ / "config/kavello/user.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
              "\"Version\"=\"2.3.0.0\"\r\n\"MultipleInst\"=dword:00000001\r\n");
    const fs::path m = root_ / "media";
    for (const char* name : {"t1.avi", "t2.avi", "t3.avi"}) {
      const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 1.5 "
                              "-c:v mpeg4 -q:v 5 '" + (m / name).string() + "'";
      ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    const std::string mp3 = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:duration=1 "
                            "-c:a libmp3lame -b:a 64k '" + (m / "music.mp3").string() + "'";
    ASSERT_EQ(std::system(mp3.c_str()), 0);
    WriteFile(m / "t1.srt", kSubRip);
    WriteFile(m / "t2.srt", kSubRip);
    SetProgramDirectoryForTesting(KAVELLO_PROGRAM_DIR);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void SetUp() override {
    messages_.clear();
    previous_ = ui::SetMessageBoxHandler([](const std::string& text, const std::string&) { messages_.push_back(text); });
  }
  void TearDown() override {
    if (form_) form_->close();
    form_.reset();
    ui::SetMessageBoxHandler(previous_);
  }

  void MakeForm(std::vector<std::string> args) {
    form_ = std::make_unique<TMainForm>(args, root_.string());
    ASSERT_TRUE(form_->ShowMainForm());
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    Options->OpenDir = (root_ / "media").string();
  }
  std::string Media(const char* name) const { return (root_ / "media" / name).string(); }

  // What a person does in the dialog: three videos chosen with Ctrl and inserted, a subtitle
  // file dragged onto the first two titles and the audio file onto the third, then OK.
  void BuildPlaylistInDialog(TOpenfilesForm* dialog) {
    TFileListBox* files = dialog->FileListBox;
    auto item = [&](const char* name) {
      auto found = files->findItems(QString::fromLatin1(name), Qt::MatchExactly);
      return found.isEmpty() ? nullptr : found.front();
    };
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    if (!form_->Playlist.Empty()) {  // what played before goes: every entry chosen, then Delete
      dialog->Playback->setFocus();
      QTest::keyClick(dialog->Playback, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(dialog->Playback, Qt::Key_Delete);
      ASSERT_TRUE(form_->Playlist.Empty());
    }
    ASSERT_TRUE(RunUntil([&] { return item("t1.avi") != nullptr && files->visualItemRect(item("t1.avi")).isValid(); }));
    QApplication::processEvents();
    for (const char* name : {"t1.avi", "t2.avi", "t3.avi"})
      QTest::mouseClick(files->viewport(), Qt::LeftButton, name[1] == '1' ? Qt::NoModifier : Qt::ControlModifier,
                        files->visualItemRect(item(name)).center());
    files->setFocus();
    QTest::keyClick(files, Qt::Key_Insert);
    ASSERT_EQ(form_->Playlist.Titles().size(), 3u);
    auto dragTo = [&](const char* name, int flat) {
      files->setCurrentItem(item(name));
      std::unique_ptr<QMimeData> data(files->model()->mimeData({files->currentIndex()}));
      const QPoint pos = dialog->Playback->visualRect(dialog->PlaylistModel()->IndexOfFlat(flat)).center();
      QDragEnterEvent enter(pos, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(dialog->Playback->viewport(), &enter);
      QDragMoveEvent move(pos, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(dialog->Playback->viewport(), &move);
      QDropEvent drop(QPointF(pos), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(dialog->Playback->viewport(), &drop);
    };
    dragTo("t1.srt", 0);
    dragTo("t2.srt", 2);
    dragTo("music.mp3", 4);
    ASSERT_EQ(form_->Playlist.Count(), 6);
    if (const char* shot = getenv("KAVELLO_OPENFILES_SHOT")) {
      QApplication::processEvents();
      QTest::qWait(300);
      QScreen* screen = dialog->windowHandle() ? dialog->windowHandle()->screen() : QGuiApplication::primaryScreen();
      QPixmap pixels = screen->grabWindow(dialog->winId());
      if (pixels.isNull() || pixels.width() <= 1) pixels = dialog->grab();
      EXPECT_TRUE(pixels.save(QString::fromLocal8Bit(shot)));
    }
    QTest::mouseClick(dialog->OKBut, Qt::LeftButton);
  }

  // "Open files" chosen in the popup menu with the mouse; the dialog is worked while it runs.
  void OpenFilesThroughTheMenu() {
    bool worked = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      TOpenfilesForm* dialog = form_->OpenfilesForm;
      if (worked || !dialog || !dialog->isVisible()) return;
      worked = true;
      BuildPlaylistInDialog(dialog);
      if (dialog->isVisible()) dialog->reject();  // a failed step must not leave the dialog up
    });
    poll.start();
    QMenu* menu = form_->MainMenu;
    menu->popup(form_->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QAction* open = FindMenuAction(menu, QStringLiteral("MMOpenFiles"));
    ASSERT_NE(open, nullptr);
    ASSERT_EQ(open->text(), "Open files");
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(open).center());
    ASSERT_TRUE(RunUntil([&] { return worked && !form_->OpenfilesForm->isVisible(); }));
    EXPECT_EQ(form_->OpenfilesForm->result(), TOpenfilesForm::OK);
  }

  QStringList MenuTexts(const char* name) const {
    QStringList out;
    if (QAction* a = form_->Action(name); a && a->menu())
      for (QAction* item : a->menu()->actions()) out << item->text();
    return out;
  }

  static inline fs::path root_;
  static inline std::vector<std::string> messages_;
  ui::MessageBoxHandler previous_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(OpenFilesInMainWindow, APlaylistBuiltInTheDialogPlaysTitleAfterTitleWithItsAttachedFiles) {
  MakeForm({});
  OpenFilesThroughTheMenu();
  EXPECT_EQ(Options->OpenDir, (root_ / "media").string());
  EXPECT_EQ(MenuTexts("MMTitles"), (QStringList{"t1.avi", "t2.avi", "t3.avi"}));
  EXPECT_EQ(form_->TitleIndex, 0);
  EXPECT_EQ(form_->CurrentFile, Media("t1.avi"));
  EXPECT_EQ(form_->Player->State, psRunning);
  EXPECT_TRUE(MenuTexts("MMSubtitles").contains("t1.srt"));
  EXPECT_FALSE(MenuTexts("MMAudio").contains("music.mp3"));

  ASSERT_TRUE(RunUntil([&] { return form_->TitleIndex == 2; }));
  EXPECT_EQ(form_->CurrentFile, Media("t2.avi"));
  EXPECT_TRUE(MenuTexts("MMSubtitles").contains("t2.srt"));
  EXPECT_FALSE(MenuTexts("MMSubtitles").contains("t1.srt"));

  ASSERT_TRUE(RunUntil([&] { return form_->TitleIndex == 4; }));
  EXPECT_EQ(form_->CurrentFile, Media("t3.avi"));
  EXPECT_TRUE(MenuTexts("MMAudio").contains("music.mp3"));
  EXPECT_FALSE(MenuTexts("MMSubtitles").contains("t2.srt"));
  ASSERT_TRUE(RunUntil([&] { return form_->Player->State == psPaused; }));
  EXPECT_EQ(form_->TitleIndex, 4);
  EXPECT_TRUE(messages_.empty()) << messages_.front();
}

TEST_F(OpenFilesInMainWindow, OkWithAnEmptyPlaylistSaysSo_andCancelLeavesPlaybackAlone) {
  MakeForm({});
  bool done = false;
  QTimer::singleShot(50, [&] {
    QTest::mouseClick(form_->OpenfilesForm->CancelBut, Qt::LeftButton);
    done = true;
  });
  form_->Action("MMOpenFiles")->trigger();
  ASSERT_TRUE(done);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(form_->Player->State, psNone);
  QTimer::singleShot(50, [&] { QTest::mouseClick(form_->OpenfilesForm->OKBut, Qt::LeftButton); });
  form_->Action("MMOpenFiles")->trigger();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Cannot play file ");
}

#ifdef KAVELLO_OPENFILES_UNDER_X
// Under a real X server: --quit-at-end ends the program after the last title. A scripted run
// needs a file to start with (without one it ends at once), so a long clip from another
// folder plays while the dialog replaces the playlist.
TEST_F(OpenFilesInMainWindow, UnderX_thePlaylistPlaysToTheEndAndTheProgramQuits) {
  fs::create_directories(root_ / "intro");
  const std::string intro = (root_ / "intro/intro.avi").string();
  const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 60 "
                          "-c:v mpeg4 -q:v 8 '" + intro + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  MakeForm({"--quit-at-end", intro});
  ASSERT_TRUE(RunUntil([&] { return form_->Player && form_->Player->State == psRunning; }));
  ASSERT_EQ(form_->Playlist.Count(), 1);
  // Opening the intro stored its folder as the open-files folder; the dialog is to start in
  // the media folder, as when the user last chose files there.
  Options->OpenDir = (root_ / "media").string();
  OpenFilesThroughTheMenu();
  std::vector<std::string> played;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (form_ && (played.empty() || played.back() != form_->CurrentFile)) played.push_back(form_->CurrentFile);
  });
  watch.start(10);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
  guard.start(60000);
  EXPECT_EQ(QApplication::exec(), 0) << "the program did not end well at the end of the playlist";
  EXPECT_EQ(played, (std::vector<std::string>{Media("t1.avi"), Media("t2.avi"), Media("t3.avi")}));
}
#endif

}  // namespace
}  // namespace kv
