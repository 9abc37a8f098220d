// The mixer's connection to the sound server, made off the user-interface thread: a server
// that is slow to answer (or never does) must not hold the window and its first picture.
#include <QApplication>

#include <utility>

#include "app/mainform.h"
#include "debugsup/debugsup.h"
#include "mixer/audio_mixer.h"
#include "osd/osdunit.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::StartMixerConnection() {
  QPointer<TMainForm> self(this);
  mixerThread_ = std::jthread([self] {
    // TAudioMixer connects with a short time-out, so this thread always ends. The box hands
    // the mixer to the window's thread; if the window is gone by then, it goes with the box.
    auto box = std::make_shared<std::unique_ptr<TAudioMixer>>(std::make_unique<TAudioMixer>());
    // Change events come on the sound server's event thread: hand them to the window's.
    (*box)->OnControlChange = [self](uint32_t) {
      QMetaObject::invokeMethod(qApp, [self]() {
        if (self) self->AudioMixerControlChange();
      }, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(qApp, [self, box]() {
      if (self) self->MixerConnected(std::move(*box));
    }, Qt::QueuedConnection);
  });
}

void TMainForm::JoinMixerConnection() {
  if (mixerThread_.joinable()) mixerThread_.join();
}

void TMainForm::MixerConnected(std::unique_ptr<TAudioMixer> mixer) {
  JoinMixerConnection();  // it posted this as its last act
  if (closed_ || AudioMixer || !mixer) return;
  AudioMixer = std::move(mixer);
  const bool haveMixer = !AudioMixer->Destinations().empty();
  Debug.TextOut(haveMixer ? "Mixer connected" : "No mixer: no sound server");
  if (!OnScreen || !Options) return;
  OnScreen->SetBarGroupEnabled(1, haveMixer);
  if (!haveMixer) return;
  const int pending = std::exchange(pendingBarVolume_, -1);
  if (pending >= 0 && OnScreen->OnBarChange) {
    // A volume set while connecting is the user's latest word: the server gets it.
    OnScreen->OnBarChange(1, pending);
  } else if (ReadMasterVolume()) {
    OnScreen->SetBarValue(1, Options->Volume / 256);
  }
}

}  // namespace kv
