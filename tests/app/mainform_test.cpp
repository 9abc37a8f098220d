// The real main window, offscreen, playing real generated clips: the playlist walk, the
// commands, the seeks, the end of the last title, drops and the key table.
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/mainform.h"
#include "mainform_fixture.h"
#include "osd/osdunit.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_controller.h"

namespace kv {
namespace {

TEST_F(MainFormTest, OpenFile_attachesSubtitleAndAudioFilesOfTheDirectory) {
  form_->OpenFile(Media("a.avi"));
  const TPlaylist& list = form_->Playlist;
  ASSERT_EQ(list.Titles(), std::vector<int>{0});
  std::vector<std::string> children;
  for (int i : list.ChildrenOf(0)) children.push_back(fs::path(list.Text(i)).filename().string());
  std::sort(children.begin(), children.end());
  EXPECT_EQ(children, (std::vector<std::string>{"a.srt", "music.mp3"}));
  EXPECT_EQ(Options->OpenDir, (root_ / "media").string());
}

TEST_F(MainFormTest, PlayPauseStopAndSeeks) {
  form_->OpenFile(Media("a.avi"));
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  EXPECT_EQ(player->State, psRunning);
  form_->MMPauseClick();
  EXPECT_EQ(player->State, psPaused);
  EXPECT_EQ(OnScreen->MessageText(), "Pause");
  // A 2 s clip: forward 10 s would pass the end and does nothing; back goes to 0.
  const int32_t before = player->GetPosition();
  form_->SeekBy(10000);
  EXPECT_LE(std::abs(player->GetPosition() - before), 100);
  form_->SeekBy(-10000);
  EXPECT_EQ(player->GetPosition(), 0);
  form_->MMPauseClick();
  EXPECT_EQ(player->State, psRunning);
  form_->MMStopClick();
  EXPECT_EQ(player->State, psStopped);
  EXPECT_EQ(OnScreen->MessageText(), "Stop");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MainFormTest, NextSkipsABrokenTitleSilently_andTheLastTitleEndsPaused) {
  TPlaylist& list = form_->Playlist;
  list.Clear();
  list.AddTitle(Media("a.avi"));
  list.AddTitle(Media("b.avi"));
  list.AddTitle(Media("c.avi"));
  form_->CurrentFile = Media("a.avi");
  form_->TitleIndex = 0;
  form_->RebuildTitlesMenu();
  ASSERT_TRUE(form_->PlayCurrent());
  form_->MMNextClick();
  EXPECT_EQ(form_->TitleIndex, 2);
  EXPECT_EQ(form_->CurrentFile, Media("c.avi"));
  form_->MMNextClick();  // on the last title: nothing
  EXPECT_EQ(form_->TitleIndex, 2);
  // The end of the last title leaves its last frame paused with "Pause" on the OSD.
  ASSERT_TRUE(RunUntil([&] { return form_->Player->State == psPaused; }));
  EXPECT_EQ(OnScreen->MessageText(), "Pause");
  form_->MMPrevClick();  // back over the broken title to the first
  EXPECT_EQ(form_->TitleIndex, 0);
  form_->MMPrevClick();  // on the first: nothing
  EXPECT_EQ(form_->TitleIndex, 0);
}

TEST_F(MainFormTest, DroppingThreeFilesPlaysOnlyTheFirst) {
  form_->FilesDropped({QString::fromStdString(Media("c.avi")), QString::fromStdString(Media("a.avi")),
                       QString::fromStdString(Media("b.avi"))});
  EXPECT_EQ(form_->Playlist.Titles().size(), 1u);
  EXPECT_EQ(form_->CurrentFile, Media("c.avi"));
  EXPECT_EQ(form_->Player->State, psRunning);
}

TEST_F(MainFormTest, ACommandLineFileThatCannotPlayShowsTheError) {
  form_->PlayFileNow(Media("b.avi"));
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_.back(), "Cannot play file " + Media("b.avi"));
  EXPECT_EQ(form_->Playlist.Count(), 3) << "the playlist stays (b.avi with a.srt and music.mp3)";
}

TEST_F(MainFormTest, ZoomAndCropKeys) {
  form_->OpenFile(Media("a.avi"));
  ASSERT_TRUE(form_->PlayCurrent());
  uint32_t t = 1000;
  EXPECT_TRUE(form_->HandleChar('z', t++));
  EXPECT_TRUE(form_->ZoomMode);
  EXPECT_EQ(OnScreen->MessageText(), "Zoom mode ON");
  EXPECT_TRUE(form_->HandleChar('+', t++));
  EXPECT_EQ(OnScreen->MessageText(), "Zoom 1.25x");
  EXPECT_FALSE(form_->HandleChar('+', t - 1)) << "the same message seen twice acts once";
  EXPECT_EQ(OnScreen->MessageText(), "Zoom 1.25x");
  EXPECT_TRUE(form_->HandleChar('c', t++));
  EXPECT_FALSE(form_->ZoomMode);
  EXPECT_TRUE(form_->CropMode);
  const int heightBefore = form_->height();
  EXPECT_TRUE(form_->HandleChar('+', t++));
  EXPECT_EQ(OnScreen->MessageText(), "Crop 5%");
  EXPECT_GT(form_->height(), heightBefore) << "a crop in a window makes it taller";
  EXPECT_TRUE(form_->HandleChar('z', t++));
  EXPECT_FALSE(form_->CropMode);
  EXPECT_TRUE(form_->HandleChar(26, t++));  // Control+Z
  EXPECT_EQ(OnScreen->MessageText(), "Zoom off");
  EXPECT_FALSE(form_->HandleChar('q', t++));
}

TEST_F(MainFormTest, AChosenSubRipFileShowsItsEntryOnTime) {
  form_->OpenFile(Media("a.avi"));
  ASSERT_TRUE(form_->PlayCurrent());
  QMenu* menu = form_->Action("MMSubtitles")->menu();
  QAction* srt = nullptr;
  for (QAction* a : menu->actions())
    if (a->text() == "a.srt") srt = a;
  ASSERT_NE(srt, nullptr) << "the subtitle file beside the clip is offered";
  srt->trigger();
  ASSERT_TRUE(form_->Subtitles->SubtitlesOn);
  ASSERT_TRUE(RunUntil([&] { return form_->Subtitles->SubtitleText == "Hello"; }));
  const int32_t shownAt = form_->Player->GetPosition();
  EXPECT_GE(shownAt, 1000 - 100);
  // Within its own interval (1-2 s): the timer's period (100 ms) is the usual lateness, but
  // a loaded machine can hold the window's thread back longer while the clock runs on.
  EXPECT_LT(shownAt, 2000) << "shown while its interval lasts";
  ASSERT_TRUE(RunUntil([&] { return form_->Subtitles->SubtitleText.empty(); }));
  const int32_t clearedAt = form_->Player->GetPosition();
  EXPECT_GE(clearedAt, 2000 - 100);
}

TEST_F(MainFormTest, FullScreenCentresThePictureAndLeavingRestoresThePlacement) {
  form_->OpenFile(Media("a.avi"));  // 320x240: a 4:3 picture
  ASSERT_TRUE(form_->PlayCurrent());
  form_->setGeometry(50, 60, 400, 300);
  QApplication::processEvents();
  const QRect before = form_->geometry();
  form_->MMFullscreenClick();
  QApplication::processEvents();
  const QRect screen = form_->screen()->geometry();
  EXPECT_EQ(form_->geometry(), screen);
  const QRect area = form_->VideoArea->geometry();
  // The 4:3 picture fills the screen in one direction and is centred in the other.
  EXPECT_TRUE(area.width() == screen.width() || area.height() == screen.height());
  EXPECT_NEAR(static_cast<double>(area.width()) / area.height(), 4.0 / 3.0, 0.01);
  EXPECT_EQ(area.left(), (screen.width() - area.width()) / 2) << "the picture is centred";
  EXPECT_EQ(area.top(), (screen.height() - area.height()) / 2) << "the picture is centred";
  EXPECT_TRUE(form_->Action("MMFullscreen")->isChecked());
  EXPECT_FALSE(form_->Action("MMWindow")->isChecked());
  form_->MMFullscreenClick();
  QApplication::processEvents();
  EXPECT_EQ(form_->geometry(), before) << "leaving full screen restores the exact placement";
  EXPECT_TRUE(form_->Action("MMWindow")->isChecked());
}

TEST_F(MainFormTest, ClosingInFullScreenSavesThePlacementFromBefore) {
  form_->setGeometry(70, 80, 480, 360);
  QApplication::processEvents();
  form_->MMFullscreenClick();
  QApplication::processEvents();
  form_->close();
  tOptions reread;
  reread.LoadSettings();
  EXPECT_EQ(reread.Left, 70);
  EXPECT_EQ(reread.Top, 80);
  EXPECT_EQ(reread.Width, 480);
  EXPECT_EQ(reread.Height, 360);
}

TEST_F(MainFormTest, ANewWidthFromOutsideMakesTheHeightFollowThePicture) {
  form_->OpenFile(Media("a.avi"));  // 320x240
  ASSERT_TRUE(form_->PlayCurrent());
  form_->resize(480, 100);  // as a window manager would
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(form_->width(), 480);
  EXPECT_EQ(form_->height(), 360);
  Options->KeepAspectRatio = false;
  form_->resize(500, 100);
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(form_->height(), 100) << "with \"Don't keep\" the height is free";
  Options->KeepAspectRatio = true;
}

TEST_F(MainFormTest, RateMenuChecksFollowTheEngine) {
  form_->OpenFile(Media("a.avi"));
  ASSERT_TRUE(form_->PlayCurrent());
  QAction* half = form_->Action("MMRate05");
  ASSERT_NE(half, nullptr);
  form_->MMRateClick(half);
  EXPECT_TRUE(half->isChecked());
  EXPECT_FALSE(form_->Action("MMRate1")->isChecked());
}

}  // namespace
}  // namespace kv
