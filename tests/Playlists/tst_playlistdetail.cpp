#include "PlaylistTesting.h"
#include "TestRegistry.h"

#include "Playlists/PlaylistDetailModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace playlisttesting;

namespace {

const QString path3 = QStringLiteral("/api/v1/user/playlists/3");

ORVPlaylist morning()
{
    return playlist(3, QStringLiteral("晨读"),
        {item(11, QStringLiteral("w11"), 1), item(12, QStringLiteral("w12"), 2), item(13, QStringLiteral("w13"), 3)},
        4);
}

// The detail of 晨读 as the list held it (and as the store holds it), recording
// what it tells the list.
struct Detail {
    PlaylistFixture &f;
    QList<std::optional<QString>> reported;
    GlobalPlaybackSession playback {
        [] { return std::unique_ptr<PlaybackViewModel>(); }, [](const QString &, const TTSVoice &) { return false; }};
    std::unique_ptr<PlaylistDetailModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    explicit Detail(PlaylistFixture &fixture, const ORVPlaylist &shown = morning())
        : f(fixture)
    {
        f.realStore.upsertPlaylist(shown, f.owner);
        model = std::make_unique<PlaylistDetailModel>(
            shown, [this](std::optional<QString> text) { reported.append(text); }, f.services(), playback);
        tester = std::make_unique<QAbstractItemModelTester>(
            model->itemRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    QString messageShown() const
    {
        const auto &alert = model->activeAlert();
        return alert && alert->kind == PlaylistDetailModel::AlertKind::Message ? alert->message : QString();
    }
    qint64 storedVersion() const
    {
        const auto stored = f.realStore.fetchPlaylists(f.owner);
        return stored.isEmpty() ? 0 : stored[0].version;
    }
};

} // namespace

Q_DECLARE_METATYPE(talvoro::SessionRefreshResult)
Q_DECLARE_METATYPE(talvoro::SessionRefused::Reason)

class PlaylistDetailTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The second of three goes; the third moves up to position 2, the server's
    // acknowledged answer is stored and shown.
    void removeItem()
    {
        PlaylistFixture f;
        f.answerWrites("PUT", path3, 3, 5);
        Detail d(f);
        QSignalSpy deleting(d.model.get(), &PlaylistDetailModel::deletingItemIdChanged);
        awaitResult(d.model->removeItem(QStringLiteral("12_2")));
        const auto puts = f.sent("PUT", path3);
        QCOMPARE(puts.size(), 1);
        QCOMPARE(wordIdsSent(puts[0]), (QList<qint64> {11, 13}));
        QCOMPARE(positionsSent(puts[0]), (QList<qint64> {1, 2}));
        QCOMPARE(bodyOf(puts[0])[QStringLiteral("baseVersion")].toInteger(), 4);
        QCOMPARE(d.model->items().size(), 2);
        QCOMPARE(d.model->items()[1].id(), QStringLiteral("13_2"));
        QCOMPARE(d.model->playlistVersion(), 5);
        QCOMPARE(d.storedVersion(), 5);
        QCOMPARE(deleting.size(), 2); // set, then cleared
        QVERIFY(!d.model->activeAlert());
    }

    // An answer that does not acknowledge this very write is refused and nothing is stored.
    void acknowledgementCheck_data()
    {
        QTest::addColumn<qint64>("answerId");
        QTest::addColumn<qint64>("answerVersion");
        QTest::addColumn<bool>("reorder");
        QTest::addColumn<qint64>("repeatCount");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("acknowledged") << qint64(3) << qint64(5) << false << qint64(1) << true;
        QTest::newRow("same version") << qint64(3) << qint64(4) << false << qint64(1) << false;
        QTest::newRow("other id") << qint64(9) << qint64(5) << false << qint64(1) << false;
        QTest::newRow("other order") << qint64(3) << qint64(5) << true << qint64(1) << false;
        QTest::newRow("other repeat count") << qint64(3) << qint64(5) << false << qint64(2) << false;
    }
    void acknowledgementCheck()
    {
        QFETCH(qint64, answerId);
        QFETCH(qint64, answerVersion);
        QFETCH(bool, reorder);
        QFETCH(qint64, repeatCount);
        QFETCH(bool, accepted);
        PlaylistFixture f;
        f.server().route("PUT", path3, [=](const RecordedRequest &request) {
            ORVPlaylist answer = answerFor(request, answerId, answerVersion);
            if (reorder)
                std::swap(answer.items[0].wordId, answer.items[1].wordId);
            answer.items[0].repeatCount = repeatCount;
            return ScriptedResponse::json(200, envelope(answer));
        });
        Detail d(f);
        awaitResult(d.model->removeItem(QStringLiteral("13_3")));
        QCOMPARE(d.storedVersion(), accepted ? 5 : 4);
        QCOMPARE(d.model->items().size(), accepted ? 2 : 3);
        QCOMPARE(d.messageShown(),
            accepted ? QString()
                     : QStringLiteral("移除失败：服务端未返回可验证的播放列表更新结果，请重新进入页面后重试"));
    }

