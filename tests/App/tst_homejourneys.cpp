#include "JourneySteps.h"
#include "TestRegistry.h"

#include "App/HomeViewModel.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace scenetest;
using talvoro::HomeViewModel;

namespace {

QString publicRow(int index)
{
    return QStringLiteral("home.publicLexicon.%1").arg(index);
}

} // namespace

class HomeJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
    }

    // Home lists the backend's public lexicons; pulling down reloads; a lexicon
    // opens with every word selected.
    void publicLexiconsFromTheBackend()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.signInToHome());

        const QJsonArray served
            = scene.backend().call("GET", QStringLiteral("/api/v1/public/lexicons")).data().toArray();
        QVERIFY(!served.isEmpty());
        QVERIFY(scene.waitForItem(publicRow(int(served.size()) - 1)));
        QVERIFY(!scene.item(publicRow(int(served.size()))));
        for (int i = 0; i < served.size(); ++i)
            QCOMPARE(textOf(scene.item(publicRow(i))), served.at(i)[QStringLiteral("name")].toString());
        HomeViewModel *model = modelOf<HomeViewModel>(scene, QStringLiteral("home.view"));
        QVERIFY(model);
        QVERIFY(scene.waitFor([model] { return model->loadPhase() == HomeViewModel::HomeLoadPhase::idle; }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-home")).isEmpty());

        QSignalSpy phases(model, &HomeViewModel::loadPhaseChanged);
        bool refreshed = false;
        QObject::connect(model, &HomeViewModel::loadPhaseChanged, model, [model, &refreshed] {
            refreshed = refreshed || model->loadPhase() == HomeViewModel::HomeLoadPhase::refreshing;
        });
        pullDown(scene.window(), 220);
        QVERIFY(scene.waitFor([&] { return refreshed && model->loadPhase() == HomeViewModel::HomeLoadPhase::idle; }));

        const QJsonObject first = served.at(0).toObject();
        const qint64 wordCount
            = scene.backend()
                  .call(
                      "GET", QStringLiteral("/api/v1/public/lexicons/%1").arg(first[QStringLiteral("id")].toInteger()))
                  .data()[QStringLiteral("words")]
                  .toArray()
                  .size();
        QVERIFY(scene.press(publicRow(0)));
        const QString expected = QStringLiteral("已选 %1 / %1 词").arg(wordCount);
        QVERIFY(scene.waitFor(
            [&] { return textOf(scene.item(QStringLiteral("publicLexiconDetail.selectionCount"))) == expected; }));
        QCOMPARE(
            textOf(scene.item(QStringLiteral("publicLexiconDetail.name"))), first[QStringLiteral("name")].toString());
        QVERIFY(!scene.savePng(QStringLiteral("journey-public-lexicon")).isEmpty());
    }

    // With the backend gone, a restart still lands on home with what the device
    // kept, says it is offline, and signs nobody out.
    void restartWithoutTheBackendKeepsTheCachedHome()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.signInToHome());
        QVERIFY(scene.waitForItem(publicRow(0)));
        const QString firstName = textOf(scene.item(publicRow(0)));

        scene.quit();
        scene.stopBackend();
        QVERIFY(scene.launch());
        QVERIFY(scene.waitForItem(QStringLiteral("home.banner.message")));
        QCOMPARE(textOf(scene.item(QStringLiteral("home.banner.message"))),
            QStringLiteral("当前网络不可用，已保留本地首页数据"));
        QCOMPARE(textOf(scene.item(publicRow(0))), firstName);
        QVERIFY(!scene.item(QStringLiteral("login.view")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("launch.handoff")));
        QCOMPARE(scene.application().container().session().status(), talvoro::AppSession::Status::authenticated);
        QVERIFY(!scene.savePng(QStringLiteral("journey-home-offline")).isEmpty());
    }
};

TALVORO_TEST(HomeJourneyTest)
#include "tst_homejourneys.moc"
