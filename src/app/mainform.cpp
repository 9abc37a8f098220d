#include "app/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QThread>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>

#include "app/app_paths.h"
#include "app/mainmenu.h"
#include "filt/filt.h"
#include "debugsup/debugsup.h"
#include "engine/catalogue.h"
#include "i18n/language.h"
#include "platform/module/program_directory.h"
#include "mixer/audio_mixer.h"
#include "osd/osdunit.h"
#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_controller.h"
#include "app/subtitle_host_adapter.h"
#include "openfiles/ExplorerDrop.h"
#include "platform/desktop/single_instance.h"
#include "platform/ui/messagebox.h"
#include "platform/ui/messagebox_qt.h"
#include "qtsurface/video_surface_widget.h"
#include "platform/desktop/termination_signals.h"
#include "settings/optunit.h"

namespace kv {

namespace {
bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}
}  // namespace

TMainForm::TMainForm(const std::vector<std::string>& args, const std::string& callerCwd,
                     QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("MainForm"));
  FormCreate(args, callerCwd);
}

TMainForm::~TMainForm() {
  if (!closed_ && showMainForm_) FormClose();
}

QAction* TMainForm::Action(const char* name) const {
  return MainMenu ? FindMenuAction(MainMenu, QString::fromLatin1(name)) : nullptr;
}

void TMainForm::SetupComponents() {
  // No layout manager: the video panel's place is the window's own arithmetic (it fills the
  // window, or sits centred in full screen).
  VideoArea = new QWidget(this);
  VideoArea->setObjectName(QStringLiteral("VideoArea"));
  VideoArea->setAutoFillBackground(true);
  QPalette pal = VideoArea->palette();
  pal.setColor(QPalette::Window, Qt::black);
  VideoArea->setPalette(pal);
  VideoArea->setMouseTracking(true);
  // The black bars around the picture in full screen are the window itself: the mouse there
  // counts as on the picture.
  setMouseTracking(true);
  PlainSurface = new qtsurface::TVideoSurfaceWidget(VideoArea);
  PlainSurface->setObjectName(QStringLiteral("VideoSurface"));
  PlainSurface->setMouseTracking(true);
  PlainSurface->hide();
  // The mouse on the picture reaches eventFilter through the application-wide filter
  // (FormCreate); a filter on the widgets as well would handle every press and release twice.
  VideoSurface = PlainSurface;
  SurfaceHandle = static_cast<uintptr_t>(PlainSurface->Handle());
  drop_ = new TExplorerDrop(this);
  drop_->SetDestinationControl(VideoArea);
  drop_->OnFolderNotAllowed = [](TExplorerDrop*, const QString& name) {
    Debug.TextOut("Dropped folder ignored: " + name.toStdString());
  };
  drop_->OnDropped = [this](TExplorerDrop*, const QStringList& files, int, int, int) { FilesDropped(files); };

  MainMenu = new QMenu(this);
  BuildMainMenu(MainMenu);
  // Shortcuts of the menu fire while the main window has the focus.
  addActions(MainMenu->actions());
  for (QAction* a : MainMenu->findChildren<QAction*>()) {
    if (!a->shortcut().isEmpty()) addAction(a);
  }

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(100);
  connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
  StatTimer = new QTimer(this);
  StatTimer->setObjectName(QStringLiteral("StatTimer"));
  StatTimer->setInterval(1000);
  ConnectMenu();
  ConnectMediaMenus();
}

