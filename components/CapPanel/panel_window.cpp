#include "panel_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

#include "master_volume.h"
#include "panel_codes.h"
#include "panel_format.h"

namespace kv::cappanel {

namespace {
constexpr int kTextRow = 18;
constexpr int kSliderRow = 22;
constexpr int kButton = 28;
QString Q(const std::string& s) { return QString::fromUtf8(s.c_str()); }
}  // namespace

// ---- TSeekSlider ----

TSeekSlider::TSeekSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(0, 10000);
  setFocusPolicy(Qt::NoFocus);
}

int TSeekSlider::ValueAt(const QPoint& pos) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int span = groove.width() - handle.width();
  const int x = pos.x() - groove.x() - handle.width() / 2;
  return QStyle::sliderValueFromPosition(minimum(), maximum(), x, span > 0 ? span : 1);
}

int TSeekSlider::HandleAt(int value) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int span = groove.width() - handle.width();
  return QStyle::sliderPositionFromValue(minimum(), maximum(), value, span > 0 ? span : 1);
}

void TSeekSlider::ShowValue(int value) {
  if (value == this->value()) return;
  if (!isVisible() || HandleAt(value) != HandleAt(this->value()) || value <= minimum() || value >= maximum())
    setValue(value);
}

void TSeekSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QSlider::mousePressEvent(event);
  dragging_ = true;
  setValue(ValueAt(event->position().toPoint()));
  emit dragged(value());
  event->accept();
}

void TSeekSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QSlider::mouseMoveEvent(event);
  setValue(ValueAt(event->position().toPoint()));
  emit dragged(value());
  event->accept();
}

void TSeekSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return QSlider::mouseReleaseEvent(event);
  dragging_ = false;
  setValue(ValueAt(event->position().toPoint()));
  emit released(value());
  event->accept();
}

// ---- TControlPanel ----

