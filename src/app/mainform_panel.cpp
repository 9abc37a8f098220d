// The control panel library and the About library: loading, the commands to the panel, the
// panel's requests, and the About box. The codes and the packing are in panel_bridge.cpp.
#include <QAction>
#include <QMoveEvent>

#include <cmath>
#include <filesystem>

#include "app/mainform.h"
#include "app/panel_bridge.h"
#include "debugsup/debugsup.h"
#include "osd/osdunit.h"
#include "platform/module/module.h"
#include "platform/module/program_directory.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_controller.h"

namespace kv {

void TMainForm::ConnectPanelMenu() {
  if (QAction* a = Action("MMControlpanel")) connect(a, &QAction::triggered, this, &TMainForm::MMControlpanelClick);
  if (QAction* a = Action("MMAbout")) {
    // The item is of use only when the library is there to show the box.
    std::error_code ec;
    a->setEnabled(std::filesystem::is_regular_file(ProgramPath(panel::kAboutLibraryPath), ec));
    connect(a, &QAction::triggered, this, &TMainForm::MMAboutClick);
  }
}

void TMainForm::SetPanelCheck(bool on) {
  if (QAction* a = Action("MMControlpanel")) a->setChecked(on);
}

bool TMainForm::ShowControlPanel(bool show) {
  if (show) {
    if (PanelLibrary.Loaded()) return false;
    const std::string path = panel::PanelLibraryPath(Options && Options->DebugMode);
    if (!PanelLibrary.Load(path)) {
      Debug.TextOut("Cannot load control panel " + path + ": " + PanelLibrary.ErrorText());
      SetPanelCheck(false);
      return false;
    }
    SetPanelCheck(true);
    PanelCommandStr(panel::kRegistryRoot, 0, panel::kRegistryRootText, 0);
    PanelLibrary.CreatePanel(static_cast<QWidget*>(this));
    PanelLibrary.SetCallback([this](int32_t code, int32_t* a, int32_t* b, void** data) {
      return PanelCallback(code, a, b, data);
    });
    SendMediaInfoToPanel();
    SendPlacementToPanel();
    PanelCommand(panel::kOnTop, Options && Options->AlwaysOnTop ? 1 : 0, 0);
    PanelLibrary.ShowPanel();
    return true;
  }
  if (!PanelLibrary.Loaded()) return false;
  PanelLibrary.HidePanel();
  PanelLibrary.DestroyPanel();
  PanelLibrary.Unload();
  SetPanelCheck(false);
  return true;
}

void TMainForm::MMControlpanelClick() {
  // The item's check follows the library (Qt has already flipped it when this runs).
  if (PanelLibrary.Loaded()) {
    ShowControlPanel(false);
    if (Options) Options->Panel = false;
  } else {
    const bool shown = ShowControlPanel(true);
    if (Options) Options->Panel = shown;
  }
}

void TMainForm::PanelCommand(int32_t code, int32_t a, int32_t b) {
  if (PanelLibrary.Loaded()) PanelLibrary.Command(code, a, b, nullptr);
}

void TMainForm::PanelCommandStr(int32_t code, int32_t a, const std::string& text, int32_t b) {
  if (PanelLibrary.Loaded()) PanelLibrary.Command(code, a, b, &text);
}

void TMainForm::SendPanelCommands(const std::vector<panel::TPanelCommand>& commands) {
  for (const panel::TPanelCommand& c : commands) {
    if (c.hasText) PanelCommandStr(c.code, c.a, c.text, c.b);
    else PanelCommand(c.code, c.a, c.b);
  }
}

void TMainForm::SendMediaInfoToPanel() {
  if (!PanelLibrary.Loaded()) return;
  panel::TMediaInfo info;
  if (Player && Player->State != psNone && Player->State != psEmpty) {
    info.open = true;
    info.nativeWidth = NativeWidth;
    info.nativeHeight = NativeHeight;
    info.frameRate = VideoFramerate;
    info.fileSize = FileSize;
    info.freeBytes = panel::FreeBytesFor(CurrentFile);
    info.sampleRate = Player->SampleRate;
    info.channels = Player->Channels;
    info.bitsPerSample = Player->BitsPerSample;
    info.videoFormatName = VideoFormatName;
    info.videoCodec = Player->VideoCodec;
    info.audioCodec = Player->AudioCodec;
    info.fileName = CurrentFile;
    info.durationMs = Duration;
  }
  SendPanelCommands(panel::MediaInfoCommands(info));
}

void TMainForm::SendPositionToPanel() {
  if (!PanelLibrary.Loaded()) return;
  const bool usable = Player && Player->Graph && Player->State != psNone && Player->State != psEmpty;
  if (!usable) {
    SendPanelCommands(panel::PositionCommands(false, 0, 0, 0));
    return;
  }
  SendPanelCommands(panel::PositionCommands(true, Player->GetPosition(), Player->GetDuration(),
                                            Player->GetPositionPercent()));
}

void TMainForm::SendPlacementToPanel() {
  if (!PanelLibrary.Loaded()) return;
  const QRect r = frameGeometry();
  const panel::TPanelCommand c = panel::PlacementCommand(r.x(), r.y(), r.width(), r.height());
  PanelCommand(c.code, c.a, c.b);
}

void TMainForm::PanelMediaOpened() {
  SendPanelCommands(panel::BlankBitrateCommands());
  SendMediaInfoToPanel();
}

void TMainForm::StatTimerPanel() {
  if (!PanelLibrary.Loaded() || !Player || Player->State != psRunning) return;
  SendPanelCommands(panel::BitrateCommands(Player->GetVideoBitrate(), Player->GetVideoCurrentBitrate(),
                                           Player->GetAudioBitrate(), Player->GetAudioCurrentBitrate()));
}

void TMainForm::TimerPanel() {
  if (Player && Player->State == psRunning && Duration != 0) SendPositionToPanel();
  if (PanelCloseRequested) {
    PanelCloseRequested = false;
    ShowControlPanel(false);
    if (Options) Options->Panel = false;
  }
}

void TMainForm::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // A window dragged by its picture (or moved by the window manager) tells the panel.
  if (!Fullscreen && !Updating) SendPlacementToPanel();
}

