#include "../Session/SessionTesting.h"
#include "HomeFakes.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include "App/HomeViewModel.h"
#include "App/LoginScreenModel.h"
#include "Lexicons/PublicLexiconDetailModel.h"
#include "Networking/APICacheManager.h"
#include "Networking/BackendConfiguration.h"

#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>

using namespace homefakes;
using namespace sessiontesting;
using namespace scenetest;

// Renders the home screen and the public lexicon detail in their main states, light
// and dark and once at an accessibility text size, into test-output/screens/ for a
// person to look at; each state is checked by what it says.
namespace {

QByteArray lexiconAnswer(int wordCount)
{
    const char *samples[][3] = {{"abandon", "/əˈbændən/", "放弃；抛弃"}, {"ability", "/əˈbɪləti/", "能力；才能"},
        {"absorb", "/əbˈzɔːb/", "吸收；理解"}, {"academic", "", "学术的；学院的"},
        {"accelerate", "/əkˈseləreɪt/", "加速"}};
    QStringList words;
    for (int i = 0; i < wordCount; ++i) {
        const auto &s = samples[i % 5];
        QString word
            = QStringLiteral("{\"id\":%1,\"wordDisplay\":\"%2\",\"wordNormalized\":\"%2\",\"translationsZh\":[%3]%4}")
                  .arg(i + 1)
                  .arg(QString::fromUtf8(s[0]))
                  .arg(QStringLiteral("\"")
                      + QString::fromUtf8(s[2]).split(QStringLiteral("；")).join(QStringLiteral("\",\""))
                      + QStringLiteral("\""))
                  .arg(qstrlen(s[1]) ? QStringLiteral(",\"ipa\":\"%1\"").arg(QString::fromUtf8(s[1])) : QString());
        words.append(word);
    }
    return QStringLiteral("{\"success\":true,\"data\":{\"id\":5,\"name\":\"大学英语四级核心词汇\","
                          "\"description\":\"覆盖四级考试高频词，配有音标与中文释义\",\"words\":[%1]}}")
        .arg(words.join(QLatin1Char(',')))
        .toUtf8();
}

// What is wrong with the home screen's layout as drawn: texts over one another,
// and texts reaching out of their card (a card shorter than what it holds lets
// them spill over the next one).
QStringList layoutFaults(const Screen &screen)
{
    QStringList faults = scenetest::layoutFaults(screen.window);
    QList<QQuickItem *> cards;
    for (const char *card : {"home.translationCard", "home.playlistsCard", "home.userLexiconsCard"})
        cards.append(screen.item(card));
    for (int row = 0; QQuickItem *link = screen.item(QByteArray("home.publicLexicon.") + QByteArray::number(row));
         ++row)
        cards.append(link->parentItem());
    for (QQuickItem *card : cards) {
        QList<QQuickItem *> texts;
        scenetest::detail::collectTexts(card, texts);
        const QRectF bounds = card->mapRectToScene(card->boundingRect()).adjusted(-0.5, -0.5, 0.5, 0.5);
        for (QQuickItem *text : texts) {
            if (!bounds.contains(text->mapRectToScene(text->boundingRect())))
                faults.append(text->property("text").toString() + QStringLiteral(" out of its card"));
        }
    }
    return faults;
}

} // namespace

class HomeRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void homeStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("look");
        for (const char *state : {"content", "loading", "empty", "offline", "note"}) {
            for (int v = 0; v < int(std::size(looks)); ++v) {
                // Every look for the content; the banner once more at the largest text size.
                const bool shown
                    = v < 2 || QByteArray(state) == "content" || (v == 3 && QByteArray(state) == "offline");
                if (!shown)
                    continue;
                QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
            }
        }
    }
    void homeStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SessionFixture sessions;
        sessions.signIn();
        FakeHomeAPIClient api;
        FakeLocalStore store;
        FakePlaylistSync sync;
        const auto environmentKey
            = BackendConfiguration::environmentPartitionKey(QUrl(QStringLiteral("https://api.example.com")));
        const QString owner = *BackendConfiguration::ownerKey(7, environmentKey);
        store.playlistsByOwner[owner] = {playlist(1, QStringLiteral("通勤")), playlist(2, QStringLiteral("睡前"))};
        api.publicAnswer = [](const QString &) {
            PublicLexiconSummary first = publicLexicon(1, QStringLiteral("大学英语四级核心词汇"), 1200);
            first.description = QStringLiteral("覆盖四级考试高频词，配有音标与中文释义，适合每日磨耳朵");
            return QList {first, publicLexicon(2, QStringLiteral("雅思听力场景词"), 860),
                publicLexicon(3, QStringLiteral("商务英语常用表达"), 45)};
        };
        if (state == "loading")
            api.hold = true;
        if (state == "empty")
            api.publicAnswer = [](const QString &) { return QList<PublicLexiconSummary> {}; };
        if (state == "offline")
            sessions.server.route(
                "POST", refreshPath, ScriptedResponse::json(503, errorAnswer(QStringLiteral("DOWN"))));
        if (state == "note") {
            sync.report.deletionRetry.failures = {{4, QStringLiteral("失败")}};
            sync.report.synchronizationErrorDescription = QStringLiteral("网络连接已中断");
        }
        auto provider = [&store]() -> LocalWordStoreProtocol & { return store; };
        auto synchronizer
            = [&sync](QString token, QString ownerKey, bool force) { return sync.synchronize(token, ownerKey, force); };
        HomeViewModel model(api, provider, synchronizer, *sessions.session, environmentKey);

        Screen screen;
        QVERIFY(screen.show(&model, "HomeView { anchors.fill: parent; model: screenModel }"));
        QCOMPARE(screen.text("home.greeting"), QStringLiteral("欢迎回来, alice"));
        if (state == "loading") {
            QTRY_COMPARE(api.gates.size(), 2);
            QVERIFY(screen.isShown("home.publicLexiconsEmpty"));
        } else {
            QTRY_COMPARE(model.loadPhase(), HomeViewModel::HomeLoadPhase::idle);
        }
        if (state == "offline") {
            // A later refresh whose token was refused while the network is gone.
            api.privateAnswer = [](const QString &) -> QList<UserLexicon> { throw MobileAPIError::unauthorized(); };
            awaitResult(model.load(
                QStringLiteral("A1"), UserSummary {7, QStringLiteral("alice")}, sessions.session.get(), true));
        }
        screen.save(QStringLiteral("home-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));
        // The banner floats over the content, which keeps room for it at its end.
        if (!screen.isShown("home.banner"))
            QCOMPARE(layoutFaults(screen), QStringList());
        QQuickItem *scroll = screen.item("home.scroll");
        const qreal end = scroll->property("contentHeight").toReal() - scroll->height();
        if (end > 0) {
            scroll->setProperty("contentY", end);
            screen.save(QStringLiteral("home-%1-%2-end").arg(state, QString::fromLatin1(looks[look].suffix)));
        }
        QCOMPARE(layoutFaults(screen), QStringList());
        if (QQuickItem *banner = screen.item("home.banner")) {
            // One line of text sits in the middle of the banner, level with "重试".
            const QQuickItem *message = screen.item("home.banner.message");
            const qreal offset = message->mapRectToScene(message->boundingRect()).center().y()
                - banner->mapRectToScene(banner->boundingRect()).center().y();
            QVERIFY2(qAbs(offset) <= 1, qPrintable(QStringLiteral("the text sits %1 off the middle").arg(offset)));
        }
        QCOMPARE(screen.isShown("home.publicLexicon.0"), state == "content" || state == "offline" || state == "note");
        QCOMPARE(screen.isShown("home.banner"), state == "offline" || state == "note");
        if (state == "offline")
            QCOMPARE(screen.text("home.banner.message"), QStringLiteral("当前网络不可用，已保留本地首页数据"));
        api.releaseAll();
    }

    void publicLexiconDetailStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("look");
        for (const char *state : {"content", "loading", "empty", "error"}) {
            for (int v = 0; v < int(std::size(looks)); ++v) {
                if (v == 2 && QByteArray(state) != "content")
                    continue;
                QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
            }
        }
    }
    void publicLexiconDetailStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        TestHttpServer server;
        QVERIFY(server.listen());
        QTemporaryDir dir;
        APICacheManager cache {dir.filePath(QStringLiteral("APICacheV2"))};
        NetworkTransfer transfer;
        ORVMobileAPIClient client {transfer, cache, [&server] { return std::optional(server.baseUrl()); }};
        const QString path = QStringLiteral("/api/v1/public/lexicons/5");
        if (state == "content")
            server.route("GET", path, ScriptedResponse::json(200, lexiconAnswer(12)));
        if (state == "loading")
            server.route("GET", path, ScriptedResponse::heldBack(ScriptedResponse::json(200, lexiconAnswer(1))));
        if (state == "empty")
            server.route("GET", path, ScriptedResponse::json(200, lexiconAnswer(0)));
        if (state == "error")
            server.route("GET", path, ScriptedResponse::dropped());
        PublicLexiconDetailModel model(client, 5);

        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { "
            "PublicLexiconDetailView { model: screenModel } } }"));
        if (state == "loading") {
            QTRY_COMPARE(server.heldCount(), 1);
            QVERIFY(screen.isShown("publicLexiconDetail.loading"));
        } else {
            QTRY_VERIFY(!model.loading());
        }
        screen.save(QStringLiteral("public-lexicon-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));
        if (state == "content") {
            QCOMPARE(screen.text("publicLexiconDetail.selectionCount"), QStringLiteral("已选 12 / 12 词"));
            QCOMPARE(screen.text("publicLexiconDetail.wordCount"), QStringLiteral("12 词"));
        }
        if (state == "empty") {
            QCOMPARE(screen.text("publicLexiconDetail.wordCount"), QStringLiteral("0 词"));
            QVERIFY(!screen.isShown("publicLexiconDetail.selectAll"));
            QVERIFY(!screen.isShown("publicLexiconDetail.addToPlaylist"));
        }
        QCOMPARE(screen.isShown("publicLexiconDetail.error"), state == "error");
        if (state == "loading")
            server.releaseHeld(0);
    }
};