TControlPanel::TControlPanel(QWidget* owner, const std::string& registryRoot)
    : QWidget(owner, Qt::Tool), registryRoot_(registryRoot) {
  setObjectName(QStringLiteral("ControlPanelForm"));
  setWindowTitle(QStringLiteral("Control panel"));
  setAttribute(Qt::WA_ShowWithoutActivating);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(4);

  fileName_ = new QLabel(this);
  fileName_->setObjectName(QStringLiteral("FileName"));
  fileName_->setProperty("kvNoTranslate", true);  // live values: no language file sets them
  fileName_->setMinimumWidth(200);
  // Fixed row heights keep the layout the same on every style, so that the buttons are
  // where a user (or a test driving the mouse) expects them.
  fileName_->setFixedHeight(kTextRow);
  column->addWidget(fileName_);

  auto* positionRow = new QHBoxLayout;
  elapsed_ = new QLabel(QStringLiteral("0:00:00"), this);
  elapsed_->setObjectName(QStringLiteral("Elapsed"));
  position_ = new TSeekSlider(this);
  position_->setObjectName(QStringLiteral("PositionSlider"));
  remaining_ = new QLabel(QStringLiteral("0:00:00"), this);
  remaining_->setObjectName(QStringLiteral("Remaining"));
  elapsed_->setProperty("kvNoTranslate", true);
  remaining_->setProperty("kvNoTranslate", true);
  for (QWidget* w : std::initializer_list<QWidget*>{elapsed_, position_, remaining_}) w->setFixedHeight(kSliderRow);
  positionRow->addWidget(elapsed_);
  positionRow->addWidget(position_, 1);
  positionRow->addWidget(remaining_);
  column->addLayout(positionRow);
  connect(position_, &TSeekSlider::dragged, this, [this](int value) {
    const QString time = Q(TimeText(TimeAtSliderValue(value, durationTenths_)));
    elapsed_->setText(time);
    QToolTip::showText(QCursor::pos(), time, position_);
  });
  connect(position_, &TSeekSlider::released, this, [this](int value) {
    QToolTip::hideText();
    if (Request) Request(kSeek, value, 0);
  });

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(2);
  buttons->addWidget(Button("Previous", "media-skip-backward", QStyle::SP_MediaSkipBackward, tr("Previous title"), kPrevious));
  buttons->addWidget(Button("Play", "media-playback-start", QStyle::SP_MediaPlay, tr("Play"), kPlay));
  buttons->addWidget(Button("Pause", "media-playback-pause", QStyle::SP_MediaPause, tr("Pause / resume"), kPause));
  buttons->addWidget(Button("Stop", "media-playback-stop", QStyle::SP_MediaStop, tr("Stop"), kStop));
  buttons->addWidget(Button("Next", "media-skip-forward", QStyle::SP_MediaSkipForward, tr("Next title"), kNext));
  buttons->addSpacing(8);
  buttons->addWidget(Button("Fullscreen", "view-fullscreen", QStyle::SP_TitleBarMaxButton, tr("Full screen"), kFullscreen));
  buttons->addWidget(Button("Minimize", "window-minimize", QStyle::SP_TitleBarMinButton, tr("Minimise"), kMinimize));
  buttons->addWidget(Button("Properties", "document-properties", QStyle::SP_FileDialogInfoView, tr("Media properties"), kProperties));
  buttons->addStretch(1);
  mute_ = Button("Mute", "audio-volume-muted", QStyle::SP_MediaVolumeMuted, tr("Mute"), kMute);
  mute_->setCheckable(true);
  buttons->addWidget(mute_);
  volume_ = new QSlider(Qt::Horizontal, this);
  volume_->setObjectName(QStringLiteral("VolumeSlider"));
  volume_->setRange(0, 100);
  volume_->setFixedWidth(90);
  volume_->setFocusPolicy(Qt::NoFocus);
  volume_->setToolTip(tr("Master volume"));
  volume_->setEnabled(false);
  buttons->addWidget(volume_);
  buttons->addWidget(Button("Exit", "application-exit", QStyle::SP_DialogCloseButton, tr("Exit the player"), kExit));
  column->addLayout(buttons);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(1);
  BuildInfo(grid);
  column->addLayout(grid);

  master_ = std::make_unique<TMasterVolume>();
  master_->OnChange = [this](int percent, bool muted) {
    // On the sound server's thread, which the destructor ends before the panel goes: hand
    // it to the panel's thread (an event still queued then is dropped with the panel).
    QMetaObject::invokeMethod(this, [this, percent, muted]() { MasterVolumeChanged(percent, muted); },
                              Qt::QueuedConnection);
  };
  connect(volume_, &QSlider::valueChanged, this, [this](int value) { master_->SetPercent(value); });
  master_->Start();
}

TControlPanel::~TControlPanel() {
  master_.reset();  // the loop thread ends before the widgets go
}

QToolButton* TControlPanel::Button(const char* name, const char* icon, QStyle::StandardPixmap fallback,
                                   const QString& tip, int32_t request) {
  auto* button = new QToolButton(this);
  button->setObjectName(QString::fromLatin1(name));
  button->setIcon(QIcon::fromTheme(QString::fromLatin1(icon), style()->standardIcon(fallback)));
  button->setToolTip(tip);
  button->setAutoRaise(true);
  button->setFixedSize(kButton, kButton);
  button->setIconSize(QSize(kButton - 8, kButton - 8));
  button->setFocusPolicy(Qt::NoFocus);
  connect(button, &QToolButton::clicked, this, [this, request]() {
    if (Request) Request(request, 0, 0);
  });
  return button;
}

