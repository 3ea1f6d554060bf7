// The operations of the REST client over its request pipeline: paths, bodies,
// answer checks and the cache invalidations that keep cached lists honest.
#include "Networking/ORVMobileAPIClient.h"

#include "Models/MobileAPIError.h"

#include <algorithm>

namespace talvoro {

namespace {

using Body = ORVMobileAPIClient::Body;

const QString get = QStringLiteral("GET");
const QString post = QStringLiteral("POST");
const QString put = QStringLiteral("PUT");
const QString del = QStringLiteral("DELETE");
const QString userWordsPath = QStringLiteral("/api/v1/user/words");
const QString userLexiconsPath = QStringLiteral("/api/v1/user/lexicons");
const QString userPlaylistsPath = QStringLiteral("/api/v1/user/playlists");
const QString preferencesPath = QStringLiteral("/api/v1/user/playback-preferences");
const auto publicReadPolicy = APIRequestCachePolicy::cacheFirst(300, 604800);

QString number(qint64 value)
{
    return QString::number(value);
}

std::optional<QJsonValue> value(const std::optional<QString> &text)
{
    return text ? std::optional<QJsonValue>(*text) : std::nullopt;
}

std::optional<QJsonValue> value(const std::optional<qint64> &n)
{
    return n ? std::optional<QJsonValue>(*n) : std::nullopt;
}

QJsonArray strings(const QList<QString> &list)
{
    return QJsonArray::fromStringList(list);
}

QJsonArray playlistItems(const QList<ORVPlaylistItem> &items)
{
    QJsonArray array;
    for (const ORVPlaylistItem &item : items) {
        array.append(QJsonObject {{QStringLiteral("wordId"), item.wordId}, {QStringLiteral("position"), item.position},
            {QStringLiteral("repeatCount"), item.repeatCount}});
    }
    return array;
}

Body playlistBody(
    const QString &name, const QString &loopMode, std::optional<qint64> loopCount, const QList<ORVPlaylistItem> &items)
{
    return {{QStringLiteral("name"), QJsonValue(name)}, {QStringLiteral("loopMode"), QJsonValue(loopMode)},
        {QStringLiteral("loopCount"), value(loopCount)}, {QStringLiteral("items"), QJsonValue(playlistItems(items))}};
}

QList<UserLexiconReorderItem> sortedByPosition(QList<UserLexiconReorderItem> items)
{
    std::stable_sort(items.begin(), items.end(),
        [](const UserLexiconReorderItem &a, const UserLexiconReorderItem &b) { return a.position < b.position; });
    return items;
}

} // namespace

// --- answer records ---------------------------------------------------------------

ORVMobileAPIClient::DeleteUserWordResponse ORVMobileAPIClient::DeleteUserWordResponse::fromJson(
    const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("wordId")), r.boolean(QStringLiteral("deleted"))};
}

QJsonObject ORVMobileAPIClient::DeleteUserWordResponse::toJson() const
{
    return json::ObjectWriter().set(QStringLiteral("wordId"), wordId).set(QStringLiteral("deleted"), deleted).object();
}

ORVMobileAPIClient::RemoveUserWordMembershipResponse ORVMobileAPIClient::RemoveUserWordMembershipResponse::fromJson(
    const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("lexiconId")), r.integer(QStringLiteral("wordId")),
        r.boolean(QStringLiteral("removed"))};
}

QJsonObject ORVMobileAPIClient::RemoveUserWordMembershipResponse::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("lexiconId"), lexiconId)
        .set(QStringLiteral("wordId"), wordId)
        .set(QStringLiteral("removed"), removed)
        .object();
}

ORVMobileAPIClient::MoveUserWordResponse ORVMobileAPIClient::MoveUserWordResponse::fromJson(
    const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("wordId")), r.integer(QStringLiteral("sourceLexiconId")),
        r.integer(QStringLiteral("targetLexiconId")), r.boolean(QStringLiteral("moved"))};
}

QJsonObject ORVMobileAPIClient::MoveUserWordResponse::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("wordId"), wordId)
        .set(QStringLiteral("sourceLexiconId"), sourceLexiconId)
        .set(QStringLiteral("targetLexiconId"), targetLexiconId)
        .set(QStringLiteral("moved"), moved)
        .object();
}

