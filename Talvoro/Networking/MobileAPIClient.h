#pragma once

#include "Networking/APIClientProtocol.h"
#include "Platform/KeyValueStore.h"
#include "Platform/NetworkTransfer.h"

#include <QUrl>

#include <functional>
#include <optional>

namespace talvoro {

// The client of the older endpoints (system configuration, the flat word list, the
// older voice and cycle preference). Its answers come as {"code", "data"}; a
// transport failure reaches the caller as it is, not wrapped. It keeps no cache and
// no state between calls. The current-endpoint requirements go to the REST client.
class MobileAPIClient final : public APIClientProtocol {
public:
    using BaseURLProvider = std::function<std::optional<QUrl>()>;

    struct LegacyPreferences {
        QString voice;
        qint64 cycleCount = 3;
    };

    // `currentEndpoints` serves the calls of the current endpoints; without one they
    // fail with invalidEndpoint.
    MobileAPIClient(NetworkTransfer &transfer, BaseURLProvider baseURLProvider, KeyValueStore &defaults,
        APIClientProtocol *currentEndpoints = nullptr,
        std::chrono::milliseconds requestTimeout = std::chrono::seconds(12));

    Task<SystemConfiguration> fetchSystemConfiguration(QString accessToken) override;
    Task<QList<RemoteWord>> fetchWords(QString accessToken) override;
    Task<RemoteWord> createWord(WordItem item, QString accessToken) override;
    Task<RemoteWord> updateWord(WordItem item, QString accessToken) override;
    Task<> deleteWord(qint64 remoteID, QString accessToken) override;
    Task<> updatePreferences(QString voiceID, qint64 cycleCount, QString accessToken) override;

    Task<PlaybackPreference> fetchPlaybackPreferences(QString accessToken) override;
    Task<PlaybackPreference> updatePlaybackPreferences(PlaybackPreference preference, QString accessToken) override;
    Task<QList<PublicLexiconSummary>> fetchPublicLexicons() override;
    Task<QList<UserLexicon>> fetchUserLexicons(QString accessToken) override;
    Task<WordPlaybackProfile> fetchWordPlaybackProfile(qint64 wordId, QString accessToken) override;
    Task<WordPlaybackProfile> updateWordPlaybackProfile(WordPlaybackProfile profile, QString accessToken) override;

    // The older per-user voice and cycle count, read from the stored defaults; never
    // written by the app.
    LegacyPreferences legacyStoredPreferences(const QString &ownerKey, const QString &defaultVoice) const;

    // The message of an error answer: "message" when it is a string, else "error"
    // when that is a string, else empty. A 401 is `unauthorized` whatever the body.
    static std::exception_ptr errorFromResponse(const QByteArray &body, int statusCode);

private:
    TransferRequest makeRequest(const QString &path, const QByteArray &method, const QString &accessToken) const;
    Task<QByteArray> perform(TransferRequest request);
    Task<> performWrite(TransferRequest request);
    APIClientProtocol &currentEndpoints() const;

    NetworkTransfer &m_transfer;
    BaseURLProvider m_baseURLProvider;
    KeyValueStore &m_defaults;
    APIClientProtocol *m_currentEndpoints;
    std::chrono::milliseconds m_requestTimeout;
};

} // namespace talvoro
