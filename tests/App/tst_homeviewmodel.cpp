#include "../Session/SessionTesting.h"
#include "HomeFakes.h"
#include "TestRegistry.h"

#include "App/HomeViewModel.h"
#include "Networking/BackendConfiguration.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace homefakes;
using namespace sessiontesting;
using Phase = HomeViewModel::HomeLoadPhase;

namespace {

const QString unavailableStore = LocalWordStoreError(LocalWordStoreError::Kind::unavailable).description();

struct HomeFixture {
    SessionFixture sessions;
    FakeHomeAPIClient api;
    FakeLocalStore store;
    FakePlaylistSync sync;
    std::optional<QString> environmentKey
        = BackendConfiguration::environmentPartitionKey(QUrl(QStringLiteral("https://api.example.com")));
    std::unique_ptr<HomeViewModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    HomeFixture()
    {
        auto provider = [this]() -> LocalWordStoreProtocol & { return store; };
        auto synchronizer
            = [this](QString token, QString owner, bool force) { return sync.synchronize(token, owner, force); };
        model = std::make_unique<HomeViewModel>(api, provider, synchronizer, *sessions.session, environmentKey);
        tester = std::make_unique<QAbstractItemModelTester>(
            model->publicLexiconModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    QString ownerKey() const { return *BackendConfiguration::ownerKey(7, environmentKey); }
    AppSession *session() const { return sessions.session.get(); }
    Task<> loadAlice(bool force = false, const QString &token = QStringLiteral("A1"))
    {
        return model->load(token, UserSummary {7, QStringLiteral("alice")}, session(), force);
    }
    Task<> loadSignedOut() { return model->load(std::nullopt, std::nullopt, session(), false); }
};

QStringList names(const QList<PublicLexiconSummary> &lexicons)
{
    QStringList list;
    for (const auto &lexicon : lexicons)
        list.append(lexicon.name);
    return list;
}

} // namespace

class HomeViewModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void callsForTheSameAccountShareOneLoad()
    {
        HomeFixture f;
        f.store.playlistsByOwner[f.ownerKey()] = {playlist(5, QStringLiteral("通勤"))};
        f.sync.report.synchronizationErrorDescription = QStringLiteral("网络连接已中断");
        f.api.hold = true;
        auto first = startAwaiting(f.loadAlice());
        auto second = startAwaiting(f.loadAlice());
        QTRY_COMPARE(f.api.gates.size(), 2);
        // Local data is on screen before any answer.
        QCOMPARE(f.model->playlistCount(), 1);
        QCOMPARE(f.model->loadPhase(), Phase::initialLoading);
        QCOMPARE(f.store.migrations, (QList<QPair<QString, QString>> {{QStringLiteral("alice"), f.ownerKey()}}));

        f.api.releaseAll();
        QTRY_VERIFY(first->finished && second->finished);
        QCOMPARE(f.api.publicCalls, 1);
        QCOMPARE(f.sync.forceFlags, QList<bool> {false});
        QCOMPARE(f.model->loadPhase(), Phase::idle);
        QCOMPARE(names(f.model->publicLexicons()), QStringList {QStringLiteral("四级核心词")});
        QCOMPARE(f.model->userLexiconCount(), 1);
        QCOMPARE(f.store.lexicons.value(f.ownerKey()).size(), 1);
        QCOMPARE(f.model->statusBannerMessage(), QStringLiteral("播放列表当前显示本地数据：网络连接已中断"));
        QVERIFY(!f.model->statusBannerIsError());
    }

    void forcedCallDuringAnUnforcedLoadRunsRightAfterIt()
    {
        HomeFixture f;
        f.api.hold = true;
        auto unforced = startAwaiting(f.loadAlice(false));
        QTRY_COMPARE(f.api.gates.size(), 2);
        auto forced = startAwaiting(f.loadAlice(true));
        auto forcedAgain = startAwaiting(f.loadAlice(true));
        settle();
        QCOMPARE(f.sync.forceFlags, QList<bool> {false});

        f.api.releaseAll();
        QTRY_VERIFY(unforced->finished);
        QTRY_COMPARE(f.api.gates.size(), 4);
        QCOMPARE(f.sync.forceFlags, (QList<bool> {false, true}));
        QCOMPARE(f.model->loadPhase(), Phase::refreshing);
        QVERIFY(!forced->finished && !forcedAgain->finished);

        f.api.releaseAll();
        QTRY_VERIFY(forced->finished && forcedAgain->finished);
        QCOMPARE(f.api.publicCalls, 2);
        QCOMPARE(f.model->loadPhase(), Phase::idle);
    }

