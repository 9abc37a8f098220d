// TMainForm: the player's one main window.
//
// What it is: a frameless window whose client area is the video panel `VideoArea`; every
// command hangs in the popup menu `MainMenu`. It owns, for the life of the process, the
// settings `Options`, the debug log set-up, the desktop state it suspends, and (from
// FormShow on) the playback engine. It is split by concern over several files:
//   mainform.cpp          construction, FormCreate, FormShow, FormClose, the timer's first part,
//                         Exit, the instance hand-over and termination signals
//   mainmenu.cpp          the menu tree
// Threads: everything runs on the user-interface thread; nothing here takes a lock.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "platform/desktop/screensaver.h"

namespace kv {

class TAudioMixer;
class TOSD;

namespace desktop {
class SingleInstance;
class TerminationSignals;
}  // namespace desktop

class TMainForm : public QWidget {
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
  QTimer* SubTimer = nullptr;

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
  int SubtitleIndex = -1;
  QRect WindowBounds;
  bool Fullscreen = false;

  // The system mixer (null without a sound server) and the on-screen display.
  std::unique_ptr<TAudioMixer> AudioMixer;
  std::unique_ptr<TOSD> OnScreen;

  QAction* Action(const char* name) const;
  // The mixer's master volume changed: read it again and show it on the OSD's bar 1.
  void AudioMixerControlChange();
  // The window's re-layout (the resize handler); grows with the window geometry.
  void FormResize();

  // Menu command "Exit".
  void MMExitClick();
  // The first part of the 100 ms tick.
  void TimerTimer();
  // A file handed over by a second instance (or the local hand-over in tests).
  void InstanceOpen(const QString& fileName);

 signals:
  // Emitted once the engine exists and the file of a hand-over may be opened; the playback
  // part of the window connects here.
  void openRequested(const QString& fileName);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

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

  CommandLine commandLine_;
  bool showMainForm_ = false;
  int exitCode_ = 0;
  bool shown_ = false;
  bool closed_ = false;
  desktop::ScreenSaverControl screenSaver_;
  QPointer<desktop::SingleInstance> instance_;
  QPointer<desktop::TerminationSignals> signals_;
};

}  // namespace kv
