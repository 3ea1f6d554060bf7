#include "PlaybackFakes.h"
#include "TestRegistry.h"

#include "Playback/AudioCacheManager.h"
#include "Playback/GlobalPlaybackSession.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

namespace {

const UserSummary lin {42, QStringLiteral("lin")};
const UserSummary wu {43, QStringLiteral("wu")};

QList<ORVWord> words(int count)
{
    QList<ORVWord> list;
    for (int i = 1; i <= count; ++i) {
        ORVWord word;
        word.id = i;
        word.wordDisplay = QStringLiteral("word%1").arg(i);
        word.playbackItems = QList<QString> {"WORD"};
        list.append(word);
    }
    return list;
}

} // namespace

class GlobalPlaybackSessionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlaybackServices> m_services;
    FakeSpeechService *m_speech = nullptr;
    FakeAudioPlayer *m_player = nullptr;
    std::unique_ptr<GlobalPlaybackSession> m_session;
    int m_viewModelsMade = 0;

    GlobalPlaybackSession &session() { return *m_session; }

    QStringList shown() const
    {
        const auto &presentation = m_session->presentation();
        if (!presentation)
            return {};
        return {presentation->word, presentation->playlistName, presentation->statusText, presentation->progressText};
    }

private Q_SLOTS:
    void init()
    {
        m_services = std::make_unique<FakePlaybackServices>();
        m_speech = &m_services->speech;
        m_player = &m_services->player;
        m_viewModelsMade = 0;
        auto factory = [this] {
            ++m_viewModelsMade;
            return m_services->makeViewModel();
        };
        m_session
            = std::make_unique<GlobalPlaybackSession>(factory, [](const QString &, const TTSVoice &) { return false; });
    }
    void cleanup()
    {
        m_session.reset();
        QVERIFY(m_services->drained());
        m_services.reset();
    }

    void playPublishesTheListAndFollowsTheViewModel()
    {
        session().play(QStringLiteral("  考研词汇 \n"), words(3), QStringLiteral("token"), lin, 1);

        QCOMPARE(session().context()->playlistName, QStringLiteral("考研词汇"));
        QCOMPARE(session().context()->words, words(3));
        QCOMPARE(shown(), (QStringList {"word2", "考研词汇", "正在准备 · 英文单词", "2 / 3"}));
        settle();
        QCOMPARE(shown(), (QStringList {"word2", "考研词汇", "正在播放 · 英文单词", "2 / 3"}));
        session().playbackViewModel()->pause();
        QCOMPARE(session().property("presentationStatusText").toString(), QStringLiteral("已暂停 · 英文单词"));
        QCOMPARE(session().property("presentationActivity").toString(), QStringLiteral("paused"));
        session().playbackViewModel()->resume();
        m_player->finishClip();
        QCOMPARE(shown(), (QStringList {"word3", "考研词汇", "正在准备 · 英文单词", "3 / 3"}));
        settle();
        m_player->finishClip(); // the end of the list
        QCOMPARE(shown(), QStringList());
        QVERIFY(session().context());
    }

    void startIndicesOutsideTheListStartAtTheFirstWord_data()
    {
        QTest::addColumn<qsizetype>("start");
        QTest::addColumn<int>("playing");
        QTest::newRow("inside") << qsizetype(2) << 2;
        QTest::newRow("count") << qsizetype(3) << 0;
        QTest::newRow("beyond") << qsizetype(40) << 0;
        QTest::newRow("negative") << qsizetype(-1) << 0;
    }
    void startIndicesOutsideTheListStartAtTheFirstWord()
    {
        QFETCH(qsizetype, start);
        QFETCH(int, playing);
        session().play(QStringLiteral("list"), words(3), QStringLiteral("token"), lin, start);
        QCOMPARE(session().playbackViewModel()->currentPlayingIndex(), std::optional<qsizetype>(playing));
    }

    void aBlankNameBecomesTheDefaultAndEveryPlayGetsANewIdentity()
    {
        session().play(QStringLiteral(" \t "), words(2), QStringLiteral("token"), lin, 0);
        const GlobalPlaybackContext first = *session().context();
        QCOMPARE(first.playlistName, QStringLiteral("单词播放"));
        session().play(QStringLiteral(" \t "), words(2), QStringLiteral("token"), lin, 0);
        QVERIFY(session().context()->id != first.id);
        QCOMPARE(m_viewModelsMade, 1);
    }

    void anEmptyListStopsAndClearsTheList()
    {
        session().play(QStringLiteral("list"), words(3), QStringLiteral("token"), lin, 0);
        session().setFullPlayerPresented(true);
        PlaybackViewModel *viewModel = session().playbackViewModel();

        session().play(QStringLiteral("list"), {}, QStringLiteral("token"), lin, 0);

        QVERIFY(!session().context());
        QVERIFY(!session().presentation());
        QVERIFY(!session().isFullPlayerPresented());
        QCOMPARE(session().activeUserID(), std::optional<qint64>(42));
        QCOMPARE(session().playbackViewModel(), viewModel);
        QCOMPARE(viewModel->playbackState(), PlaybackState::stopped);
    }

    void withoutAUserEverythingIsReset()
    {
        session().play(QStringLiteral("list"), words(3), QStringLiteral("token"), lin, 0);
        session().setFullPlayerPresented(true);
        const QPointer<PlaybackViewModel> viewModel = session().playbackViewModel();

        session().play(QStringLiteral("list"), words(3), QStringLiteral("token"), std::nullopt, 0);

        QVERIFY(!viewModel);
        QVERIFY(!session().playbackViewModel());
        QVERIFY(!session().context());
        QVERIFY(!session().presentation());
        QVERIFY(!session().isFullPlayerPresented());
        QCOMPARE(session().activeUserID(), std::nullopt);
        QVERIFY(m_player->calls.endsWith("deactivate"));
    }

    void anotherUserGetsANewViewModel()
    {
        session().play(QStringLiteral("list"), words(3), QStringLiteral("token-lin"), lin, 0);
        const QPointer<PlaybackViewModel> first = session().playbackViewModel();

        session().play(QStringLiteral("list"), words(2), QStringLiteral("token-wu"), wu, 1);

        QVERIFY(!first);
        QCOMPARE(m_viewModelsMade, 2);
        QCOMPARE(session().activeUserID(), std::optional<qint64>(43));
        QCOMPARE(session().playbackViewModel()->currentPlayingIndex(), std::optional<qsizetype>(1));
        settle();
        QCOMPARE(m_speech->requests.last().accessToken, std::optional<QString>("token-wu"));
    }

    void activateStopsPlaybackAndKeepsTheList()
    {
        session().play(QStringLiteral("list"), words(3), QStringLiteral("token"), lin, 0);
        settle();
        const GlobalPlaybackContext context = *session().context();
        PlaybackViewModel *viewModel = session().playbackViewModel();

        session().activate(QStringLiteral("token"), lin);

        QCOMPARE(session().playbackViewModel(), viewModel);
        QCOMPARE(viewModel->playbackState(), PlaybackState::stopped);
        QCOMPARE(*session().context(), context);
        QVERIFY(!session().presentation());

        session().activate(QStringLiteral("token"), std::nullopt);
        QVERIFY(!session().playbackViewModel());
        QVERIFY(!session().context());
    }

    void anEditedWordReplacesEveryOccurrence()
    {
        QList<ORVWord> list = words(2);
        list.append(list.first());
        session().play(QStringLiteral("list"), list, QStringLiteral("token"), lin, 2);
        const QUuid id = session().context()->id;
        ORVWord edited = list.first();
        edited.wordDisplay = QStringLiteral("edited");

        QVERIFY(session().updateWord(edited));

        QCOMPARE(session().context()->id, id);
        QCOMPARE(session().context()->words.at(0).wordDisplay, QStringLiteral("edited"));
        QCOMPARE(session().context()->words.at(2).wordDisplay, QStringLiteral("edited"));
        QCOMPARE(session().presentation()->word, QStringLiteral("edited"));

        QSignalSpy contextChanges(m_session.get(), &GlobalPlaybackSession::contextChanged);
        ORVWord stranger = edited;
        stranger.id = 99;
        QVERIFY(!session().updateWord(stranger));
        QCOMPARE(contextChanges.size(), 0);
    }
};

TALVORO_TEST(GlobalPlaybackSessionTest)
#include "tst_globalplayback.moc"
