#include "PlaybackFakes.h"
#include "TestRegistry.h"

#include "Playback/GlobalPlaybackPresentation.h"
#include "Playback/GlobalPlaybackSession.h"

#include <QPointer>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

namespace {

const UserSummary lin {42, QStringLiteral("lin")};
const UserSummary wu {43, QStringLiteral("wu")};

QList<ORVWord> words(int count)
{
    QList<ORVWord> list;
    for (int i = 1; i <= count; ++i)
        list.append(makeWord(i, QStringLiteral("word%1").arg(i), QList<QString> {"WORD"}));
    return list;
}

} // namespace

class GlobalPlaybackSessionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlaybackServices> m_services;
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
    }

    void playPublishesTheListAndFollowsTheViewModel()
    {
        session().play(QStringLiteral("  考研词汇 \n"), words(3), QStringLiteral("token"), lin, 1);

        QCOMPARE(session().context()->words, words(3));
        QCOMPARE(shown(), (QStringList {"word2", "考研词汇", "正在准备 · 英文单词", "2 / 3"}));
        settle();
        QCOMPARE(shown(), (QStringList {"word2", "考研词汇", "正在播放 · 英文单词", "2 / 3"}));
        session().playbackViewModel()->pause();
        QCOMPARE(session().property("presentationStatusText").toString(), QStringLiteral("已暂停 · 英文单词"));
        session().playbackViewModel()->resume();
        m_services->player.finishClip();
        QCOMPARE(shown(), (QStringList {"word3", "考研词汇", "正在准备 · 英文单词", "3 / 3"}));
        settle();
        m_services->player.finishClip(); // the end of the list
        QCOMPARE(shown(), QStringList());
        QVERIFY(session().context());
    }

    void startIndicesOutsideTheListStartAtTheFirstWord_data()
    {
        QTest::addColumn<qsizetype>("start");
        QTest::addColumn<int>("playing");
        QTest::newRow("inside") << qsizetype(2) << 2;
        QTest::newRow("count") << qsizetype(3) << 0;
        QTest::newRow("negative") << qsizetype(-1) << 0;
    }
    void startIndicesOutsideTheListStartAtTheFirstWord()
    {
        QFETCH(qsizetype, start);
        QFETCH(int, playing);
        session().play(QStringLiteral("list"), words(3), QStringLiteral("token"), lin, start);
        QCOMPARE(session().playbackViewModel()->currentPlayingIndex(), std::optional<qsizetype>(playing));
    }

    // A second play (or activate) after a list of three plays with the full player shown.
    void theNextListReplacesTheContext_data()
    {
        QTest::addColumn<QString>("how"); // "play" or "activate"
        QTest::addColumn<int>("count");
        QTest::addColumn<std::optional<UserSummary>>("user");
        QTest::addColumn<QString>("name"); // of the new context; empty: none
        QTest::addColumn<int>("viewModels"); // 0: none left
        QTest::newRow("same user: a new identity") << "play" << 2 << std::optional(lin) << "单词播放" << 1;
        QTest::newRow("another user: a new view model") << "play" << 2 << std::optional(wu) << "单词播放" << 2;
        QTest::newRow("empty list: stopped, no context") << "play" << 0 << std::optional(lin) << "" << 1;
        QTest::newRow("no user: everything reset") << "play" << 2 << std::optional<UserSummary>() << "" << 0;
        QTest::newRow("activate: stopped, context kept") << "activate" << 0 << std::optional(lin) << "list" << 1;
        QTest::newRow("activate without a user") << "activate" << 0 << std::optional<UserSummary>() << "" << 0;
    }
    void theNextListReplacesTheContext()
    {
        QFETCH(QString, how);
        QFETCH(int, count);
        QFETCH(std::optional<UserSummary>, user);
        QFETCH(QString, name);
        QFETCH(int, viewModels);
        session().play(QStringLiteral("list"), words(3), QStringLiteral("token-1"), lin, 0);
        session().setFullPlayerPresented(true);
        const QUuid firstID = session().context()->id;
        const QPointer<PlaybackViewModel> first = session().playbackViewModel();
        settle();

        if (how == "play")
            session().play(QStringLiteral(" \t "), words(count), QStringLiteral("token-2"), user, 1);
        else
            session().activate(QStringLiteral("token-2"), user);
        settle();

        QCOMPARE(session().context() ? session().context()->playlistName : QString(), name);
        if (session().context())
            QCOMPARE(session().context()->id == firstID, how == "activate");
        QCOMPARE(session().activeUserID(), user ? std::optional(user->id) : std::nullopt);
        QCOMPARE(first.isNull(), viewModels != 1);
        QCOMPARE(m_viewModelsMade, std::max(viewModels, 1));
        QCOMPARE(session().playbackViewModel() != nullptr, viewModels > 0);
        if (name.isEmpty() || how == "activate")
            QVERIFY(!session().presentation());
        if (name.isEmpty())
            QVERIFY(!session().isFullPlayerPresented());
        if (count == 0 && first)
            QCOMPARE(first->playbackState(), PlaybackState::stopped);
        if (count > 0 && user) {
            QCOMPARE(session().playbackViewModel()->currentPlayingIndex(), std::optional<qsizetype>(1));
            QCOMPARE(m_services->speech.requests.last().accessToken, std::optional<QString>("token-2"));
        }
        if (!user)
            QVERIFY(m_services->player.calls.endsWith("deactivate"));
    }

    void anEditedWordReplacesEveryOccurrence()
    {
        QList<ORVWord> list = words(2);
        list.append(list.first());
        session().play(QStringLiteral("list"), list, QStringLiteral("token"), lin, 2);
        ORVWord edited = list.first();
        edited.wordDisplay = QStringLiteral("edited");

        QVERIFY(session().updateWord(edited));

        QCOMPARE(session().context()->words.at(0).wordDisplay, QStringLiteral("edited"));
        QCOMPARE(session().context()->words.at(2).wordDisplay, QStringLiteral("edited"));
        QCOMPARE(session().presentation()->word, QStringLiteral("edited"));
        edited.id = 99;
        QVERIFY(!session().updateWord(edited));
    }
};

