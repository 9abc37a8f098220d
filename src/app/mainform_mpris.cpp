// The MPRIS commands: the same commands the menu runs.
#include "app/mainform.h"
#include "osd/osdunit.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::MprisPlay() {
  if (Player && Player->State == psPaused) MMPauseClick();
  else MMPlayClick();
}
void TMainForm::MprisPause() {
  if (Player && Player->State == psRunning) MMPauseClick();
}
void TMainForm::MprisPlayPause() {
  if (Player && (Player->State == psRunning || Player->State == psPaused)) MMPauseClick();
  else MMPlayClick();
}
void TMainForm::MprisStop() { MMStopClick(); }
void TMainForm::MprisNext() { MMNextClick(); }
void TMainForm::MprisPrevious() { MMPrevClick(); }

void TMainForm::MprisSeekBy(qint64 offsetUs) {
  if (!Player || (Player->State != psRunning && Player->State != psPaused)) return;
  qint64 target = Player->GetPosition() + offsetUs / 1000;
  if (target < 0) target = 0;
  const qint64 duration = Player->GetDuration();
  if (target > duration) {
    MMNextClick();  // seeking past the end moves to the next title, as MPRIS asks
    return;
  }
  SeekTo(static_cast<int32_t>(target));
}

void TMainForm::MprisSetPosition(qint64 positionUs) {
  if (positionUs < 0 || !Player || positionUs / 1000 > Player->GetDuration()) return;  // MPRIS: ignored
  // A desktop that sets a position (a seek bar, a script) means that position: an exact seek.
  // Relative seeks (MPRIS Seek) step like the program's own seek keys, to the key frame.
  SeekTo(static_cast<int32_t>(positionUs / 1000), true);
}

void TMainForm::MprisOpenUri(const QString& uri) { PlayFileNow(uri.toStdString()); }

void TMainForm::MprisRaise() {
  showNormal();
  raise();
  activateWindow();
}

void TMainForm::MprisQuit() { MMExitClick(); }

void TMainForm::MprisSetRate(double rate) {
  if (!Player) return;
  Player->SetRate(rate);
  UpdateRateChecks();
}

void TMainForm::MprisSetVolume(double volume) {
  const int level = static_cast<int>(volume * 255 + 0.5);
  if (OnScreen) OnScreen->SetBarValue(1, level);
  if (OnScreen && OnScreen->OnBarChange) OnScreen->OnBarChange(1, level);
}

QString TMainForm::MprisStatus() const {
  if (!Player) return QStringLiteral("Stopped");
  switch (Player->State) {
    case psRunning: return QStringLiteral("Playing");
    case psPaused: return QStringLiteral("Paused");
    default: return QStringLiteral("Stopped");
  }
}

qint64 TMainForm::MprisPositionUs() const {
  return Player && Player->Graph ? static_cast<qint64>(Player->GetPosition()) * 1000 : 0;
}

qint64 TMainForm::MprisLengthUs() const {
  return Player && Player->Graph ? static_cast<qint64>(Player->GetDuration()) * 1000 : 0;
}

QString TMainForm::MprisCurrentFile() const { return QString::fromStdString(CurrentFile); }
double TMainForm::MprisRate() const { return Player ? Player->GetRate() : 1.0; }
double TMainForm::MprisVolume() const { return Options ? Options->Volume / 65535.0 : 0.0; }

bool TMainForm::MprisCanGoNext() const {
  for (int i = TitleIndex + 1; i < Playlist.Count(); ++i)
    if (Playlist.IsTopLevel(i)) return true;
  return false;
}

bool TMainForm::MprisCanGoPrevious() const {
  for (int i = TitleIndex - 1; i >= 0; --i)
    if (Playlist.IsTopLevel(i)) return true;
  return false;
}

}  // namespace kv