    // After an unauthorized answer the session refreshes once; what it comes to
    // decides between one retry and the texts.
    void refreshResults_data()
    {
        QTest::addColumn<int>("refreshStatus");
        QTest::addColumn<QByteArray>("refreshBody");
        QTest::addColumn<bool>("acceptNewToken");
        QTest::addColumn<QString>("message");
        QTest::newRow("refreshed") << 200 << tokenAnswer(QStringLiteral("A2"), QStringLiteral("R2")) << true
                                   << QString();
        QTest::newRow("refreshed, refused again")
            << 200 << tokenAnswer(QStringLiteral("A2"), QStringLiteral("R2")) << false
            << QStringLiteral("移除失败：") + MobileAPIError::unauthorized().description();
        QTest::newRow("rejected") << 401 << errorAnswer(QStringLiteral("AUTH_REFRESH_INVALID")) << true
                                  << QStringLiteral("移除失败：登录状态已失效，请重新登录后重试");
        QTest::newRow("network") << 503 << errorAnswer(QStringLiteral("DOWN")) << true
                                 << QStringLiteral(
                                        "移除失败：当前网络暂时无法续期登录状态，本地登录信息已保留，请稍后重试");
    }
    void refreshResults()
    {
        QFETCH(int, refreshStatus);
        QFETCH(QByteArray, refreshBody);
        QFETCH(bool, acceptNewToken);
        QFETCH(QString, message);
        PlaylistFixture f;
        f.server().route("POST", refreshPath, ScriptedResponse::json(refreshStatus, refreshBody));
        f.answerWritesFor(acceptNewToken ? QStringLiteral("A2") : QStringLiteral("none"), "PUT", path3, 3, 5);
        Detail d(f);
        awaitResult(d.model->removeItem(QStringLiteral("11_1")));
        QCOMPARE(d.messageShown(), message);
        QCOMPARE(f.sent("PUT", path3).size(), refreshStatus == 200 ? 2 : 1);
        QCOMPARE(d.model->items().size(), message.isEmpty() ? 2 : 3);
    }

    // What a refresh that leaves no usable token means for the write.
    void refusalForEachRefreshResult_data()
    {
        using Reason = SessionRefused::Reason;
        QTest::addColumn<SessionRefreshResult>("result");
        QTest::addColumn<Reason>("reason");
        QTest::newRow("refreshed, no token") << SessionRefreshResult::of(Kind::refreshed) << Reason::changed;
        QTest::newRow("not needed") << SessionRefreshResult::of(Kind::notNeeded) << Reason::changed;
        QTest::newRow("superseded") << SessionRefreshResult::of(Kind::superseded) << Reason::changed;
        QTest::newRow("transient") << SessionRefreshResult::of(Kind::transientFailure)
                                   << Reason::temporarilyUnavailable;
        QTest::newRow("cancelled") << SessionRefreshResult::of(Kind::cancelled) << Reason::temporarilyUnavailable;
        QTest::newRow("no session") << SessionRefreshResult::of(Kind::noSession) << Reason::expired;
        QTest::newRow("rejected") << SessionRefreshResult::definitivelyRejected(QStringLiteral("AUTH_REFRESH_INVALID"))
                                  << Reason::expired;
    }
    void refusalForEachRefreshResult()
    {
        QFETCH(SessionRefreshResult, result);
        QFETCH(SessionRefused::Reason, reason);
        QCOMPARE(SessionRefused::forRefresh(result), reason);
    }