void TMainForm::ConnectMenu() {
  auto on = [this](const char* name, void (TMainForm::*handler)()) {
    if (QAction* a = Action(name)) connect(a, &QAction::triggered, this, handler);
  };
  on("MMExit", &TMainForm::MMExitClick);
  on("MMOptions", &TMainForm::MMOptionsClick);
  on("MMPlay", &TMainForm::MMPlayClick);
  on("MMPause", &TMainForm::MMPauseClick);
  on("MMStop", &TMainForm::MMStopClick);
  on("MMNext", &TMainForm::MMNextClick);
  on("MMPrev", &TMainForm::MMPrevClick);
  on("MMCloseFile", &TMainForm::MMCloseFileClick);
  on("MMOpenDir", &TMainForm::MMOpenDirClick);
  on("MMFileAnalyze", &TMainForm::MMFileAnalyzeClick);
  on("MMOpenFiles", &TMainForm::MMOpenFilesClick);
  on("MMFullscreen", &TMainForm::MMFullscreenClick);
  on("MMWindow", &TMainForm::MMWindowClick);
  on("MMMinimize", &TMainForm::MMMinimizeClick);
  on("MMAlwaysontop", &TMainForm::MMAlwaysontopClick);
  on("MMTeletext", &TMainForm::MMTeletextClick);
  const struct {
    const char* name;
    int32_t step;
  } seeks[] = {{"MMForward10min", 600000}, {"MMForward1min", 60000}, {"MMForward10sec", 10000},
               {"MMBack10sec", -10000},    {"MMBack1min", -60000},    {"MMBack10min", -600000}};
  for (const auto& seek : seeks)
    if (QAction* a = Action(seek.name)) connect(a, &QAction::triggered, this, [this, step = seek.step]() { SeekBy(step); });
  for (const char* name : {"MMRate01", "MMRate05", "MMRate1", "MMRate2", "MMRate5", "MMRate10", "MMRate100"})
    if (QAction* a = Action(name)) connect(a, &QAction::triggered, this, [this, a]() { MMRateClick(a); });
  const struct {
    const char* name;
    bool keep;
    int x, y, mode;
  } aspects[] = {{"MMAspectNone", false, 0, 0, -1}, {"MMKeepaspectratio", true, 0, 0, 0},
                 {"MMAspect43", true, 4, 3, 1},     {"MMAspect169", true, 16, 9, 2},
                 {"MMAspect2410", true, 24, 10, 3}};
  for (const auto& aspect : aspects)
    if (QAction* a = Action(aspect.name))
      connect(a, &QAction::triggered, this, [this, aspect]() { SetAspect(aspect.keep, aspect.x, aspect.y, aspect.mode); });
  connect(StatTimer, &QTimer::timeout, this, &TMainForm::StatTimerTimer);
  ConnectPanelMenu();
  ConnectPluginMenus();
}

bool TMainForm::HandOverToRunningInstance() {
  if (!commandLine_.firstArgumentFile.empty()) {
    return desktop::SingleInstance::SendFileToInstance(
        QString::fromStdString(commandLine_.firstArgumentFile));
  }
  return desktop::SingleInstance::AskInstanceToShow();
}