// The shared components, the navigation bar and the login screen's texts are given
// in fixed point sizes: from the default to the largest text size their fonts and
// frames stay the same, while a text style grows, and with it a form's text fields.
class FixedSizeTest : public QObject {
    Q_OBJECT

    // Each named item's frame and the font size and box of every text in it.
    static QStringList measure(const Screen &screen)
    {
        QStringList found;
        for (const char *name : {"fixed.field", "fixed.primary", "fixed.secondary", "fixed.toolbar", "fixed.bar",
                 "fixed.barButton", "login.brand-title", "login.subtitle", "login.username", "login.mode-switch"}) {
            QQuickItem *item = screen.item(name);
            if (!item) {
                found.append(QString::fromLatin1(name) + QStringLiteral(" missing"));
                continue;
            }
            QList<QQuickItem *> texts;
            scenetest::detail::collectTexts(item, texts);
            QString line = QStringLiteral("%1 %2x%3:").arg(QLatin1String(name)).arg(item->width()).arg(item->height());
            for (const QQuickItem *text : texts)
                line += QStringLiteral(" %1px %2x%3").arg(text->property("font").value<QFont>().pixelSize())
                            .arg(text->width())
                            .arg(text->height());
            found.append(line);
        }
        return found;
    }

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void fixedSizesStayWhileTextStylesGrow()
    {
        SessionFixture sessions;
        talvoro::LoginScreenModel login(*sessions.session);
        const QByteArray body = R"(
            Column {
                width: parent.width
                LoginView { model: loginModel; width: parent.width; height: 560 }
                ORVInputField { objectName: "fixed.field"; width: 300; iconName: "person.fill"; placeholder: "用户名" }
                ORVPrimaryButton { objectName: "fixed.primary"; width: 300; title: "登录"; iconName: "arrow.right.circle.fill" }
                ORVSecondaryButton { objectName: "fixed.secondary"; width: 300; title: "重试"; iconName: "arrow.clockwise" }
                ORVToolbarIconButton { objectName: "fixed.toolbar"; symbolName: "plus"; accessibilityLabel: "新建" }
                NavBar {
                    objectName: "fixed.bar"; width: parent.width; title: "播放偏好设置"
                    trailing: NavBarTextButton { objectName: "fixed.barButton"; title: "保存" }
                }
                PlainText { objectName: "fixed.body"; text: "正文"; font: Theme.font(Theme.Body) }
                PlaylistNameField { width: 300; identifier: "form.playlistName"; text: "通勤听词" }
                VoiceTextField { width: 300; identifier: "form.sampleText"; placeholder: "输入要试听的文本" }
            })";
        QStringList sizes[2];
        qreal bodyText[2];
        const Look shown[] = {looks[0], looks[3]};
        for (int i = 0; i < 2; ++i) {
            apply(shown[i]);
            Screen screen;
            QVERIFY(screen.show({{QStringLiteral("loginModel"), &login}}, body));
            sizes[i] = measure(screen);
            bodyText[i] = screen.item("fixed.body")->property("font").value<QFont>().pixelSize();
            const auto fontOf = [&](const char *name) {
                return screen.item(name)->property("font").value<QFont>().pixelSize();
            };
            QCOMPARE(fontOf("login.username"), 16);
            // A form's fields write in body text, in a row as tall as their line.
            for (const char *field : {"form.playlistName", "form.sampleText"}) {
                QCOMPARE(qreal(fontOf(field)), bodyText[i]);
                QVERIFY2(screen.item(field)->parentItem()->height() >= screen.item(field)->implicitHeight(),
                    field);
            }
            screen.save(QStringLiteral("fixed-sizes-%1").arg(QLatin1String(shown[i].suffix)));
        }
        QCOMPARE(sizes[1], sizes[0]);
        QVERIFY(bodyText[1] > 2 * bodyText[0]);
    }
};

TALVORO_TEST(HomeRenderTest)
TALVORO_TEST(FixedSizeTest)
#include "tst_homerenders.moc"
