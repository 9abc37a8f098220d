// TMainForm: the player's one main window.
//
// What it is: a frameless window whose client area is the video panel `VideoArea`; every
// command hangs in the popup menu `MainMenu`. It owns, for the life of the process, the
// settings `Options`, the debug log set-up, the desktop state it suspends, and (from
// FormShow on) the playback engine. It is split by concern over several files:
//   mainform.cpp          construction, FormCreate, FormShow, FormClose, the timer's first part,
//                         Exit, the instance hand-over and termination signals
//   mainmenu.cpp          the menu tree
//   mainform_engine.cpp   the engine's creation and its window-system side (IEngineHost)
//   mainform_playback.cpp opening titles, the playback commands, the playlist walk, timers
//   mainform_openfiles.cpp the open-files dialog ("Open files"), which edits the playlist
//   mainform_menus.cpp    the menus rebuilt at run time (titles, audio, renderers, rates)
//   mainform_geometry.cpp aspect, re-layout, full screen, always on top, cursor hiding
//   mainform_input.cpp    keys (application-wide), mouse, dropped files
//   mainform_mpris.cpp    the MPRIS commands
//   mainform_mediainfo.cpp the media information texts and the "Media properties" window
//   mainform_panel.cpp    the control panel and About libraries
//   mainform_analyze.cpp  the stream analyzer: statistics callbacks, analysis opens, batch
//   mainform_scripted.cpp "--quit-at-end": messages to standard error, the exit status
// Threads: everything runs on the user-interface thread; nothing here takes a lock.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/commandline.h"
#include "app/mediainfo.h"
#include "app/mpris.h"
#include "app/panel_bridge.h"
#include "app/panel_library.h"
#include "app/startup_prefetch.h"
#include "engine/contrl.h"
#include "platform/desktop/screensaver.h"
#include "platform/module/module.h"
#include "playlist/playlist.h"

namespace kv {

class TAudioMixer;
class TStatForm;
class TFiltersForm;
class TSubtitleController;
class TSubtitleHostAdapter;
class TExplorerDrop;
class TOSD;
class TPluginsForm;
class TOpenfilesForm;

namespace qtsurface {
class TVideoSurfaceWidget;
}

namespace i18n {
class TLanguage;
}

namespace desktop {
class SingleInstance;
class TerminationSignals;
}  // namespace desktop

class TMainForm : public QWidget, public IEngineHost, public MprisTarget {
  Q_OBJECT
 public:
  // Runs FormCreate with the program's arguments (without the program name) and the
  // caller's working directory. After construction, ShowMainForm() says whether the
  // message loop should show the window; when false the process ends with ExitCode().
  TMainForm(const std::vector<std::string>& args, const std::string& callerCwd,
            QWidget* parent = nullptr);
  ~TMainForm() override;

  bool ShowMainForm() const { return showMainForm_; }
  int ExitCode() const { return exitCode_; }
  const CommandLine& Arguments() const { return commandLine_; }

  // Components, named as the form names them.
  QWidget* VideoArea = nullptr;
  QMenu* MainMenu = nullptr;
  QTimer* Timer = nullptr;
  QTimer* StatTimer = nullptr;

  // State of the start and stop sequence.
  std::string StartFile;
  bool FirstTick = true;
  bool CloseRequested = false;
  bool PanelExitRequested = false;
  bool PanelCloseRequested = false;
  bool Updating = true;
  bool Muted = false;
  int PictureWidth = 4;
  int PictureHeight = 3;
  QRect WindowBounds;
  bool Fullscreen = false;

  // The system mixer (null without a sound server) and the on-screen display.
  std::unique_ptr<TAudioMixer> AudioMixer;
  std::unique_ptr<TOSD> OnScreen;
  // The subtitle display: strip, schedule, menu and framerate dialog.
  std::unique_ptr<TSubtitleHostAdapter> SubtitleHost;
  std::unique_ptr<TSubtitleController> Subtitles;

  QAction* Action(const char* name) const;
  // The mixer's master volume changed: read it again and show it on the OSD's bar 1.
  void AudioMixerControlChange();
  // ---- engine (mainform_engine.cpp) ----
  std::unique_ptr<TCOMPlay> Player;
  // The surface the renderer draws into: the plain one, or the OpenGL one that "Video Mixing
  // Renderer 9" needs (made when that renderer is chosen).
  QWidget* VideoSurface = nullptr;
  qtsurface::TVideoSurfaceWidget* PlainSurface = nullptr;
  QWidget* GlSurface = nullptr;  // from Components/GlSurface.so, loaded on first use
  uintptr_t GlSurfaceHandle = 0;
  TModule GlSurfaceModule;
  uintptr_t SurfaceHandle = 0;
  void UseSurfaceFor(const std::string& rendererName);
  // Loads the OpenGL surface's module and makes the surface; false (logged) when it cannot.
  bool CreateGlSurface();
  void VideoPanelSize(int32_t* width, int32_t* height) override;
  // The renderer's window is a borderless child here: nothing to take off its height (a
  // line less would make every frame go through a full rescale).
  int32_t BorderHeight() override { return 0; }