void TMainForm::FormCreate(const std::vector<std::string>& args, const std::string& callerCwd) {
  // 1. The log exists from the start, disabled, named after the program.
  Debug.Enabled = false;
  Debug.SetFileName(UserDataFile("kavello.log"));
  // 2. Initial field values are the member initialisers.
  Updating = true;
  // 3. Every relative path of the program is relative to its own directory.
  QDir::setCurrent(QString::fromStdString(ProgramDirectory()));
  // 5. Settings.
  Options = std::make_unique<tOptions>();
  Options->LoadSettings();
  // 6. Is another instance running?
  bool anotherRunning = false;
  if (!Options->MultipleInst) anotherRunning = desktop::SingleInstance::AnotherInstanceRunning();
  // 7. Command line.
  // After "/log" an existing file counts as the film when the catalogue opens its kind.
  std::unique_ptr<TCatalogue> catalogue;
  auto isMedia = [&catalogue](const std::string& path) {
    if (!catalogue) {
      catalogue = std::make_unique<TCatalogue>();
      catalogue->Load(ProgramDirectory());
    }
    return catalogue->IsVideoFile(path) || catalogue->IsAudioFile(path);
  };
  commandLine_ = ParseCommandLine(args, callerCwd, FileExists, isMedia);
  if (commandLine_.log) {
    Debug.Enabled = true;
    if (!commandLine_.logFile.empty()) Debug.SetFileName(commandLine_.logFile);
    Debug.Clear();
  }
  if (commandLine_.debugMode) Options->DebugMode = true;
  StartFile = commandLine_.startFile;
  // 8. A second instance hands over and ends without a window.
  if (anotherRunning) {
    Debug.TextOut("Another instance is running, handing over");
    HandOverToRunningInstance();
    showMainForm_ = false;
    exitCode_ = 0;
    return;
  }
  // Once the program is closing, no new message box may hold the close up: the message is
  // only logged then.
  {
    ui::MessageBoxHandler shown = ui::SetMessageBoxHandler(nullptr);
    QPointer<TMainForm> self(this);
    ui::SetMessageBoxHandler([self, shown](const std::string& text, const std::string& caption) {
      if (self && (self->CloseRequested || self->closed_)) {
        Debug.TextOut("Message not shown while closing: " + text);
        return;
      }
      if (shown) shown(text, caption);
      else std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    });
  }
  if (commandLine_.quitAtEnd) RouteMessagesForScript();
  // 9. This process shows the window; message boxes open above it. The OpenGL question (a
  // helper process, ~100 ms) is asked now, beside the rest of the start: the engine's device
  // list waits for its answer.
  prefetch_.AskOpenGl();
  showMainForm_ = true;
  ui::SetMessageBoxOwner(this);
  SetupComponents();
  // Termination signals close the window like "Exit"; set up first, so that a signal that
  // comes during the start is not fatal but closes the window at its first tick.
  signals_ = new desktop::TerminationSignals(this);
  if (signals_->Install()) {
    connect(signals_, &desktop::TerminationSignals::terminationRequested, this, [this](int) {
      Debug.TextOut("Termination signal received");
      // A message box or dialog that is up would keep its own loop running: close it first.
      MMExitClick();
      RejectOpenDialogs();
    });
  }

  instance_ = new desktop::SingleInstance(this);
  if (!Options->MultipleInst) {
    if (!instance_->Listen()) Debug.TextOut("Cannot listen for other instances");
  }
  connect(instance_, &desktop::SingleInstance::fileReceived, this, &TMainForm::InstanceOpen);
  connect(instance_, &desktop::SingleInstance::showRequested, this, [this]() {
    showNormal();
    raise();
    activateWindow();
  });
  // 10. New settings version or "/c": the options dialog comes first.
  if (commandLine_.optionsDialog || Options->Version != "2.3.0.0") {
    Debug.TextOut("New version or /c parameter - opening options dialog");
    if (!Options->ShowOptionsDialog(this)) {
      showMainForm_ = false;
      exitCode_ = 0;
      Options.reset();
      return;
    }
  }
  // 11. From here on the window carries the program's name.
  setWindowTitle(QStringLiteral("Kavello"));
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Kavello"));
  // 12. The screen saver is suspended once the first picture is up (FinishStart).
  // 13. The subtitle list and display; no subtitles active.
  SubtitleList.ClearList();
  SubtitleHost = std::make_unique<TSubtitleHostAdapter>(*this);
  if (QAction* sub = Action("MMSubtitles"); sub && sub->menu())
    Subtitles = std::make_unique<TSubtitleController>(this, *SubtitleHost, sub->menu());
  // 14, 15. Mixer and on-screen display. The engine's modules load meanwhile (after the
  // components: one library loads at a time in a process).
  prefetch_.Start(ProgramDirectory());
  CreateMixer();
  CreateOSD();
  // 16. Menu checks from the settings.
  if (QAction* a = Action("MMAlwaysontop")) a->setChecked(Options->AlwaysOnTop);
  UpdateAspectMenu();
  UpdateRateChecks();
  // 17. Keys reach the key table from every window of the program.
  qApp->installEventFilter(this);
  // 18. The desktop's file associations, when the settings ask for it at start.
  if (Options->AssociateCheck) CheckAssociations();
  // 19. Window placement.
  PlaceWindow();
  // 20.
  Updating = false;
  // 21. The translator; the language is applied when the window is shown.
  Translator = new i18n::TLanguage(this);
  // 22. The master volume on the OSD's volume bar.
  if (ReadMasterVolume()) OnScreen->SetBarValue(1, Options->Volume / 256);
  // 23.
  FormResize();
  Timer->start();
}

void TMainForm::CreateMixer() {
  Debug.TextOut("Creating mixer");
  StartMixerConnection();  // mainform_mixer.cpp: the server is reached off this thread
}

bool TMainForm::ReadMasterVolume() {
  if (!AudioMixer || AudioMixer->Destinations().empty()) return false;
  TMixerVolume volume;
  if (!AudioMixer->GetVolume(0, -1, volume) || volume.Left < 0 || volume.Right < 0) return false;
  Options->Volume = (volume.Left + volume.Right) / 2;
  return true;
}

void TMainForm::AudioMixerControlChange() {
  if (!Options || !OnScreen) return;
  if (ReadMasterVolume()) OnScreen->SetBarValue(1, Options->Volume / 256);
}