void TMainForm::PanelSeek(int32_t hundredths) {
  if (!Player || (Player->State != psRunning && Player->State != psPaused)) return;
  AnalyzeMode = false;
  // The one seek routine (subtitles, statistics, MPRIS); the panel's own steps follow.
  const int32_t duration = Player->GetDuration();
  SeekTo(duration != 0 ? static_cast<int32_t>(std::lround(duration * (hundredths / 100.0) / 100.0)) : -1);
  if (Options && !Options->StatNoReset) {
    PanelCommand(panel::kVideoBitrate, -1, 0);
    PanelCommand(panel::kAudioBitrate, -1, 0);
  }
  SendPositionToPanel();
}

void TMainForm::PanelOnTop(bool on) {
  if (QAction* a = Action("MMAlwaysontop")) a->setChecked(on);
  if (!Fullscreen) SetTopmost(on);
}

void TMainForm::PanelMuteToggle() {
  if (!Player || !Player->Graph) return;
  Muted = !Muted;
  Player->SetMute(Muted);
  if (OnScreen) OnScreen->ShowSoundMode(Muted ? -1 : -2);
}

bool TMainForm::PanelCallback(int32_t code, int32_t* a, int32_t*, void**) {
  const int32_t value = a ? *a : 0;
  switch (code) {
    case panel::kRequestExit: PanelExitRequested = true; return true;
    case panel::kRequestClosed: PanelCloseRequested = true; return true;
    case panel::kRequestOnTop: PanelOnTop(value != 0); return true;
    case panel::kRequestStop: MMStopClick(); return true;
    case panel::kRequestPause: MMPauseClick(); return true;
    case panel::kRequestPlay: MMPlayClick(); return true;
    case panel::kRequestNext: MMNextClick(); return true;
    case panel::kRequestPrevious: MMPrevClick(); return true;
    case panel::kRequestSeek: PanelSeek(value); return true;
    case panel::kRequestProperties:
      raise();
      activateWindow();
      if (QAction* p = Action("MMProperties")) p->trigger();
      return true;
    case panel::kRequestMinimize: MMMinimizeClick(); return true;
    case panel::kRequestFullscreen: MMFullscreenClick(); return true;
    case panel::kRequestMute: PanelMuteToggle(); return true;
    default: return false;
  }
}

void TMainForm::MMAboutClick() {
  CursorHideAllowed = false;
  TModule about;
  if (about.Load(panel::kAboutLibraryPath)) {
    if (auto show = about.Function<void (*)()>("ShowAbout")) show();
  } else {
    Debug.TextOut("Cannot load About library: " + about.ErrorText());
  }
  about.Unload();
  CursorHideAllowed = true;
}

}  // namespace kv
