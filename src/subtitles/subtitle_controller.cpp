#include "subtitles/subtitle_controller.h"

#include <utility>

#include "app/app_paths.h"
#include "playlist/playlist.h"
#include "subtitles/subtitle_qt_timer.h"

namespace kv {
namespace {

constexpr int kFirstFileEntry = 3;  // None, Change framerate, separator, then the files

QString MenuCaption(const std::string& path) {
  // A "&" in a file name is a letter, not a keyboard accelerator.
  return QString::fromStdString(FileNameOf(path)).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

TSubtitleController::TSubtitleController(QWidget* owner, ISubtitleHost& host, QMenu* menu,
                                         TSubTitles& list, TDebug& log,
                                         std::unique_ptr<ISubtitleTimer> timer)
    : owner_(owner),
      context_(std::make_unique<QObject>()),
      host_(host),
      menu_(menu),
      list_(list),
      log_(log),
      timer_(timer ? std::move(timer) : std::make_unique<TQtSubtitleTimer>(owner)),
      strip_(std::make_unique<TSubtitleStrip>(owner)) {
  schedule_ = std::make_unique<TSubtitleSchedule>(
      list_, log_, *timer_, [this](const std::string& text) { DrawSubtitle(text); });
  timer_->OnTimer = [this] { SubTimerTimer(); };
  RunFramerateDialog = [this](TFramerateForm& form) {
    return form.ShowModal(host_.Settings().AlwaysOnTop);
  };
  BuildSubtitleMenu();
}

TSubtitleController::~TSubtitleController() {
  timer_->OnTimer = nullptr;
  timer_->Disable();
  delete form_.data();
}

bool TSubtitleController::EngineActive() const {
  const TSubtitlePlayback p = host_.Playback();
  return p == TSubtitlePlayback::Running || p == TSubtitlePlayback::Paused;
}

bool TSubtitleController::Running() const {
  return host_.Playback() == TSubtitlePlayback::Running;
}

void TSubtitleController::ConnectItem(QAction* item, std::function<void()> handler) {
  QObject::connect(item, &QAction::triggered, context_.get(),
                   [item, handler = std::move(handler)](bool checked) {
                     // The handlers set the check marks themselves (a failed choice keeps the
                     // old ones), so Qt's own toggle is undone first.
                     if (item->isCheckable()) item->setChecked(!checked);
                     handler();
                   });
}

void TSubtitleController::BuildSubtitleMenu() {
  if (!menu_) return;
  menu_->clear();
  none_ = menu_->addAction(QStringLiteral("None"));
  none_->setObjectName(QStringLiteral("NoneSubtitle"));
  none_->setCheckable(true);
  none_->setChecked(true);
  none_->setProperty("tag", 1);  // tag 0 would keep an item out of the OSD menu
  ConnectItem(none_, [this] { NoneSubtitleClick(); });
  changeFramerate_ = menu_->addAction(QStringLiteral("Change framerate"));
  changeFramerate_->setObjectName(QStringLiteral("MMChangeframerate"));
  changeFramerate_->setEnabled(false);
  changeFramerate_->setProperty("tag", 0);
  ConnectItem(changeFramerate_, [this] { MMChangeframerateClick(); });
  menu_->addSeparator()->setProperty("tag", 1);

  const TPlaylist& playlist = host_.Playlist();
  for (int node : playlist.ChildrenOf(host_.TitleIndex())) {
    const std::string& path = playlist.Text(node);
    if (TSubTitles::DetectFormat(path) == sfNone) continue;
    QAction* item = menu_->addAction(MenuCaption(path));
    item->setCheckable(true);
    item->setProperty("tag", node);
    ConnectItem(item, [this, item] { SubTitleSelect(item); });
  }
}

void TSubtitleController::UncheckSubtitleMenu() {
  if (!menu_) return;
  for (QAction* a : menu_->actions()) a->setChecked(false);
}

void TSubtitleController::NoneSubtitleClick() {
  UncheckSubtitleMenu();
  strip_->Hide();
  if (none_) none_->setChecked(true);
  SubtitleText.clear();
  SubtitlesOn = false;
  timer_->Disable();
  SubtitleIndex = -1;
  if (changeFramerate_) changeFramerate_->setEnabled(true);
}

TFramerateForm* TSubtitleController::FramerateForm() {
  // Made when first asked for: a dialog nobody may open need not hold up the start.
  if (!form_ && owner_) form_ = new TFramerateForm(owner_);
  return form_;
}

bool TSubtitleController::AskFramerate(bool& valid) {
  valid = false;
  if (!FramerateForm()) return false;
  if (RunFramerateDialog(*form_) != TFramerateForm::kResultOk) return false;
  const std::optional<double> rate = form_->Framerate();
  if (!rate) return true;
  valid = true;
  VideoFramerate = *rate;
  list_.SetOffset(form_->OffsetMs());
  return true;
}

void TSubtitleController::DumpWhenLogging() {
  if (!log_.Enabled) return;
  if (DumpFileName.empty()) DumpFileName = UserDataFile("zorsub.sub");
  list_.SaveToFile(sfMillisecondDump, DumpFileName);
}

void TSubtitleController::SubTitleSelect(QAction* item) {
  if (!item) return;
  const int tag = item->property("tag").toInt();
  if (!EngineActive()) {
    SubtitlesOn = true;
    SubtitleIndex = tag;
    UncheckSubtitleMenu();
    item->setChecked(true);
    // The choice is made: the frame rate may be changed from now on, also for the whole
    // playback that follows.
    if (changeFramerate_) changeFramerate_->setEnabled(true);
    return;
  }
  if (VideoFramerate <= 0) {
    bool valid = false;
    if (!AskFramerate(valid) || !valid) return;
  }
  list_.SetFramerate(VideoFramerate);
  if (!list_.LoadFromFile(host_.Playlist().Text(tag), true)) return;
  DumpWhenLogging();
  UncheckSubtitleMenu();
  item->setChecked(true);
  SubtitlesOn = true;
  SubtitleIndex = tag;
  PlaceTransparentStrip();
  strip_->Show();
  PrepareSubtitles();
  if (changeFramerate_) changeFramerate_->setEnabled(true);
}

void TSubtitleController::MMChangeframerateClick() {
  if (!FramerateForm()) return;
  form_->SetFramerateText(list_.GetFramerate());
  if (RunFramerateDialog(*form_) != TFramerateForm::kResultOk) return;
  const std::optional<double> rate = form_->Framerate();
  if (!rate) return;
  VideoFramerate = *rate;
  list_.SetOffset(form_->OffsetMs());
  list_.SetFramerate(VideoFramerate);
  log_.TextOut("Subtitle framerate " + form_->FramerateBox->currentText().toStdString() + ", offset " +
               std::to_string(form_->OffsetMs()) + " ms");
  PrepareSubtitles();
}

bool TSubtitleController::LoadForTitle() {
  if (!SubtitlesOn) return true;
  if (VideoFramerate <= 0) {
    bool valid = false;
    // Cancel goes on without a frame rate; OK with a text that is not a number gives up.
    if (AskFramerate(valid) && !valid) return false;
  }
  list_.SetFramerate(VideoFramerate == 0 ? 25.0 : VideoFramerate);
  // A file that cannot be read leaves the strip empty and the title plays on; the list would
  // otherwise keep the previous title's entries.
  if (!list_.LoadFromFile(host_.Playlist().Text(SubtitleIndex), true)) list_.ClearList();
  DumpWhenLogging();
  return true;
}

void TSubtitleController::TitleStarted() {
  if (!SubtitlesOn) return;
  PrepareSubtitles();
  PlaceTransparentStrip();
  // The opaque box moves out of sight by itself when empty, so it is shown in both modes.
  strip_->Show();
}

void TSubtitleController::PlaylistReplaced(bool turnOff) {
  if (turnOff) {
    SubtitlesOn = false;
    SubtitleIndex = -1;
    strip_->Hide();
  }
  timer_->Disable();
  BuildSubtitleMenu();
  list_.ClearList();
  DrawSubtitle(std::string());
}

void TSubtitleController::TitleSwitched() {
  BuildSubtitleMenu();
  if (SubtitleIndex < 0 || !menu_) return;
  const QList<QAction*> items = menu_->actions();
  if (items.size() <= kFirstFileEntry) {
    NoneSubtitleClick();
  } else {
    SubTitleSelect(items[kFirstFileEntry]);
  }
}

void TSubtitleController::Resume() {
  if (SubtitlesOn) PrepareSubtitles();
}

void TSubtitleController::Seeked() {
  if (SubtitlesOn) PrepareSubtitles();
}

void TSubtitleController::Pause() {
  if (SubtitlesOn) timer_->Disable();
}

void TSubtitleController::Stop() {
  // A tick after the stop would put an entry back on the strip of a stopped player.
  timer_->Disable();
  DrawSubtitle(std::string());
}

void TSubtitleController::PrepareSubtitles() {
  if (host_.Playback() == TSubtitlePlayback::NoEngine) return;
  schedule_->Prepare(host_.GetPosition(), Running());
}

void TSubtitleController::SubTimerTimer() {
  timer_->Disable();
  if (!SubtitlesOn || host_.Playback() == TSubtitlePlayback::NoEngine) return;
  schedule_->Tick(host_.GetPosition(), Running());
}

}  // namespace kv
