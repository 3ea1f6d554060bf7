#include "PlaybackFakes.h"
#include "TestRegistry.h"

#include "Networking/BackendConfiguration.h"
#include "Persistence/PlaybackPreferenceOfflineStore.h"

#include <QTest>

using namespace talvoro;
using namespace testsupport;

namespace {

const UserSummary lin {42, QStringLiteral("lin")};
const UserSummary wu {43, QStringLiteral("wu")};
const QString sonia = QStringLiteral("en-GB-SoniaNeural");

PlaybackPreference preference(QList<QString> items, qint64 version = 2)
{
    PlaybackPreference value;
    value.playbackItems = std::move(items);
    value.version = version;
    return value;
}

ORVWord makeWord(qint64 id, const QString &display, qint64 repeatCount = 1)
{
    ORVWord word;
    word.id = id;
    word.wordDisplay = display;
    word.translationsZh = {display + QStringLiteral("的译文")};
    word.repeatCount = repeatCount;
    return word;
}

} // namespace

class PreferenceRestoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlaybackServices> m_services;
    std::unique_ptr<PlaybackViewModel> m_viewModel;

    PlaybackViewModel &viewModel() { return *m_viewModel; }
    QString ownerKey(const UserSummary &user) const
    {
        return *BackendConfiguration::ownerKey(
            user.id, BackendConfiguration::environmentPartitionKey(m_services->baseURL));
    }
    void storeRecord(const UserSummary &user, std::optional<PlaybackPreference> confirmed,
        std::optional<PlaybackPreference> pending = std::nullopt)
    {
        PlaybackPreferenceLocalRecord record;
        record.confirmed = std::move(confirmed);
        if (pending) {
            PendingPlaybackPreferenceWrite write;
            write.operationID = QStringLiteral("6F1C1D2E-0000-4000-8000-000000000001");
            write.preference = *pending;
            write.changedFields = {PlaybackPreferenceField::playbackItems};
            write.enqueuedAt = m_services->clock.now();
            write.nextAttemptAt = m_services->clock.now().addSecs(60); // not due yet
            record.pending = write;
        }
        PlaybackPreferenceOfflineStore::saveRecord(record, ownerKey(user), m_services->defaults);
    }
    QList<QString> items() const { return m_viewModel->playbackPreference()->playbackItems; }
    QStringList requestedTexts() const
    {
        QStringList texts;
        for (const FakeSpeechService::Request &request : m_services->speech.requests)
            texts.append(request.text);
        return texts;
    }
    // Binds lin, lets the restore finish, and starts the first word.
    void bindAndPlay(const QList<ORVWord> &words)
    {
        viewModel().updateSession(QStringLiteral("token"), lin);
        settle();
        viewModel().setPlaylist(words);
        viewModel().playWord(0);
        settle();
    }

