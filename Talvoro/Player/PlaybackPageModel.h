#pragma once

#include "Models/Playback.h"
#include "Models/Word.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQmlIntegration>

namespace talvoro {

class GlobalPlaybackSession;
class PlaybackViewModel;
class RandomSource;

// The full player page: whether the list it was built for is the one playing, the
// page's own index into that list, the word card of the word on show and the
// transport commands. Everything else is read from the playback session and its
// view model, and every command goes to the view model.
class PlaybackPageModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the container")
    // The list the page shows; the host keeps it at the session's live list.
    Q_PROPERTY(QString expectedContextId READ expectedContextId WRITE setExpectedContextId NOTIFY changed)
    Q_PROPERTY(bool waiting READ waiting NOTIFY changed)
    Q_PROPERTY(int currentIndex READ currentIndex NOTIFY changed)
    Q_PROPERTY(int displayedIndex READ displayedIndex NOTIFY changed)
    Q_PROPERTY(bool hasWord READ hasWord NOTIFY changed)
    Q_PROPERTY(QString playlistName READ playlistName NOTIFY changed)
    Q_PROPERTY(QString positionText READ positionText NOTIFY changed)
    Q_PROPERTY(int loopMode READ loopModeValue NOTIFY changed)
    Q_PROPERTY(QString loopText READ loopText NOTIFY changed)
    Q_PROPERTY(QString loopSymbol READ loopSymbol NOTIFY changed)
    Q_PROPERTY(int playbackState READ playbackStateValue NOTIFY changed)
    Q_PROPERTY(bool previousEnabled READ previousEnabled NOTIFY changed)
    Q_PROPERTY(bool nextEnabled READ nextEnabled NOTIFY changed)
    Q_PROPERTY(QString centerSymbol READ centerSymbol NOTIFY changed)
    Q_PROPERTY(QString centerLabel READ centerLabel NOTIFY changed)
    Q_PROPERTY(bool centerEnabled READ centerEnabled NOTIFY changed)
    // The word card.
    Q_PROPERTY(QString wordDisplay READ wordDisplay NOTIFY changed)
    Q_PROPERTY(bool hasIpa READ hasIpa NOTIFY changed)
    Q_PROPERTY(QString ipa READ ipa NOTIFY changed)
    Q_PROPERTY(bool hasSyllables READ hasSyllables NOTIFY changed)
    Q_PROPERTY(QString syllables READ syllables NOTIFY changed)
    Q_PROPERTY(QString meanings READ meanings NOTIFY changed)
    Q_PROPERTY(QString explanation READ explanation NOTIFY changed)
    Q_PROPERTY(QString usageScenario READ usageScenario NOTIFY changed)
    Q_PROPERTY(bool hasUnit READ hasUnit NOTIFY changed)
    Q_PROPERTY(QString unitSymbol READ unitSymbol NOTIFY changed)
    Q_PROPERTY(QString unitTitle READ unitTitle NOTIFY changed)
    Q_PROPERTY(QString repeatText READ repeatText NOTIFY changed)
    Q_PROPERTY(bool hasSpelling READ hasSpelling NOTIFY changed)
    Q_PROPERTY(QString spelling READ spelling NOTIFY changed)
    // One map per unit the word plays: title, symbol, current, cached.
    Q_PROPERTY(QVariantList units READ units NOTIFY changed)

public:
    PlaybackPageModel(GlobalPlaybackSession &session, RandomSource &random, QObject *parent = nullptr);

    QString expectedContextId() const { return m_expectedContextId; }
    void setExpectedContextId(const QString &id);

    // "正在准备播放" shows without a view model or a list, or for another list.
    bool waiting() const;
    int currentIndex() const { return int(m_currentIndex); }
    int displayedIndex() const;
    bool hasWord() const { return currentWord() != nullptr; }
    const ORVWord *currentWord() const;
    QString playlistName() const;
    QString positionText() const;
    LoopMode loopMode() const;
    QString loopText() const;
    QString loopSymbol() const;
    PlaybackState playbackState() const;
    bool previousEnabled() const;
    bool nextEnabled() const;
    QString centerSymbol() const;
    QString centerLabel() const;
    bool centerEnabled() const { return playbackState() != PlaybackState::loading; }

    QString wordDisplay() const;
    bool hasIpa() const;
    QString ipa() const;
    bool hasSyllables() const;
    QString syllables() const;
    QString meanings() const;
    QString explanation() const;
    QString usageScenario() const;
    bool hasUnit() const;
    QString unitSymbol() const;
    QString unitTitle() const;
    QString repeatText() const;
    bool hasSpelling() const;
    QString spelling() const;
    QVariantList units() const;

    // Copies the view model's index in when it lies inside the list.
    Q_INVOKABLE void syncCurrentIndex();
    Q_INVOKABLE void previous();
    Q_INVOKABLE void next();
    Q_INVOKABLE void togglePlayback();
    Q_INVOKABLE void cycleLoopMode();

    // The repeat total the word card shows: the profile's when it has one.
    static qint64 effectiveRepeatCount(const ORVWord &word);

Q_SIGNALS:
    void changed();

private:
    void observeViewModel();
    void resetIndex();
    qsizetype wordCount() const;
    PlaybackViewModel *viewModel() const;
    std::optional<qsizetype> playingIndex() const;
    int loopModeValue() const;
    int playbackStateValue() const;

    GlobalPlaybackSession &m_session;
    RandomSource &m_random;
    QString m_expectedContextId;
    qsizetype m_currentIndex = 0;
    QPointer<PlaybackViewModel> m_observed;
    QList<QMetaObject::Connection> m_observation;
};

} // namespace talvoro