void TMainForm::CreateOSD() {
  Debug.TextOut("Creating OSD");
  OnScreen = std::make_unique<TOSD>(this);
  kv::OnScreen = OnScreen.get();
  OnScreen->RegistryKey = "Software\\Tessaland\\Kavello\\Display";
  OnScreen->LanguageName = Options->Language;
  OnScreen->ProgramDir = ProgramDirectory();
  OnScreen->LoadLayout();
  OnScreen->StatusByOwner = true;
  OnScreen->SetEnabled(Options->OSD);
  OnScreen->SetMenuSource(MainMenu);
  OnScreen->OnHide = [this](TOSD*) { FormResize(); };
  OnScreen->OnBarChange = [this](int bar, int value) {
    if (bar != 1 || !Options) return;
    // The bar's level is 0..255; the setting keeps the mixer's scale (0..65535), as every
    // reader of it (the bar, MPRIS) expects.
    Options->Volume = value * 256;
    if (AudioMixer && !AudioMixer->Destinations().empty())
      AudioMixer->SetVolume(0, -1, value * 256, value * 256, -1);
    else if (!AudioMixer)
      pendingBarVolume_ = value;  // the mixer is still connecting: it gets this when ready
  };
  bool haveMixer = AudioMixer && !AudioMixer->Destinations().empty();
  OnScreen->SetBarGroupEnabled(1, haveMixer);
}

void TMainForm::paintEvent(QPaintEvent*) {
  // Around a picture that does not fill the screen the window shows black, as a cinema does.
  // Painted here rather than through the palette, which the menu and dialogs would inherit.
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A new width from outside (the window manager, the user) makes the height follow the
  // picture; the window's own placements set the width they mean and are left alone. A new
  // height alone (a window manager that resizes by the bottom edge) makes the width follow.
  if (width() != keptWidth_) {
    keptWidth_ = width();
    const int h = FormCanResize(width());
    keptHeight_ = h > 0 ? h : height();
    if (h > 0 && h != height()) {
      QPointer<TMainForm> self(this);
      QMetaObject::invokeMethod(this, [self, h]() {
        if (self && !self->Fullscreen) self->resize(self->width(), h);
      }, Qt::QueuedConnection);
    }
  } else if (height() != keptHeight_) {
    keptHeight_ = height();
    const int h = FormCanResize(width());
    const int w = FormCanResizeWidth(height());
    if (h > 0 && h != height() && w > 0 && w != width()) {
      QPointer<TMainForm> self(this);
      QMetaObject::invokeMethod(this, [self, w]() {
        if (!self || self->Fullscreen) return;
        self->keptWidth_ = w;  // its height already matches
        self->resize(w, self->height());
      }, Qt::QueuedConnection);
    }
  }
  FormResize();
}

void TMainForm::PlaceWindow() {
  // Wayland gives clients no global positions: the size is applied, the place is the
  // compositor's (dragging still works through startSystemMove).
  if (QGuiApplication::platformName() == QLatin1String("wayland"))
    Debug.TextOut("Wayland session: window position not applicable, left to the compositor");
  int width = Options->Width;
  int height = Options->Height;
  int left = Options->Left;
  int top = Options->Top;
  if (Options->Centered) {
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect geometry = screen ? screen->geometry() : QRect(0, 0, width, height);
    left = geometry.x() + (geometry.width() - width) / 2;
    top = geometry.y() + (geometry.height() - height) / 2;
  }
  // A placement saved on another monitor layout, or left by a larger picture, comes back
  // inside the nearest screen.
  const QRect placed = KeptOnScreen(QRect(left, top, width, height));
  keptWidth_ = placed.width();
  keptHeight_ = placed.height();
  setGeometry(placed);
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TMainForm::FormShow() {
  if (!Options) return;
  if (Options->AlwaysOnTop) {
    SetTopmost(true);
  }
  LoadLanguage(Options->Language);
  if (Options->Panel) ShowControlPanel(true);
  // The filter slot items.
  RefreshFilterMenus();
  CreatePlayer();
  OpenfilesDialog();  // made once with the window, like the other forms
  // The first tick's work (the file of the command line) need not wait for the timer's
  // first interval once the window is up; the tick then finds it done.
  QPointer<TMainForm> self(this);
  QTimer::singleShot(0, this, [self]() {
    if (self && self->FirstTick) {
      self->FirstTick = false;
      self->FirstTickWork();
    }
  });
}

void TMainForm::FirstTickWork() {
  if (commandLine_.quitAtEnd) StartScript();
  if (!StartFile.empty()) PlayFileNow(StartFile);
  if (!PendingOpen.isEmpty() && Player) {
    const QString handedOver = PendingOpen;
    PendingOpen.clear();
    InstanceOpen(handedOver);
  }
  FinishStart();
}

void TMainForm::FinishStart() {
  // What the first picture need not wait for (some 20 ms of widgets and session-bus round
  // trips): done once the file of the command line is on screen.
  // No screen saver and no power saving while the player runs.
  desktop::SaverState state = screenSaver_.Suspend();
  Debug.BoolOut("Screensaver state", state.ScreenSaveActive());
  if (state.haveDisplay)
    Debug.TextOut(screenSaver_.SuspendedByServer() ? "Screen saver suspended by the display server"
                                                   : "Screen saver switched off until exit");
  else
    Debug.TextOut("No X display: X11 screen saver and power settings left alone; the session inhibit holds the screen saver off");
  // The "Media properties" window is made when it is first opened: it reads the media texts
  // and the filter list then, and most runs never open it.
  mpris_ = new MprisService(this, this);
  if (!mpris_->Register()) Debug.TextOut("No session bus: media keys are not offered");
}

void TMainForm::TimerTimer() {
  if (FirstTick) {
    FirstTick = false;
    FirstTickWork();
  }
  if (CloseRequested || PanelExitRequested) {
    // A dialog or message box runs its own loop below this tick, with callers waiting on
    // the stack for the objects the close would free: end the dialogs, close afterwards.
    if (QThread::currentThread()->loopLevel() > 1) {
      RejectOpenDialogs();
      return;
    }
    CloseRequested = false;
    Timer->stop();
    close();
    // Ends every event loop, also one that a message box or dialog still runs.
    QCoreApplication::exit(exitCode_);
    return;
  }
  if (Player) {
    if (Player->State == psRunning && InfoCountdown >= 1) {
      if (--InfoCountdown == 0) {
        VideoFormatName = Player->GetVideoInputFormatName();
        SendMediaInfoToPanel();
      }
    }
  }
  TimerPanel();
  TimerGeometry();
  CheckScreenshot();
  if (OnScreen) {
    OnScreen->Tick();
    if (OnScreen->StatusShown()) OnScreen->ShowStatus(QString::fromStdString(StatusText()));
  }
}

void TMainForm::RejectOpenDialogs() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->done(QDialog::Rejected);
  }
}

