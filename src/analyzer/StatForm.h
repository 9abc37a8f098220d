// TStatForm: the stream analyzer window ("Analyze").
//
// What it is: a window that owns the frame table (frame_table.h) the statistics callbacks
// fill, and shows it: the frame information grid (the frame under the mouse beside the
// totals), a bar chart of the frames in one of three views (sizes, luma, DCT counts) with
// a zoom of 1:1 to 20:1, a pointer above the frame under the mouse, a scroll bar, and a
// status line. A click in the chart asks the owner to seek there (SeekTo); Save writes the
// table as a ".cvs" file through WriteTable, the same code the command-line batch uses.
// The texts, the totals and the chart's rectangles come from the pure analyzer code; this
// form only places them.
//
// Ownership: created once by the main window and kept to its end; the table lives as long
// as the window. Threads: everything here runs on the user-interface thread; the table's
// streaming side is called by the callbacks (stat_callbacks.h) on streaming threads, and
// the 100 ms timer picks the new frames up through the table's dirty flag.
#pragma once

#include <QWidget>

#include <functional>
#include <string>

#include "analyzer/frame_chart.h"
#include "analyzer/frame_table.h"

class QAction;
class QLabel;
class QMenuBar;
class QScrollBar;
class QTableWidget;
class QTimer;

namespace kv {

class TFrameChart;

class TStatForm : public QWidget {
  Q_OBJECT
 public:
  // capacity: FrameCapacity in the program, small in tests.
  explicit TStatForm(QWidget* parent = nullptr, int32_t capacity = FrameCapacity);
  ~TStatForm() override;

  TFrameTable& Table() { return table_; }
  // The file being analysed: the save dialog's first name.
  void SetMediaFile(const std::string& name) { mediaFile_ = name; }
  void SetMPEGMode(bool on) { table_.SetMPEGMode(on); }
  // Clears the counters and the totals (the table is allocated on first use) and shows
  // the empty chart.
  void ResetAnalysis();
  // Writes the table to name; "No frames to save" (and nothing written) when it is empty,
  // an "Error" box when the file cannot be written. True when written.
  bool SaveTable(const std::string& name);
  // Called on a chart click with the frame's stop time in milliseconds; the owner ends
  // the analysis and seeks.
  std::function<void(int32_t ms)> SeekTo;

  // Components, named as the form names them.
  QMenuBar* Menu = nullptr;
  QTableWidget* FrameInfo = nullptr;
  TFrameChart* VidFrames = nullptr;
  QLabel* VFramePointer = nullptr;
  QScrollBar* VidFramesScrollBar = nullptr;
  QLabel* StatusLine = nullptr;
  QTimer* StatTimer = nullptr;

  // Window events (public so that the chart widget can call them).
  void VidFramesPaint(class QPainter& painter);
  void VidFramesMouseMove(int x);
  void VidFramesClick();
  void VidFramesScrollBarChange(int position);
  void StatTimerTimer();
  void MMSaveClick();

  int32_t Zoom() const { return zoom_; }
  TChartView View() const { return view_; }
  int32_t CurrentFrame() const { return currentFrame_; }
  int32_t FirstDrawnFrame() const { return firstDrawn_; }
  // Columns the last paint drew (tests read it).
  int32_t DrawnColumns() const { return drawnColumns_; }

 protected:
  void resizeEvent(class QResizeEvent* event) override;

 private:
  void FormCreate();
  void BuildMenu();
  void ZoomClick(QAction* item);
  void MMViewClick(QAction* item);
  void MMRangeClick(QAction* item);
  void PaintFrames(int32_t first);
  void ShowFrameInfo(int32_t i);
  void UpdateTotals();
  void SetColumn(int column, const std::array<std::string, 13>& texts);

  TFrameTable table_;
  std::string mediaFile_;
  int32_t zoom_ = 5;
  int32_t currentFrame_ = -1;
  int32_t pointerColumn_ = 0;
  int32_t firstDrawn_ = 0;
  int32_t drawnColumns_ = 0;
  TChartView view_ = TChartView::Bitrate;
  TChartRange range_ = TChartRange::Auto;
  QAction* zoomItems_[4] = {};
  QAction* viewItems_[3] = {};
  QAction* rangeItems_[2] = {};
};

// The chart area (VidFrames): paints through the form and reports the mouse.
class TFrameChart : public QWidget {
  Q_OBJECT
 public:
  explicit TFrameChart(TStatForm* form);

 protected:
  void paintEvent(class QPaintEvent* event) override;
  void mouseMoveEvent(class QMouseEvent* event) override;
  void mousePressEvent(class QMouseEvent* event) override;

 private:
  TStatForm* form_;
};

}  // namespace kv