class GlobalPlaybackPresentationTest : public QObject {
    Q_OBJECT

    static GlobalPlaybackContext context(qsizetype count)
    {
        GlobalPlaybackContext context {QUuid::createUuid(), QStringLiteral("考研词汇"), {}};
        for (qsizetype i = 0; i < count; ++i) {
            ORVWord word;
            word.id = i + 1;
            word.wordDisplay = QStringLiteral(" word%1 ").arg(i + 1);
            context.words.append(word);
        }
        return context;
    }

private Q_SLOTS:
    void presents_data()
    {
        QTest::addColumn<qsizetype>("words");
        QTest::addColumn<PlaybackState>("state");
        QTest::addColumn<std::optional<qsizetype>>("index");
        QTest::addColumn<std::optional<QString>>("unit");
        QTest::addColumn<QStringList>("shown"); // word, status, progress; empty: nothing shown
        using Index = std::optional<qsizetype>;
        using Unit = std::optional<QString>;

        QTest::newRow("stopped") << qsizetype(3) << PlaybackState::stopped << Index(0) << Unit("WORD") << QStringList();
        QTest::newRow("index = count") << qsizetype(3) << PlaybackState::playing << Index(3) << Unit() << QStringList();
        QTest::newRow("negative index") << qsizetype(3) << PlaybackState::playing << Index(-1) << Unit()
                                        << QStringList();
        QTest::newRow("no index") << qsizetype(3) << PlaybackState::playing << Index() << Unit() << QStringList();
        QTest::newRow("loading the first of three") << qsizetype(3) << PlaybackState::loading << Index(0) << Unit()
                                                    << QStringList {" word1 ", "正在准备", "1 / 3"};
        QTest::newRow("spelling the second of twelve")
            << qsizetype(12) << PlaybackState::playing << Index(1) << Unit("SPELLING")
            << QStringList {" word2 ", "正在播放 · 逐字母拼写", "2 / 12"};
        QTest::newRow("paused, unknown unit") << qsizetype(3) << PlaybackState::paused << Index(2) << Unit("spelling")
                                              << QStringList {" word3 ", "已暂停", "3 / 3"};
        QTest::newRow("explanation") << qsizetype(1) << PlaybackState::paused << Index(0) << Unit("EXPLANATION")
                                     << QStringList {" word1 ", "已暂停 · 详细解释与场景", "1 / 1"};
    }
    void presents()
    {
        QFETCH(qsizetype, words);
        QFETCH(PlaybackState, state);
        QFETCH(std::optional<qsizetype>, index);
        QFETCH(std::optional<QString>, unit);
        QFETCH(QStringList, shown);

        const auto presentation = GlobalPlaybackPresentation::make(context(words), state, index, unit);
        QCOMPARE(presentation.has_value(), !shown.isEmpty());
        if (!presentation)
            return;
        QCOMPARE((QStringList {presentation->word, presentation->statusText, presentation->progressText}), shown);
        QCOMPARE(presentation->playlistName, QStringLiteral("考研词汇"));
        const GlobalPlaybackActivity activity = state == PlaybackState::loading ? GlobalPlaybackActivity::loading
            : state == PlaybackState::playing                                   ? GlobalPlaybackActivity::playing
                                                                                : GlobalPlaybackActivity::paused;
        QCOMPARE(presentation->activity, activity);
    }
};

TALVORO_TEST(GlobalPlaybackSessionTest)
TALVORO_TEST(GlobalPlaybackPresentationTest)
#include "tst_globalplayback.moc"
