#pragma once

#include "Playback/GlobalPlaybackPresentation.h"
#include "Playback/PlaybackViewModel.h"

#include <QObject>

#include <functional>
#include <memory>

namespace talvoro {

// The app's one owner of playback: screens start a list through it, replace edited
// words in it and bind it to the signed-in user; the playback bar and the player
// page read what it publishes. It owns the one playback view model, made on first
// need, and turns the view model's progress into what the bar shows.
class GlobalPlaybackSession : public QObject {
    Q_OBJECT
    Q_PROPERTY(PlaybackViewModel *playbackViewModel READ playbackViewModel NOTIFY playbackViewModelChanged)
    Q_PROPERTY(bool isFullPlayerPresented READ isFullPlayerPresented WRITE setFullPlayerPresented NOTIFY
            isFullPlayerPresentedChanged)
    Q_PROPERTY(QString playlistName READ playlistName NOTIFY contextChanged)
    Q_PROPERTY(bool hasPresentation READ hasPresentation NOTIFY presentationChanged)
    Q_PROPERTY(QString presentationWord READ presentationWord NOTIFY presentationChanged)
    Q_PROPERTY(QString presentationStatusText READ presentationStatusText NOTIFY presentationChanged)
    Q_PROPERTY(QString presentationActivity READ presentationActivity NOTIFY presentationChanged)
    Q_PROPERTY(QString presentationProgressText READ presentationProgressText NOTIFY presentationChanged)

public:
    using PlayerFactory = std::function<std::unique_ptr<PlaybackViewModel>()>;
    // Whether speech for a text in a voice is already cached.
    using SpeechCacheLookup = std::function<bool(const QString &text, const TTSVoice &voice)>;

    GlobalPlaybackSession(PlayerFactory playerFactory, SpeechCacheLookup speechCacheLookup, QObject *parent = nullptr);
    ~GlobalPlaybackSession() override;


    // Plays `words` as a list named `playlistName`, from `startIndex` (the first
    // word when it lies outside the list). Without a user everything is reset; an
    // empty list stops playback and clears the list.
    void play(const QString &playlistName, const QList<ORVWord> &words, const std::optional<QString> &accessToken,
        const std::optional<UserSummary> &user, qsizetype startIndex);
    // Binds the view model to the user before a one-off preview, and stops playback.
    void activate(const std::optional<QString> &accessToken, const std::optional<UserSummary> &user);
    // Replaces every word of the list with the edited word's id; false when none has it.
    bool updateWord(const ORVWord &word);
    // Ends everything that belongs to the current user; the view model is dropped.
    void reset();
    PlaybackViewModel &ensurePlaybackViewModel();

    const std::optional<GlobalPlaybackContext> &context() const { return m_context; }
    const std::optional<GlobalPlaybackPresentation> &presentation() const { return m_presentation; }
    bool isFullPlayerPresented() const { return m_isFullPlayerPresented; }
    void setFullPlayerPresented(bool presented);
    PlaybackViewModel *playbackViewModel() const { return m_playbackViewModel.get(); }
    const SpeechCacheLookup &speechCacheLookup() const { return m_speechCacheLookup; }
    // The user the view model was last bound to; the app also keeps it current.
    std::optional<qint64> activeUserID() const { return m_activeUserID; }
    void setActiveUserID(std::optional<qint64> userID) { m_activeUserID = userID; }

Q_SIGNALS:
    void contextChanged();
    void presentationChanged();
    void isFullPlayerPresentedChanged();
    void playbackViewModelChanged();

private:
    void setContext(std::optional<GlobalPlaybackContext> context);
    void setPresentation(std::optional<GlobalPlaybackPresentation> presentation);
    void refreshPresentation();
    void stopObserving();

    QString playlistName() const { return m_context ? m_context->playlistName : QString(); }
    bool hasPresentation() const { return m_presentation.has_value(); }
    QString presentationWord() const { return m_presentation ? m_presentation->word : QString(); }
    QString presentationStatusText() const { return m_presentation ? m_presentation->statusText : QString(); }
    QString presentationActivity() const;
    QString presentationProgressText() const { return m_presentation ? m_presentation->progressText : QString(); }

    std::optional<GlobalPlaybackContext> m_context;
    std::optional<GlobalPlaybackPresentation> m_presentation;
    bool m_isFullPlayerPresented = false;
    std::unique_ptr<PlaybackViewModel> m_playbackViewModel;
    PlayerFactory m_playerFactory;
    SpeechCacheLookup m_speechCacheLookup;
    QList<QMetaObject::Connection> m_playbackObservation;
    std::optional<qint64> m_activeUserID;
};

} // namespace talvoro
