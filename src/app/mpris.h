// The player on the session bus as an MPRIS media player (org.mpris.MediaPlayer2 and its
// .Player interface), so desktop media keys, a desktop's media widget and `playerctl`
// control it. Every call is routed to the same commands the menu runs.
//
// Threads: user-interface thread (the Qt event loop delivers D-Bus calls there).
// Owned by the main window; registers "org.mpris.MediaPlayer2.kavello" when a session bus
// exists and does nothing otherwise.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace kv {

// What the bus may ask of the player. Times are microseconds as MPRIS counts them.
class MprisTarget {
 public:
  virtual ~MprisTarget() = default;
  virtual void MprisPlay() = 0;
  virtual void MprisPause() = 0;
  virtual void MprisPlayPause() = 0;
  virtual void MprisStop() = 0;
  virtual void MprisNext() = 0;
  virtual void MprisPrevious() = 0;
  virtual void MprisSeekBy(qint64 offsetUs) = 0;
  virtual void MprisSetPosition(qint64 positionUs) = 0;
  virtual void MprisOpenUri(const QString& uri) = 0;
  virtual void MprisRaise() = 0;
  virtual void MprisQuit() = 0;
  virtual void MprisSetRate(double rate) = 0;
  virtual void MprisSetVolume(double volume) = 0;  // 0..1

  // "Playing", "Paused" or "Stopped".
  virtual QString MprisStatus() const = 0;
  virtual qint64 MprisPositionUs() const = 0;
  virtual qint64 MprisLengthUs() const = 0;
  virtual QString MprisCurrentFile() const = 0;
  virtual double MprisRate() const = 0;
  virtual double MprisVolume() const = 0;
  virtual bool MprisCanGoNext() const = 0;
  virtual bool MprisCanGoPrevious() const = 0;
};

class MprisService : public QObject {
  Q_OBJECT
 public:
  MprisService(MprisTarget* target, QObject* parent = nullptr);
  ~MprisService() override;
  // Registers on the session bus; false when there is no bus or the name is taken.
  bool Register();
  // Tells listeners that status, metadata, rate or volume may have changed.
  void NotifyChanged();
  // A jump in position (seek) for the Seeked signal.
  void NotifySeeked();

  MprisTarget* Target() const { return target_; }

 private:
  MprisTarget* target_;
  bool registered_ = false;
  QVariantMap last_;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
 public:
  explicit MprisRootAdaptor(MprisService* service);
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Kavello"); }
  QString DesktopEntry() const { return QStringLiteral("kavello"); }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
  QStringList SupportedMimeTypes() const;
 public slots:
  void Raise();
  void Quit();

 private:
  MprisService* service_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)
 public:
  explicit MprisPlayerAdaptor(MprisService* service);
  QString PlaybackStatus() const;
  double Rate() const;
  void SetRate(double rate);
  double MinimumRate() const { return 0.1; }
  double MaximumRate() const { return 100.0; }
  QVariantMap Metadata() const;
  double Volume() const;
  void SetVolume(double volume);
  qlonglong Position() const;
  bool CanGoNext() const;
  bool CanGoPrevious() const;
  bool CanPlay() const { return true; }
  bool CanPause() const { return true; }
  bool CanSeek() const { return true; }
  bool CanControl() const { return true; }

 public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next();
  void Previous();
  void Seek(qlonglong offset);
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
  void OpenUri(const QString& uri);

 signals:
  void Seeked(qlonglong position);

 private:
  MprisService* service_;
};

}  // namespace kv