  // ---- playback (mainform_playback.cpp) ----
  // The playlist; the open-files dialog shows and edits this same tree.
  TPlaylist Playlist;
  std::string CurrentFile;
  int TitleIndex = 0;
  // Read by the statistics callbacks on streaming threads (mainform_analyze.cpp).
  std::atomic<bool> AnalyzeMode{false};
  int32_t Duration = 0;
  int64_t FileSize = 0;
  int32_t NativeWidth = 0, NativeHeight = 0;
  double VideoFramerate = 0;
  std::string VideoFormatName;
  uint32_t KeyColor = 0;
  int InfoCountdown = 0;

  void OpenFile(const std::string& name);
  bool PlayCurrent();
  bool SelectTitle(int index);
  bool OpenMedia(bool playback, bool preview, bool imageAnalysis);
  void PlayFileNow(const std::string& name);  // OpenFile + PlayCurrent + message on failure
  void MMPlayClick();
  void MMPauseClick();
  void MMStopClick();
  void MMNextClick();
  void MMPrevClick();
  void SeekBy(int32_t stepMs);  // positive forward, negative back
  // The one seek routine of keys, menus, MPRIS and the control panel: moves to targetMs
  // (< 0: stays), re-schedules the subtitles, resets the statistics, tells MPRIS.
  void SeekTo(int32_t targetMs, bool exact = false);  // exact: the frame at the target, not the key frame before
  void MMRateClick(QAction* item);
  void MMCloseFileClick();
  void MMOpenDirClick();
  void GraphEvent();
  void StatTimerTimer();
  std::string StatusText();
  void CaptureFrame();
  void ShowOsdText(const QString& text);

  // ---- menus (mainform_menus.cpp) ----
  void RebuildTitlesMenu();
  void UpdateTitleChecks();
  void TitleSelect(QAction* item);
  void UpdateRateChecks();
  void BuildRendererMenus();
  void BuildAudioMenu();

  // ---- plug-in chains (mainform_plugins.cpp) ----
  TPluginsForm* PluginsForm = nullptr;  // made on first use, a child of the window
  void ConnectPluginMenus();
  void VidFiltersConfigureClick();
  void AudFiltersConfigureClick();
  // Filters > Video (true) or Audio (false) > Configure.
  void FiltersConfigureClick(bool video);
  void FollowPictureSize(int32_t oldWidth, int32_t oldHeight);
  void ShowPluginProperties(IBaseFilter* filter, const std::string& caption) override;
  // ---- open files dialog (mainform_openfiles.cpp) ----
  // The dialog that shows and edits Playlist; made on first use, lives with the window.
  TOpenfilesForm* OpenfilesForm = nullptr;
  TOpenfilesForm* OpenfilesDialog();
  void MMOpenFilesClick();
  // ---- media information, properties window, filter menus (mainform_mediainfo.cpp,
  //      mainform_menus.cpp) ----
  // The "Media properties" window, created with the window, living until it closes.
  TFiltersForm* FiltersForm = nullptr;
  // The texts it shows; Duration and FileSize above are set with them. The control panel
  // bridge reads all three.
  mediainfo::TMediaTexts MediaTexts;
  void FillVideoInfo();
  void FillAudioInfo();
  // The engine's filter names into the window (after every open, audio or renderer change).
  void RefreshFilterList();
  void MMPropertiesClick();
  // IEngineHost: a filter's pages, owned by the properties window when it is up.
  void ShowFilterProperties(IBaseFilter* filter, const std::string& name) override;
  // Filter slot items: visible exactly for the chosen plug-ins, captioned with their file
  // names (when the window is shown, after every open and after "Configure").
  void RefreshFilterMenus();
  void VidFilterClick(QAction* item);
  void AudFilterClick(QAction* item);
  void MainMenuPopup();
  void CreateFiltersForm();
  void SetMenuImages();
  bool menuImagesSet_ = false;  // the menu images are looked up once, when a menu first opens
  void ConnectMediaMenus();

