// TOSD: the on-screen display over the video.
//
// What it is: seven borderless child panels of the owner window (the main window): clock,
// bar (shared with the one-line message), sound mode word, channel number, channel name
// (never shown by this program), status line and menu. Each holds one picture that is
// redrawn in full on every show (the menu by rows while moving in it). Where the layout
// value `Transparent` is set, pictures are filled with the video renderer's key colour and
// those pixels become transparent (TOsdPanel), so the video shows through everywhere except
// letters, outlines and bar steps. Timed elements share one `LastShow` and hide together
// `Delay` seconds after the latest show, when the owner's 100 ms timer calls Tick.
// The OSD also runs a remote-control style navigation: up, down, left, right and a menu key
// drive the bars (volume...) and a menu built from the owner's popup menu.
//
// Pieces: the numbers come from osd_geometry (layout), osd_bar_state (bars) and
// osd_menu_nav (menu); osd_painter turns them into pixels; osd_menu_source reads the QMenu.
//
// Ownership: the owner window owns the TOSD object; the TOSD owns its panels (children of
// the owner, deleted by the TOSD, or by Qt when the owner goes first). `MenuSource` is
// borrowed and watched (a deleted menu closes the OSD menu).
//
// Wiring by the owner (the main window): create it with the window, set RegistryKey,
// ProgramDir (and LanguageName to follow the program's language), call LoadLayout, set
// StatusByOwner, SetEnabled(OSD setting), SetMenuSource(popup menu; actions carry the
// integer property "tag"), OnHide (re-lay out the window), OnBarChange (bar 1 = master
// volume), SetBarGroupEnabled(1, true) when a mixer exists; then Tick from the 100 ms timer,
// HideForResize/Relayout around every re-layout, SetColorKey after every open.
//
// Threads: user-interface thread only. Time comes from an IOsdClock (tests use a fake one).
// Everything is a no-op while disabled; operations needing a size value do nothing while
// that value is 0.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "osd/osd_bar_state.h"
#include "osd/osd_clock.h"
#include "osd/osd_labels.h"
#include "osd/osd_layout_values.h"
#include "osd/osd_menu_nav.h"
#include "osd/osd_menu_source.h"
#include "osd/osd_painter.h"
#include "osd/osd_panel.h"

namespace kv {

class TOSD {
 public:
  enum class Element { Clock, Bar, SoundMode, ChanNum, ChanName, Status, Menu };
  static constexpr int kElementCount = 7;

  // Navigation key codes of HandleKey.
  enum Key { KeyUp = 0, KeyLeft = 1, KeyRight = 2, KeyDown = 3, KeyMenu = 4 };

  using THideEvent = std::function<void(TOSD* sender)>;
  using TBarChangeEvent = std::function<void(int bar, int level)>;  // level 0..255

  // Creates the hidden panels as children of `owner` with the built-in layout and labels;
  // LoadLayout then reads the stored ones. Enabled at creation. `clock` null: the system
  // clock. The owner must outlive nothing: operations after the owner is gone do nothing.
  explicit TOSD(QWidget* owner, std::shared_ptr<osd::IOsdClock> clock = nullptr);
  ~TOSD();
  TOSD(const TOSD&) = delete;
  TOSD& operator=(const TOSD&) = delete;

  // Where LoadLayout reads: registry key of the current user, the label file's language
  // ("Lang/" + LanguageName + ".lng") and the program directory holding "Lang/" (empty:
  // the current directory).
  std::string RegistryKey = osd::kDefaultDisplayKey;
  std::string LanguageName;
  std::string ProgramDir;

  bool StatusByOwner = false;   // hiding also clears the status line
  bool TimePersistent = false;  // the clock stays until ShowTime(0)
  THideEvent OnHide;            // after the OSD hid itself (HideAll)
  TBarChangeEvent OnBarChange;  // after a key changed a bar

  // Reads the layout values from RegistryKey and the labels from the label file, restyles
  // every panel and shows a kept clock again with the new layout.
  void LoadLayout();
  // The same from explicit sources (tests, or another settings store).
  void LoadLayout(osd::IOsdValueReader& values, const osd::TOsdLabels& labels);

  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  // The renderer's colour key (0x00BBGGRR); panels use it when transparent.
  void SetColorKey(osd::TColorRef color);
  osd::TColorRef KeyColor() const { return keyColor_; }
  // The popup menu the OSD menu is built from (borrowed).
  void SetMenuSource(QMenu* menu);
  QMenu* MenuSource() const { return menuSource_.Root(); }
  // Bar group 1..7 may (or may not) be offered by the navigation keys.
  void SetBarGroupEnabled(int group, bool on) { bars_.SetGroupEnabled(group, on); }