    // A sign-out while the signed-in load waits: the new load starts at once and the
    // old one's answers, arriving later, change nothing.
    void loadForAnotherAccountReplacesTheRunningOne()
    {
        HomeFixture f;
        f.sessions.signIn();
        f.store.playlistsByOwner[f.ownerKey()] = {playlist(5, QStringLiteral("通勤"))};
        f.api.hold = true;
        f.sync.hold = true;
        auto alice = startAwaiting(f.loadAlice(true));
        QTRY_COMPARE(f.sync.gates.size(), 1);
        QCOMPARE(f.model->playlistCount(), 1);

        f.session()->logout();
        auto signedOut = startAwaiting(f.loadSignedOut());
        QTRY_VERIFY(alice->finished);
        QTRY_COMPARE(f.api.gates.size(), 3);
        QCOMPARE(f.model->loadPhase(), Phase::initialLoading);
        QCOMPARE(f.model->playlistCount(), 0);

        f.api.publicAnswer = [](const QString &) { return QList {publicLexicon(2, QStringLiteral("公开"))}; };
        f.api.gates.at(2)->open();
        QTRY_VERIFY(signedOut->finished);
        f.api.publicAnswer = [](const QString &) { return QList {publicLexicon(3, QStringLiteral("过期"))}; };
        f.api.releaseAll();
        f.sync.gates.constFirst()->open();
        settle();
        QCOMPARE(names(f.model->publicLexicons()), QStringList {QStringLiteral("公开")});
        QCOMPARE(f.model->userLexiconCount(), 0);
        QCOMPARE(f.model->playlistCount(), 0);
        QCOMPARE(f.model->errorMessage(), QString());
        QVERIFY(f.store.lexicons.isEmpty());
    }

    void failureTexts_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("networkUsed");
        QTest::addColumn<bool>("publicApplied");

