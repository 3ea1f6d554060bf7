#include "Platform/NowPlaying.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <algorithm>
#include <cmath>

namespace talvoro {

namespace {
const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString serviceBase = QStringLiteral("org.mpris.MediaPlayer2.talvoro");
} // namespace

// The object on the bus; its two adaptors are the MPRIS interfaces.
class MprisRoot : public QObject {
    Q_OBJECT
public:
    explicit MprisRoot(NowPlaying *owner);
};

class MprisApplication : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ no)
    Q_PROPERTY(bool CanRaise READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisApplication(QObject *parent)
        : QDBusAbstractAdaptor(parent)
    { }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Talvoro"); }
    QStringList none() const { return {}; }

public Q_SLOTS:
    void Raise() { }
    void Quit() { }
};

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ minimumRate)
    Q_PROPERTY(double MaximumRate READ maximumRate)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    MprisPlayer(NowPlaying *owner, QObject *parent)
        : QDBusAbstractAdaptor(parent)
        , m_owner(owner)
    { }
    QString playbackStatus() const { return m_owner->playbackStatus(); }
    double rate() const { return m_owner->displayedRate(); }
    QVariantMap metadata() const { return m_owner->metadata(); }
    double volume() const { return m_owner->volume(); }
    void setVolume(double volume) { m_owner->setVolume(volume); }
    qlonglong position() const { return m_owner->position(); }
    double minimumRate() const { return m_owner->m_minimumRate; }
    double maximumRate() const { return m_owner->m_maximumRate; }
    bool yes() const { return true; }
    bool no() const { return false; }

public Q_SLOTS:
    void Play() { Q_EMIT m_owner->playCommand(); }
    void Pause() { Q_EMIT m_owner->pauseCommand(); }
    void PlayPause()
    {
        if (m_owner->playbackStatus() == QLatin1String("Playing"))
            Q_EMIT m_owner->pauseCommand();
        else
            Q_EMIT m_owner->playCommand();
    }
    // The player has no stop of its own: stopping from the desktop pauses, so the
    // word and its place are kept.
    void Stop() { Q_EMIT m_owner->pauseCommand(); }
    void Next() { Q_EMIT m_owner->nextTrackCommand(); }
    void Previous() { Q_EMIT m_owner->previousTrackCommand(); }
    void Seek(qlonglong offset) { Q_UNUSED(offset) }
    void SetPosition(const QDBusObjectPath &trackId, qlonglong position)
    {
        Q_UNUSED(trackId)
        Q_UNUSED(position)
    }
    void OpenUri(const QString &uri) { Q_UNUSED(uri) }

private:
    NowPlaying *m_owner;
};

MprisRoot::MprisRoot(NowPlaying *owner)
{
    new MprisApplication(this);
    new MprisPlayer(owner, this);
}

NowPlaying::NowPlaying(double minimumRate, double maximumRate, QObject *parent)
    : QObject(parent)
    , m_minimumRate(minimumRate)
    , m_maximumRate(maximumRate)
{ }

NowPlaying::~NowPlaying()
{
    if (!m_root)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(objectPath);
    if (!m_serviceName.isEmpty())
        bus.unregisterService(m_serviceName);
}

bool NowPlaying::publish()
{
    if (m_root)
        return !m_serviceName.isEmpty();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    m_root = std::make_unique<MprisRoot>(this);
    if (!bus.registerObject(objectPath, m_root.get(), QDBusConnection::ExportAdaptors))
        return false;
    const QString names[] = {
        serviceBase, serviceBase + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid())};
    for (const QString &name : names) {
        if (bus.registerService(name)) {
            m_serviceName = name;
            return true;
        }
    }
    return false;
}

void NowPlaying::setInfo(std::optional<NowPlayingInfo> info)
{
    if (info == m_info)
        return;
    const bool newTrack
        = info && (!m_info || info->title != m_info->title || info->durationSeconds != m_info->durationSeconds);
    if (newTrack)
        ++m_track;
    if (info && info->playbackRate > 0)
        m_lastRate = info->playbackRate;
    m_info = std::move(info);
    announceTrack();
}

void NowPlaying::setVolume(double volume)
{
    // MPRIS lets a player clamp; the sound output cannot go above 1.
    const double clamped = std::isnan(volume) ? m_volume : std::clamp(volume, 0.0, 1.0);
    if (clamped == m_volume)
        return;
    m_volume = clamped;
    Q_EMIT volumeChanged();
    announceChanges({{QStringLiteral("Volume"), m_volume}});
}

qint64 NowPlaying::position() const
{
    return m_info && m_positionSource ? m_positionSource() : 0;
}

QString NowPlaying::playbackStatus() const
{
    if (!m_info)
        return QStringLiteral("Stopped");
    return m_info->playbackRate > 0 ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

double NowPlaying::displayedRate() const
{
    return m_lastRate;
}

QVariantMap NowPlaying::metadata() const
{
    if (!m_info)
        return {{QStringLiteral("mpris:trackid"),
            QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    return {
        {QStringLiteral("mpris:trackid"),
            QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/talvoro/track/%1").arg(m_track)))},
        {QStringLiteral("xesam:title"), m_info->title},
        {QStringLiteral("mpris:length"), qlonglong(m_info->durationSeconds * 1e6)},
    };
}

// QDBusAbstractAdaptor sends no PropertiesChanged of its own; desktop panels only
// learn of a change from this signal.
void NowPlaying::announceTrack()
{
    announceChanges({{QStringLiteral("PlaybackStatus"), playbackStatus()}, {QStringLiteral("Rate"), displayedRate()},
        {QStringLiteral("Metadata"), metadata()}});
}

// The position is not announced: clients read it when they need it and
// extrapolate from the rate meanwhile, as MPRIS intends.
void NowPlaying::announceChanges(const QVariantMap &changes)
{
    if (m_serviceName.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << playerInterface << changes << QStringList {};
    QDBusConnection::sessionBus().send(signal);
}

} // namespace talvoro

#include "NowPlaying.moc"
