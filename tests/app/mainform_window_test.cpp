// The window as the window manager and the mouse meet it: the black bars of full screen,
// a height-only resize, maximise, and the "Change framerate" item of a choice made stopped.
#include <QAction>
#include <QMenu>
#include <QTest>

#include "mainform_fixture.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_controller.h"

namespace kv {
namespace {

using MainFormWindow = MainFormTest;

TEST_F(MainFormWindow, TheBlackBarsOfFullScreenShowTheCursorAndLeaveOnDoubleClick) {
  form_->OpenFile(Media("big.avi"));  // 16:9 on the 4:3 offscreen screen: bars above and below
  ASSERT_TRUE(form_->PlayCurrent());
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get(), 5000));
  QTest::keyClick(form_->VideoArea, 'f');
  ASSERT_TRUE(form_->Fullscreen);
  const QPoint bar(form_->width() / 2, 5);
  ASSERT_GT(form_->VideoArea->geometry().top(), bar.y()) << "no bar above the picture";
  ASSERT_TRUE(RunUntil([&] { return form_->CursorHidden; }, 10000)) << "the cursor never hid";
  QTest::mouseMove(form_.get(), bar);
  QApplication::processEvents();
  EXPECT_FALSE(form_->CursorHidden) << "moving over the bar did not show the cursor";
  QTest::mouseDClick(form_.get(), Qt::LeftButton, {}, bar);
  QApplication::processEvents();
  EXPECT_FALSE(form_->Fullscreen) << "a double click on the bar did not leave full screen";
}

TEST_F(MainFormWindow, AHeightOnlyResizeMakesTheWidthFollow_andMaximiseMeansFullScreen) {
  form_->OpenFile(Media("a.avi"));  // 4:3
  ASSERT_TRUE(form_->PlayCurrent());
  form_->setGeometry(40, 40, 320, 240);
  QApplication::processEvents();
  form_->resize(320, 300);  // as a window manager dragging the bottom edge
  RunUntil([&] { return form_->width() != 320; }, 2000);
  EXPECT_EQ(form_->height(), 300);
  EXPECT_EQ(form_->width(), 400);
  const QRect normal = form_->geometry();
  form_->setWindowState(Qt::WindowMaximized);
  ASSERT_TRUE(RunUntil([&] { return form_->Fullscreen; }, 2000)) << "maximise did nothing";
  EXPECT_EQ(form_->geometry(), form_->screen()->geometry());
  form_->MMFullscreenClick();
  QApplication::processEvents();
  EXPECT_EQ(form_->geometry(), normal) << "leaving goes back to the window from before maximise";
}

TEST_F(MainFormWindow, ASubtitleChosenWhileStoppedEnablesChangeFramerate) {
  form_->OpenFile(Media("a.avi"));  // not started
  QMenu* menu = form_->Action("MMSubtitles")->menu();
  QAction* srt = nullptr;
  for (QAction* a : menu->actions())
    if (a->text() == "a.srt") srt = a;
  ASSERT_NE(srt, nullptr);
  srt->trigger();
  EXPECT_TRUE(srt->isChecked());
  EXPECT_TRUE(form_->Subtitles->MMChangeframerate()->isEnabled());
}

}  // namespace
}  // namespace kv
