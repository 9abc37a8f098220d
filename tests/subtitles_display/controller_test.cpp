// The subtitle controller on a stand-in main window: the Subtitles menu, choosing and loading
// a file, the framerate questions, the schedule through SubTimer on a fake clock (what the
// strip holds when, and the log lines), pause, stop, seeks and title switches.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QTest>

#include "subtitles/subtitle_qt_timer.h"
#include "view_rig.h"

namespace kv {
namespace {

using test::TViewRig;

// The dialog answers the way a user would: OK after typing, or Cancel.
struct TAnswer {
  bool Ok = true;
  const char* Framerate = "25";
  int Sec = 0;
  int Tenths = 0;
};
void Answer(TViewRig& rig, TAnswer a, int* asked = nullptr) {
  rig.controller->RunFramerateDialog = [a, asked](TFramerateForm& form) {
    if (asked) ++*asked;
    form.FramerateBox->setEditText(QString::fromLatin1(a.Framerate));
    form.OffsetSec->setValue(a.Sec);
    form.OffsetMSec->setValue(a.Tenths);
    return a.Ok ? TFramerateForm::kResultOk : TFramerateForm::kResultCancel;
  };
}

TEST(SubtitleMenu, ListsTheRecognisedSubtitleFilesOfTheCurrentTitle) {
  TViewRig rig;
  const QList<QAction*> items = rig.menu->actions();
  ASSERT_EQ(items.size(), 5);
  EXPECT_EQ(items[0]->objectName(), "NoneSubtitle");
  EXPECT_EQ(items[0]->text(), "None");
  EXPECT_TRUE(items[0]->isChecked());
  EXPECT_EQ(items[0]->property("tag").toInt(), 1);
  EXPECT_EQ(items[1]->objectName(), "MMChangeframerate");
  EXPECT_EQ(items[1]->property("tag").toInt(), 0);
  EXPECT_EQ(items[2]->property("tag").toInt(), 1);
  EXPECT_EQ(items[1]->text(), "Change framerate");
  EXPECT_FALSE(items[1]->isEnabled());
  EXPECT_TRUE(items[2]->isSeparator());
  EXPECT_EQ(items[3]->text(), "movie.srt");
  EXPECT_EQ(items[3]->property("tag").toInt(), rig.Srt);
  EXPECT_EQ(items[4]->text(), "frames.sub");
  EXPECT_EQ(items[4]->property("tag").toInt(), rig.Sub);

  rig.host.Title = rig.Other;  // a title without attached files
  rig.controller->BuildSubtitleMenu();
  EXPECT_EQ(rig.menu->actions().size(), 3);
}

TEST(SubtitleMenu, ChoosingWhileStoppedOnlyMarksTheFile) {
  TViewRig rig;
  rig.host.State = TSubtitlePlayback::Other;
  rig.Click(3);
  EXPECT_TRUE(rig.controller->SubtitlesOn);
  EXPECT_EQ(rig.controller->SubtitleIndex, rig.Srt);
  EXPECT_TRUE(rig.Item(3)->isChecked());
  EXPECT_FALSE(rig.Item(0)->isChecked());
  EXPECT_TRUE(rig.list.Items.empty());  // loaded only when the title starts

  ASSERT_TRUE(rig.controller->LoadForTitle());
  EXPECT_EQ(rig.list.Items.size(), 3u);
  rig.Play();
  rig.controller->TitleStarted();
  EXPECT_TRUE(rig.controller->Strip().Visible());
  EXPECT_TRUE(rig.timer->Enabled());
  EXPECT_EQ(rig.timer->Interval(), 1000);
}

TEST(SubtitleMenu, ChoosingWhilePlayingLoadsAndShowsAtOnce) {
  TViewRig rig;
  rig.Play();
  rig.player.Seek(1500);
  rig.Click(3);
  EXPECT_TRUE(rig.controller->SubtitlesOn);
  EXPECT_EQ(rig.controller->SubtitleText, "Alpha");
  EXPECT_TRUE(rig.controller->Strip().Visible());
  EXPECT_TRUE(rig.timer->Enabled());
  EXPECT_EQ(rig.timer->Interval(), 1500);
  EXPECT_TRUE(rig.Item(1)->isEnabled());
  EXPECT_TRUE(rig.Item(3)->isChecked());
  // The log is on, so the list was dumped in milliseconds.
  std::ifstream dump(rig.dir.Path("zorsub.sub"), std::ios::binary);
  std::stringstream bytes;
  bytes << dump.rdbuf();
  EXPECT_NE(bytes.str().find("{1000}{3000}Alpha"), std::string::npos);
}

TEST(SubtitleMenu, UnreadableFileChangesNeitherMenuNorFlags) {
  TViewRig rig;
  rig.Play();
  std::filesystem::remove(rig.host.List.Text(rig.Srt));
  rig.Click(3);
  EXPECT_FALSE(rig.controller->SubtitlesOn);
  EXPECT_EQ(rig.controller->SubtitleIndex, -1);
  EXPECT_FALSE(rig.Item(3)->isChecked());
  EXPECT_TRUE(rig.Item(0)->isChecked());
  EXPECT_FALSE(rig.controller->Strip().Visible());
}

TEST(SubtitleMenu, NoneTurnsSubtitlesOff) {
  TViewRig rig;
  rig.Play();
  rig.player.Seek(1500);
  rig.Click(3);
  rig.Click(0);
  EXPECT_FALSE(rig.controller->SubtitlesOn);
  EXPECT_EQ(rig.controller->SubtitleIndex, -1);
  EXPECT_TRUE(rig.controller->SubtitleText.empty());
  EXPECT_FALSE(rig.controller->Strip().Visible());
  EXPECT_FALSE(rig.timer->Enabled());
  EXPECT_TRUE(rig.Item(0)->isChecked());
  EXPECT_FALSE(rig.Item(3)->isChecked());
  EXPECT_TRUE(rig.Item(1)->isEnabled());
}

TEST(SubtitleMenu, UnknownFramerateIsAskedForWhenChoosingWhilePlaying) {
  struct Row {
    TAnswer answer;
    bool chosen;
    double framerate;  // VideoFramerate afterwards
    std::int32_t offset;
  };
  const Row rows[] = {
      {{false, "30"}, false, 0, 0},         // Cancel: nothing changes
      {{true, "23,976"}, false, 0, 0},      // not a number: nothing changes
      {{true, "25", -2, 5}, true, 25, -2500},
  };
  for (const Row& r : rows) {
    TViewRig rig;
    rig.controller->VideoFramerate = 0;
    int asked = 0;
    Answer(rig, r.answer, &asked);
    rig.Play();
    rig.Click(4);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(rig.controller->SubtitlesOn, r.chosen) << r.answer.Framerate;
    EXPECT_EQ(rig.controller->VideoFramerate, r.framerate) << r.answer.Framerate;
    EXPECT_EQ(rig.list.Offset, r.offset) << r.answer.Framerate;
    if (r.chosen) {
      ASSERT_EQ(rig.list.Items.size(), 1u);
      EXPECT_EQ(rig.list.Items[0].Start, 1000u);  // frame 25 at 25 fps
    }
  }
}

TEST(SubtitleLoading, TitleStartAsksForAnUnknownFramerate) {
  struct Row {
    TAnswer answer;
    bool starts;
    std::uint32_t firstStart;  // of the frame-numbered file, when it starts
  };
  const Row rows[] = {
      {{false}, true, 1000},           // Cancel goes on at 25 fps
      {{true, "0"}, true, 1000},       // 0 loads at 25 fps
      {{true, "50"}, true, 500},
      {{true, "abc"}, false, 0},       // not a number: the title does not start
  };
  for (const Row& r : rows) {
    TViewRig rig;
    rig.host.State = TSubtitlePlayback::Other;
    rig.Click(4);
    rig.controller->VideoFramerate = 0;
    Answer(rig, r.answer);
    EXPECT_EQ(rig.controller->LoadForTitle(), r.starts) << r.answer.Framerate;
    if (r.starts) {
      ASSERT_EQ(rig.list.Items.size(), 1u) << r.answer.Framerate;
      EXPECT_EQ(rig.list.Items[0].Start, r.firstStart) << r.answer.Framerate;
    }
  }
}

TEST(SubtitleLoading, UnreadableFileAtTitleStartLeavesTheStripEmpty) {
  TViewRig rig;
  rig.Play();
  rig.Click(3);  // entries of movie.srt are loaded
  std::filesystem::remove(rig.host.List.Text(rig.Srt));
  EXPECT_TRUE(rig.controller->LoadForTitle());  // the title plays on
  EXPECT_TRUE(rig.list.Items.empty());          // without the old entries
}

TEST(SubtitleLoading, NothingIsLoadedWhenSubtitlesAreOff) {
  TViewRig rig;
  EXPECT_TRUE(rig.controller->LoadForTitle());
  EXPECT_TRUE(rig.list.Items.empty());
}

TEST(SubtitleLoading, ChangeFramerateReTimesTheStripAtOnce) {
  TViewRig rig;
  rig.Play();
  rig.Click(3);
  rig.Advance(1200);
  ASSERT_EQ(rig.controller->SubtitleText, "Alpha");
  QString prefilled;
  rig.controller->RunFramerateDialog = [&](TFramerateForm& form) {
    prefilled = form.FramerateBox->currentText();
    form.OffsetSec->setValue(3);  // Alpha now runs from 4000 to 6000
    return TFramerateForm::kResultOk;
  };
  rig.Click(1);
  EXPECT_EQ(prefilled, "25");
  EXPECT_EQ(rig.list.Offset, 3000);
  EXPECT_EQ(rig.controller->SubtitleText, "");
  EXPECT_EQ(rig.timer->Interval(), 4000 - 1200);
}

// Every entry of a SubRip file reaches the strip when its time comes (the fake clock makes
// "within one 100 ms period" exact), and the log tells the story.
TEST(SubtitleSchedule, EachEntryIsOnTheStripFromItsStartToItsStop) {
  TViewRig rig;
  rig.host.State = TSubtitlePlayback::Other;
  rig.Click(3);
  ASSERT_TRUE(rig.controller->LoadForTitle());
  rig.Play();
  rig.controller->TitleStarted();
  struct Probe { std::int64_t at; const char* text; };
  for (const Probe& p : {Probe{999, ""}, Probe{1000, "Alpha"}, Probe{2999, "Alpha"},
                         Probe{3000, ""}, Probe{4000, "Bravo|two"}, Probe{5499, "Bravo|two"},
                         Probe{5500, "Charlie"}, Probe{7999, "Charlie"}, Probe{8000, ""},
                         Probe{20000, ""}}) {
    rig.Advance(p.at - rig.clock.Now);
    EXPECT_EQ(rig.controller->SubtitleText, p.text) << "at " << p.at;
  }
  for (const char* line : {"Next subtitle: 0,Alpha", "Subtitle time: 1000,3000",
                           "Next subtitle: 1,Bravo|two", "Subtitles are overlapping",
                           "Next subtitle: 2,Charlie", "Current time:: 8000",
                           "Clearing subtitle"}) {
    EXPECT_TRUE(rig.log.Contains(line)) << line;
  }
  EXPECT_EQ(rig.timer->Fired, 5);  // one tick per change, no polling
}

TEST(SubtitleSchedule, StopClearsTheStripAndDisarmsTheTimer) {
  TViewRig rig;
  rig.Play();
  rig.Click(3);
  rig.Advance(1500);
  rig.host.State = TSubtitlePlayback::Other;
  rig.player.Pause();
  rig.controller->Stop();
  EXPECT_EQ(rig.controller->SubtitleText, "");
  EXPECT_FALSE(rig.timer->Enabled());
}

TEST(SubtitleSchedule, SeekAndResumeRescheduleOnlyWhenSubtitlesAreOn) {
  TViewRig rig;
  rig.Play();
  rig.player.Seek(4500);
  rig.controller->Seeked();
  EXPECT_FALSE(rig.timer->Enabled());
  rig.Click(3);
  rig.player.Seek(1500);
  rig.controller->Seeked();
  EXPECT_EQ(rig.controller->SubtitleText, "Alpha");
  rig.player.Pause();
  rig.host.State = TSubtitlePlayback::Paused;
  rig.controller->Pause();
  EXPECT_FALSE(rig.timer->Enabled());
  rig.Advance(5000);  // paused: nothing changes
  EXPECT_EQ(rig.controller->SubtitleText, "Alpha");
  rig.Play();
  rig.controller->Resume();
  EXPECT_TRUE(rig.timer->Enabled());
  EXPECT_EQ(rig.timer->Interval(), 1500);
}

TEST(SubtitleSchedule, TimerAfterNoneDoesNothing) {
  TViewRig rig;
  rig.Play();
  rig.Click(3);
  rig.controller->SubtitlesOn = false;  // as after None, with a tick already queued
  rig.controller->SubTimerTimer();
  EXPECT_FALSE(rig.timer->Enabled());
  EXPECT_FALSE(rig.log.Contains("Current time:: 0"));
}

// The program's SubTimer: one shot per Enable, re-armed by its handler.
TEST(SubtitleQtTimer, FiresOncePerEnableOnTheEventLoop) {
  test::TestApp();
  QObject parent;
  TQtSubtitleTimer timer(&parent);
  EXPECT_EQ(timer.Timer()->objectName(), "SubTimer");
  int fired = 0;
  timer.OnTimer = [&] {
    ++fired;
    EXPECT_FALSE(timer.Enabled());
    if (fired == 1) timer.Enable();  // the handler re-arms it once
  };
  timer.SetInterval(1);
  timer.Enable();
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return fired == 2; }, 10000));
  QCoreApplication::processEvents();
  EXPECT_EQ(fired, 2);
  EXPECT_FALSE(timer.Enabled());
}

