// Opening titles, the playback commands, the playlist walk and the periodic work.
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QScreen>
#include <QWindow>

#include <filesystem>

#include "app/app_paths.h"
#include "app/mainmenu.h"
#include "app/playback_logic.h"
#include "app/mainform.h"
#include "debugsup/debugsup.h"
#include "filt/filt.h"
#include "osd/osdunit.h"
#include "platform/files/regular_file.h"
#include "platform/ui/messagebox.h"
#include "qtsurface/video_surface_widget.h"
#include "settings/optunit.h"
#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_controller.h"

namespace kv {
namespace {

// The regular files of the folder: a pipe or device with a subtitle's or sound's name would
// block the reading of it for good, so it is never attached.
std::vector<std::string> DirectoryEntries(const std::string& dir) {
  std::vector<std::string> skipped;
  std::vector<std::string> names = files::RegularFileNames(dir, &skipped);
  for (const std::string& name : skipped) Debug.TextOut("Not a regular file, not attached: " + dir + "/" + name);
  return names;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace

void TMainForm::ShowOsdText(const QString& text) {
  if (OnScreen) OnScreen->ShowText(text);
}

void TMainForm::OpenFile(const std::string& name) {
  const std::string dir = DirectoryOf(name);
  if (dir.empty()) return;
  Options->OpenDir = dir;
  OpenSingleTitle(Playlist, name, DirectoryEntries(dir));
  CurrentFile = name;
  TitleIndex = 0;
  if (Subtitles) Subtitles->PlaylistReplaced(true);
  RebuildTitlesMenu();
  BuildAudioMenu();
  if (mpris_) mpris_->NotifyChanged();
}

void TMainForm::PlayFileNow(const std::string& name) {
  OpenFile(name);
  if (!PlayCurrent()) {
    ui::ShowMessageBox("Cannot play file " + CurrentFile, "Error");
    if (commandLine_.quitAtEnd) EndScript();
  }
}

bool TMainForm::PlayCurrent() {
  if (!FileExists(CurrentFile) || !OpenMedia(true, true, false)) return false;
  if (Subtitles && !Subtitles->LoadForTitle()) return false;
  Player->Play();
  Player->SetMute(Muted);
  if (Subtitles) Subtitles->TitleStarted();
  InfoCountdown = 10;
  StatTimer->start();
  if (mpris_) mpris_->NotifyChanged();
  return true;
}

bool TMainForm::SelectTitle(int index) {
  if (index == TitleIndex || index >= Playlist.Count() || index < 0) return false;
  CurrentFile = Playlist.Text(index);
  TitleIndex = index;
  if (Subtitles) Subtitles->TitleSwitched();
  BuildAudioMenu();
  UpdateRateChecks();
  return PlayCurrent();
}

bool TMainForm::OpenMedia(bool playback, bool preview, bool imageAnalysis) {
  if (!Player) return false;
  Player->VideoPanelHandle = SurfaceHandle;
  HandStatCallbacks();
  Player->StatisticsWanted = Options->Statistics || !playback;
  Player->NullRenderers = !preview;
  Player->ImageAnalysisWanted = imageAnalysis;
  Player->OpenVideo(CurrentFile);
  RefreshFilterList();
  if (!Player->Graph || Player->FileName.empty()) return false;
  Player->UseClock = playback;
  Updating = true;
  PictureWidth = Player->DisplayWidth > 0 ? Player->DisplayWidth : 4;
  PictureHeight = Player->DisplayHeight > 0 ? Player->DisplayHeight : 3;
  if (preview) SizeWindowToPicture();
  NativeWidth = Player->VideoWidth;
  NativeHeight = Player->VideoHeight;
  VideoFormatName = Player->GetVideoInputFormatName();
  VideoFramerate = Player->FrameRate;
  if (QAction* teletext = Action("MMTeletext")) teletext->setEnabled(Player->TeletextActive);
  FillVideoInfo();
  FillAudioInfo();
  BuildAudioMenu();
  RefreshFilterMenus();
  Updating = false;
  FormResize();
  KeyColor = Player->GetColorKey();
  if (OnScreen) OnScreen->SetColorKey(KeyColor);
  if (Subtitles) {
    Subtitles->VideoFramerate = VideoFramerate;
    Subtitles->KeyColor = static_cast<std::int32_t>(KeyColor);
  }
  PanelMediaOpened();
  return true;
}

void TMainForm::MMPlayClick() {
  if (!Player) return;
  Player->Play();
  Updating = true;
  ShowOsdText("Play");
  Updating = false;
  if (mpris_) mpris_->NotifyChanged();
}

void TMainForm::MMPauseClick() {
  if (!Player) return;
  if (Player->State == psPaused) {
    Player->Play();
    if (Subtitles) Subtitles->Resume();
    StatTimer->start();
    ShowOsdText("Play");
  } else if (Player->State == psRunning) {
    Player->Pause();
    if (Subtitles) Subtitles->Pause();
    StatTimer->stop();
    ShowOsdText("Pause");
    SendPositionToPanel();
  }
  if (mpris_) mpris_->NotifyChanged();
}

void TMainForm::MMStopClick() {
  if (!Player) return;
  if (Player->State == psRunning || Player->State == psPaused) {
    AnalyzeMode = false;
    StatTimer->stop();
    Player->Stop();
    ShowOsdText("Stop");
    SendPositionToPanel();
  }
  if (Subtitles) Subtitles->Stop();
  if (mpris_) mpris_->NotifyChanged();
}

void TMainForm::MMNextClick() {
  for (int i = TitleIndex + 1; i < Playlist.Count(); ++i) {
    if (Playlist.IsTopLevel(i) && SelectTitle(i)) {
      UpdateTitleChecks();
      return;
    }
  }
}

void TMainForm::MMPrevClick() {
  for (int i = TitleIndex - 1; i >= 0; --i) {
    if (Playlist.IsTopLevel(i) && SelectTitle(i)) {
      UpdateTitleChecks();
      return;
    }
  }
}

void TMainForm::SeekBy(int32_t stepMs) {
  if (!Player || (Player->State != psRunning && Player->State != psPaused)) return;
  const int32_t position = Player->GetPosition();
  int32_t target = -1;  // forward with too little left: nothing moves
  if (stepMs > 0) target = playback::ForwardTarget(position, Player->GetDuration(), stepMs);
  else target = playback::BackTarget(position, -stepMs);
  SeekTo(target);
}

void TMainForm::SeekTo(int32_t targetMs, bool exact) {
  if (!Player || (Player->State != psRunning && Player->State != psPaused)) return;
  if (targetMs >= 0 && exact) Player->SetPositionExact(targetMs);
  else if (targetMs >= 0) Player->SetPosition(targetMs);
  if (Subtitles) Subtitles->Seeked();
  Player->ResetStatistics();
  if (mpris_) mpris_->NotifySeeked();
}

void TMainForm::MMRateClick(QAction* item) {
  if (Player) Player->SetRate(MenuTag(item) / 100.0);
  UpdateRateChecks();
  if (mpris_) mpris_->NotifyChanged();
}

void TMainForm::MMCloseFileClick() {
  if (!Player) return;
  Player->Stop();
  Player->OpenVideo("");
  Playlist.Clear();
  if (Subtitles) Subtitles->PlaylistReplaced(false);
  BuildAudioMenu();
  FillVideoInfo();
  FillAudioInfo();
  if (FiltersForm) FiltersForm->ClearLists();
  SendMediaInfoToPanel();
  SendPositionToPanel();
  if (mpris_) mpris_->NotifyChanged();
}

void TMainForm::MMOpenDirClick() {
  CursorHideAllowed = false;
  const QString saved = QDir::currentPath();
  const std::string filter =
      playback::QtFileFilter(Player ? Player->OpenDialogFilter() : std::string("All files|*.*"));
  QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open"),
                                                QString::fromStdString(Options->OpenDir),
                                                QString::fromStdString(filter));
  QDir::setCurrent(saved);
  if (!chosen.isEmpty()) {
    PlayFileNow(chosen.toStdString());
  }
  CursorHideAllowed = true;
}

void TMainForm::GraphEvent() {
  if (!Player) return;
  const bool complete = Player->HandleGraphEvents();
  if (!AnalysisStoppedByError() && !complete) return;
  if (Player->State == psPaused) {
    bool started = false;
    const bool batch = AnalyzeEndOfStream(&started);
    for (int i = TitleIndex + 1; !batch && i < Playlist.Count(); ++i) {
      if (Playlist.IsTopLevel(i) && SelectTitle(i)) {
        UpdateTitleChecks();
        started = true;
        break;
      }
    }
    if (!started && Player->State == psPaused) {
      // A program that quits at the end would only flash the text before its window closes.
      if (!commandLine_.quitAtEnd) ShowOsdText("Pause");
      EndOfPlaylist();
    }
  } else if (Player->State == psStopped) {
    ShowOsdText("Stop");
    if (commandLine_.quitAtEnd) EndScript();  // an error stopped the playback
  }
  if (mpris_) mpris_->NotifyChanged();
}

void TMainForm::EndOfPlaylist() {
  Debug.TextOut("End of playlist");
  if (commandLine_.quitAtEnd) EndScript();
}

std::string TMainForm::StatusText() {
  if (!Player) return "";
  return playback::StatusText(Player->State, Player->GetPosition(), Player->GetDuration());
}

void TMainForm::StatTimerTimer() {
  if (!Player || Player->State != psRunning) return;
  Debug.IntegerOut("Video bitrate", Player->GetVideoBitrate());
  StatTimerPanel();
}

void TMainForm::CaptureFrame() {
  if (!Options->CaptureEnabled) {
    if (OnScreen) OnScreen->ShowStatus(QStringLiteral("Frame capture disabled"));
    return;
  }
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  const std::string base = playback::CaptureName(d.year(), d.month(), d.day(), t.hour(), t.minute(),
                                                 t.second(), t.msec());
  // An empty capture directory means the user's data folder: the program folder of an
  // installed player is read-only.
  std::string dir = Options->CaptureDirectory.empty() ? UserDataDirectory() + "/" : Options->CaptureDirectory;
  const std::string path = dir + base + (Options->ColorDepth == 256 ? ".jpg" : ".bmp");
  if (Player && Player->GrabFrame(path))
    ShowOsdText(QString::fromStdString(base + " stored"));
  else
    ShowOsdText(QStringLiteral("Frame failed"));
}

void TMainForm::CheckScreenshot() {
  if (screenshotTaken_ || commandLine_.screenshotAtSeconds < 0 || !Player) return;
  if (Player->State != psRunning && Player->State != psPaused) return;
  const int32_t position = Player->GetPosition();
  if (position < static_cast<int32_t>(commandLine_.screenshotAtSeconds * 1000)) return;
  screenshotTaken_ = true;
  QScreen* screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
  QPixmap shot = screen ? screen->grabWindow(winId()) : QPixmap();
  if (shot.isNull() || shot.width() <= 1)
    shot = PlainSurface ? PlainSurface->WithPictureForGrab([this] { return grab(); }) : grab();
  const QString file = QString::fromStdString(commandLine_.screenshotFile);
  if (shot.save(file))
    Debug.TextOut("Screenshot saved: " + commandLine_.screenshotFile);
  else
    Debug.TextOut("Cannot save screenshot " + commandLine_.screenshotFile);
}

}  // namespace kv
