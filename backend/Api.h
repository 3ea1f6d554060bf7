#pragma once

#include "Accounts.h"
#include "Database.h"
#include "Speech.h"
#include "Wire.h"

#include <QJsonObject>
#include <QObject>
#include <QThreadPool>
#include <QUrl>

#include <functional>
#include <optional>

// Every endpoint of the REST contract: routing, authentication, validation, and the
// records in the SQLite file. A user only ever sees public content and their own;
// another user's ids answer 404 as if they did not exist.
namespace standin {

enum class SpeechAnswer { audio, urls };

class Api : public QObject {
    Q_OBJECT
public:
    Api(Database &database, Accounts &accounts, Speech &speech, SpeechAnswer speechAnswer, QObject *parent = nullptr);

    // The origin clip URLs are given under.
    void setBaseUrl(const QUrl &baseUrl) { m_baseUrl = baseUrl; }

    using Respond = std::function<void(const Reply &)>;
    // Answers every request exactly once, possibly later (speech). Never throws.
    void handle(const Request &request, Respond respond);

    // Public lexicons and the demo account for a new data file.
    void seed();

private:
    struct Call {
        const Request &request;
        qint64 userId;
        QList<qint64> ids; // the numbers in the path, in order
        BodyReader body() const { return BodyReader::parse(request.body); }
    };
    using Handler = Reply (Api::*)(const Call &);
    struct Route {
        QByteArray method;
        QStringList segments; // "{}" stands for a decimal id
        bool authenticated;
        Handler handler;
    };

    Reply route(const Request &request);
    // Runs work, which answers through respond, and answers whatever it throws.
    static void answer(const Request &request, const Respond &respond, const std::function<void()> &work);
    // Makes a password digest on the hashing pool and hands it to done on this thread.
    void digestPassword(
        const QString &password, const QByteArray &salt, int iterations, std::function<void(const QByteArray &)> done);

    // Requests answered later
    void fetchSpeech(const Request &request, const Respond &respond);
    void registerUser(const Request &request, const Respond &respond);
    void login(const Request &request, const Respond &respond);

    Reply speechClip(const QString &key) const;

    // Accounts
    Reply refresh(const Call &call);
    Reply logout(const Call &call);

    // Lexicons and words
    Reply publicLexicons(const Call &call);
    Reply publicLexicon(const Call &call);
    Reply userLexicons(const Call &call);
    Reply createLexicon(const Call &call);
    Reply userWords(const Call &call);
    Reply createWord(const Call &call);
    Reply updateWord(const Call &call);
    Reply moveWord(const Call &call);
    Reply reorderWords(const Call &call);
    Reply removeMembership(const Call &call);
    Reply deleteWord(const Call &call);

    // Playlists, playback profiles and the playback preference
    Reply playlists(const Call &call);
    Reply createPlaylist(const Call &call);
    Reply updatePlaylist(const Call &call);
    Reply deletePlaylist(const Call &call);
    Reply playbackProfile(const Call &call);
    Reply updatePlaybackProfile(const Call &call);
    Reply playbackPreference(const Call &call);
    Reply updatePlaybackPreference(const Call &call);

    // The older endpoints
    Reply systemConfiguration(const Call &call);
    Reply legacyWords(const Call &call);
    Reply createLegacyWord(const Call &call);
    Reply updateLegacyWord(const Call &call);
    Reply deleteLegacyWord(const Call &call);
    Reply updateLegacyPreferences(const Call &call);

    // Records as JSON, and the checks shared by several handlers
    QJsonObject wordJson(qint64 userId, qint64 wordId);
    std::optional<QJsonObject> storedProfile(qint64 userId, qint64 wordId);
    QJsonObject userLexiconJson(qint64 lexiconId);
    QJsonObject playlistJson(qint64 userId, qint64 playlistId);
    void requireOwnLexicon(qint64 userId, qint64 lexiconId);
    void requireOwnWord(qint64 userId, qint64 wordId);
    void requireVisibleWord(qint64 userId, qint64 wordId);
    qint64 requireOwnPlaylist(qint64 userId, qint64 playlistId); // its version
    void touchLexicon(qint64 lexiconId);
    void appendToLexicon(qint64 lexiconId, qint64 wordId);
    void renumberLexicon(qint64 lexiconId);
    void writePlaylistItems(qint64 userId, qint64 playlistId, const BodyReader &body);
    QJsonObject legacyWordJson(qint64 legacyWordId);

    Database &m_database;
    Accounts &m_accounts;
    LoginThrottle m_loginThrottle;
    Speech &m_speech;
    SpeechAnswer m_speechAnswer;
    QUrl m_baseUrl;
    QList<Route> m_routes;
    QThreadPool m_hashing; // destroyed first: digests under way finish before what they use goes
};

} // namespace standin