void TControlPanel::BuildInfo(QGridLayout* grid) {
  auto value = [this](const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setProperty("kvNoTranslate", true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };
  auto caption = [this](const QString& text, const char* name) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setEnabled(false);
    return label;
  };
  picture_ = value("PictureSize");
  frameRate_ = value("FrameRate");
  videoFormatLabel_ = value("VideoFormat");
  audioFormat_ = value("AudioFormat");
  audioCodec_ = value("AudioCodec");
  fileSize_ = value("FileSize");
  freeSpace_ = value("FreeSpace");
  const char* bitrateNames[4] = {"VideoBitrate", "VideoCurrentBitrate", "AudioBitrate", "AudioCurrentBitrate"};
  for (int i = 0; i < 4; ++i) {
    bitrates_[i] = value(bitrateNames[i]);
    bitrates_[i]->setText(QStringLiteral("-"));
  }
  grid->addWidget(caption(tr("Picture"), "PictureCaption"), 0, 0);
  grid->addWidget(picture_, 0, 1);
  grid->addWidget(frameRate_, 0, 2);
  grid->addWidget(caption(tr("Video"), "VideoCaption"), 1, 0);
  grid->addWidget(videoFormatLabel_, 1, 1, 1, 2);
  grid->addWidget(caption(tr("Audio"), "AudioCaption"), 2, 0);
  grid->addWidget(audioCodec_, 2, 1);
  grid->addWidget(audioFormat_, 2, 2);
  grid->addWidget(caption(tr("File"), "FileCaption"), 3, 0);
  grid->addWidget(fileSize_, 3, 1);
  grid->addWidget(freeSpace_, 3, 2);
  grid->addWidget(caption(tr("Video bitrate"), "VideoBitrateCaption"), 4, 0);
  grid->addWidget(bitrates_[0], 4, 1);
  grid->addWidget(bitrates_[1], 4, 2);
  grid->addWidget(caption(tr("Audio bitrate"), "AudioBitrateCaption"), 5, 0);
  grid->addWidget(bitrates_[2], 5, 1);
  grid->addWidget(bitrates_[3], 5, 2);
  grid->setColumnStretch(2, 1);
}

void TControlPanel::HandleCommand(int32_t code, int32_t a, int32_t b, const char* text) {
  const QString t = text ? QString::fromUtf8(text) : QString();
  switch (code) {
    case kOnTop:
      if (QWindow* w = windowHandle()) w->setFlag(Qt::WindowStaysOnTopHint, a != 0);
      else setWindowFlag(Qt::WindowStaysOnTopHint, a != 0);
      break;
    case kPlacement:
      Unpack(a, &ownerLeft_, &ownerTop_);
      Unpack(b, &ownerWidth_, &ownerHeight_);
      ownerKnown_ = true;
      // A panel the user has not moved from where it put itself keeps beside the window.
      if (isVisible() && autoPlaced_ && pos() == autoPlace_) PlaceBesideOwner();
      break;
    case kPosition: positionTenths_ = a; UpdateTimes(); break;
    case kRemaining: remainingTenths_ = a; UpdateTimes(); break;
    case kPercent:
      if (!position_->Dragging()) position_->ShowValue(a);
      break;
    case kDuration: durationTenths_ = a; break;
    case kPictureSize: picture_->setText(Q(PictureText(a))); break;
    case kFrameRate: frameRate_->setText(Q(FrameRateText(a))); break;
    case kFileSizeKiB: fileSize_->setText(a > 0 ? Q(SizeText(a)) : QString()); break;
    case kFreeSpaceKiB: freeSpace_->setText(a > 0 ? tr("%1 free").arg(Q(SizeText(a))) : QString()); break;
    case kSampleRate: sampleRate_ = a; audioFormat_->setText(Q(AudioFormatText(sampleRate_, channels_, bits_))); break;
    case kChannels: channels_ = a; audioFormat_->setText(Q(AudioFormatText(sampleRate_, channels_, bits_))); break;
    case kBitsPerSample: bits_ = a; audioFormat_->setText(Q(AudioFormatText(sampleRate_, channels_, bits_))); break;
    case kVideoFormat:
    case kVideoCodec: {
      (code == kVideoFormat ? videoFormat_ : videoCodec_) = t.toStdString();
      QString shown = Q(videoCodec_);
      if (!videoFormat_.empty()) shown += (shown.isEmpty() ? QString() : QStringLiteral(" → ")) + Q(videoFormat_);
      videoFormatLabel_->setText(shown);
      break;
    }
    case kAudioCodec: audioCodec_->setText(t); break;
    case kFileName:
      fileName_->setText(QFileInfo(t).fileName());
      fileName_->setToolTip(t);
      break;
    case kVideoBitrate: bitrates_[0]->setText(Q(BitrateText(a))); break;
    case kVideoCurrentBitrate: bitrates_[1]->setText(a < 0 ? QStringLiteral("-") : tr("now %1").arg(Q(BitrateText(a)))); break;
    case kAudioBitrate: bitrates_[2]->setText(Q(BitrateText(a))); break;
    case kAudioCurrentBitrate: bitrates_[3]->setText(a < 0 ? QStringLiteral("-") : tr("now %1").arg(Q(BitrateText(a)))); break;
    default: break;  // a command this panel does not show
  }
}

