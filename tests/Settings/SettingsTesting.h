#pragma once

#include "../Persistence/FakePreferenceClient.h"
#include "../Playback/PlaybackFakes.h"
#include "../Session/SessionTesting.h"

#include "Networking/BackendConfiguration.h"
#include "Persistence/PlaybackPreferenceOfflineStore.h"
#include "Platform/NetworkConnectivity.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Settings/PlaybackPreferenceEditor.h"

// A settings screen's surroundings: a real session on a loopback server, the real
// preference coordinator and offline store over in-memory settings, a scripted
// preference endpoint, a network the test switches, and the real playback session
// over fake speech whose cache lookups are counted.
namespace settingstesting {

using namespace talvoro;
using namespace testsupport;
using namespace sessiontesting;

class ManualPathSource final : public NetworkPathSource {
public:
    void start() override { }
    void report(bool satisfied) { emit pathUpdated(satisfied); }
};

inline QByteArray tokensFor(qint64 userID, const QString &username, const QString &accessToken)
{
    return QStringLiteral("{\"success\":true,\"data\":{\"accessToken\":\"%1\",\"expiresIn\":3600,"
                          "\"refreshToken\":\"R-%1\",\"refreshExpiresIn\":86400,"
                          "\"user\":{\"id\":%2,\"username\":\"%3\"}},\"traceId\":\"t\"}")
        .arg(accessToken)
        .arg(userID)
        .arg(username)
        .toUtf8();
}

// The server's copy of the account's preference: another voice than the default.
inline PlaybackPreference serverPreference()
{
    PlaybackPreference preference;
    preference.voiceEn = QStringLiteral("en-GB-RyanNeural");
    preference.speechRateEn = 0.8;
    preference.spellingRate = 1.5;
    preference.version = 4;
    return preference.withDerivedMirrorFields();
}

struct SettingsFixture {
    SessionFixture sessionFixture;
    FakePlaybackServices playback;
    FakePreferenceClient client;
    ManualPathSource *path = new ManualPathSource;
    ORVNetworkConnectivityMonitor connectivity {std::unique_ptr<NetworkPathSource>(path)};
    int cacheLookups = 0;
    QSet<QString> cachedVoices;
    GlobalPlaybackSession playbackSession {[this] { return playback.makeViewModel(); },
        [this](const QString &, const TTSVoice &voice) {
            ++cacheLookups;
            return cachedVoices.contains(voice.id);
        }};

    SettingsFixture() { playback.baseURL = sessionFixture.server.baseUrl(); }

    std::optional<QString> environmentKey() const
    {
        return BackendConfiguration::environmentPartitionKey(sessionFixture.server.baseUrl());
    }
    QString ownerKey(qint64 userID = 7) const { return *BackendConfiguration::ownerKey(userID, environmentKey()); }

    PlaybackPreferenceEditorServices services()
    {
        PlaybackPreferenceEditorServices services;
        services.session = sessionFixture.session.get();
        services.environmentKey = environmentKey();
        services.defaults = &playback.defaults;
        services.clock = &playback.clock;
        services.preferenceSync = &playback.coordinator;
        services.apiClient = &client;
        services.connectivity = &connectivity;
        services.playbackSession = &playbackSession;
        return services;
    }

    void signIn() { sessionFixture.signIn(); } // user 7, "alice"
    void signInAs(qint64 userID, const QString &username, const QString &accessToken)
    {
        sessionFixture.server.route(
            "POST", AppSession::loginPath, ScriptedResponse::json(200, tokensFor(userID, username, accessToken)));
        awaitResult(sessionFixture.authenticate(username));
    }
    // Reports reach the monitor through the event loop: wait until it has one.
    void setOnline(bool online)
    {
        path->report(online);
        const auto expected = online ? ORVNetworkAvailability::available : ORVNetworkAvailability::unavailable;
        QTRY_COMPARE(connectivity.availability(), expected);
    }

    PlaybackPreferenceLocalRecord record(qint64 userID = 7)
    {
        return PlaybackPreferenceOfflineStore::loadRecord(ownerKey(userID), playback.defaults);
    }
    bool hasStoredRecord(qint64 userID = 7)
    {
        return playback.defaults.contains(PlaybackPreferenceOfflineStore::storageKey(ownerKey(userID)));
    }
    // The server's copy, for the next fetch.
    void answerFetch() { client.reads.append(FakePreferenceClient::answer(serverPreference())); }
    // A device that already confirmed the server's copy, optionally with a change
    // still waiting (due now, or in back-off).
    void storeConfirmed(std::optional<PlaybackPreference> pending = std::nullopt, bool pendingDue = true)
    {
        PlaybackPreferenceLocalRecord stored;
        stored.confirmed = serverPreference();
        if (pending) {
            PendingPlaybackPreferenceWrite write;
            write.operationID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            write.preference = *pending;
            write.changedFields = {PlaybackPreferenceField::englishVoice};
            write.enqueuedAt = playback.clock.now();
            write.nextAttemptAt = playback.clock.now().addSecs(pendingDue ? -1 : 3600);
            stored.pending = write;
        }
        PlaybackPreferenceOfflineStore::saveRecord(stored, ownerKey(), playback.defaults);
    }
};

} // namespace settingstesting