  // ---- geometry (mainform_geometry.cpp) ----
  bool Minimized = false;
  bool LayoutPending = false;
  bool CursorHidden = false;
  int CursorCountdown = 20;
  bool CursorHideAllowed = false;
  bool PanelHasFocus = false;
  bool IgnoreNextUp = false;
  // The window's re-layout (the resize handler).
  void FormResize();
  void FullscreenLayout();
  void SetAspect(bool keep, int x, int y, int mode);
  void UpdateAspectMenu();
  void AdjustHeightToAspect();
  // The client height for a new client width while the user resizes (-1: the height is free).
  int FormCanResize(int newWidth);
  // The client width for a new client height set from outside (-1: the width is free).
  int FormCanResizeWidth(int newHeight);
  void SizeWindowToPicture();
  void MMFullscreenClick();
  void MMWindowClick();
  void MMMinimizeClick();
  void MMAlwaysontopClick();
  void SetTopmost(bool on);
  void TimerGeometry();
  int FrameWidth() const;
  int FrameHeight() const;
  // bounds (frame included) moved, and sized down, into the nearest screen's available area
  // when less than three quarters of it would be visible on any screen.
  QRect KeptOnScreen(const QRect& bounds) const;

  // ---- keys and mouse (mainform_input.cpp) ----
  bool CtrlDown = false;
  bool ZoomMode = false;
  bool CropMode = false;
  bool ClockShown = false;
  bool HandleKeyDown(int virtualKey);
  bool HandleKeyUp(int virtualKey);
  bool HandleChar(int code, uint32_t timestamp);
  void VideoAreaMouseDown(Qt::MouseButton button);
  void VideoAreaMouseMove(const QPoint& pos);
  void VideoAreaMouseUp(Qt::MouseButton button);
  void VideoAreaDblClick();
  void FilesDropped(const QStringList& files);
  bool eventFilter(QObject* watched, QEvent* event) override;
  // "S": capture (or say that capture is off); true when something ran.
  bool CaptureKey();
  // The key table acts only for the main window while it is active and no text field has
  // the focus, and once per key message (not again while the event climbs to the parents).
  bool KeyTableApplies(QObject* watched, QEvent* event);
  bool IsKeyWindow(const QWidget* w) const;  // the main window or its control panel
  QEvent* lastKeyEvent_ = nullptr;
  QPointer<QWidget> lastKeyReceiver_;

  // ---- teletext (mainform_teletext.cpp) ----
  void MMTeletextClick();
  // The teletext rows of the key table ("T", Control+T, Control+S, digits); the caller
  // marks the character handled.
  bool TeletextKey(int code);  // true when the key's teletext row ran
  // "+"/"-" page while pages are shown (before zoom and crop act).
  bool TeletextPaging(bool next);  // true when a page was turned
  // Saves the page on screen (or every page) with the names the settings give; the OSD
  // shows the result.
  void SaveTeletext(bool allPages);

  // ---- MPRIS (mainform_mpris.cpp) ----
  void MprisPlay() override;
  void MprisPause() override;
  void MprisPlayPause() override;
  void MprisStop() override;
  void MprisNext() override;
  void MprisPrevious() override;
  void MprisSeekBy(qint64 offsetUs) override;
  void MprisSetPosition(qint64 positionUs) override;
  void MprisOpenUri(const QString& uri) override;
  void MprisRaise() override;
  void MprisQuit() override;
  void MprisSetRate(double rate) override;
  void MprisSetVolume(double volume) override;
  QString MprisStatus() const override;
  qint64 MprisPositionUs() const override;
  qint64 MprisLengthUs() const override;
  QString MprisCurrentFile() const override;
  double MprisRate() const override;
  double MprisVolume() const override;
  bool MprisCanGoNext() const override;
  bool MprisCanGoPrevious() const override;

  // ---- options (mainform_options.cpp) ----
  // Menu command "Options": the dialog, then resize, associations, OSD, language, engine.
  void MMOptionsClick();
  // Hands the engine the settings it copied when it was made (capture, format, AC-3 output).
  void ApplyEngineSettings();