        const QString serverDown = MobileAPIError::server(500, std::nullopt, QStringLiteral("维护中")).description();
        const QString badOwner = LocalWordStoreError(LocalWordStoreError::Kind::invalidOwnerKey).description();
        QTest::newRow("signed out, public lexicons fail") << "signedOutPublic"
                                                          << "公共词库加载失败：" + serverDown << true << false;
        QTest::newRow("user id 0") << "userIdZero"
                                   << "播放列表本地数据加载失败：" + badOwner << false << false;
        QTest::newRow("blank user name") << "blankName"
                                         << "播放列表本地数据加载失败：" + badOwner << false << false;
        QTest::newRow("local playlists unreadable")
            << "firstPlaylistRead"
            << "播放列表本地数据加载失败：" + unavailableStore << false << false;
        QTest::newRow("local lexicons unreadable") << "lexiconRead"
                                                   << "播放列表本地数据加载失败：" + unavailableStore << false << false;
        QTest::newRow("playlists unreadable after the sync")
            << "secondPlaylistRead"
            << "播放列表本地数据刷新失败：" + unavailableStore << true << true;
        QTest::newRow("public lexicons fail") << "public"
                                              << "首页数据刷新失败：" + serverDown << true << false;
        QTest::newRow("private lexicons fail") << "private"
                                               << "首页数据刷新失败：" + serverDown << true << false;
        QTest::newRow("saving private lexicons fails") << "save"
                                                       << "首页数据刷新失败：" + unavailableStore << true << true;
        QTest::newRow("cancelled") << "cancelled" << QString() << true << false;
        const QString offline = QStringLiteral("当前网络不可用，已保留本地首页数据");
        QTest::newRow("public lexicons unreachable") << "publicOffline" << offline << true << false;
        QTest::newRow("private lexicons unreachable") << "privateOffline" << offline << true << true;
    }
    void failureTexts()
    {
        QFETCH(QString, failure);
        QFETCH(QString, expected);
        QFETCH(bool, networkUsed);
        QFETCH(bool, publicApplied);
        HomeFixture f;
        const auto serverDown = [](const QString &) -> QList<PublicLexiconSummary> {
            throw MobileAPIError::server(500, std::nullopt, QStringLiteral("维护中"));
        };
        UserSummary user {7, QStringLiteral("alice")};
        if (failure == "signedOutPublic" || failure == "public")
            f.api.publicAnswer = serverDown;
        if (failure == "private") {
            f.api.privateAnswer = [](const QString &) -> QList<UserLexicon> {
                throw MobileAPIError::server(500, std::nullopt, QStringLiteral("维护中"));
            };
        }
        const auto unreachable = [] {
            return MobileAPIError::networkError(
                std::make_exception_ptr(TransportError(TransportError::Code::cannotConnectToHost)));
        };
        if (failure == "publicOffline")
            f.api.publicAnswer = [unreachable](const QString &) -> QList<PublicLexiconSummary> { throw unreachable(); };
        if (failure == "privateOffline")
            f.api.privateAnswer = [unreachable](const QString &) -> QList<UserLexicon> { throw unreachable(); };
        if (failure == "cancelled")
            f.api.publicAnswer = [](const QString &) -> QList<PublicLexiconSummary> { throw CancellationError(); };
        if (failure == "userIdZero")
            user.id = 0;
        if (failure == "blankName")
            user.username = QStringLiteral(" \n");
        f.store.failPlaylistReadNumber = failure == "firstPlaylistRead" ? 1 : failure == "secondPlaylistRead" ? 2 : 0;
        f.store.failLexiconRead = failure == "lexiconRead";
        f.store.failSave = failure == "save";
        f.store.lexicons[f.ownerKey()] = {userLexicon(9, QStringLiteral("本地词库"))};

        if (failure == "signedOutPublic")
            awaitResult(f.loadSignedOut());
        else
            awaitResult(f.model->load(QStringLiteral("A1"), user, f.session(), false));

        QCOMPARE(f.model->errorMessage(), expected);
        QCOMPARE(f.model->statusBannerIsError(), !expected.isEmpty());
        QCOMPARE(f.api.publicCalls > 0, networkUsed);
        QCOMPARE(f.model->publicLexicons().size(), publicApplied ? 1 : 0);
        QCOMPARE(f.model->loadPhase(), Phase::idle);
    }

    void unauthorizedAnswerRefreshesOnceAndRetries_data()
    {
        QTest::addColumn<int>("refreshStatus"); // 0: no refresh expected
        QTest::addColumn<bool>("retryAlsoRefused");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("withSession");
        QTest::addColumn<QStringList>("tokensSent");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("userLexicons");

        const QStringList both {QStringLiteral("A1"), QStringLiteral("A2")};
        const QStringList once {QStringLiteral("A1")};
        const QString offline = QStringLiteral("当前网络不可用，已保留本地首页数据");
        QTest::newRow("refreshed, the retry succeeds") << 200 << false << "A1" << true << both << QString() << 2;
        QTest::newRow("refreshed, the retry refused too") << 200 << true << "A1" << true << both << QString() << 1;
        QTest::newRow("refresh fails for now") << 503 << false << "A1" << true << once << offline << 1;
        QTest::newRow("refresh rejected") << 401 << false << "A1" << true << once << QString() << 1;
        QTest::newRow("token no longer the session's")
            << 0 << false << "OLD" << true << QStringList {QStringLiteral("OLD")} << QString() << 1;
        QTest::newRow("no session") << 0 << false << "A1" << false << once << QString() << 1;
    }
    void unauthorizedAnswerRefreshesOnceAndRetries()
    {
        QFETCH(int, refreshStatus);
        QFETCH(bool, retryAlsoRefused);
        QFETCH(QString, token);
        QFETCH(bool, withSession);
        QFETCH(QStringList, tokensSent);
        QFETCH(QString, expected);
        QFETCH(int, userLexicons);
        HomeFixture f;
        f.sessions.signIn();
        f.sessions.server.route("POST", refreshPath,
            refreshStatus == 200
                ? ScriptedResponse::json(200, tokenAnswer(QStringLiteral("A2"), QStringLiteral("R2")))
                : ScriptedResponse::json(refreshStatus, errorAnswer(QStringLiteral("AUTH_REFRESH_INVALID"))));
        f.store.lexicons[f.ownerKey()] = {userLexicon(9, QStringLiteral("本地词库"))};
        f.api.privateAnswer = [retryAlsoRefused](const QString &accessToken) {
            if (accessToken != QStringLiteral("A2") || retryAlsoRefused)
                throw MobileAPIError::unauthorized();
            return QList {userLexicon(11, QStringLiteral("云端一")), userLexicon(12, QStringLiteral("云端二"))};
        };

        AppSession *session = withSession ? f.session() : nullptr;
        awaitResult(f.model->load(token, UserSummary {7, QStringLiteral("alice")}, session, false));

        QCOMPARE(f.api.privateTokens, tokensSent);
        QCOMPARE(f.sessions.requestsTo(refreshPath), refreshStatus ? 1 : 0);
        QCOMPARE(f.model->errorMessage(), expected);
        QCOMPARE(f.model->userLexiconCount(), userLexicons);
    }

