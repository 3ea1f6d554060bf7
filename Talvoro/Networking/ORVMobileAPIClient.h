#pragma once

#include "Models/ApiResponse.h"
#include "Models/Playlist.h"
#include "Models/Word.h"
#include "Networking/APICacheManager.h"
#include "Networking/APIClientProtocol.h"
#include "Platform/AppError.h"
#include "Platform/Async.h"
#include "Platform/NetworkTransfer.h"

#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QUrl>

#include <any>
#include <functional>
#include <optional>

namespace talvoro {

// How a GET may use the response cache.
struct APIRequestCachePolicy {
    enum class Kind { networkThenStore, cacheFirst, networkOnly };
    Kind kind = Kind::networkOnly;
    double freshFor = 0;
    double staleIfErrorFor = 0;

    static APIRequestCachePolicy networkThenStore(double freshFor, double staleIfErrorFor)
    {
        return {Kind::networkThenStore, freshFor, staleIfErrorFor};
    }
    static APIRequestCachePolicy cacheFirst(double freshFor, double staleIfErrorFor)
    {
        return {Kind::cacheFirst, freshFor, staleIfErrorFor};
    }
    static APIRequestCachePolicy networkOnly() { return {Kind::networkOnly, 0, 0}; }
};

// A newer request of the same identity, or an invalidation, overtook this answer.
class SupersededNetworkResponseError final : public AppError {
public:
    QString description() const override;
};

// The client of the current REST endpoints. Every call builds its request against
// the base URL (asked anew each time), sends JSON with the bearer token, maps the
// answer to the envelope's payload or to a MobileAPIError, and, for reads that name
// a cache policy, goes through the response cache with its superseded-answer guard.
class ORVMobileAPIClient final : public APIClientProtocol {
public:
    // Answers of the word writes; every key is required.
    struct DeleteUserWordResponse {
        qint64 wordId = 0;
        bool deleted = false;
        static DeleteUserWordResponse fromJson(const QJsonValue &value, const QString &path);
        QJsonObject toJson() const;
    };
    struct RemoveUserWordMembershipResponse {
        qint64 lexiconId = 0;
        qint64 wordId = 0;
        bool removed = false;
        static RemoveUserWordMembershipResponse fromJson(const QJsonValue &value, const QString &path);
        QJsonObject toJson() const;
    };
    struct MoveUserWordResponse {
        qint64 wordId = 0;
        qint64 sourceLexiconId = 0;
        qint64 targetLexiconId = 0;
        bool moved = false;
        static MoveUserWordResponse fromJson(const QJsonValue &value, const QString &path);
        QJsonObject toJson() const;
    };

    struct RequestInspection {
        QString method;
        QString path; // without the query
        std::optional<QByteArray> body;
    };
    using BaseURLProvider = std::function<std::optional<QUrl>()>;
    using RequestInspectionHandler = std::function<void(const RequestInspection &)>;
    // Members of a JSON body; an absent value is left out, never sent as null.
    using Body = QList<QPair<QString, std::optional<QJsonValue>>>;
    template<typename Payload>
    using Decoder = std::function<Payload(const QJsonValue &, const QString &)>;

    struct ErrorBody {
        std::optional<QString> code;
        QString message;
    };

    ORVMobileAPIClient(NetworkTransfer &transfer, APICacheManager &cacheManager, BaseURLProvider baseURLProvider,
        RequestInspectionHandler requestInspectionHandler = {},
        std::chrono::milliseconds requestTimeout = std::chrono::seconds(8), APIClientProtocol *olderEndpoints = nullptr);

    APICacheManager &cacheManager() const { return m_cacheManager; }

    // Lexicons and words. Every word write makes the cached word lists invalid before
    // it sends and again after an accepted answer.
    Task<QList<PublicLexiconSummary>> fetchPublicLexicons() override;
    Task<PublicLexiconDetail> fetchPublicLexicon(qint64 lexiconId);
    Task<UserLexicon> createUserLexicon(QString name, std::optional<QString> description, QString accessToken);
    Task<QList<UserLexicon>> fetchUserLexicons(QString accessToken) override;
    Task<QList<ORVWord>> fetchUserWords(std::optional<qint64> lexiconId, QString accessToken);
    Task<ORVWord> createUserWord(QString word, std::optional<QString> ipa, std::optional<QString> syllables,
        QList<QString> translationsZh, std::optional<QString> explanation, std::optional<qint64> lexiconId,
        QString accessToken);
    Task<ORVWord> updateUserWord(qint64 wordId, UserWordUpdateRequest request, QString accessToken);
    Task<> moveUserWord(qint64 wordId, qint64 sourceLexiconId, qint64 targetLexiconId, QString accessToken);
    Task<UserLexiconReorderReceipt> reorderLexiconWords(
        qint64 lexiconId, qint64 baseVersion, QList<UserLexiconReorderItem> items, QString accessToken);
    Task<> deleteUserWord(qint64 wordId, std::optional<qint64> lexiconId, QString accessToken);