void TControlPanel::UpdateTimes() {
  if (!position_->Dragging()) elapsed_->setText(Q(TimeText(positionTenths_)));
  remaining_->setText(QStringLiteral("-") + Q(TimeText(remainingTenths_)));
}

void TControlPanel::MasterVolumeChanged(int percent, bool) {
  volume_->setEnabled(true);
  if (volume_->isSliderDown()) return;
  const bool blocked = volume_->blockSignals(true);
  volume_->setValue(percent);
  volume_->blockSignals(blocked);
}

QString TControlPanel::SettingsGroup(const std::string& registryRoot) {
  QString group = Q(registryRoot);
  group.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (!group.isEmpty() && !group.endsWith(QLatin1Char('/'))) group += QLatin1Char('/');
  return group + QStringLiteral("CapPanel");
}

namespace {
// The panel's own settings file beside the player's: $XDG_CONFIG_HOME/kavello/CapPanel.ini.
std::unique_ptr<QSettings> OpenSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kavello"),
                                     QStringLiteral("CapPanel"));
}
}  // namespace

void TControlPanel::SavePlacement() {
  if (registryRoot_.empty()) return;
  auto settings = OpenSettings();
  settings->beginGroup(SettingsGroup(registryRoot_));
  settings->setValue(QStringLiteral("Left"), x());
  settings->setValue(QStringLiteral("Top"), y());
  settings->endGroup();
  settings->sync();
}

bool TControlPanel::RestorePlacement() {
  if (registryRoot_.empty()) return false;
  auto settings = OpenSettings();
  settings->beginGroup(SettingsGroup(registryRoot_));
  bool okLeft = false, okTop = false;
  const int left = settings->value(QStringLiteral("Left")).toInt(&okLeft);
  const int top = settings->value(QStringLiteral("Top")).toInt(&okTop);
  if (!okLeft || !okTop) return false;
  // A place no screen shows any more (a monitor gone) is not used.
  const QRect wanted(QPoint(left, top), sizeHint());
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().intersects(wanted)) {
      move(left, top);
      return true;
    }
  }
  return false;
}

void TControlPanel::PlaceBesideOwner() {
  if (!ownerKnown_) return;
  const QSize size = sizeHint();
  QScreen* screen = QGuiApplication::screenAt(QPoint(ownerLeft_ + ownerWidth_ / 2, ownerTop_ + ownerHeight_ / 2));
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
  const int gap = 4;
  QPoint place(ownerLeft_, ownerTop_ + ownerHeight_ + gap);                                  // below
  if (place.y() + size.height() > area.bottom()) place = QPoint(ownerLeft_ + ownerWidth_ + gap, ownerTop_);  // right
  if (place.x() + size.width() > area.right()) place = QPoint(ownerLeft_, ownerTop_ - size.height() - gap);  // above
  place.setX(std::clamp(place.x(), area.left(), std::max(area.left(), area.right() - size.width())));
  place.setY(std::clamp(place.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
  move(place);
  autoPlaced_ = true;
  autoPlace_ = place;
}

void TControlPanel::ShowPanel() {
  adjustSize();
  autoPlaced_ = false;
  if (!RestorePlacement()) PlaceBesideOwner();
  show();
}

void TControlPanel::HidePanel() {
  if (isVisible()) SavePlacement();
  hide();
}

void TControlPanel::TakeFocus() {
  raise();
  activateWindow();
}

void TControlPanel::closeEvent(QCloseEvent* event) {
  // The player unloads the panel at its next tick; the window stays until then.
  event->ignore();
  if (Request) Request(kClosed, 0, 0);
}

}  // namespace kv::cappanel