    // Another caller refreshed the token for the same account while this write was
    // out: the write goes once more with the current token instead of giving up.
    void tokenRefreshedByAnotherCaller()
    {
        PlaylistFixture f;
        f.server().route(
            "POST", refreshPath, ScriptedResponse::json(200, tokenAnswer(QStringLiteral("A2"), QStringLiteral("R2"))));
        int answered = 0;
        f.server().route("PUT", path3, [&answered](const RecordedRequest &request) {
            ++answered;
            if (request.header("Authorization") != "Bearer A2")
                return ScriptedResponse::heldBack(
                    ScriptedResponse::json(401, errorAnswer(QStringLiteral("AUTH_TOKEN_EXPIRED"))));
            return ScriptedResponse::json(200, envelope(answerFor(request, 3, 5)));
        });
        Detail d(f);
        auto removal = startAwaiting(d.model->removeItem(QStringLiteral("11_1")));
        QTRY_COMPARE(f.server().heldCount(), 1);
        awaitResult(f.sessions.session->performRefresh());
        QCOMPARE(f.sessions.snapshot().accessToken, QStringLiteral("A2"));
        f.server().releaseHeld(0);
        QTRY_VERIFY(removal->finished);
        QCOMPARE(answered, 2);
        QCOMPARE(d.messageShown(), QString());
        QCOMPARE(d.model->playlistVersion(), 5);
    }

    // Signed in as someone else while the write was out: nothing is stored.
    void otherAccountMeanwhile()
    {
        PlaylistFixture f;
        f.server().route("PUT", path3,
            ScriptedResponse::heldBack(ScriptedResponse::json(200, envelope(playlist(3, "晨读", {}, 5)))));
        Detail d(f);
        auto removal = startAwaiting(d.model->removeItem(QStringLiteral("11_1")));
        QTRY_COMPARE(f.server().heldCount(), 1);
        f.sessions.session->logout();
        f.server().releaseHeld(0);
        QTRY_VERIFY(removal->finished);
        QCOMPARE(d.messageShown(), QStringLiteral("移除失败：登录账号已发生变化，为避免跨账号写入，本次操作已取消"));
        QCOMPARE(d.model->items().size(), 3);
    }

    // Deleted on this device while the removal was out: the deletion wins.
    void tombstoneWins()
    {
        PlaylistFixture f;
        f.server().route("PUT", path3, [](const RecordedRequest &request) {
            return ScriptedResponse::heldBack(ScriptedResponse::json(200, envelope(answerFor(request, 3, 5))));
        });
        Detail d(f);
        auto removal = startAwaiting(d.model->removeItem(QStringLiteral("11_1")));
        QTRY_COMPARE(f.server().heldCount(), 1);
        QVERIFY(d.model->isMutating());
        // Neither a second removal nor a deletion starts meanwhile.
        awaitResult(d.model->deletePlaylist());
        awaitResult(d.model->removeItem(QStringLiteral("12_2")));
        QVERIFY(d.reported.isEmpty());
        f.realStore.tombstonePlaylist(f.owner, 3);
        f.server().releaseHeld(0);
        QTRY_VERIFY(removal->finished);
        QCOMPARE(d.messageShown(), QStringLiteral("移除失败：该播放列表已被删除，本次条目更新不会恢复它"));
        QVERIFY(f.realStore.fetchPlaylists(f.owner).isEmpty());
        QVERIFY(!d.model->isMutating());
    }

