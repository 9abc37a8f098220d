// The main window as the subtitle display sees it (ISubtitleHost): the engine's state and
// position, the settings, the playlist, the video area and the re-entrance guard.
#pragma once

#include "subtitles/subtitle_host.h"

namespace kv {

class TMainForm;

class TSubtitleHostAdapter : public ISubtitleHost {
 public:
  explicit TSubtitleHostAdapter(TMainForm& form) : form_(form) {}
  TSubtitlePlayback Playback() const override;
  std::int32_t GetPosition() override;
  TSubtitleSettings Settings() const override;
  const TPlaylist& Playlist() const override;
  int TitleIndex() const override;
  QRect VideoArea() const override;
  bool Fullscreen() const override;
  void FitVideoWindow() override;
  bool Updating() const override;
  void SetUpdating(bool updating) override;

 private:
  TMainForm& form_;
};

}  // namespace kv