    // The offline note of a refresh that failed for now belongs to its own load: a
    // load that replaced it in the meantime keeps its own (empty) message.
    void transientRefreshFailureOfAnOvertakenLoadSaysNothing()
    {
        HomeFixture f;
        f.sessions.signIn();
        f.sessions.server.route("POST", refreshPath,
            ScriptedResponse::heldBack(ScriptedResponse::json(503, errorAnswer(QStringLiteral("UNAVAILABLE")))));
        f.api.privateAnswer = [](const QString &) -> QList<UserLexicon> { throw MobileAPIError::unauthorized(); };
        auto alice = startAwaiting(f.loadAlice());
        QTRY_COMPARE(f.sessions.server.heldCount(), 1);

        awaitResult(f.loadSignedOut());
        QVERIFY(alice->finished);
        auto joined = startAwaiting(f.session()->performRefresh());
        f.sessions.server.releaseHeld(0);
        QTRY_VERIFY(joined->finished);
        QCOMPARE(joined->value->kind, Kind::transientFailure);
        settle();
        QCOMPARE(f.model->errorMessage(), QString());
        QCOMPARE(f.model->loadPhase(), Phase::idle);
    }

    void answersAfterTheScreenIsGoneAreDropped()
    {
        HomeFixture f;
        f.api.hold = true;
        auto load = startAwaiting(f.loadAlice(true));
        QTRY_COMPARE(f.api.gates.size(), 2);
        f.tester.reset();
        f.model.reset();
        QTRY_VERIFY(load->finished);
        f.api.releaseAll();
        settle();
        QVERIFY(f.store.lexicons.isEmpty());
    }

    void playlistSynchronizationText_data()
    {
        QTest::addColumn<bool>("deletionFailed");
        QTest::addColumn<QString>("syncError");
        QTest::addColumn<QString>("expected");
        const QString deletion = QStringLiteral("部分云端删除尚未完成；请在联网后重新进入、回到前台或手动刷新以重试");
        QTest::newRow("both") << true << "超时" << deletion + "；播放列表当前显示本地数据：超时";
        QTest::newRow("deletion only") << true << QString() << deletion;
        QTest::newRow("sync error only") << false << "超时"
                                         << "播放列表当前显示本地数据：超时";
        QTest::newRow("neither") << false << QString() << QString();
    }
    void playlistSynchronizationText()
    {
        QFETCH(bool, deletionFailed);
        QFETCH(QString, syncError);
        QFETCH(QString, expected);
        PlaylistSyncReport report;
        if (deletionFailed)
            report.deletionRetry.failures = {{4, QStringLiteral("失败")}};
        if (!syncError.isEmpty())
            report.synchronizationErrorDescription = syncError;
        QCOMPARE(HomeViewModel::playlistSynchronizationText(report).value_or(QString()), expected);
    }
};

TALVORO_TEST(HomeViewModelTest)
#include "tst_homeviewmodel.moc"