    // A 409 reloads through a forced sync; the message says what the reload achieved.
    void conflict_data()
    {
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("message");
        QTest::newRow("refreshed") << "refreshed"
                                   << QStringLiteral("播放列表已在其他设备修改，已刷新为最新内容，请重新操作");
        QTest::newRow("sync failed") << "sync failed"
                                     << QStringLiteral("播放列表已在其他设备修改，暂未能刷新：网络连接已中断");
        QTest::newRow("signed out") << "signed out" << QStringLiteral("播放列表已在其他设备修改，请返回列表刷新后重试");
        QTest::newRow("gone") << "gone" << QString();
    }
    void conflict()
    {
        QFETCH(QString, outcome);
        QFETCH(QString, message);
        PlaylistFixture f;
        f.server().route("PUT", path3, [&f, outcome](const RecordedRequest &) {
            if (outcome == "signed out")
                f.sessions.session->logout();
            return ScriptedResponse::json(409, errorAnswer(QStringLiteral("DATA_CONFLICT")));
        });
        const ORVPlaylist changed = playlist(3, QStringLiteral("晨读"), {item(14, QStringLiteral("w14"), 1)}, 9);
        f.sync.onSync = [&f, outcome, changed] {
            if (outcome == "refreshed")
                f.realStore.upsertPlaylist(changed, f.owner);
            if (outcome == "gone")
                f.realStore.replaceAllPlaylists({}, f.owner, QDateTime::currentDateTimeUtc());
        };
        if (outcome == "sync failed")
            f.sync.report.synchronizationErrorDescription = QStringLiteral("网络连接已中断");
        Detail d(f);
        QSignalSpy dismissed(d.model.get(), &PlaylistDetailModel::dismissRequested);
        awaitResult(d.model->removeItem(QStringLiteral("11_1")));
        QCOMPARE(d.messageShown(), message);
        QCOMPARE(d.model->items().size(), outcome == "refreshed" ? 1 : 3);
        QCOMPARE(d.model->playlistVersion(), outcome == "refreshed" ? 9 : 4);
        QCOMPARE(dismissed.size(), outcome == "gone" ? 1 : 0);
        QCOMPARE(d.reported.size(), outcome == "gone" ? 1 : 0);
        QCOMPARE(f.sync.forceFlags, outcome == "signed out" ? QList<bool> {} : QList<bool> {true});
    }

    // Deleting is local at once; the cloud part reports to the list even after the
    // screen is gone.
    void deletePlaylist()
    {
        PlaylistFixture f;
        f.sync.drainReport.failures = {{8, QStringLiteral("失败")}};
        Detail d(f);
        QList<std::optional<QString>> reported;
        auto record = [&reported](std::optional<QString> text) { reported.append(text); };
        PlaylistDetailModel model(morning(), record, f.services(), d.playback);
        QSignalSpy dismissed(&model, &PlaylistDetailModel::dismissRequested);
        // The screen goes away as soon as it asks to.
        auto *owned = new PlaylistDetailModel(morning(), record, f.services(), d.playback);
        QObject::connect(owned, &PlaylistDetailModel::dismissRequested, owned, &QObject::deleteLater);
        auto deletion = startAwaiting(owned->deletePlaylist());
        QCOMPARE(reported.size(), 1);
        QCOMPARE(reported[0], std::nullopt);
        QTRY_VERIFY(deletion->finished);
        QCOMPARE(reported.size(), 2);
        QCOMPARE(reported[1],
            std::optional(QStringLiteral("云端删除暂未完成；记录已保存，重新进入页面、回到前台或手动刷新时会重试。")));
        QVERIFY(f.realStore.fetchPlaylists(f.owner).isEmpty());
        QCOMPARE(f.realStore.fetchPendingPlaylistDeletions(f.owner, std::nullopt).size(), 1);

        // A failed local deletion stays here and tells the list nothing.
        f.store.failTombstone = true;
        awaitResult(model.deletePlaylist());
        QCOMPARE(model.activeAlert()->message, QStringLiteral("本地删除失败：本地数据暂不可用，请重新启动应用后重试"));
        QCOMPARE(reported.size(), 2);
        QCOMPARE(dismissed.size(), 0);
    }

    // The rows become the words played, in list order.
    void wordsForPlayback()
    {
        ORVPlaylistItem first = item(11, QStringLiteral("Abandon"), 1, 3);
        first.translationsZh = QList<QString> {QStringLiteral("放弃")};
        first.ipa = QStringLiteral("/əˈbændən/");
        const QList<ORVWord> words = PlaylistDetailModel::wordsForPlayback({first, item(12, QStringLiteral("w12"), 2)});
        QCOMPARE(words.size(), 2);
        QCOMPARE(words[0].id, 11);
        QCOMPARE(words[0].wordNormalized, QStringLiteral("abandon"));
        QCOMPARE(words[0].repeatCount, 3);
        QCOMPARE(words[0].translationsZh, QList<QString> {QStringLiteral("放弃")});
        QCOMPARE(words[0].ipa, first.ipa);
        QCOMPARE(words[1].translationsZh, QList<QString> {});
        QCOMPARE(words[1].version, 1);
    }
};

TALVORO_TEST(PlaylistDetailTest)
#include "tst_playlistdetail.moc"