void TMainForm::MMExitClick() {
  if (Player && (Player->State == psRunning || Player->State == psPaused)) {
    AnalyzeMode = false;
    StatTimer->stop();
    Player->StopForExit();
  }
  CloseRequested = true;
}

void TMainForm::InstanceOpen(const QString& fileName) {
  Debug.TextOut("Instance hand-over: " + fileName.toStdString());
  if (!QFileInfo(fileName).isFile()) return;  // a name that is no file is ignored
  if (!Player) {
    // Before the engine exists (the first-run options dialog is up, the window not yet
    // shown): kept, and opened at the first tick after the start file.
    PendingOpen = fileName;
    emit openRequested(fileName);
    return;
  }
  PlayFileNow(fileName.toStdString());
  MMPlayClick();
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event) {
  PanelHasFocus = false;
  CursorHideAllowed = false;
  if (MainMenu) MainMenu->popup(event->globalPos());
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) { QWidget::dragEnterEvent(event); }
void TMainForm::dropEvent(QDropEvent* event) { QWidget::dropEvent(event); }

void TMainForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  Minimized = isMinimized();
  // The window manager's maximise means full screen for a video window.
  if ((windowState() & Qt::WindowMaximized) && !Fullscreen) {
    QPointer<TMainForm> self(this);
    const QRect normal = normalGeometry();  // where leaving full screen goes back to
    QMetaObject::invokeMethod(this, [self, normal]() {
      if (!self || self->Fullscreen) return;
      self->setWindowState(self->windowState() & ~Qt::WindowMaximized);
      self->MMFullscreenClick();
      if (normal.isValid()) self->WindowBounds = normal;
    }, Qt::QueuedConnection);
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!closed_) FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  closed_ = true;
  if (Timer) Timer->stop();
  if (StatTimer) StatTimer->stop();
  if (Subtitles) {
    Subtitles->Stop();
    Subtitles->SubtitlesOn = false;
    Subtitles->SubtitleIndex = -1;
  }
  qApp->removeEventFilter(this);
  ShowControlPanel(false);  // Options->Panel stays: a panel shown at exit is shown at the next start
  delete mpris_;
  Subtitles.reset();
  if (FiltersForm) FiltersForm->SetPlayer(nullptr);
  Player.reset();
  kv::OnScreen = nullptr;
  OnScreen.reset();
  JoinMixerConnection();
  AudioMixer.reset();
  if (Options) {
    QRect bounds = Fullscreen ? WindowBounds : geometry();
    Options->Left = bounds.x();
    Options->Top = bounds.y();
    Options->Width = bounds.width();
    Options->Height = bounds.height();
    Options->SaveSettings();
    Options.reset();
  }
  screenSaver_.Restore();
  Debug.TextOut("Closed");
}

}  // namespace kv