  // ---- control panel and About (mainform_panel.cpp) ----
  // The loaded control panel library; commands to an unloaded panel are dropped.
  TPanelLibrary PanelLibrary;
  bool ShowControlPanel(bool show);  // false when already so, or the library is unusable
  void MMControlpanelClick();
  void MMAboutClick();
  void PanelCommand(int32_t code, int32_t a, int32_t b);
  void PanelCommandStr(int32_t code, int32_t a, const std::string& text, int32_t b);
  void SendPanelCommands(const std::vector<panel::TPanelCommand>& commands);
  void SendMediaInfoToPanel();
  void SendPositionToPanel();
  void SendPlacementToPanel();
  void PanelMediaOpened();  // after an open: bitrates blanked, media information
  void StatTimerPanel();    // the statistics timer's bitrates
  void TimerPanel();        // the tick's position and the panel's close request
  bool PanelCallback(int32_t code, int32_t* a, int32_t* b, void** data);
  void PanelSeek(int32_t hundredths);
  void PanelOnTop(bool on);
  void PanelMuteToggle();
  void SetPanelCheck(bool on);
  void ConnectPanelMenu();
  void moveEvent(QMoveEvent* event) override;
  // ---- stream analyzer (mainform_analyze.cpp) ----
  // The analyzer window, made on first use as a window owned by this one.
  TStatForm* StatForm = nullptr;
  // The files of a batch (empty for a single file); TitleIndex counts in it while analysing.
  std::vector<std::string> AnalyzeList;
  TStatForm* AnalyzerForm();
  // Gives the engine the three statistics callbacks (before each open).
  void HandStatCallbacks();
  void MMFileAnalyzeClick();
  // The confirmed file choice of MMFileAnalyzeClick.
  void AnalyzeFiles(const std::vector<std::string>& files);
  // Opens CurrentFile for analysis and runs it; false when it cannot be opened.
  bool StartAnalysis();
  // End of stream while analysing: saves a batch file's table and starts the next file.
  // True when a batch was walked (*started: the next file runs).
  bool AnalyzeEndOfStream(bool* started);
  // After the graph's events were drained: true when a stream error stopped the file being
  // analysed; it is logged and the graph paused, so that the file ends as at its end of
  // stream (a batch saves its table and goes on with the next file).
  bool AnalysisStoppedByError();
  // A click in the analyzer's chart: the analysis ends and playback goes there.
  void AnalyzerSeek(int32_t ms);

  // Menu command "Exit".
  void MMExitClick();
  // The first part of the 100 ms tick.
  void TimerTimer();
  // A file handed over by a second instance (or the local hand-over in tests).
  void InstanceOpen(const QString& fileName);
  // The last file handed over before the engine existed; opened at the first tick.
  QString PendingOpen;

  // ---- translation and file associations (mainform_language.cpp, mainform_associations.cpp) ----
  // The translator, made in FormCreate; LoadLanguage applies "Languages/" + name + ".lng" to
  // every form and to forms shown later.
  i18n::TLanguage* Translator = nullptr;
  void LoadLanguage(const std::string& name);
  // Brings the desktop's associations in line with the Associate section of the settings.
  void CheckAssociations();

 signals:
  // Emitted once the engine exists and the file of a hand-over may be opened; the playback
  // part of the window connects here.
  void openRequested(const QString& fileName);


 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void FormCreate(const std::vector<std::string>& args, const std::string& callerCwd);
  void FormShow();
  void FormClose();
  void SetupComponents();
  void ConnectMenu();
  void PlaceWindow();
  bool HandOverToRunningInstance();
  void CreateMixer();
  void CreateOSD();
  bool ReadMasterVolume();
  void CreatePlayer();
  void RejectOpenDialogs();
  void ConnectPlaybackMenu();
  void CheckScreenshot();
  void EndOfPlaylist();
  // Scripted runs (mainform_scripted.cpp): messages to standard error and the log instead of
  // boxes; the exit status says whether everything played.
  void RouteMessagesForScript();
  void StartScript();
  void EndScript();
  bool scriptFailed_ = false;
  uint32_t lastCharCode_ = 0;
  uint32_t lastCharTime_ = 0;
  bool lastCharSeen_ = false;
  QPoint lastMouse_;
  bool screenshotTaken_ = false;
  int keptWidth_ = 0;  // the width the window itself last set; another width is the user's
  int keptHeight_ = 0;  // likewise the height: a new height alone from outside moves the width
  QPointer<MprisService> mpris_;
  TExplorerDrop* drop_ = nullptr;

  CommandLine commandLine_;
  bool showMainForm_ = false;
  int exitCode_ = 0;
  bool shown_ = false;
  bool closed_ = false;
  desktop::ScreenSaverControl screenSaver_;
  QPointer<desktop::SingleInstance> instance_;
  QPointer<desktop::TerminationSignals> signals_;
  // The way to the first picture (mainform.cpp): modules and the OpenGL answer fetched on a
  // thread while the window starts; the first tick's work run as soon as the window shows.
  void FirstTickWork();
  void FinishStart();
  TStartupPrefetch prefetch_;
  // ---- the mixer's connection (mainform_mixer.cpp) ----
  // The sound server is reached on mixerThread_ (it may take long or never answer); the
  // mixer comes to this thread with MixerConnected. Until then AudioMixer is null and the
  // OSD's volume bar is off. The thread touches nothing of the window; it is joined on
  // close and at destruction (std::jthread).
  void StartMixerConnection();
  void MixerConnected(std::unique_ptr<TAudioMixer> mixer);
  void JoinMixerConnection();
  int pendingBarVolume_ = -1;  // a volume set (MPRIS) before the mixer was ready; -1: none
  std::jthread mixerThread_;
};

}  // namespace kv