TEST(SubtitleTitles, SwitchingChoosesTheFirstFileOfTheNewTitleOrNone) {
  TViewRig rig;
  rig.Play();
  rig.Click(3);
  // The other title gets a subtitle file of its own.
  const int otherSrt = rig.host.List.AddChild(rig.Other, rig.dir.Write("other.srt", test::kSampleSrt));
  rig.host.Title = rig.Other;
  rig.controller->TitleSwitched();
  EXPECT_TRUE(rig.controller->SubtitlesOn);
  EXPECT_EQ(rig.controller->SubtitleIndex, otherSrt);
  EXPECT_TRUE(rig.Item(3)->isChecked());

  rig.host.List.Remove(otherSrt);
  rig.controller->TitleSwitched();
  EXPECT_FALSE(rig.controller->SubtitlesOn);
  EXPECT_EQ(rig.controller->SubtitleIndex, -1);
}

TEST(SubtitleTitles, NewFileTurnsSubtitlesOffAndEmptiesTheList) {
  TViewRig rig;
  rig.Play();
  rig.Click(3);
  rig.controller->PlaylistReplaced(false);
  EXPECT_TRUE(rig.list.Items.empty());
  EXPECT_TRUE(rig.controller->SubtitlesOn);  // the open dialog keeps the choice
  EXPECT_TRUE(rig.Item(0)->isChecked());
  rig.controller->PlaylistReplaced(true);
  EXPECT_FALSE(rig.controller->SubtitlesOn);
  EXPECT_FALSE(rig.timer->Enabled());
}

}  // namespace
}  // namespace kv
