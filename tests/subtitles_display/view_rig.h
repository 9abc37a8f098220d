// The subtitle controller on a stand-in main window (offscreen): a fake host whose engine
// position runs on a fake clock, SubTimer on the same clock, a playlist over temporary
// subtitle files, a private subtitle list and a captured log.
#pragma once

#include <QApplication>
#include <QMenu>
#include <QWidget>

#include <memory>
#include <string>

#include "display_test_support.h"
#include "playlist/playlist.h"
#include "subtitles/subtitle_controller.h"
#include "subtitles/subtitle_host.h"

namespace kv::test {

// The binary's QApplication (made by qt_test_main.cpp).
inline QApplication& TestApp() {
  return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

class TFakeHost final : public ISubtitleHost {
 public:
  explicit TFakeHost(TFakePlayer& player) : player_(player) {}
  TSubtitlePlayback State = TSubtitlePlayback::NoEngine;
  TSubtitleSettings Values;
  TPlaylist List;
  int Title = 0;
  QRect Video{0, 30, 750, 360};
  bool FullScreen = false;
  int Fits = 0;
  bool UpdatingNow = false;
  int UpdatingSets = 0;

  TSubtitlePlayback Playback() const override { return State; }
  std::int32_t GetPosition() override { return player_.Position(); }
  TSubtitleSettings Settings() const override { return Values; }
  const TPlaylist& Playlist() const override { return List; }
  int TitleIndex() const override { return Title; }
  QRect VideoArea() const override { return Video; }
  bool Fullscreen() const override { return FullScreen; }
  void FitVideoWindow() override { ++Fits; }
  bool Updating() const override { return UpdatingNow; }
  void SetUpdating(bool updating) override {
    UpdatingNow = updating;
    ++UpdatingSets;
  }

 private:
  TFakePlayer& player_;
};

// SubRip text with entries A (1000-3000), B (4000-6000) and C (5500-8000, overlapping B).
inline const char* kSampleSrt =
    "1\r\n00:00:01,000 --> 00:00:03,000\r\nAlpha\r\n\r\n"
    "2\r\n00:00:04,000 --> 00:00:06,000\r\nBravo|two\r\n\r\n"
    "3\r\n00:00:05,500 --> 00:00:08,000\r\nCharlie\r\n\r\n";

class TViewRig {
 public:
  explicit TViewRig(int width = 750, int height = 420) : player(clock), host(player) {
    TestApp();
    owner = std::make_unique<QWidget>();
    owner->resize(width, height);
    host.Video = QRect(0, 30, width, height - 60);
    menu = std::make_unique<QMenu>();
    const int title = host.List.AddTitle(dir.Path("movie.avi"));
    Srt = host.List.AddChild(title, dir.Write("movie.srt", kSampleSrt));
    host.List.AddChild(title, dir.Write("notes.txt", "just some notes\n"));
    host.List.AddChild(title, dir.Write("movie.wav", "RIFF"));
    Sub = host.List.AddChild(title, dir.Write("frames.sub", "{25}{50}Frames\r\n"));
    Other = host.List.AddTitle(dir.Path("other.avi"));
    auto t = std::make_unique<TFakeSubtitleTimer>(clock);
    timer = t.get();
    controller = std::make_unique<TSubtitleController>(owner.get(), host, menu.get(), list,
                                                       log.Log, std::move(t));
    controller->DumpFileName = dir.Path("zorsub.sub");
    controller->VideoFramerate = 25;
    controller->KeyColor = 0x100010;
  }

  QAction* Item(int i) const { return menu->actions().value(i); }
  // Triggers a menu entry as a click does (Qt toggles its check mark first).
  void Click(int i) const { Item(i)->trigger(); }
  void Play() {
    host.State = TSubtitlePlayback::Running;
    player.Run();
  }
  void Advance(std::int64_t ms) { RunClock(clock, *timer, clock.Now + ms); }

  TTempDir dir;
  TFakeClock clock;
  TFakePlayer player;
  TFakeHost host;
  TLogCapture log;
  TSubTitles list;
  std::unique_ptr<QWidget> owner;
  std::unique_ptr<QMenu> menu;
  TFakeSubtitleTimer* timer = nullptr;
  std::unique_ptr<TSubtitleController> controller;
  int Srt = -1, Sub = -1, Other = -1;
};

}  // namespace kv::test