  // Mode 0 hides the clock and ends TimePersistent; 1 shows and keeps it; 2 shows it
  // for the delay.
  void ShowTime(int mode);
  // -2 "UNMUTE", -1 "MUTE", 0 "MONO", 1 "STEREO", 2 "DUAL A", 3 "DUAL B", 4 "DUAL A+B".
  void ShowSoundMode(int code);
  // A one-line message in the bar's panel (replaces a visible bar).
  void ShowText(const QString& text);
  // The status line: a new text; a single NUL character re-shows the current one; empty
  // hides it.
  void ShowStatus(const QString& text);
  // The bar with `label` and `value` 0..63 in the bar's panel.
  void ShowBar(const QString& label, int value);
  // Stores the level 0..255 of bar 1..11 (as 0..63); other bars are ignored. Draws nothing.
  void SetBarValue(int bar, int level);
  // Navigation keys 0..4 (Key).
  void HandleKey(int code);
  // The owner's 100 ms timer: redraws a changed clock and hides timed elements after Delay.
  void Tick();
  // Hides every timed element, closes the menu, then calls OnHide.
  void HideAll();
  // Around the owner's re-layout: hide every panel at once, then bring the kept clock back.
  void HideForResize();
  void Relayout();

  bool StatusShown() const { return statusShown_; }

  // State for the owner and for tests.
  const osd::TOsdLayoutValues& Layout() const { return layout_; }
  const osd::TOsdLabels& Labels() const { return labels_; }
  const osd::TOsdStyle& Style() const { return style_; }
  int BarIndex() const { return bars_.BarIndex; }
  int BarValue(int bar) const { return bars_.Value(bar); }
  const osd::TOsdMenuNav& Menu() const { return nav_; }
  QString MessageText() const { return messageText_; }
  QString StatusText() const { return statusText_; }
  std::optional<int64_t> LastShow() const { return lastShow_; }
  osd::TOsdPanel* Panel(Element e) const { return panels_[static_cast<size_t>(e)].data(); }
  bool Visible(Element e) const;
  // The clock's text for a time of day, in the system's time format.
  static QString TimeText(const QTime& time);

 private:
  enum class BarContent { None, Bar, Message };

  // Enabled, and the owner (with the panels) still exists.
  bool Ready() const { return enabled_ && owner_; }
  void ShowClock(int mode, bool restartDelay);
  void ApplyStyle();
  void RedrawVisible();
  void Hide(Element e);
  void Place(Element e, const osd::TOsdRect& rect);
  void Touch();  // LastShow = now
  int OwnerWidth() const;
  int OwnerHeight() const;

  void DrawClock(bool force);
  void DrawBarPanel();
  void DrawSoundMode();
  void DrawStatus();
  void LayoutStatus();
  void DrawMenu();
  void DrawMenuRows(int oldRow, int newRow);
  void FillMenuRowInfo(int itemIndex, osd::TOsdMenuRowInfo& info) const;
  int MenuRowsThatFit() const;

  void HandleMenuKey(int code);
  void ActivateMenuItem();

  QPointer<QWidget> owner_;
  std::shared_ptr<osd::IOsdClock> clock_;
  std::array<QPointer<osd::TOsdPanel>, kElementCount> panels_;

  osd::TOsdLayoutValues layout_;
  osd::TOsdLabels labels_;
  osd::TOsdStyle style_;
  // A colour no default setting uses, so that nothing but the panel is keyed before the
  // renderer names its own key.
  osd::TColorRef keyColor_ = 0x100010;
  bool enabled_ = true;

  QString lastClockText_;
  int soundMode_ = 0;
  QString messageText_;  // ShowText's text, or the bar's label
  int barValueShown_ = 0;
  BarContent barContent_ = BarContent::None;
  QString statusText_;
  bool statusShown_ = false;
  std::optional<int64_t> lastShow_;

  osd::TOsdBarState bars_;
  osd::TOsdMenuSource menuSource_;
  osd::TOsdMenuNav nav_;

  // Set to false by the destructor, so that a menu command that destroys the OSD is seen.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The program's one OSD, owned by the main window (null until it is created).
extern TOSD* OnScreen;

}  // namespace kv
