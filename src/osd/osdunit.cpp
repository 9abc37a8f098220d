#include "osd/osdunit.h"

#include <QLocale>
#include <QRegularExpression>

#include "osd/osd_geometry.h"
#include "osd/osd_registry_reader.h"

namespace kv {

using namespace osd;

TOSD* OnScreen = nullptr;

namespace {

constexpr const char* kPanelNames[TOSD::kElementCount] = {
    "OsdClock", "OsdBar", "OsdSoundMode", "OsdChanNum", "OsdChanName", "OsdStatus", "OsdMenu"};

// Label files are single-byte text; accept UTF-8 when the file is valid UTF-8.
QString DecodeLabel(const std::string& s) {
  const QByteArray bytes = QByteArray::fromStdString(s);
  QString text = QString::fromUtf8(bytes);
  if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(bytes);
  return text;
}

}  // namespace

TOSD::TOSD(QWidget* owner, std::shared_ptr<IOsdClock> clock)
    : owner_(owner), clock_(clock ? std::move(clock) : std::make_shared<TSystemOsdClock>()) {
  for (int i = 0; i < kElementCount; ++i) {
    panels_[static_cast<size_t>(i)] = new TOsdPanel(owner, kPanelNames[i]);
  }
  ApplyStyle();
}

TOSD::~TOSD() {
  *alive_ = false;
  for (auto& panel : panels_) delete panel.data();
}

// ---- settings -------------------------------------------------------------------------

void TOSD::LoadLayout() {
  auto reader = MakeRegistryValueReader(RegistryKey);
  LoadLayout(*reader, ReadLabels(LabelFilePath(ProgramDir, LanguageName)));
}

void TOSD::LoadLayout(IOsdValueReader& values, const TOsdLabels& labels) {
  layout_ = ReadLayoutValues(values);
  labels_ = labels;
  ApplyStyle();
  RedrawVisible();
  if (TimePersistent) {
    // Bring the kept clock back at its new place and size.
    Hide(Element::Clock);
    ShowClock(1, false);
  }
}

void TOSD::ApplyStyle() {
  style_.FontName = QString::fromStdString(layout_.Font);
  style_.FontColor = ToQColor(layout_.Color);
  style_.OutlineColor = ToQColor(layout_.OpaqueFontColor);
  style_.OutlineOn = layout_.OpaqueFontBorder;
  style_.PanelColor = ToQColor(layout_.Transparent ? keyColor_ : layout_.Background);
  const std::optional<QRgb> key =
      layout_.Transparent ? std::optional<QRgb>(style_.PanelColor.rgb()) : std::nullopt;
  for (auto& panel : panels_) {
    if (panel) panel->SetTransparentKey(key);
  }
}

void TOSD::RedrawVisible() {
  if (Visible(Element::Clock)) DrawClock(true);
  if (Visible(Element::Bar)) DrawBarPanel();
  if (Visible(Element::SoundMode)) DrawSoundMode();
  if (Visible(Element::Status)) DrawStatus();
  if (Visible(Element::Menu)) DrawMenu();
}

void TOSD::SetEnabled(bool on) {
  enabled_ = on;
  if (on) return;
  HideAll();
  Hide(Element::Status);
  statusShown_ = false;
}

void TOSD::SetColorKey(TColorRef color) {
  keyColor_ = color & 0xFFFFFF;
  ApplyStyle();
  // Pictures drawn in the old key would show it as a box: draw them in the new one.
  RedrawVisible();
}

void TOSD::SetMenuSource(QMenu* menu) {
  menuSource_.SetRoot(menu);
  nav_.Close();
  Hide(Element::Menu);
}

// ---- panels ---------------------------------------------------------------------------

bool TOSD::Visible(Element e) const {
  const TOsdPanel* panel = Panel(e);
  return panel && !panel->isHidden();
}

void TOSD::Hide(Element e) {
  if (TOsdPanel* panel = Panel(e)) panel->hide();
  if (e == Element::Bar) barContent_ = BarContent::None;
}

void TOSD::Place(Element e, const TOsdRect& rect) {
  if (TOsdPanel* panel = Panel(e)) panel->SetBounds(rect);
}

void TOSD::Touch() { lastShow_ = clock_->NowMs(); }

int TOSD::OwnerWidth() const { return owner_ ? owner_->width() : 0; }
int TOSD::OwnerHeight() const { return owner_ ? owner_->height() : 0; }

QString TOSD::TimeText(const QTime& time) {
  // The locale's long time format, without the time zone that Qt appends to it.
  static const QRegularExpression kZone(QStringLiteral("\\s*t+"));
  QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  format.remove(kZone);
  return QLocale::system().toString(time, format.trimmed());
}

// ---- elements -------------------------------------------------------------------------

void TOSD::ShowTime(int mode) { ShowClock(mode, true); }

void TOSD::ShowClock(int mode, bool restartDelay) {
  if (!Ready() || layout_.TimeSize == 0) return;
  if (mode == 0) {
    TimePersistent = false;
    Hide(Element::Clock);
    return;
  }
  if (mode != 1 && mode != 2) return;
  if (mode == 1) TimePersistent = true;
  if (Visible(Element::Clock)) return;
  Place(Element::Clock, ClockRect(layout_, OwnerWidth(), OwnerHeight()));
  lastClockText_.clear();
  DrawClock(true);
  Panel(Element::Clock)->ShowOnTop();
  if (restartDelay) Touch();
}

void TOSD::DrawClock(bool force) {
  TOsdPanel* panel = Panel(Element::Clock);
  if (!panel) return;
  const QString text = TimeText(clock_->TimeOfDay());
  if (!force && text == lastClockText_) return;
  lastClockText_ = text;
  PaintClock(panel->Picture(), style_, text);
  panel->Commit();
}

void TOSD::ShowSoundMode(int code) {
  if (!Ready()) return;
  soundMode_ = code;
  Place(Element::SoundMode, SoundModeRect(layout_, OwnerWidth(), OwnerHeight()));
  Touch();
  DrawSoundMode();
  Panel(Element::SoundMode)->ShowOnTop();
}

void TOSD::DrawSoundMode() {
  TOsdPanel* panel = Panel(Element::SoundMode);
  PaintSoundMode(panel->Picture(), style_, soundMode_, layout_.SoundAlignX);
  panel->Commit();
}

void TOSD::ShowText(const QString& text) {
  if (!Ready() || layout_.BarSize == 0) return;
  messageText_ = text;
  barContent_ = BarContent::Message;
  Place(Element::Bar,
        MessageRect(layout_, OwnerWidth(), OwnerHeight(), static_cast<int>(text.size())));
  Touch();
  DrawBarPanel();
  Panel(Element::Bar)->ShowOnTop();
}

void TOSD::ShowBar(const QString& label, int value) {
  if (!Ready()) return;
  // A visible bar keeps its place; a hidden panel, or one that holds a message (sized to
  // the message), is laid out as a bar again.
  if (!Visible(Element::Bar) || barContent_ != BarContent::Bar) {
    Place(Element::Bar, BarRect(layout_, OwnerWidth(), OwnerHeight()));
    Panel(Element::Bar)->ShowOnTop();
  }
  barContent_ = BarContent::Bar;
  messageText_ = label;
  barValueShown_ = value;
  DrawBarPanel();
  Touch();
}

void TOSD::DrawBarPanel() {
  TOsdPanel* panel = Panel(Element::Bar);
  if (barContent_ == BarContent::Bar) {
    PaintBar(panel->Picture(), style_, messageText_, barValueShown_);
  } else {
    PaintMessage(panel->Picture(), style_, messageText_);
  }
  panel->Commit();
}

void TOSD::ShowStatus(const QString& text) {
  // The same text again changes nothing while it is shown; once a re-layout hid it, the
  // owner's next call brings it back (a paused player's text does not change).
  if (!Ready() || layout_.BarSize == 0 || (text == statusText_ && statusShown_)) return;
  if (text.isEmpty()) {
    Hide(Element::Status);
    statusText_.clear();
    statusShown_ = false;
    return;
  }
  if (!statusShown_) Touch();
  const bool reshow = text.size() == 1 && text[0] == QChar(0);
  if (!reshow) statusText_ = text;
  LayoutStatus();
  DrawStatus();
  Panel(Element::Status)->ShowOnTop();
  statusShown_ = true;
}

void TOSD::LayoutStatus() {
  const int W = OwnerWidth();
  const int Hgt = OwnerHeight();
  const int ph = StatusHeight(layout_, W, Hgt);
  const int tw = StatusTextWidth(style_, ph, statusText_);
  Place(Element::Status, StatusRect(layout_, W, Hgt, tw, OutlineOffset(BarFontSize(ph))));
}

void TOSD::DrawStatus() {
  TOsdPanel* panel = Panel(Element::Status);
  PaintStatus(panel->Picture(), style_, statusText_);
  panel->Commit();
}

void TOSD::SetBarValue(int bar, int level) { bars_.SetLevel(bar, level); }

// ---- keys -----------------------------------------------------------------------------

void TOSD::HandleKey(int code) {
  if (!Ready()) return;
  if (nav_.IsOpen()) {
    HandleMenuKey(code);
    return;
  }
  if (code == KeyMenu) {
    if (!menuSource_.Root()) return;
    Hide(Element::Bar);
    nav_.Open(menuSource_);
    Place(Element::Menu, MenuRect(layout_, OwnerWidth(), OwnerHeight()));
    DrawMenu();
    Panel(Element::Menu)->ShowOnTop();
    return;
  }
  const TBarKeyResult result = bars_.HandleKey(code);
  if (!result.Show) return;
  ShowBar(DecodeLabel(labels_.Bars[static_cast<size_t>(result.Bar - 1)]), result.Value);
  if (result.Report && OnBarChange) OnBarChange(result.Bar, result.Level);
}

void TOSD::HandleMenuKey(int code) {
  // The owner may have rebuilt a submenu since the last key (a new file, new streams).
  const std::vector<int> before = nav_.Path();
  nav_.Revalidate(menuSource_);
  if (nav_.Path() != before) DrawMenu();
  switch (code) {
    case KeyUp:
    case KeyDown: {
      const TOsdMenuMove move = code == KeyUp ? nav_.MoveUp(menuSource_, MenuRowsThatFit())
                                              : nav_.MoveDown(menuSource_, MenuRowsThatFit());
      if (!move.Moved) return;
      if (move.Paged) {
        DrawMenu();
      } else {
        DrawMenuRows(move.OldRow, move.NewRow);
      }
      return;
    }
    case KeyRight:
      ActivateMenuItem();
      return;
    case KeyLeft:
      if (nav_.Ascend()) DrawMenu();
      return;
    default:
      return;  // the menu key does nothing while the menu is open
  }
}

void TOSD::ActivateMenuItem() {
  const auto items = menuSource_.Level(nav_.LevelPath());
  const int sel = nav_.Selected();
  if (sel < 0 || sel >= static_cast<int>(items.size())) return;
  const TOsdMenuItem& item = items[static_cast<size_t>(sel)];
  if (!item.Selectable() || !item.Enabled) return;
  QAction* action = menuSource_.ActionAt(nav_.Path());
  if (!action) return;
  if (item.HasSubmenu) {
    // A popup fills some submenus just before they open; do the same for the OSD.
    emit action->menu()->aboutToShow();
    if (nav_.Descend(menuSource_)) DrawMenu();
    return;
  }
  // The command may rebuild the menu, hide the OSD or even destroy it.
  const std::weak_ptr<bool> alive = alive_;
  action->trigger();
  if (alive.expired() || !*alive.lock() || !nav_.IsOpen() || !enabled_) return;
  nav_.Revalidate(menuSource_);
  if (nav_.IsOpen()) DrawMenu();
}

// ---- menu drawing ---------------------------------------------------------------------

int TOSD::MenuRowsThatFit() const {
  const TOsdPanel* panel = Panel(Element::Menu);
  return osd::MenuRowsThatFit(panel ? panel->height() : 0, MenuRowHeight(layout_, OwnerHeight()));
}

void TOSD::FillMenuRowInfo(int itemIndex, TOsdMenuRowInfo& info) const {
  std::vector<int> path = nav_.LevelPath();
  path.push_back(itemIndex);
  const QAction* action = menuSource_.ActionAt(path);
  if (!action) return;
  info.Caption = PlainCaption(action->text());
  info.Separator = action->isSeparator() || action->text() == QLatin1String("-");
  info.Enabled = action->isEnabled();
  info.Checked = action->isChecked();
  info.HasSubmenu = action->menu() && !action->menu()->actions().isEmpty();
  info.Selected = itemIndex == nav_.Selected() && !info.Separator;
}

void TOSD::DrawMenu() {
  TOsdPanel* panel = Panel(Element::Menu);
  if (!panel || !nav_.IsOpen()) return;
  QImage& picture = panel->Picture();
  const int r = MenuRowHeight(layout_, OwnerHeight());
  picture.fill(style_.PanelColor);
  QString title = DecodeLabel(labels_.MenuTitle);
  if (nav_.Depth() > 1) {
    if (const QAction* parent = menuSource_.ActionAt(nav_.LevelPath())) {
      title = PlainCaption(parent->text());
    }
  }
  PaintMenuTitle(picture, style_, r, title);
  const auto items = menuSource_.Level(nav_.LevelPath());
  const auto rows = TOsdMenuNav::ShownRows(items, nav_.MenuTop(), MenuRowsThatFit());
  for (size_t row = 0; row < rows.size(); ++row) {
    TOsdMenuRowInfo info;
    FillMenuRowInfo(rows[row], info);
    PaintMenuRow(picture, style_, r, static_cast<int>(row), &info);
  }
  panel->Commit();
  Touch();
}

void TOSD::DrawMenuRows(int oldRow, int newRow) {
  TOsdPanel* panel = Panel(Element::Menu);
  if (!panel) return;
  const int r = MenuRowHeight(layout_, OwnerHeight());
  const auto items = menuSource_.Level(nav_.LevelPath());
  const auto rows = TOsdMenuNav::ShownRows(items, nav_.MenuTop(), MenuRowsThatFit());
  for (int row : {oldRow, newRow}) {
    if (row < 0 || row >= static_cast<int>(rows.size())) continue;
    TOsdMenuRowInfo info;
    FillMenuRowInfo(rows[static_cast<size_t>(row)], info);
    PaintMenuRow(panel->Picture(), style_, r, row, &info);
    panel->Commit(MenuRowRect(panel->Picture(), r, row));
  }
  Touch();
}

// ---- time and hiding ------------------------------------------------------------------

void TOSD::Tick() {
  if (!enabled_) return;
  if (TimePersistent || Visible(Element::Clock)) DrawClock(false);
  if (lastShow_ && clock_->NowMs() - *lastShow_ > int64_t{layout_.Delay} * 1000) {
    lastShow_.reset();
    bars_.BarIndex = 0;
    HideAll();
  }
}

void TOSD::HideAll() {
  for (Element e : {Element::ChanNum, Element::ChanName, Element::SoundMode, Element::Bar,
                    Element::Menu}) {
    Hide(e);
  }
  nav_.Close();
  if (!TimePersistent) Hide(Element::Clock);
  if (StatusByOwner) {
    Hide(Element::Status);
    statusText_.clear();
    statusShown_ = false;
  }
  if (OnHide) OnHide(this);
}

void TOSD::HideForResize() {
  if (!enabled_) return;
  for (int i = 0; i < kElementCount; ++i) Hide(static_cast<Element>(i));
  nav_.Close();
  statusShown_ = false;
}

void TOSD::Relayout() {
  // Bringing the kept clock back is no new show: restarting the delay here would make the
  // time-out's HideAll re-lay out the owner, whose re-layout comes back here, every Delay
  // seconds for as long as the clock is kept.
  if (enabled_ && TimePersistent) ShowClock(1, false);
}

}  // namespace kv
