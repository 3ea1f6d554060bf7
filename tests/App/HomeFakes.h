#pragma once

#include "FakeGate.h"
#include "StubAPIClient.h"

#include "Models/MobileAPIError.h"
#include "Networking/APIClientProtocol.h"
#include "Persistence/LocalWordStoreError.h"
#include "Persistence/LocalWordStoreProtocol.h"
#include "Persistence/QuenbrySyncEngine.h"

#include <QHash>
#include <QStringList>

#include <functional>

// Fakes of the home screen's services. Answers arrive on the next turn unless the
// test holds them; each answer is decided when the call is made.
namespace homefakes {

using namespace talvoro;
using namespace testsupport;

inline PublicLexiconSummary publicLexicon(qint64 id, const QString &name, qint64 wordCount = 3)
{
    PublicLexiconSummary lexicon;
    lexicon.id = id;
    lexicon.name = name;
    lexicon.wordCount = wordCount;
    return lexicon;
}

inline UserLexicon userLexicon(qint64 id, const QString &name)
{
    UserLexicon lexicon;
    lexicon.id = id;
    lexicon.name = name;
    lexicon.version = 1;
    return lexicon;
}

inline ORVPlaylist playlist(qint64 id, const QString &name)
{
    ORVPlaylist list;
    list.id = id;
    list.name = name;
    return list;
}

// Either a value or an error, decided per call.
template<typename T>
using Answer = std::function<T(const QString &accessToken)>;

class FakeHomeAPIClient final : public testsupport::StubAPIClient {
public:
    Answer<QList<PublicLexiconSummary>> publicAnswer
        = [](const QString &) { return QList<PublicLexiconSummary> {publicLexicon(1, QStringLiteral("四级核心词"))}; };
    Answer<QList<UserLexicon>> privateAnswer
        = [](const QString &) { return QList<UserLexicon> {userLexicon(11, QStringLiteral("我的生词"))}; };
    bool hold = false;
    QList<std::shared_ptr<Gate>> gates;
    int publicCalls = 0;
    QStringList privateTokens;

    void releaseAll()
    {
        for (const auto &gate : gates)
            gate->open();
    }

    Task<QList<PublicLexiconSummary>> fetchPublicLexicons() override
    {
        ++publicCalls;
        return answer<QList<PublicLexiconSummary>>([this](const QString &t) { return publicAnswer(t); }, QString());
    }
    Task<QList<UserLexicon>> fetchUserLexicons(QString accessToken) override
    {
        privateTokens.append(accessToken);
        return answer<QList<UserLexicon>>([this](const QString &t) { return privateAnswer(t); }, accessToken);
    }

private:
    template<typename T>
    Task<T> answer(Answer<T> scripted, QString accessToken)
    {
        auto gate = newGate(hold);
        gates.append(gate);
        co_await GateAwaiter(gate, {});
        // Decided when it arrives, so a test can change the script meanwhile.
        const T value = scripted(accessToken);
        co_return value;
    }
};

// An in-memory store whose reads and writes fail when told to.
class FakeLocalStore final : public LocalWordStoreProtocol {
public:
    QHash<QString, QList<UserLexicon>> lexicons;
    QHash<QString, QList<ORVPlaylist>> playlistsByOwner;
    int playlistReads = 0;
    int failPlaylistReadNumber = 0; // 1-based; 0 never
    bool failLexiconRead = false;
    bool failSave = false;
    QList<QPair<QString, QString>> migrations;

    QList<UserLexicon> fetchPrivateLexicons(const QString &ownerKey) override
    {
        if (failLexiconRead)
            throw LocalWordStoreError(LocalWordStoreError::Kind::unavailable);
        return lexicons.value(ownerKey);
    }
    void savePrivateLexicons(const QList<UserLexicon> &list, const QString &ownerKey) override
    {
        if (failSave)
            throw LocalWordStoreError(LocalWordStoreError::Kind::unavailable);
        lexicons[ownerKey] = list;
    }
    QList<ORVPlaylist> fetchPlaylists(const QString &ownerKey) override
    {
        if (++playlistReads == failPlaylistReadNumber)
            throw LocalWordStoreError(LocalWordStoreError::Kind::unavailable);
        return playlistsByOwner.value(ownerKey);
    }
    void upsertPlaylist(const ORVPlaylist &list, const QString &ownerKey) override
    {
        playlistsByOwner[ownerKey].append(list);
    }
    void tombstonePlaylist(const QString &, qint64) override { }
    void migrateLegacyPlaylistPartition(const QString &legacyKey, const QString &scopedKey) override
    {
        migrations.append({legacyKey, scopedKey});
    }
};

// The playlist synchronisation: reports what the test scripts, when released.
class FakePlaylistSync {
public:
    PlaylistSyncReport report;
    bool hold = false;
    QList<std::shared_ptr<Gate>> gates;
    QList<bool> forceFlags;

    Task<PlaylistSyncReport> synchronize(QString, QString, bool force)
    {
        forceFlags.append(force);
        auto gate = newGate(hold);
        gates.append(gate);
        co_await GateAwaiter(gate, {});
        const PlaylistSyncReport answer = report;
        co_return answer;
    }
};

} // namespace homefakes
