// ISubtitleHost: what the subtitle display needs from the main window and the engine.
//
// The main window implements it (a few one-line functions over `Player`, `Options`, the
// playlist and its geometry fields); tests implement it with a fake player whose position
// follows a fake clock. Called on the user-interface thread only.
#pragma once

#include <QRect>

#include <cstdint>

#include "subtitles/subtitle_settings.h"

namespace kv {

class TPlaylist;

// The engine's state as far as subtitles care.
enum class TSubtitlePlayback {
  NoEngine,  // no engine object
  Running,   // psRunning
  Paused,    // psPaused
  Other      // opened, stopped, empty, none
};

class ISubtitleHost {
 public:
  virtual ~ISubtitleHost() = default;

  virtual TSubtitlePlayback Playback() const = 0;
  // Playback position in milliseconds (the engine's GetPosition); only asked with an engine.
  virtual std::int32_t GetPosition() = 0;
  // The subtitle settings as they stand now (read on every draw).
  virtual TSubtitleSettings Settings() const = 0;
  // The playlist tree and the index of the current title in it.
  virtual const TPlaylist& Playlist() const = 0;
  virtual int TitleIndex() const = 0;
  // The video area in the main window's client coordinates.
  virtual QRect VideoArea() const = 0;
  // The "Full screen" state of the window (MMFullscreen checked).
  virtual bool Fullscreen() const = 0;
  // Asks the engine to fit its video window to the video area again (the opaque box may have
  // covered a new part of the window). Only called when an engine exists.
  virtual void FitVideoWindow() = 0;
  // The window's re-entrance guard `Updating`: set while the strip is being drawn, then put
  // back as it was (a draw inside the window's own re-layout must not end its guard).
  virtual bool Updating() const = 0;
  virtual void SetUpdating(bool updating) = 0;
};

}  // namespace kv
