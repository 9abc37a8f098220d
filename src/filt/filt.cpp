#include "filt/filt.h"

#include <QAction>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/contrl.h"
#include "settings/optunit.h"

namespace kv {

namespace {

// A value the main window fills: never translated.
QLabel* Value(QWidget* parent, const char* name) {
  auto* label = new QLabel(QStringLiteral("?"), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setProperty("kvNoTranslate", true);
  return label;
}

// A fixed caption, named so that language files can translate it.
QLabel* Caption(QWidget* parent, const char* name, const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* title) {
  auto* group = new QGroupBox(QString::fromUtf8(title), parent);
  group->setObjectName(QString::fromLatin1(name));
  return group;
}

QListWidget* List(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setProperty("kvNoTranslate", true);  // filter and pin names
  return list;
}

void Fill(QListWidget* list, const std::vector<std::string>& texts, const std::vector<std::string>& types) {
  list->clear();
  for (size_t i = 0; i < texts.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(texts[i]), list);
    if (i < types.size()) {
      item->setData(Qt::UserRole, QString::fromStdString(types[i]));
      item->setToolTip(QString::fromStdString(types[i]));
    }
  }
}

}  // namespace

TFiltersForm::TFiltersForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FiltersForm"));
  setWindowTitle(QStringLiteral("Media properties"));
  auto* layout = new QVBoxLayout(this);

  auto* file = new QFormLayout;
  file->addRow(Caption(this, "MediaNameLabel", "File:"), MediaName = Value(this, "MediaName"));
  file->addRow(Caption(this, "MediaSizeLabel", "Size:"), MediaSize = Value(this, "MediaSize"));
  file->addRow(Caption(this, "MediaLengthLabel", "Length:"), MediaLength = Value(this, "MediaLength"));
  layout->addLayout(file);

  auto* streams = new QHBoxLayout;
  auto* video = Group(this, "VideoGroup", "Video");
  auto* videoForm = new QFormLayout(video);
  videoForm->addRow(Caption(video, "VideoSizeLabel", "Frame size:"), VideoSize = Value(video, "VideoSize"));
  videoForm->addRow(Caption(video, "FramerateLabel", "Frame rate:"), Framerate = Value(video, "Framerate"));
  videoForm->addRow(Caption(video, "VideoCompressionLabel", "Compression:"),
                    VideoCompression = Value(video, "VideoCompression"));
  streams->addWidget(video);
  auto* audio = Group(this, "AudioGroup", "Audio");
  auto* audioForm = new QFormLayout(audio);
  audioForm->addRow(Caption(audio, "AudioFreqLabel", "Frequency:"), AudioFreq = Value(audio, "AudioFreq"));
  audioForm->addRow(Caption(audio, "AudioChannelsLabel", "Channels:"), AudioChannels = Value(audio, "AudioChannels"));
  audioForm->addRow(Caption(audio, "AudioBitsLabel", "Bits:"), AudioBits = Value(audio, "AudioBits"));
  audioForm->addRow(Caption(audio, "AudioBitrateLabel", "Bitrate:"), AudioBitrate = Value(audio, "AudioBitrate"));
  audioForm->addRow(Caption(audio, "AudioCompressionLabel", "Compression:"),
                    AudioCompression = Value(audio, "AudioCompression"));
  streams->addWidget(audio);
  layout->addLayout(streams);

  auto* info = Group(this, "FiltersGroup", "Filters information");
  auto* grid = new QGridLayout(info);
  grid->addWidget(Caption(info, "FiltersLabel", "Used filters"), 0, 0);
  grid->addWidget(Caption(info, "InPinsLabel", "Input pins"), 0, 1);
  grid->addWidget(Caption(info, "OutPinsLabel", "Output pins"), 0, 2);
  grid->addWidget(Filters = List(info, "Filters"), 1, 0);
  grid->addWidget(InPins = List(info, "InPins"), 1, 1);
  grid->addWidget(OutPins = List(info, "OutPins"), 1, 2);
  grid->addWidget(Caption(info, "PinMediaTypeLabel", "Media type:"), 2, 0);
  PinMediaType = new QLabel(info);
  PinMediaType->setObjectName(QStringLiteral("PinMediaType"));
  PinMediaType->setTextInteractionFlags(Qt::TextSelectableByMouse);
  PinMediaType->setProperty("kvNoTranslate", true);
  grid->addWidget(PinMediaType, 2, 1, 1, 2);
  layout->addWidget(info, 1);

