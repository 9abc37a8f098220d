// TControlPanel: the floating control panel window.
//
// What it is: a tool window owned by the player's main window (so it follows minimising and
// stays above it) with transport buttons, a position slider with elapsed and remaining
// time, full screen / minimise / media properties / exit buttons, the master volume with a
// mute button, the media information and four bitrate displays. It shows what the player's
// commands tell (HandleCommand) and turns clicks into requests (the Request handler); it
// knows nothing else of the player. Its own placement is kept in a settings file under the
// registry root the player names (code 50).
// Ownership: created and deleted by the library's exports (panel_export.cpp).
// Threads: the user-interface thread; the master volume's changes are posted to it.
#pragma once

#include <QPointer>
#include <QSlider>
#include <QStyle>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QGridLayout;
class QLabel;
class QToolButton;

namespace kv::cappanel {

class TMasterVolume;

// A position slider that jumps to the click, tells the value under the mouse while dragged
// and asks for the seek only on release.
class TSeekSlider : public QSlider {
  Q_OBJECT
 public:
  explicit TSeekSlider(QWidget* parent);
  bool Dragging() const { return dragging_; }
  // The playback position: the handle moves (and the slider repaints) only when it lands on
  // another pixel; a film of an hour moves it about once a second, not at every tick.
  void ShowValue(int value);

 signals:
  void dragged(int value);
  void released(int value);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int ValueAt(const QPoint& pos) const;
  int HandleAt(int value) const;  // the handle's pixel offset for `value`
  bool dragging_ = false;
};

class TControlPanel : public QWidget {
  Q_OBJECT
 public:
  TControlPanel(QWidget* owner, const std::string& registryRoot);
  ~TControlPanel() override;

  // Sends a request to the player; true when it was understood.
  std::function<bool(int32_t code, int32_t a, int32_t b)> Request;

  // One command of the player (text is null when the command carries none).
  void HandleCommand(int32_t code, int32_t a, int32_t b, const char* text);
  // Shows the panel where it was last time, or beside the player's window.
  void ShowPanel();
  // Hides the panel, keeping its placement.
  void HidePanel();
  void TakeFocus();
  // Where the placement is kept: the settings file and the group under it.
  static QString SettingsGroup(const std::string& registryRoot);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QToolButton* Button(const char* name, const char* icon, QStyle::StandardPixmap fallback,
                      const QString& tip, int32_t request);
  void BuildInfo(QGridLayout* grid);
  void UpdateTimes();
  void SavePlacement();
  bool RestorePlacement();
  void PlaceBesideOwner();
  void MasterVolumeChanged(int percent, bool muted);

  std::string registryRoot_;
  int32_t ownerLeft_ = 0, ownerTop_ = 0, ownerWidth_ = 0, ownerHeight_ = 0;
  bool ownerKnown_ = false;
  bool autoPlaced_ = false;  // the panel placed itself beside the window, at autoPlace_
  QPoint autoPlace_;
  int32_t positionTenths_ = 0, remainingTenths_ = 0, durationTenths_ = 0;
  int32_t sampleRate_ = 0, channels_ = 0, bits_ = 0;
  std::string videoFormat_, videoCodec_;

  TSeekSlider* position_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QLabel* remaining_ = nullptr;
  QSlider* volume_ = nullptr;
  QToolButton* mute_ = nullptr;
  QLabel* fileName_ = nullptr;
  QLabel* picture_ = nullptr;
  QLabel* frameRate_ = nullptr;
  QLabel* videoFormatLabel_ = nullptr;
  QLabel* audioFormat_ = nullptr;
  QLabel* audioCodec_ = nullptr;
  QLabel* fileSize_ = nullptr;
  QLabel* freeSpace_ = nullptr;
  QLabel* bitrates_[4] = {};
  std::unique_ptr<TMasterVolume> master_;
};

}  // namespace kv::cappanel
