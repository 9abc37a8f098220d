#include "app/subtitle_host_adapter.h"

#include "app/mainform.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_settings.h"

namespace kv {

TSubtitlePlayback TSubtitleHostAdapter::Playback() const {
  if (!form_.Player) return TSubtitlePlayback::NoEngine;
  switch (form_.Player->State) {
    case psRunning: return TSubtitlePlayback::Running;
    case psPaused: return TSubtitlePlayback::Paused;
    default: return TSubtitlePlayback::Other;
  }
}

std::int32_t TSubtitleHostAdapter::GetPosition() { return form_.Player ? form_.Player->GetPosition() : 0; }
TSubtitleSettings TSubtitleHostAdapter::Settings() const { return SubtitleSettingsFrom(*Options); }
const TPlaylist& TSubtitleHostAdapter::Playlist() const { return form_.Playlist; }
int TSubtitleHostAdapter::TitleIndex() const { return form_.TitleIndex; }
QRect TSubtitleHostAdapter::VideoArea() const { return form_.VideoArea ? form_.VideoArea->geometry() : QRect(); }
bool TSubtitleHostAdapter::Fullscreen() const { return form_.Fullscreen; }
void TSubtitleHostAdapter::FitVideoWindow() {
  if (form_.Player) form_.Player->FitVideoWindow();
}
bool TSubtitleHostAdapter::Updating() const { return form_.Updating; }
void TSubtitleHostAdapter::SetUpdating(bool updating) { form_.Updating = updating; }

}  // namespace kv