// --- lexicons and words ---------------------------------------------------------------

Task<QList<PublicLexiconSummary>> ORVMobileAPIClient::fetchPublicLexicons()
{
    Decoder<QList<PublicLexiconSummary>> decode = &coding::decodeList<PublicLexiconSummary>;
    co_return co_await send(
        QStringLiteral("/api/v1/public/lexicons"), get, std::nullopt, std::nullopt, publicReadPolicy, decode);
}

Task<PublicLexiconDetail> ORVMobileAPIClient::fetchPublicLexicon(qint64 lexiconId)
{
    Decoder<PublicLexiconDetail> decode = &PublicLexiconDetail::fromJson;
    co_return co_await send(QStringLiteral("/api/v1/public/lexicons/") + number(lexiconId), get, std::nullopt,
        std::nullopt, publicReadPolicy, decode);
}

Task<UserLexicon> ORVMobileAPIClient::createUserLexicon(
    QString name, std::optional<QString> description, QString accessToken)
{
    const Body body {{QStringLiteral("name"), QJsonValue(name)}, {QStringLiteral("description"), value(description)}};
    Decoder<UserLexicon> decode = &UserLexicon::fromJson;
    co_await invalidateListEntry(userLexiconsPath, accessToken);
    UserLexicon lexicon = co_await send(userLexiconsPath, post, body, accessToken, std::nullopt, decode);
    co_await invalidateListEntry(userLexiconsPath, accessToken);
    co_return lexicon;
}

Task<QList<UserLexicon>> ORVMobileAPIClient::fetchUserLexicons(QString accessToken)
{
    Decoder<QList<UserLexicon>> decode = &coding::decodeList<UserLexicon>;
    co_return co_await send(
        userLexiconsPath, get, std::nullopt, accessToken, APIRequestCachePolicy::networkOnly(), decode);
}

Task<QList<ORVWord>> ORVMobileAPIClient::fetchUserWords(std::optional<qint64> lexiconId, QString accessToken)
{
    const QString path = lexiconId ? userWordsPath + QStringLiteral("?lexiconId=") + number(*lexiconId) : userWordsPath;
    Decoder<QList<ORVWord>> decode = &coding::decodeList<ORVWord>;
    co_return co_await send(path, get, std::nullopt, accessToken, APIRequestCachePolicy::networkOnly(), decode);
}

Task<ORVWord> ORVMobileAPIClient::createUserWord(QString word, std::optional<QString> ipa,
    std::optional<QString> syllables, QList<QString> translationsZh, std::optional<QString> explanation,
    std::optional<qint64> lexiconId, QString accessToken)
{
    const Body body {{QStringLiteral("word"), QJsonValue(word)}, {QStringLiteral("ipa"), value(ipa)},
        {QStringLiteral("syllables"), value(syllables)},
        {QStringLiteral("translationsZh"), QJsonValue(strings(translationsZh))},
        {QStringLiteral("explanation"), value(explanation)}, {QStringLiteral("lexiconId"), value(lexiconId)}};
    Decoder<ORVWord> decode = &ORVWord::fromJson;
    const QStringList scopes = userWordsCacheScopes(accessToken);
    co_await invalidateUserWordsCache(scopes);
    ORVWord created = co_await send(userWordsPath, post, body, accessToken, std::nullopt, decode);
    co_await invalidateUserWordsCache(scopes);
    co_return created;
}

Task<ORVWord> ORVMobileAPIClient::updateUserWord(qint64 wordId, UserWordUpdateRequest request, QString accessToken)
{
    const UserWordUpdateRequest valid = request.validated(); // its error goes to the caller as it is
    QList<QString> clear;
    for (const ORVWordOptionalField field : valid.clearFields)
        clear.append(rawValue(field));
    std::sort(clear.begin(), clear.end());
    const Body body {{QStringLiteral("baseVersion"), QJsonValue(valid.baseVersion)},
        {QStringLiteral("wordDisplay"), value(valid.wordDisplay)}, {QStringLiteral("ipa"), value(valid.ipa)},
        {QStringLiteral("syllables"), value(valid.syllables)},
        {QStringLiteral("translationsZh"),
            valid.translationsZh ? std::optional<QJsonValue>(strings(*valid.translationsZh)) : std::nullopt},
        {QStringLiteral("explanation"), value(valid.explanation)},
        {QStringLiteral("usageScenario"), value(valid.usageScenario)},
        {QStringLiteral("clearFields"), QJsonValue(strings(clear))}};
    Decoder<ORVWord> decode = &ORVWord::fromJson;
    const QStringList scopes = userWordsCacheScopes(accessToken);
    co_await invalidateUserWordsCache(scopes);
    ORVWord updated
        = co_await send(userWordsPath + u'/' + number(wordId), put, body, accessToken, std::nullopt, decode);
    if (updated.id != wordId || updated.version <= valid.baseVersion)
        throw MobileAPIError::invalidResponse();
    co_await invalidateUserWordsCache(scopes);
    co_return updated;
}

