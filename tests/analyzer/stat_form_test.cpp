// The analyzer window on its own (offscreen): records in through the statistics callbacks
// as the filters deliver them, the 100 ms timer, the zoom and view menus, the pointer and
// the grid, the full table's status, and Save of an empty table.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include "analyzer/StatForm.h"
#include "analyzer/stat_callbacks.h"
#include "platform/ui/messagebox.h"

namespace kv {
namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "stat_form_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down in the exit handlers crashes in its input devices.
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

class StatFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    form_ = std::make_unique<TStatForm>(nullptr, 30);
    form_->resize(900, 400);
    form_->show();
    BindAnalysis(&gate_, &form_->Table());
    form_->ResetAnalysis();
    gate_ = true;
  }
  void TearDown() override { BindAnalysis(nullptr, nullptr); }

  void Deliver(int n, int from = 0) {
    for (int i = from; i < from + n; ++i) {
      TSampleRecord r;
      r.FrameIndex = i;
      r.StartTime = int64_t(i) * 400000;
      r.StopTime = r.StartTime + 400000;
      r.Bytes = 1000 + 100 * i;
      r.IsSyncPoint = i % 10 == 0;
      AnalyzerSampleCallback(&r);
      TImageRecord m;
      m.FrameIndex = i;
      m.HistogramAverage = 128500;
      m.HistogramMax = 250000;
      m.HistogramMin = 3000;
      AnalyzerImageCallback(&m);
    }
  }
  // Waits for the window's own 100 ms timer.
  void Tick() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 250) QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  QString Cell(int row, int column) { return form_->FrameInfo->item(row, column)->text(); }
  QAction* Item(const char* name) { return form_->findChild<QAction*>(QString::fromLatin1(name)); }

  std::atomic<bool> gate_{false};
  std::unique_ptr<TStatForm> form_;
};

TEST_F(StatFormTest, TimerShowsTotals_pointerShowsTheFrame_zoomChangesTheColumns) {
  Deliver(20);
  Tick();
  EXPECT_EQ(Cell(0, 2), QStringLiteral("Total"));
  EXPECT_EQ(Cell(1, 2), QStringLiteral("20"));
  EXPECT_EQ(Cell(3, 2), QStringLiteral("0:00:00.800"));
  EXPECT_EQ(Cell(11, 2), QStringLiteral("3/128.5/250"));
  EXPECT_EQ(form_->VidFramesScrollBar->maximum(), 19);

  form_->VidFrames->resize(483, 200);
  Item("Zoom20")->trigger();
  EXPECT_TRUE(Item("Zoom20")->isChecked());
  EXPECT_FALSE(Item("Zoom5")->isChecked());
  form_->VidFrames->repaint();
  EXPECT_EQ(form_->DrawnColumns(), 20);  // all frames; the chart could hold 25
  Deliver(10, 20);
  Tick();
  form_->VidFrames->repaint();
  EXPECT_EQ(form_->DrawnColumns(), 25);  // c from 0 to 483 div 20

  // The mouse over column 3 shows frame 3 in the grid and moves the pointer there.
  QTest::mouseMove(form_->VidFrames, QPoint(3 * 20 + 5, 50));
  EXPECT_EQ(form_->CurrentFrame(), 3);
  EXPECT_EQ(Cell(1, 1), QStringLiteral("3"));
  EXPECT_EQ(Cell(6, 1), QStringLiteral("1300"));
  EXPECT_EQ(Cell(9, 1), QStringLiteral("N"));
  EXPECT_EQ(form_->VFramePointer->x(), 3 * 20 - 18 / 2 + 10);
  // Past the last frame nothing changes.
  QTest::mouseMove(form_->VidFrames, QPoint(482, 50));
  EXPECT_EQ(form_->CurrentFrame(), 24);
  form_->VidFramesScrollBar->setValue(5);
  EXPECT_EQ(form_->FirstDrawnFrame(), 5);
  EXPECT_EQ(form_->CurrentFrame(), 5 + 24);

  // A click asks for the seek to the frame's stop time; the last frame does not.
  std::vector<int32_t> seeks;
  form_->SeekTo = [&seeks](int32_t ms) { seeks.push_back(ms); };
  QTest::mouseClick(form_->VidFrames, Qt::LeftButton, {}, QPoint(0, 50));
  EXPECT_EQ(seeks, std::vector<int32_t>{240});  // frame 5 stops at 2.4 s
  QTest::mouseClick(form_->VidFrames, Qt::LeftButton, {}, QPoint(24 * 20 + 1, 50));
  EXPECT_EQ(form_->CurrentFrame(), 29);
  EXPECT_EQ(seeks.size(), 1u);
}

TEST_F(StatFormTest, ViewAndRangeMenus_checkOneItemOfTheirGroup) {
  EXPECT_TRUE(Item("MMBitrate")->isChecked());
  EXPECT_TRUE(Item("RangeAuto")->isChecked());
  EXPECT_FALSE(Item("MMOpen")->isEnabled());
  EXPECT_FALSE(Item("MMOptions")->isEnabled());
  Item("MMDCT")->trigger();
  EXPECT_EQ(form_->View(), TChartView::DCT);
  EXPECT_TRUE(Item("MMDCT")->isChecked());
  EXPECT_FALSE(Item("MMBitrate")->isChecked());
  Item("MMDCT")->trigger();  // the checked item: nothing changes
  EXPECT_TRUE(Item("MMDCT")->isChecked());
  Item("RangeFull")->trigger();
  EXPECT_TRUE(Item("RangeFull")->isChecked());
  EXPECT_FALSE(Item("RangeAuto")->isChecked());
}

TEST_F(StatFormTest, FullTable_saysSoInTheStatus_andEmptySaveWritesNothing) {
  Deliver(35);
  Tick();
  EXPECT_EQ(form_->Table().Count(), 30);
  EXPECT_NE(form_->StatusLine->text().indexOf(QStringLiteral("30")), -1);

  form_->ResetAnalysis();
  EXPECT_TRUE(form_->StatusLine->text().isEmpty());
  std::vector<std::string> boxes;
  ui::MessageBoxHandler previous =
      ui::SetMessageBoxHandler([&boxes](const std::string& text, const std::string& caption) { boxes.push_back(caption + ": " + text); });
  const std::string path = (std::filesystem::temp_directory_path() / "kv-empty-table.cvs").string();
  std::filesystem::remove(path);
  EXPECT_FALSE(form_->SaveTable(path));
  EXPECT_EQ(boxes, std::vector<std::string>{"Error: No frames to save"});
  EXPECT_FALSE(std::filesystem::exists(path));
  ui::SetMessageBoxHandler(previous);
}

}  // namespace
}  // namespace kv