    // Playlists, a word's playback profile, the global preference.
    Task<QList<ORVPlaylist>> fetchUserPlaylists(QString accessToken);
    Task<ORVPlaylist> createPlaylist(QString name, QString loopMode, std::optional<qint64> loopCount,
        QList<ORVPlaylistItem> items, QString accessToken);
    Task<ORVPlaylist> updatePlaylist(qint64 playlistId, QString name, QString loopMode, std::optional<qint64> loopCount,
        QList<ORVPlaylistItem> items, qint64 baseVersion, QString accessToken);
    Task<ORVPlaylistDeletionReceipt> deletePlaylist(qint64 playlistId, QString accessToken);
    Task<WordPlaybackProfile> fetchWordPlaybackProfile(qint64 wordId, QString accessToken) override;
    Task<WordPlaybackProfile> updateWordPlaybackProfile(WordPlaybackProfile profile, QString accessToken) override;
    Task<PlaybackPreference> fetchPlaybackPreferences(QString accessToken) override;
    Task<PlaybackPreference> updatePlaybackPreferences(PlaybackPreference preference, QString accessToken) override;

    // The older endpoints, handed to the older client.
    Task<SystemConfiguration> fetchSystemConfiguration(QString accessToken) override;
    Task<QList<RemoteWord>> fetchWords(QString accessToken) override;
    Task<RemoteWord> createWord(WordItem item, QString accessToken) override;
    Task<RemoteWord> updateWord(WordItem item, QString accessToken) override;
    Task<> deleteWord(qint64 remoteID, QString accessToken) override;
    Task<> updatePreferences(QString voiceID, qint64 cycleCount, QString accessToken) override;

    // Sends one request and returns the payload of its answer's envelope.
    template<typename Payload>
    Task<Payload> send(QString path, QString method, std::optional<Body> body, std::optional<QString> accessToken,
        std::optional<APIRequestCachePolicy> cachePolicy, Decoder<Payload> decode, CancellationToken cancel = {})
    {
        ErasedDecoder erased = [decode](const QByteArray &bytes) -> std::optional<std::any> {
            auto payload = decodePayload<Payload>(bytes, decode);
            if (!payload)
                return std::nullopt;
            return std::any(std::move(*payload));
        };
        std::any value = co_await sendErased(std::move(path), std::move(method), std::move(body),
            std::move(accessToken), cachePolicy, std::move(erased), cancel);
        co_return std::any_cast<Payload>(std::move(value));
    }

    // The payload of a successful envelope; none when the bytes do not decode, when
    // "success" is false or when "data" is absent.
    template<typename Payload>
    static std::optional<Payload> decodePayload(const QByteArray &bytes, const Decoder<Payload> &decode)
    {
        try {
            auto response = ORVApiResponse<Payload>::fromJson(json::parse(bytes), decode);
            if (!response.success || !response.data)
                return std::nullopt;
            return std::move(response.data);
        } catch (const json::DecodingError &) {
            return std::nullopt;
        }
    }

    static QJsonObject compactBody(const Body &body);
    static ErrorBody parseErrorBody(const QByteArray &bytes);

    // Request identity: the key is "GET_" plus the path as given; the scope is the
    // environment key, "|" and the bare credential scope. Throws invalidEndpoint.
    CacheIdentity requestContext(const QString &path, const std::optional<QString> &accessToken,
        const std::optional<QUrl> &baseURL = std::nullopt) const;
    static QString cacheScope(const std::optional<QString> &accessToken, const QString &environmentKey);
    static QString credentialScope(const std::optional<QString> &accessToken);
    static std::optional<QString> jwtSubject(const QString &accessToken);
    static QString credentialDigest(const QString &accessToken);
    static bool isStaleIfErrorEligible(const std::exception_ptr &error);

    // Word writes make every cached word list and profile read of the user invalid,
    // under both scope forms.
    QStringList userWordsCacheScopes(const std::optional<QString> &accessToken) const;
    Task<> invalidateUserWordsCache(QStringList scopes);
    // Other writes purge the one list entry they change.
    Task<> invalidateListEntry(QString path, std::optional<QString> accessToken);

private:
    using ErasedDecoder = std::function<std::optional<std::any>(const QByteArray &)>;
    struct Performed {
        std::any value;
        QByteArray body;
    };

    Task<std::any> sendErased(QString path, QString method, std::optional<Body> body,
        std::optional<QString> accessToken, std::optional<APIRequestCachePolicy> cachePolicy, ErasedDecoder decode,
        CancellationToken cancel);
    Task<Performed> perform(TransferRequest request, ErasedDecoder decode, CancellationToken cancel);
    Task<std::any> networkThenStore(TransferRequest request, CacheIdentity identity, APIRequestCachePolicy policy,
        ErasedDecoder decode, std::optional<std::any> staleFallback, CancellationToken cancel);
    Task<std::any> networkOnly(TransferRequest request, CacheIdentity identity, std::optional<QString> accessToken,
        ErasedDecoder decode, CancellationToken cancel);

    NetworkTransfer &m_transfer;
    APICacheManager &m_cacheManager;
    BaseURLProvider m_baseURLProvider;
    RequestInspectionHandler m_requestInspectionHandler;
    std::chrono::milliseconds m_requestTimeout;
    APIClientProtocol *m_olderEndpoints;

    APIClientProtocol &olderEndpoints() const;
};

} // namespace talvoro