Task<> ORVMobileAPIClient::moveUserWord(
    qint64 wordId, qint64 sourceLexiconId, qint64 targetLexiconId, QString accessToken)
{
    const Body body {{QStringLiteral("sourceLexiconId"), QJsonValue(sourceLexiconId)},
        {QStringLiteral("targetLexiconId"), QJsonValue(targetLexiconId)}};
    Decoder<MoveUserWordResponse> decode = &MoveUserWordResponse::fromJson;
    const QStringList scopes = userWordsCacheScopes(accessToken);
    co_await invalidateUserWordsCache(scopes);
    const MoveUserWordResponse answer = co_await send(
        userWordsPath + u'/' + number(wordId) + QStringLiteral("/move"), put, body, accessToken, std::nullopt, decode);
    if (answer.wordId != wordId || answer.sourceLexiconId != sourceLexiconId
        || answer.targetLexiconId != targetLexiconId)
        throw MobileAPIError::invalidResponse();
    co_await invalidateUserWordsCache(scopes);
}

Task<UserLexiconReorderReceipt> ORVMobileAPIClient::reorderLexiconWords(
    qint64 lexiconId, qint64 baseVersion, QList<UserLexiconReorderItem> items, QString accessToken)
{
    // An order the server could not accept is refused here, before anything is sent.
    if (lexiconId < 1 || baseVersion < 1 || items.isEmpty())
        throw MobileAPIError::invalidResponse();
    const QList<UserLexiconReorderItem> sorted = sortedByPosition(items);
    QSet<qint64> seen;
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const UserLexiconReorderItem &item = sorted.at(i);
        if (item.wordId < 1 || seen.contains(item.wordId) || item.position != i + 1)
            throw MobileAPIError::invalidResponse();
        seen.insert(item.wordId);
    }
    QJsonArray itemArray;
    for (const UserLexiconReorderItem &item : sorted)
        itemArray.append(
            QJsonObject {{QStringLiteral("wordId"), item.wordId}, {QStringLiteral("position"), item.position}});
    const Body body {
        {QStringLiteral("baseVersion"), QJsonValue(baseVersion)}, {QStringLiteral("items"), QJsonValue(itemArray)}};
    Decoder<UserLexiconReorderReceipt> decode = &UserLexiconReorderReceipt::fromJson;
    const QStringList scopes = userWordsCacheScopes(accessToken);
    co_await invalidateUserWordsCache(scopes);
    UserLexiconReorderReceipt receipt
        = co_await send(userLexiconsPath + u'/' + number(lexiconId) + QStringLiteral("/words/order"), put, body,
            accessToken, std::nullopt, decode);
    if (receipt.lexiconId != lexiconId || receipt.version <= baseVersion || sortedByPosition(receipt.items) != sorted)
        throw MobileAPIError::invalidResponse();
    co_await invalidateUserWordsCache(scopes);
    co_return receipt;
}