private Q_SLOTS:
    void init()
    {
        m_services = std::make_unique<FakePlaybackServices>();
        m_viewModel = m_services->makeViewModel();
    }
    void cleanup()
    {
        m_viewModel.reset();
        QVERIFY(m_services->drained());
        m_services.reset();
    }

    void bindingTheSameTokenAndUserTwiceRestoresOnce()
    {
        viewModel().updateSession(QStringLiteral("token-1"), lin);
        viewModel().updateSession(QStringLiteral("token-1"), lin);
        settle();
        QCOMPARE(m_services->api.fetchTokens, QStringList {"token-1"});

        // A refreshed token binds again.
        viewModel().updateSession(QStringLiteral("token-2"), lin);
        settle();
        QCOMPARE(m_services->api.fetchTokens, (QStringList {"token-1", "token-2"}));
    }

    void theUsersOwnPreferenceAppliesAtOnce_data()
    {
        QTest::addColumn<std::optional<PlaybackPreference>>("confirmed");
        QTest::addColumn<std::optional<PlaybackPreference>>("pending");
        QTest::addColumn<QList<QString>>("applied");
        QTest::addColumn<bool>("readsTheServer");
        using Preference = std::optional<PlaybackPreference>;
        QTest::newRow("confirmed only") << Preference(preference({"SPELLING"})) << Preference()
                                        << QList<QString> {"SPELLING"} << true;
        QTest::newRow("pending wins") << Preference(preference({"SPELLING"}))
                                      << Preference(preference({"TRANSLATION_ZH"})) << QList<QString> {"TRANSLATION_ZH"}
                                      << false;
        QTest::newRow("nothing stored") << Preference() << Preference() << PlaybackPreference().playbackItems << true;
    }
    void theUsersOwnPreferenceAppliesAtOnce()
    {
        QFETCH(std::optional<PlaybackPreference>, confirmed);
        QFETCH(std::optional<PlaybackPreference>, pending);
        QFETCH(QList<QString>, applied);
        QFETCH(bool, readsTheServer);
        storeRecord(lin, confirmed, pending);
        m_services->api.holdAnswers = true;
        m_services->api.serverPreference = preference({"WORD"}, 9);

        viewModel().updateSession(QStringLiteral("token"), lin);
        QCOMPARE(items(), applied);

        QVERIFY(m_services->drained());
        // A change still waiting to be sent (deferred) is not overridden by the server.
        QCOMPARE(m_services->api.fetchTokens.size(), readsTheServer ? 1 : 0);
        QCOMPARE(items(), readsTheServer ? QList<QString> {"WORD"} : applied);
        const PlaybackPreferenceLocalRecord record
            = PlaybackPreferenceOfflineStore::loadRecord(ownerKey(lin), m_services->defaults);
        QCOMPARE(record.confirmed ? record.confirmed->version : 0, readsTheServer ? 9 : confirmed->version);
        QCOMPARE(record.pending.has_value(), pending.has_value());
    }

    void anInvalidPreferenceIsRefusedAndNotStored()
    {
        storeRecord(lin, preference({"SPELLING"}));
        m_services->api.serverPreference = preference({"WORD"}, 0);
        QTest::ignoreMessage(QtCriticalMsg, "服务端播放偏好无法写入本地确认快照");

        viewModel().updateSession(QStringLiteral("token"), lin);
        settle();

        QCOMPARE(viewModel().errorMessage(), QStringLiteral("服务器返回的全局播放设置无效，请稍后重试"));
        QCOMPARE(items(), QList<QString> {"SPELLING"});
        QCOMPARE(PlaybackPreferenceOfflineStore::loadRecord(ownerKey(lin), m_services->defaults).confirmed->version, 2);
    }

    void aFailedServerReadKeepsThePreferenceInForce()
    {
        storeRecord(lin, preference({"SPELLING"}));
        m_services->api.serverPreference = std::nullopt;
        QTest::ignoreMessage(QtInfoMsg, "全局播放偏好暂不可用，继续使用本地安全默认值");

        viewModel().updateSession(QStringLiteral("token"), lin);
        settle();

        QCOMPARE(items(), QList<QString> {"SPELLING"});
        QVERIFY(!viewModel().showErrorAlert());
    }

    void answersForAnEarlierBindingAreDropped_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("logout") << "logout";
        QTest::newRow("another user") << "another user";
        QTest::newRow("another token") << "another token";
    }
    void answersForAnEarlierBindingAreDropped()
    {
        QFETCH(QString, change);
        m_services->api.holdAnswers = true;
        m_services->api.serverPreference = preference({"WORD"}, 5);
        viewModel().updateSession(QStringLiteral("token-1"), lin);
        settle();

        m_services->api.serverPreference = preference({"TRANSLATION_ZH"}, 6);
        if (change == "logout")
            viewModel().clearSession();
        else if (change == "another user")
            viewModel().updateSession(QStringLiteral("token-2"), wu);
        else
            viewModel().updateSession(QStringLiteral("token-2"), lin);
        settle();
        // The newer answer first, then the stale one.
        for (qsizetype i = m_services->api.gates.size() - 1; i >= 0; --i) {
            m_services->api.gates.at(i)->open();
            settle();
        }

        QCOMPARE(items(), change == "logout" ? PlaybackPreference().playbackItems : QList<QString> {"TRANSLATION_ZH"});
    }

    void aVoiceChangeIsHeardFromTheNextRepetition()
    {
        bindAndPlay({makeWord(1, "cat", 2)});
        const qsizetype requests = m_services->speech.requests.size();
        PlaybackPreference british = *viewModel().playbackPreference();
        british.voiceEn = sonia;

        viewModel().applyServerPreference(british);

        QCOMPARE(m_services->speech.requests.size(), requests);
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QVERIFY(!m_services->player.calls.contains("deactivate"));
        for (int i = 0; i < 3; ++i) { // WORD, SPELLING, TRANSLATION_ZH of repetition 1
            m_services->player.finishClip();
            settle();
        }
        QCOMPARE(viewModel().currentWordRepeatProgress(), 2);
        QCOMPARE(m_services->speech.requests.last().voiceID, sonia);
        QCOMPARE(m_services->speech.requests.first().voiceID, QStringLiteral("en-US-JennyNeural"));
    }

    void droppingTheUnitInProgressStartsTheNextOne_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::newRow("playing") << false;
        QTest::newRow("paused") << true;
    }
    void droppingTheUnitInProgressStartsTheNextOne()
    {
        QFETCH(bool, paused);
        bindAndPlay({makeWord(1, "cat")});
        if (paused)
            viewModel().pause();
        m_services->player.calls.clear();

        viewModel().applyServerPreference(preference({"SPELLING", "TRANSLATION_ZH"}));
        QCOMPARE(viewModel().playbackState(), PlaybackState::loading);
        settle();

        QCOMPARE(requestedTexts(), (QStringList {"cat", "C A T"}));
        QCOMPARE(viewModel().currentUnitRawValue(), QStringLiteral("SPELLING"));
        QCOMPARE(viewModel().playbackState(), paused ? PlaybackState::paused : PlaybackState::playing);
        const QStringList calls
            = paused ? QStringList {"deactivate", "play", "pause"} : QStringList {"deactivate", "play"};
        QCOMPARE(m_services->player.calls, calls);
        QCOMPARE(viewModel().currentAvailableUnits(),
            (QList<ORVPlaybackUnit> {ORVPlaybackUnit::spelling, ORVPlaybackUnit::translation}));
    }

    void droppingTheLastUnitLeftEndsTheRepetition()
    {
        bindAndPlay({makeWord(1, "cat"), makeWord(2, "dog")});
        m_services->player.finishClip();
        settle();
        m_services->player.finishClip();
        settle();
        QCOMPARE(viewModel().currentUnitRawValue(), QStringLiteral("TRANSLATION_ZH"));

        viewModel().applyServerPreference(preference({"WORD", "SPELLING"}));
        settle();

        QCOMPARE(viewModel().currentPlayingIndex(), std::optional<qsizetype>(1));
        QCOMPARE(requestedTexts().last(), QStringLiteral("dog"));
    }

    void anAddedUnitFollowsTheUnitInProgress()
    {
        m_services->api.serverPreference = preference({"WORD", "TRANSLATION_ZH"});
        bindAndPlay({makeWord(1, "cat")});
        m_services->player.finishClip();
        settle();
        QCOMPARE(viewModel().currentUnitRawValue(), QStringLiteral("TRANSLATION_ZH"));

        // The new order puts SPELLING first, but the word was already spoken.
        viewModel().applyServerPreference(preference({"SPELLING", "TRANSLATION_ZH", "WORD"}));
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        m_services->player.finishClip();
        settle();
        m_services->player.finishClip();
        settle();

        QCOMPARE(requestedTexts(), (QStringList {"cat", "cat的译文", "C A T"}));
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
    }

    void aWordWithItsOwnProfileIsNeverReplanned()
    {
        ORVWord word = makeWord(1, "cat");
        word.playbackProfile = WordPlaybackProfile::makeDefault(1);
        bindAndPlay({word});
        m_services->player.calls.clear();

        viewModel().applyServerPreference(preference({"EXPLANATION"}));

        QCOMPARE(viewModel().currentAvailableUnits(),
            (QList<ORVPlaybackUnit> {ORVPlaybackUnit::word, ORVPlaybackUnit::spelling, ORVPlaybackUnit::translation}));
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QVERIFY(m_services->player.calls.isEmpty());
    }
};

TALVORO_TEST(PreferenceRestoreTest)
#include "tst_preferencerestore.moc"
