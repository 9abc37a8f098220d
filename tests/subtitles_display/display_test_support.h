// Helpers of the subtitle display tests: a fake clock with a SubTimer and a player on it,
// a log captured in a temporary file, temporary directories and lists built from tables.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "debugsup/debugsup.h"
#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_timer.h"

namespace kv::test {

// Milliseconds that only the test moves.
struct TFakeClock {
  std::int64_t Now = 0;
};

// SubTimer on the fake clock: Enable arms it for Now + Interval; FireDue fires it when the
// clock has reached that moment. A timer fires once per Enable, like the single-shot QTimer.
class TFakeSubtitleTimer final : public ISubtitleTimer {
 public:
  explicit TFakeSubtitleTimer(TFakeClock& clock) : clock_(clock) {}
  void SetInterval(std::int32_t ms) override { interval_ = ms; }
  std::int32_t Interval() const override { return interval_; }
  void Enable() override {
    enabled_ = true;
    due_ = clock_.Now + interval_;
  }
  void Disable() override { enabled_ = false; }
  bool Enabled() const override { return enabled_; }
  std::int64_t Due() const { return due_; }
  int Fired = 0;

  // Fires when armed and due at the clock's time; true when it fired.
  bool FireDue() {
    if (!enabled_ || due_ > clock_.Now) return false;
    enabled_ = false;
    ++Fired;
    if (OnTimer) OnTimer();
    return true;
  }

 private:
  TFakeClock& clock_;
  std::int32_t interval_ = 1000;
  bool enabled_ = false;
  std::int64_t due_ = 0;
};

// A player whose position runs with the fake clock while it plays.
class TFakePlayer {
 public:
  explicit TFakePlayer(TFakeClock& clock) : clock_(clock) {}
  std::int32_t Position() const {
    return static_cast<std::int32_t>(running_ ? base_ + (clock_.Now - since_) : base_);
  }
  bool Running() const { return running_; }
  void Run() {
    if (running_) return;
    since_ = clock_.Now;
    running_ = true;
  }
  void Pause() {
    base_ = Position();
    running_ = false;
  }
  void Seek(std::int32_t position) {
    base_ = position;
    since_ = clock_.Now;
  }

 private:
  TFakeClock& clock_;
  bool running_ = false;
  std::int64_t base_ = 0;
  std::int64_t since_ = 0;
};

// Moves the clock to `until`, stopping at every moment the timer is due and firing it there.
void RunClock(TFakeClock& clock, TFakeSubtitleTimer& timer, std::int64_t until);

// A fresh directory under the system temp folder, removed by the destructor.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string Write(const std::string& name, const std::string& bytes) const;
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// A TDebug writing to a file of its own with a fixed stamp; Lines() gives the texts.
class TLogCapture {
 public:
  TLogCapture();
  TDebug Log;
  std::vector<std::string> Lines() const;  // texts without the stamp
  bool Contains(const std::string& text) const;
  void Clear();

 private:
  TTempDir dir_;
};

struct TItem {
  std::uint32_t Start;
  std::uint32_t Stop;
  std::string Text;
};
// A list holding `items` as if read from a file.
TSubTitles MakeList(const std::vector<TItem>& items);

}  // namespace kv::test