Task<> ORVMobileAPIClient::deleteUserWord(qint64 wordId, std::optional<qint64> lexiconId, QString accessToken)
{
    const QStringList scopes = userWordsCacheScopes(accessToken);
    co_await invalidateUserWordsCache(scopes);
    if (lexiconId) {
        Decoder<RemoveUserWordMembershipResponse> decode = &RemoveUserWordMembershipResponse::fromJson;
        const auto answer
            = co_await send(userLexiconsPath + u'/' + number(*lexiconId) + QStringLiteral("/words/") + number(wordId),
                del, std::nullopt, accessToken, std::nullopt, decode);
        if (answer.lexiconId != *lexiconId || answer.wordId != wordId)
            throw MobileAPIError::invalidResponse();
    } else {
        Decoder<DeleteUserWordResponse> decode = &DeleteUserWordResponse::fromJson;
        const auto answer = co_await send(
            userWordsPath + u'/' + number(wordId), del, std::nullopt, accessToken, std::nullopt, decode);
        if (answer.wordId != wordId)
            throw MobileAPIError::invalidResponse();
    }
    co_await invalidateUserWordsCache(scopes);
}

// --- playlists, profiles, preference -------------------------------------------------

Task<QList<ORVPlaylist>> ORVMobileAPIClient::fetchUserPlaylists(QString accessToken)
{
    Decoder<QList<ORVPlaylist>> decode = &coding::decodeList<ORVPlaylist>;
    co_return co_await send(
        userPlaylistsPath, get, std::nullopt, accessToken, APIRequestCachePolicy::networkOnly(), decode);
}

Task<ORVPlaylist> ORVMobileAPIClient::createPlaylist(
    QString name, QString loopMode, std::optional<qint64> loopCount, QList<ORVPlaylistItem> items, QString accessToken)
{
    const Body body = playlistBody(name, loopMode, loopCount, items);
    Decoder<ORVPlaylist> decode = &ORVPlaylist::fromJson;
    co_await invalidateListEntry(userPlaylistsPath, accessToken);
    ORVPlaylist playlist = co_await send(userPlaylistsPath, post, body, accessToken, std::nullopt, decode);
    co_await invalidateListEntry(userPlaylistsPath, accessToken);
    co_return playlist;
}

Task<ORVPlaylist> ORVMobileAPIClient::updatePlaylist(qint64 playlistId, QString name, QString loopMode,
    std::optional<qint64> loopCount, QList<ORVPlaylistItem> items, qint64 baseVersion, QString accessToken)
{
    Body body = playlistBody(name, loopMode, loopCount, items);
    body.append({QStringLiteral("baseVersion"), QJsonValue(baseVersion)});
    Decoder<ORVPlaylist> decode = &ORVPlaylist::fromJson;
    co_await invalidateListEntry(userPlaylistsPath, accessToken);
    ORVPlaylist playlist
        = co_await send(userPlaylistsPath + u'/' + number(playlistId), put, body, accessToken, std::nullopt, decode);
    co_await invalidateListEntry(userPlaylistsPath, accessToken);
    co_return playlist;
}

Task<ORVPlaylistDeletionReceipt> ORVMobileAPIClient::deletePlaylist(qint64 playlistId, QString accessToken)
{
    Decoder<ORVPlaylistDeletionReceipt> decode = &ORVPlaylistDeletionReceipt::fromJson;
    co_await invalidateListEntry(userPlaylistsPath, accessToken);
    ORVPlaylistDeletionReceipt receipt = co_await send(
        userPlaylistsPath + u'/' + number(playlistId), del, std::nullopt, accessToken, std::nullopt, decode);
    co_await invalidateListEntry(userPlaylistsPath, accessToken);
    co_return receipt;
}

Task<WordPlaybackProfile> ORVMobileAPIClient::fetchWordPlaybackProfile(qint64 wordId, QString accessToken)
{
    if (wordId < 1)
        throw MobileAPIError::invalidResponse();
    Decoder<WordPlaybackProfile> decode = &WordPlaybackProfile::fromJson;
    WordPlaybackProfile profile
        = co_await send(userWordsPath + u'/' + number(wordId) + QStringLiteral("/playback-profile"), get, std::nullopt,
            accessToken, APIRequestCachePolicy::networkOnly(), decode);
    try {
        if (profile.wordId != wordId)
            throw MobileAPIError::invalidResponse();
        profile.validated();
    } catch (const WordPlaybackProfileValidationError &) {
        throw MobileAPIError::invalidResponse();
    }
    co_return profile;
}

