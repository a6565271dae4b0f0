#pragma once

#include "player_engine.h"
#include <QDBusAbstractAdaptor>

#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <functional>

namespace velune {

class PlayerWindow;

// The player on the session bus, as org.mpris.MediaPlayer2.VelunePlayer: MPRIS 2
// for media keys, the desktop's sound menu and playerctl, and Open for a second
// start of the player that hands its files over. Every call takes the same path
// in the window as the face's buttons.
class DesktopBus : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.mpris.MediaPlayer2.VelunePlayer";

    DesktopBus(PlayerWindow& player, std::function<void()> raise, QObject* parent = nullptr);

    // Takes the name on the session bus; false when there is no bus or the name is taken.
    bool Register();
    // Hands the files to the player that holds the name; false when none answers.
    static bool HandOver(const QStringList& files);

    // For the adaptors.
    PlayerWindow& player() { return player_; }
    void Raise() { raise_(); }
    QVariantMap Metadata();
    // The row heard, by its own id: it keeps it through sorts and removals.
    QDBusObjectPath TrackId() const;
    QString Status() const;
    bool CanSeek();
    // Announces what has changed since the last look (PropertiesChanged), and a seek
    // the engine has carried out (Seeked, with the position it went to).
    void Refresh();

signals:
    void Seeked(qlonglong position);

private:
    QVariantMap PlayerProperties();
    // Takes what is known of the track heard. While the engine has yet to answer a
    // command its reads are blank: what was known of the same track stays.
    void Follow();

    PlayerWindow& player_;
    std::function<void()> raise_;
    QTimer poll_;
    QVariantMap announced_;
    struct Track {
        QString id;
        TrackInfo info;
        double lengthMs = -1;
        bool exactLength = false; // the engine's, not the header's
        bool seekable = false;
    } track_;
    int seeks_ = 0; // the window's seeks announced
};

// org.mpris.MediaPlayer2
class MprisRoot : public QDBusAbstractAdaptor {
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
    explicit MprisRoot(DesktopBus* bus) : QDBusAbstractAdaptor(bus), bus_(bus) {}
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("VelunePlayer"); }
    QString DesktopEntry() const { return QStringLiteral("velune-player"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const;

public slots:
    void Raise() { bus_->Raise(); }
    void Quit();

private:
    DesktopBus* bus_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit MprisPlayer(DesktopBus* bus);
    QString PlaybackStatus() const { return bus_->Status(); }
    QString LoopStatus() const;
    void SetLoopStatus(const QString& status);
    double Rate() const { return 1.0; }
    void SetRate(double) {}
    bool Shuffle() const;
    void SetShuffle(bool on);
    QVariantMap Metadata() const { return bus_->Metadata(); }
    double Volume() const;
    void SetVolume(double volume);
    qlonglong Position() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;
    bool CanControl() const { return true; }

public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath& track, qlonglong position);
    void OpenUri(const QString& uri);

signals:
    void Seeked(qlonglong Position);

private:
    void Command(const char* command);
    DesktopBus* bus_;
};

// org.velune.VelunePlayer: a second start hands its files over.
class HandOverAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velune.VelunePlayer")
public:
    explicit HandOverAdaptor(DesktopBus* bus) : QDBusAbstractAdaptor(bus), bus_(bus) {}

public slots:
    // The files as file: URIs (or plain paths, when their names are UTF-8).
    void Open(const QStringList& uris);

private:
    DesktopBus* bus_;
};

} // namespace velune
