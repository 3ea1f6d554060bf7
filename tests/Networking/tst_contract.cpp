// The REST client's operations against the real stand-in backend over HTTPS: each
// side was written from the contract alone, so here they check each other.
#include "AwaitTask.h"
#include "BackendProcess.h"
#include "TestRegistry.h"

#include "Models/MobileAPIError.h"
#include "Networking/ORVMobileAPIClient.h"

#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

class ClientContractTest : public QObject {
    Q_OBJECT

private:
    backendtest::BackendProcess backend;
    backendtest::Account account;
    QTemporaryDir dir;
    std::unique_ptr<APICacheManager> cache;
    std::unique_ptr<NetworkTransfer> transfer;
    std::unique_ptr<ORVMobileAPIClient> client;

    template<typename T>
    std::optional<MobileAPIError> failure(Task<T> task)
    {
        return awaitError<MobileAPIError>(std::move(task), 30s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        QVERIFY(backend.start());
        account = backend.registerAccount();
        QVERIFY(!account.accessToken.isEmpty());
        cache = std::make_unique<APICacheManager>(dir.filePath(QStringLiteral("APICacheV2")));
        transfer = std::make_unique<NetworkTransfer>();
        transfer->setAdditionalCertificateAuthorities(backend.authority());
        // asked anew on every request: a restarted server listens on another port
        client = std::make_unique<ORVMobileAPIClient>(
            *transfer, *cache, [this] { return std::optional(backend.baseUrl()); });
    }

    void publicLexiconsAreReadAndCached()
    {
        const QList<PublicLexiconSummary> lexicons = awaitResult(client->fetchPublicLexicons(), 30s);
        QVERIFY(lexicons.size() >= 3);
        const PublicLexiconDetail detail = awaitResult(client->fetchPublicLexicon(lexicons.first().id), 30s);
        QCOMPARE(detail.id, lexicons.first().id);
        QVERIFY(detail.words.size() >= 30);
        for (const ORVWord &word : detail.words) {
            QVERIFY(!word.translationsZh.isEmpty());
            QVERIFY(word.ipa && word.explanation && word.usageScenario);
        }
        // a second read within the fresh lifetime is served without the network
        backend.stop();
        QCOMPARE(awaitResult(client->fetchPublicLexicon(lexicons.first().id), 30s).words.size(), detail.words.size());
        QVERIFY(backend.start());
    }

    void aLexiconAndItsWords()
    {
        const QString token = account.accessToken;
        const UserLexicon first
            = awaitResult(client->createUserLexicon(QStringLiteral("考研词汇"), std::nullopt, token), 30s);
        const UserLexicon second
            = awaitResult(client->createUserLexicon(QStringLiteral("生活口语"), QStringLiteral("日常"), token), 30s);
        QCOMPARE(first.name, QStringLiteral("考研词汇"));
        QVERIFY(awaitResult(client->fetchUserLexicons(token), 30s).size() >= 2);

        const ORVWord apple = awaitResult(
            client->createUserWord(QStringLiteral("apple"), QStringLiteral("ˈæpəl"), QStringLiteral("ap·ple"),
                {QStringLiteral("苹果")}, QStringLiteral("一种水果"), first.id, token),
            30s);
        const ORVWord pear = awaitResult(client->createUserWord(QStringLiteral("pear"), std::nullopt, std::nullopt,
                                             {QStringLiteral("梨")}, std::nullopt, first.id, token),
            30s);
        QCOMPARE(awaitResult(client->fetchUserWords(first.id, token), 30s).size(), 2);

        UserWordUpdateRequest edit;
        edit.baseVersion = apple.version;
        edit.usageScenario = QStringLiteral("在水果店买苹果。");
        edit.clearFields = {ORVWordOptionalField::ipa};
        const ORVWord edited = awaitResult(client->updateUserWord(apple.id, edit, token), 30s);
        QVERIFY(edited.version > apple.version);
        QVERIFY(!edited.ipa);
        QCOMPARE(edited.usageScenario.value_or(QString()), QStringLiteral("在水果店买苹果。"));

        // the same edit again starts from a spent version: the server refuses it
        const auto stale = failure(client->updateUserWord(apple.id, edit, token));
        QVERIFY(stale);
        QCOMPARE(stale->statusCode(), 409);
        QCOMPARE(stale->code().value_or(QString()), QStringLiteral("DATA_CONFLICT"));

        const auto lexicons = awaitResult(client->fetchUserLexicons(token), 30s);
        const auto current
            = std::find_if(lexicons.begin(), lexicons.end(), [&](const UserLexicon &l) { return l.id == first.id; });
        QVERIFY(current != lexicons.end());
        const UserLexiconReorderReceipt receipt = awaitResult(
            client->reorderLexiconWords(first.id, current->version, {{pear.id, 1}, {apple.id, 2}}, token), 30s);
        QVERIFY(receipt.version > current->version);

        awaitResult(client->moveUserWord(pear.id, first.id, second.id, token), 30s);
        QCOMPARE(awaitResult(client->fetchUserWords(second.id, token), 30s).size(), 1);
        awaitResult(client->deleteUserWord(pear.id, second.id, token), 30s);
        QCOMPARE(awaitResult(client->fetchUserWords(second.id, token), 30s).size(), 0);
        awaitResult(client->deleteUserWord(apple.id, std::nullopt, token), 30s);
    }

    void playlistsProfilesAndThePreference()
    {
        const QString token = account.accessToken;
        const ORVWord word = awaitResult(client->createUserWord(QStringLiteral("river"), std::nullopt, std::nullopt,
                                             {QStringLiteral("河流")}, std::nullopt, std::nullopt, token),
            30s);
        ORVPlaylistItem item;
        item.wordId = word.id;
        item.position = 1;
        item.repeatCount = 2;
        const ORVPlaylist created = awaitResult(
            client->createPlaylist(QStringLiteral("晨读"), QStringLiteral("ONCE"), std::nullopt, {}, token), 30s);
        const ORVPlaylist updated
            = awaitResult(client->updatePlaylist(created.id, QStringLiteral("晨读"), QStringLiteral("ONCE"),
                              std::nullopt, {item}, created.version, token),
                30s);
        QVERIFY(updated.version > created.version);
        QCOMPARE(updated.items.size(), 1);
        QCOMPARE(awaitResult(client->fetchUserPlaylists(token), 30s).size(), 1);
        const ORVPlaylistDeletionReceipt receipt = awaitResult(client->deletePlaylist(created.id, token), 30s);
        QVERIFY(receipt.deleted);
        const auto gone = failure(client->deletePlaylist(created.id, token));
        QVERIFY(gone && isResourceNotFound(std::make_exception_ptr(*gone)));

        // a word without a profile of its own gets a valid default one
        const WordPlaybackProfile profile = awaitResult(client->fetchWordPlaybackProfile(word.id, token), 30s);
        QCOMPARE(profile.wordId, word.id);
        WordPlaybackProfile changed = profile;
        changed.repeatCount = 3;
        changed.units[0].enabled = !changed.units[0].enabled;
        const WordPlaybackProfile saved = awaitResult(client->updateWordPlaybackProfile(changed, token), 30s);
        QVERIFY(saved.version > profile.version);
        QCOMPARE(saved.repeatCount.value_or(0), qint64(3));

        PlaybackPreference preference = awaitResult(client->fetchPlaybackPreferences(token), 30s);
        preference.voiceEn = QStringLiteral("en-GB-RyanNeural");
        preference.speechRateEn = 1.5;
        const PlaybackPreference answered = awaitResult(client->updatePlaybackPreferences(preference, token), 30s);
        QCOMPARE(answered.voiceEn, QStringLiteral("en-GB-RyanNeural"));
        QCOMPARE(answered.speechRateEn, 1.5);
        QVERIFY(answered.version > preference.version);
        // sending the spent version again is a conflict
        const auto conflict = failure(client->updatePlaybackPreferences(preference, token));
        QVERIFY(conflict);
        QCOMPARE(conflict->statusCode(), 409);
    }

    void anotherUsersRecordsAreNotFound()
    {
        const backendtest::Account other = backend.registerAccount();
        const ORVWord mine = awaitResult(client->createUserWord(QStringLiteral("tree"), std::nullopt, std::nullopt,
                                             {QStringLiteral("树")}, std::nullopt, std::nullopt, account.accessToken),
            30s);
        const auto error = failure(client->fetchWordPlaybackProfile(mine.id, other.accessToken));
        QVERIFY(error);
        QCOMPARE(error->statusCode(), 404);
        const auto unauthorized = failure(client->fetchUserLexicons(QStringLiteral("not-a-token")));
        QVERIFY(unauthorized);
        QCOMPARE(unauthorized->kind(), MobileAPIError::Kind::unauthorized);
    }
};

TALVORO_TEST(ClientContractTest)
#include "tst_contract.moc"