Task<WordPlaybackProfile> ORVMobileAPIClient::updateWordPlaybackProfile(
    WordPlaybackProfile profile, QString accessToken)
{
    const WordPlaybackProfile valid = profile.validated(); // its error goes to the caller as it is
    QJsonArray units;
    for (const WordPlaybackUnit &unit : valid.units) {
        QJsonObject object {{QStringLiteral("unit"), rawValue(unit.unit)}, {QStringLiteral("enabled"), unit.enabled},
            {QStringLiteral("position"), unit.position}};
        if (unit.voiceId)
            object.insert(QStringLiteral("voiceId"), *unit.voiceId);
        if (unit.speechRate)
            object.insert(QStringLiteral("speechRate"), *unit.speechRate);
        units.append(object);
    }
    const Body body {{QStringLiteral("baseVersion"), QJsonValue(valid.version)},
        {QStringLiteral("repeatCount"), QJsonValue(valid.repeatCount.value_or(1))},
        {QStringLiteral("units"), QJsonValue(units)}};
    Decoder<WordPlaybackProfile> decode = &WordPlaybackProfile::fromJson;
    WordPlaybackProfile answer
        = co_await send(userWordsPath + u'/' + number(valid.wordId) + QStringLiteral("/playback-profile"), put, body,
            accessToken, std::nullopt, decode);
    try {
        if (answer.wordId != valid.wordId || answer.version <= valid.version)
            throw MobileAPIError::invalidResponse();
        answer.validated();
    } catch (const WordPlaybackProfileValidationError &) {
        throw MobileAPIError::invalidResponse();
    }
    co_return answer;
}

Task<PlaybackPreference> ORVMobileAPIClient::fetchPlaybackPreferences(QString accessToken)
{
    Decoder<PlaybackPreference> decode = &PlaybackPreference::fromJson;
    co_return co_await send(
        preferencesPath, get, std::nullopt, accessToken, APIRequestCachePolicy::networkOnly(), decode);
}

Task<PlaybackPreference> ORVMobileAPIClient::updatePlaybackPreferences(
    PlaybackPreference preference, QString accessToken)
{
    // "speechRate" carries the English rate; the per-locale mirrors are not sent.
    const Body body {{QStringLiteral("playbackItems"), QJsonValue(strings(preference.playbackItems))},
        {QStringLiteral("voiceEn"), QJsonValue(preference.voiceEn)},
        {QStringLiteral("voiceZh"), QJsonValue(preference.voiceZh)},
        {QStringLiteral("speechRate"), QJsonValue(preference.speechRateEn)},
        {QStringLiteral("speechRateEn"), QJsonValue(preference.speechRateEn)},
        {QStringLiteral("speechRateZh"), QJsonValue(preference.speechRateZh)},
        {QStringLiteral("spellingRate"), QJsonValue(preference.spellingRate)},
        {QStringLiteral("baseVersion"), QJsonValue(preference.version)}};
    Decoder<PlaybackPreference> decode = &PlaybackPreference::fromJson;
    co_await invalidateListEntry(preferencesPath, accessToken);
    PlaybackPreference answer = co_await send(preferencesPath, put, body, accessToken, std::nullopt, decode);
    co_await invalidateListEntry(preferencesPath, accessToken);
    co_return answer;
}

// --- older endpoints ----------------------------------------------------------------

Task<SystemConfiguration> ORVMobileAPIClient::fetchSystemConfiguration(QString accessToken)
{
    co_return co_await olderEndpoints().fetchSystemConfiguration(accessToken);
}

Task<QList<RemoteWord>> ORVMobileAPIClient::fetchWords(QString accessToken)
{
    co_return co_await olderEndpoints().fetchWords(accessToken);
}

Task<RemoteWord> ORVMobileAPIClient::createWord(WordItem item, QString accessToken)
{
    co_return co_await olderEndpoints().createWord(item, accessToken);
}

Task<RemoteWord> ORVMobileAPIClient::updateWord(WordItem item, QString accessToken)
{
    co_return co_await olderEndpoints().updateWord(item, accessToken);
}

Task<> ORVMobileAPIClient::deleteWord(qint64 remoteID, QString accessToken)
{
    co_await olderEndpoints().deleteWord(remoteID, accessToken);
}

Task<> ORVMobileAPIClient::updatePreferences(QString voiceID, qint64 cycleCount, QString accessToken)
{
    co_await olderEndpoints().updatePreferences(voiceID, cycleCount, accessToken);
}

} // namespace talvoro