  FiltersMenu = new QMenu(this);
  FiltersMenu->setObjectName(QStringLiteral("FiltersMenu"));
  FProperties = FiltersMenu->addAction(QStringLiteral("Properties"));
  FProperties->setObjectName(QStringLiteral("FProperties"));
  FProperties->setEnabled(false);
  Filters->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Filters, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { FiltersMenu->popup(Filters->viewport()->mapToGlobal(pos)); });
  connect(FProperties, &QAction::triggered, this, &TFiltersForm::FPropertiesClick);
  connect(Filters, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { FiltersClick(); });
  connect(Filters, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { FPropertiesClick(); });
  connect(InPins, &QListWidget::currentRowChanged, this, [this](int) { ShowPinType(InPins); });
  connect(OutPins, &QListWidget::currentRowChanged, this, [this](int) { ShowPinType(OutPins); });

  OKBut = new QPushButton(QStringLiteral("OK"), this);
  OKBut->setObjectName(QStringLiteral("OKBut"));
  OKBut->setDefault(true);
  connect(OKBut, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBut);
  layout->addLayout(buttons);
  resize(640, 520);
  if (Options) SetTopmost(Options->AlwaysOnTop);
}

void TFiltersForm::SetTexts(const mediainfo::TMediaTexts& t) {
  MediaName->setText(QString::fromStdString(t.MediaName));
  MediaSize->setText(QString::fromStdString(t.MediaSize));
  MediaLength->setText(QString::fromStdString(t.MediaLength));
  VideoSize->setText(QString::fromStdString(t.VideoSize));
  Framerate->setText(QString::fromStdString(t.Framerate));
  VideoCompression->setText(QString::fromStdString(t.VideoCompression));
  AudioFreq->setText(QString::fromStdString(t.AudioFreq));
  AudioChannels->setText(QString::fromStdString(t.AudioChannels));
  AudioBits->setText(QString::fromStdString(t.AudioBits));
  AudioBitrate->setText(QString::fromStdString(t.AudioBitrate));
  AudioCompression->setText(QString::fromStdString(t.AudioCompression));
}

void TFiltersForm::SetFilterNames(const std::vector<std::string>& names) {
  Fill(Filters, names, {});
  InPins->clear();
  OutPins->clear();
  PinMediaType->clear();
  FProperties->setEnabled(false);
}

void TFiltersForm::ClearLists() { SetFilterNames({}); }

void TFiltersForm::SetTopmost(bool on) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  const bool wasVisible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (wasVisible) show();
}

void TFiltersForm::showEvent(QShowEvent* event) {
  if (Options) SetTopmost(Options->AlwaysOnTop);
  QDialog::showEvent(event);
}

void TFiltersForm::FiltersClick() {
  QListWidgetItem* item = Filters->currentItem();
  if (!item || !player_) {
    FProperties->setEnabled(false);
    return;
  }
  const std::string name = item->text().toStdString();
  std::vector<std::string> in, out, inTypes, outTypes;
  if (player_->ListFilterPins(name, &in, &out, &inTypes, &outTypes)) {
    Fill(InPins, in, inTypes);
    Fill(OutPins, out, outTypes);
    PinMediaType->clear();
    // The first connected pin's type is shown at once; selecting another pin shows its own.
    if (OutPins->count() > 0) OutPins->setCurrentRow(0);
    else if (InPins->count() > 0) InPins->setCurrentRow(0);
  }
  FProperties->setEnabled(player_->FilterHasPropertyPages(name));
}

void TFiltersForm::FPropertiesClick() {
  QListWidgetItem* item = Filters->currentItem();
  if (item && player_) player_->ShowNamedFilterProperties(item->text().toStdString());
}

void TFiltersForm::ShowPinType(QListWidget* list) {
  QListWidgetItem* item = list->currentItem();
  if (!item) return;
  const QString type = item->data(Qt::UserRole).toString();
  PinMediaType->setText(type.isEmpty() ? QStringLiteral("(not connected)") : type);
}

}  // namespace kv
