// TSubtitleController: the subtitles of the main window, from the Subtitles menu to the strip.
//
// What it is: the subtitle state of the main window (SubtitlesOn, SubtitleIndex,
// SubtitleText, VideoFramerate, KeyColor), the Subtitles menu (BuildSubtitleMenu,
// UncheckSubtitleMenu, NoneSubtitleClick, SubTitleSelect, MMChangeframerateClick), the
// loading of the chosen file when a title starts (LoadForTitle), the schedule
// (PrepareSubtitles, SubTimerTimer, over TSubtitleSchedule) and the drawing in the strip
// (DrawSubtitle, PlaceTransparentStrip, over TSubtitleStrip and subtitle_layout).
//
// Ownership: the main window owns the controller and passes its host (ISubtitleHost), the
// menu `MMSubtitles` (whose items the controller re-creates) and the owner widget of the
// strip. The controller owns the strip, `SubTimer` and `FramerateForm`; it borrows the
// subtitle list (normally the global SubtitleList) and the log (normally Debug).
// Threads: user-interface thread only; the timer fires there too. Nothing takes a lock.
//
// Wiring (the main window's part):
//   after every open:    VideoFramerate = engine FrameRate; KeyColor = engine GetColorKey
//   PlayCurrent:         after opening, before running: if (!LoadForTitle()) give up;
//                        after running: TitleStarted()
//   after every seek:    Seeked();   resume from pause: Resume()
//   pause:               Pause();    stop: Stop()
//   OpenFile:            PlaylistReplaced(true); open dialog OK, close: PlaylistReplaced(false)
//   title switch:        TitleSwitched() before PlayCurrent
//   resize (FormResize): PlaceTransparentStrip() at the layout step, Redraw() after Relayout
//   leaving full screen: HideStrip() ... ShowStripIfOn()
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "debugsup/debugsup.h"
#include "subtitles/Subtitl.h"
#include "subtitles/frate.h"
#include "subtitles/subtitle_host.h"
#include "subtitles/subtitle_schedule.h"
#include "subtitles/subtitle_strip.h"
#include "subtitles/subtitle_timer.h"

namespace kv {

class TSubtitleController {
 public:
  // `owner` is the main window (parent of the strip and the dialog); `menu` is MMSubtitles.
  // `timer` null: a QTimer on the user-interface thread. The list, log, host and menu must
  // outlive the controller. Builds the menu at once, so the host's playlist must be readable.
  TSubtitleController(QWidget* owner, ISubtitleHost& host, QMenu* menu,
                      TSubTitles& list = SubtitleList, TDebug& log = Debug,
                      std::unique_ptr<ISubtitleTimer> timer = nullptr);
  ~TSubtitleController();
  TSubtitleController(const TSubtitleController&) = delete;
  TSubtitleController& operator=(const TSubtitleController&) = delete;

  // The main window's subtitle fields.
  bool SubtitlesOn = false;
  int SubtitleIndex = -1;
  std::string SubtitleText;    // the text on the strip, file bytes
  double VideoFramerate = 0;   // the engine's frame rate after each open; 0 unknown
  std::int32_t KeyColor = 0;   // the renderer's colour key, 0x00BBGGRR, after each open
  // Where the debug dump of a loaded file goes ("zorsub.sub" in the user data directory).
  std::string DumpFileName;

  // Components.
  QMenu* MMSubtitles() const { return menu_; }
  QAction* NoneSubtitle() const { return none_; }
  QAction* MMChangeframerate() const { return changeFramerate_; }
  TSubtitleStrip& Strip() { return *strip_; }
  ISubtitleTimer& SubTimer() { return *timer_; }
  TFramerateForm* FramerateForm();
  const TSubtitleSchedule& Schedule() const { return *schedule_; }

  // How the dialog is shown; returns TFramerateForm's result code. Tests replace it.
  std::function<int(TFramerateForm&)> RunFramerateDialog;

  // --- The menu ---
  // Re-creates MMSubtitles for the current title: "None" (checked, tag 1), "Change
  // framerate" (disabled, tag 0), a separator (tag 1), then one entry per child of the title
  // that is a subtitle file (caption the file name, integer property "tag" the node index).
  void BuildSubtitleMenu();
  void UncheckSubtitleMenu();
  // Subtitles off.
  void NoneSubtitleClick();
  // Chooses the subtitle file of entry `item` (its "tag"). Playing or paused: loads it now
  // (asking for the frame rate when unknown) and shows it; otherwise marks it for the next
  // start. A file that cannot be read changes nothing.
  void SubTitleSelect(QAction* item);
  // "Change framerate": asks for frame rate and offset and re-times the strip at once.
  void MMChangeframerateClick();

  // --- The main window's playback steps ---
  // Loads the chosen file for a title that has just been opened (nothing when subtitles are
  // off). False when the frame rate typed is not a number: the title must not start.
  bool LoadForTitle();
  // After the title runs: the strip is shown and scheduled.
  void TitleStarted();
  // The file or playlist was replaced (OpenFile: `turnOff` true; the open dialog's OK and
  // closing the file: false): menu rebuilt, list emptied, strip cleared.
  void PlaylistReplaced(bool turnOff);
  // A switch to another title, before PlayCurrent: the menu follows the new title and its
  // first subtitle file is chosen when one was chosen before.
  void TitleSwitched();
  // Resume from pause and every seek (10 s, 1 min, 10 min, the control panel's position):
  // PrepareSubtitles when subtitles are on.
  void Resume();
  void Seeked();
  // Pause: SubTimer off. Stop (also when nothing played): strip cleared, SubTimer off.
  void Pause();
  void Stop();

  // --- Schedule ---
  // Resynchronises the strip and SubTimer from the engine's position.
  void PrepareSubtitles();
  // SubTimer fired.
  void SubTimerTimer();

  // --- Drawing ---
  // Lays out and paints `text` (file bytes, "|" between lines); empty clears.
  void DrawSubtitle(const std::string& text);
  // Redraws the current text when subtitles are on (after a resize).
  void Redraw();
  // The transparent mode's place of the strip, for every resize (nothing when not
  // Transparent).
  void PlaceTransparentStrip();
  void HideStrip() { strip_->Hide(); }
  void ShowStripIfOn();

 private:
  bool EngineActive() const;  // running or paused
  bool Running() const;
  // Asks for frame rate and offset (SubTitleSelect step 2 and the title start). Returns
  // false on Cancel; `valid` false when OK was pressed with a text that is not a number.
  bool AskFramerate(bool& valid);
  void DumpWhenLogging();
  void ConnectItem(QAction* item, std::function<void()> handler);
  // Fills the strip's picture; returns how many rows from the top are in the key colour.
  int PaintBackground(const TSubtitleSettings& s, int stripHeight);
  void PaintLines(const TSubtitleSettings& s, const std::string& decoded, int size,
                  int stripWidth, int stripHeight);

  QPointer<QWidget> owner_;
  std::unique_ptr<QObject> context_;  // receiver of the menu connections; gone with us
  ISubtitleHost& host_;
  QPointer<QMenu> menu_;
  TSubTitles& list_;
  TDebug& log_;
  std::unique_ptr<ISubtitleTimer> timer_;
  std::unique_ptr<TSubtitleStrip> strip_;
  std::unique_ptr<TSubtitleSchedule> schedule_;
  QPointer<TFramerateForm> form_;
  QPointer<QAction> none_;
  QPointer<QAction> changeFramerate_;
};

}  // namespace kv
