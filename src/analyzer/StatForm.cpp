#include "analyzer/StatForm.h"

#include <QActionGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "analyzer/analysis_text.h"
#include "platform/ui/messagebox.h"

namespace kv {

namespace {

constexpr int kRowHeight = 18;
constexpr int kPointerSize = 18;

QColor BandColour(TBandColour c) {
  switch (c) {
    case TBandColour::Red:
      return QColor(255, 0, 0);  // colour value 0x0000FF
    case TBandColour::Blue:
      return QColor(0, 0, 255);  // colour value 0xFF0000
    default:
      return QColor(0, 0, 0);
  }
}

QPixmap PointerImage() {
  QPixmap image(kPointerSize, kPointerSize);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath arrow;
  arrow.moveTo(kPointerSize / 2.0, kPointerSize - 1);
  arrow.lineTo(2, 4);
  arrow.lineTo(kPointerSize - 2, 4);
  arrow.closeSubpath();
  p.fillPath(arrow, QColor(0, 0, 0));
  return image;
}

}  // namespace

TFrameChart::TFrameChart(TStatForm* form) : QWidget(form), form_(form) {
  setObjectName(QStringLiteral("VidFrames"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(100, 80);
}

void TFrameChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  form_->VidFramesPaint(painter);
}

void TFrameChart::mouseMoveEvent(QMouseEvent* event) { form_->VidFramesMouseMove(event->position().toPoint().x()); }

void TFrameChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  form_->VidFramesMouseMove(event->position().toPoint().x());
  form_->VidFramesClick();
}

TStatForm::TStatForm(QWidget* parent, int32_t capacity) : QWidget(parent, Qt::Window), table_(capacity) {
  FormCreate();
}

TStatForm::~TStatForm() = default;

void TStatForm::FormCreate() {
  setObjectName(QStringLiteral("StatForm"));
  setWindowTitle(QStringLiteral("Analyze"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(2);
  Menu = new QMenuBar(this);
  outer->setMenuBar(Menu);
  BuildMenu();

  auto* body = new QHBoxLayout();
  FrameInfo = new QTableWidget(kFrameInfoRows, 3, this);
  FrameInfo->setObjectName(QStringLiteral("FrameInfo"));
  FrameInfo->horizontalHeader()->hide();
  FrameInfo->verticalHeader()->hide();
  FrameInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FrameInfo->setSelectionMode(QAbstractItemView::NoSelection);
  FrameInfo->setFocusPolicy(Qt::NoFocus);
  for (int r = 0; r < kFrameInfoRows; ++r) FrameInfo->setRowHeight(r, kRowHeight);
  FrameInfo->setColumnWidth(0, 80);
  FrameInfo->setColumnWidth(1, 110);
  FrameInfo->setColumnWidth(2, 110);
  FrameInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FrameInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  const int frame = 2 * FrameInfo->frameWidth();
  FrameInfo->setFixedSize(80 + 110 + 110 + frame, kFrameInfoRows * kRowHeight + frame);
  FrameInfo->setItem(0, 1, new QTableWidgetItem(QStringLiteral("Current")));
  FrameInfo->setItem(0, 2, new QTableWidgetItem(QStringLiteral("Total")));
  for (int r = 1; r < kFrameInfoRows; ++r) {
    FrameInfo->setItem(r, 0, new QTableWidgetItem(QString::fromLatin1(kFrameInfoRowNames[r])));
    FrameInfo->setItem(r, 1, new QTableWidgetItem());
    FrameInfo->setItem(r, 2, new QTableWidgetItem());
  }
  body->addWidget(FrameInfo, 0, Qt::AlignTop);

  auto* chartColumn = new QVBoxLayout();
  chartColumn->setSpacing(0);
  auto* pointerStrip = new QWidget(this);
  pointerStrip->setFixedHeight(kPointerSize);
  VFramePointer = new QLabel(pointerStrip);
  VFramePointer->setObjectName(QStringLiteral("VFramePointer"));
  VFramePointer->setPixmap(PointerImage());
  VFramePointer->setFixedSize(kPointerSize, kPointerSize);
  VFramePointer->move(0, 0);
  chartColumn->addWidget(pointerStrip);
  VidFrames = new TFrameChart(this);
  chartColumn->addWidget(VidFrames, 1);
  VidFramesScrollBar = new QScrollBar(Qt::Horizontal, this);
  VidFramesScrollBar->setObjectName(QStringLiteral("VidFramesScrollBar"));
  VidFramesScrollBar->setRange(0, 0);
  chartColumn->addWidget(VidFramesScrollBar);
  body->addLayout(chartColumn, 1);
  outer->addLayout(body, 1);

  StatusLine = new QLabel(this);
  StatusLine->setObjectName(QStringLiteral("StatusLine"));
  StatusLine->setProperty("kvNoTranslate", true);  // its text is set at run time
  outer->addWidget(StatusLine);

  connect(VidFramesScrollBar, &QScrollBar::valueChanged, this, &TStatForm::VidFramesScrollBarChange);
  StatTimer = new QTimer(this);
  StatTimer->setObjectName(QStringLiteral("StatTimer"));
  StatTimer->setInterval(100);
  connect(StatTimer, &QTimer::timeout, this, &TStatForm::StatTimerTimer);
  StatTimer->start();
  resize(900, 420);
}

void TStatForm::BuildMenu() {
  QMenu* file = Menu->addMenu(QStringLiteral("File"));
  QAction* open = file->addAction(QStringLiteral("Open"));
  open->setObjectName(QStringLiteral("MMOpen"));
  open->setEnabled(false);
  QAction* save = file->addAction(QStringLiteral("Save"));
  save->setObjectName(QStringLiteral("MMSave"));
  connect(save, &QAction::triggered, this, &TStatForm::MMSaveClick);
  QAction* options = file->addAction(QStringLiteral("Options"));
  options->setObjectName(QStringLiteral("MMOptions"));
  options->setEnabled(false);
  file->addSeparator();
  QAction* close = file->addAction(QStringLiteral("Close"));
  close->setObjectName(QStringLiteral("MMClose"));
  connect(close, &QAction::triggered, this, &QWidget::close);

  QMenu* view = Menu->addMenu(QStringLiteral("View"));
  const char* viewNames[3][2] = {{"MMBitrate", "Bitrate"}, {"MMHistogram", "Histogram"}, {"MMDCT", "DCT"}};
  for (int i = 0; i < 3; ++i) {
    viewItems_[i] = view->addAction(QString::fromLatin1(viewNames[i][1]));
    viewItems_[i]->setObjectName(QString::fromLatin1(viewNames[i][0]));
    viewItems_[i]->setCheckable(true);
    connect(viewItems_[i], &QAction::triggered, this, [this, i]() { MMViewClick(viewItems_[i]); });
  }
  QMenu* range = Menu->addMenu(QStringLiteral("Range"));
  const char* rangeNames[2][2] = {{"RangeAuto", "Auto"}, {"RangeFull", "Full"}};
  for (int i = 0; i < 2; ++i) {
    rangeItems_[i] = range->addAction(QString::fromLatin1(rangeNames[i][1]));
    rangeItems_[i]->setObjectName(QString::fromLatin1(rangeNames[i][0]));
    rangeItems_[i]->setCheckable(true);
    connect(rangeItems_[i], &QAction::triggered, this, [this, i]() { MMRangeClick(rangeItems_[i]); });
  }
  QMenu* zoom = Menu->addMenu(QStringLiteral("Zoom"));
  const struct {
    const char* name;
    const char* caption;
    int tag;
  } zooms[] = {{"Zoom1", "1:1", 1}, {"Zoom5", "5:1", 5}, {"Zoom10", "10:1", 10}, {"Zoom20", "20:1", 20}};
  for (int i = 0; i < 4; ++i) {
    zoomItems_[i] = zoom->addAction(QString::fromLatin1(zooms[i].caption));
    zoomItems_[i]->setObjectName(QString::fromLatin1(zooms[i].name));
    zoomItems_[i]->setCheckable(true);
    zoomItems_[i]->setData(zooms[i].tag);
    connect(zoomItems_[i], &QAction::triggered, this, [this, i]() { ZoomClick(zoomItems_[i]); });
  }
  viewItems_[0]->setChecked(true);
  rangeItems_[0]->setChecked(true);
  zoomItems_[1]->setChecked(true);
}

void TStatForm::ZoomClick(QAction* item) {
  zoom_ = item->data().toInt();
  for (QAction* a : zoomItems_) a->setChecked(a == item);
  if (VidFramesScrollBar) VidFramesScrollBar->setPageStep(std::max(1, VidFrames->width() / zoom_));
  PaintFrames(-1);
}

// A click on the checked item does nothing; on another it moves the check there.
void TStatForm::MMViewClick(QAction* item) {
  for (int i = 0; i < 3; ++i) {
    if (viewItems_[i] != item) continue;
    if (view_ == static_cast<TChartView>(i)) {
      item->setChecked(true);
      return;
    }
    view_ = static_cast<TChartView>(i);
  }
  for (QAction* a : viewItems_) a->setChecked(a == item);
  PaintFrames(-1);
}

void TStatForm::MMRangeClick(QAction* item) {
  const TChartRange wanted = item == rangeItems_[0] ? TChartRange::Auto : TChartRange::Full;
  if (wanted == range_) {
    item->setChecked(true);
    return;
  }
  range_ = wanted;
  for (QAction* a : rangeItems_) a->setChecked(a == item);
  PaintFrames(-1);
}

void TStatForm::ResetAnalysis() {
  table_.ResetAnalysis();
  currentFrame_ = -1;
  firstDrawn_ = 0;
  StatusLine->clear();
  VidFramesScrollBar->blockSignals(true);
  VidFramesScrollBar->setRange(0, 0);
  VidFramesScrollBar->setValue(0);
  VidFramesScrollBar->blockSignals(false);
  for (int r = 1; r < kFrameInfoRows; ++r) FrameInfo->item(r, 1)->setText(QString());
  UpdateTotals();
  PaintFrames(0);
}

void TStatForm::PaintFrames(int32_t first) {
  if (first >= 0) firstDrawn_ = first;
  VidFrames->update();
}

void TStatForm::VidFramesPaint(QPainter& painter) {
  const int32_t width = VidFrames->width();
  const int32_t height = VidFrames->height();
  const TFrameTotals totals = table_.Totals();
  const int64_t scale = ChartScale(view_, range_, totals);
  const int32_t columns = ChartColumnCount(firstDrawn_, totals.Count, width, zoom_);
  std::array<TBand, 4> bands;
  for (int32_t c = 0; c < columns; ++c) {
    const TFrameEntry e = table_.Entry(firstDrawn_ + c);
    const int n = ColumnBands(e, view_, scale, height, bands);
    for (int b = 0; b < n; ++b) {
      const int32_t top = std::min(bands[b].y0, bands[b].y1);
      const int32_t bottom = std::max(bands[b].y0, bands[b].y1);
      if (bottom > top) painter.fillRect(c * zoom_, top, zoom_, bottom - top, BandColour(bands[b].colour));
    }
  }
  drawnColumns_ = columns;
  const int32_t right = columns * zoom_;
  if (right < width) painter.fillRect(right, 0, width - right, height, palette().color(QPalette::Button));
}

void TStatForm::ShowFrameInfo(int32_t i) {
  if (i < 0 || i > table_.Count() - 1) return;
  const auto texts = FrameInfoColumn(i, table_.Entry(i));
  for (int r = 1; r < kFrameInfoRows; ++r) FrameInfo->item(r, 1)->setText(QString::fromStdString(texts[r]));
}

void TStatForm::UpdateTotals() {
  const TFrameTotals totals = table_.Totals();
  const auto texts = TotalsColumn(totals);
  for (int r = 1; r < kFrameInfoRows; ++r) FrameInfo->item(r, 2)->setText(QString::fromStdString(texts[r]));
  if (totals.Full)
    StatusLine->setText(QStringLiteral("Frame table full: the first %1 frames are recorded, later ones are not")
                            .arg(table_.Capacity()));
  if (totals.Count == 0) return;
  if (VidFramesScrollBar->value() + VidFrames->width() / zoom_ > VidFramesScrollBar->maximum()) PaintFrames(-1);
  VidFramesScrollBar->setMaximum(totals.Count - 1);
}

void TStatForm::StatTimerTimer() {
  if (table_.TakeDirty()) UpdateTotals();
}

void TStatForm::VidFramesMouseMove(int x) {
  const int32_t k = x / zoom_;
  const int32_t i = k + VidFramesScrollBar->value();
  if (x < 0 || i > table_.Count() - 1) return;
  VFramePointer->move(k * zoom_ - VFramePointer->width() / 2 + zoom_ / 2, 0);
  ShowFrameInfo(i);
  currentFrame_ = i;
  pointerColumn_ = k;
}

void TStatForm::VidFramesScrollBarChange(int position) {
  PaintFrames(position);
  currentFrame_ = position + pointerColumn_;
  ShowFrameInfo(currentFrame_);
}

void TStatForm::VidFramesClick() {
  if (currentFrame_ < 0 || currentFrame_ >= table_.Count() - 1 || !SeekTo) return;
  SeekTo(static_cast<int32_t>(table_.Entry(currentFrame_).StopTime / 10000));
}

void TStatForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  VidFramesScrollBar->setPageStep(std::max(1, VidFrames->width() / zoom_));
}

bool TStatForm::SaveTable(const std::string& name) {
  std::string error;
  if (WriteTable(table_, name, &error)) return true;
  ui::ShowMessageBox(error, "Error");
  return false;
}

void TStatForm::MMSaveClick() {
  QString first;
  if (!mediaFile_.empty()) {
    QFileInfo info(QString::fromStdString(mediaFile_));
    first = info.dir().filePath(info.completeBaseName() + QStringLiteral(".cvs"));
  }
  const QString chosen = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save"), first, QStringLiteral("Comma value separated (*.cvs);;All files (*.*)"));
  if (!chosen.isEmpty()) SaveTable(chosen.toStdString());
}

}  // namespace kv
