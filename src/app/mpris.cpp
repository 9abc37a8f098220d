#include "app/mpris.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QUrl>

#include "platform/desktop/session_bus.h"

namespace kv {
namespace {
const char* kPath = "/org/mpris/MediaPlayer2";
const char* kService = "org.mpris.MediaPlayer2.kavello";
const char* kTrackPath = "/org/kavello/track/current";
}  // namespace

MprisService::MprisService(MprisTarget* target, QObject* parent) : QObject(parent), target_(target) {
  new MprisRootAdaptor(this);
  new MprisPlayerAdaptor(this);
}

MprisService::~MprisService() {
  if (registered_) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kPath);
    bus.unregisterService(kService);
  }
}

bool MprisService::Register() {
  if (!desktop::SessionBusAvailable()) return false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  if (!bus.registerObject(kPath, this)) return false;
  if (!bus.registerService(kService)) {
    bus.unregisterObject(kPath);
    return false;
  }
  registered_ = true;
  return true;
}

void MprisService::NotifyChanged() {
  if (!registered_) return;
  auto* player = findChild<MprisPlayerAdaptor*>();
  if (!player) return;
  QVariantMap now;
  now["PlaybackStatus"] = player->PlaybackStatus();
  now["Metadata"] = player->Metadata();
  now["Rate"] = player->Rate();
  now["Volume"] = player->Volume();
  now["CanGoNext"] = player->CanGoNext();
  now["CanGoPrevious"] = player->CanGoPrevious();
  QVariantMap changed;
  for (auto it = now.cbegin(); it != now.cend(); ++it)
    if (last_.value(it.key()) != it.value()) changed[it.key()] = it.value();
  last_ = now;
  if (changed.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
  signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

void MprisService::NotifySeeked() {
  if (!registered_) return;
  if (auto* player = findChild<MprisPlayerAdaptor*>()) emit player->Seeked(player->Position());
}

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
  return {"video/x-msvideo", "video/mpeg", "video/x-matroska", "video/webm", "video/ogg",
          "video/x-ms-asf", "video/x-ms-wmv", "video/mp4", "video/quicktime", "video/mp2t",
          "audio/mpeg", "audio/x-wav", "audio/ogg", "audio/x-ms-wma"};
}

void MprisRootAdaptor::Raise() { service_->Target()->MprisRaise(); }
void MprisRootAdaptor::Quit() { service_->Target()->MprisQuit(); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {
  setAutoRelaySignals(true);
}

QString MprisPlayerAdaptor::PlaybackStatus() const { return service_->Target()->MprisStatus(); }
double MprisPlayerAdaptor::Rate() const { return service_->Target()->MprisRate(); }
void MprisPlayerAdaptor::SetRate(double rate) {
  if (rate <= 0) return;  // MPRIS says a rate of 0 must not be set; pausing is the client's job
  service_->Target()->MprisSetRate(rate);
}
double MprisPlayerAdaptor::Volume() const { return service_->Target()->MprisVolume(); }
void MprisPlayerAdaptor::SetVolume(double volume) {
  service_->Target()->MprisSetVolume(volume < 0 ? 0 : (volume > 1 ? 1 : volume));
}
qlonglong MprisPlayerAdaptor::Position() const { return service_->Target()->MprisPositionUs(); }
bool MprisPlayerAdaptor::CanGoNext() const { return service_->Target()->MprisCanGoNext(); }
bool MprisPlayerAdaptor::CanGoPrevious() const { return service_->Target()->MprisCanGoPrevious(); }

QVariantMap MprisPlayerAdaptor::Metadata() const {
  QVariantMap m;
  const QString file = service_->Target()->MprisCurrentFile();
  if (file.isEmpty()) return m;
  m["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath(kTrackPath));
  m["mpris:length"] = static_cast<qlonglong>(service_->Target()->MprisLengthUs());
  m["xesam:url"] = QUrl::fromLocalFile(file).toString();
  m["xesam:title"] = file.section('/', -1);
  return m;
}

void MprisPlayerAdaptor::Play() { service_->Target()->MprisPlay(); }
void MprisPlayerAdaptor::Pause() { service_->Target()->MprisPause(); }
void MprisPlayerAdaptor::PlayPause() { service_->Target()->MprisPlayPause(); }
void MprisPlayerAdaptor::Stop() { service_->Target()->MprisStop(); }
void MprisPlayerAdaptor::Next() { service_->Target()->MprisNext(); }
void MprisPlayerAdaptor::Previous() { service_->Target()->MprisPrevious(); }
void MprisPlayerAdaptor::Seek(qlonglong offset) {
  service_->Target()->MprisSeekBy(offset);  // the player's seek routine tells Seeked
}
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  // A stale track id (the track changed meanwhile) is ignored, as MPRIS asks.
  if (trackId.path() != QLatin1String(kTrackPath)) return;
  if (position < 0 || position > service_->Target()->MprisLengthUs()) return;
  service_->Target()->MprisSetPosition(position);
}
void MprisPlayerAdaptor::OpenUri(const QString& uri) {
  QUrl url(uri);
  if (!url.isLocalFile()) return;
  service_->Target()->MprisOpenUri(url.toLocalFile());
}

}  // namespace kv
