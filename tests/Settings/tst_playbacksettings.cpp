#include "SettingsTesting.h"
#include "TestRegistry.h"

#include "Settings/PlaybackSettingsModel.h"

#include <QTest>

using namespace settingstesting;

// The default playback items screen over the real preference flow: the switch
// rules, every outcome of a load and of a save, and when it loads again.
namespace {

using Items = QList<QString>;

const QString unchangedText = QStringLiteral("播放偏好未发生变化");
const QString firstSetupText = QStringLiteral("首次设置需要联网获取账号当前配置");
const QString storedLocallyText = QStringLiteral("设置已在本机生效，将在网络恢复后自动同步");
const QString updatedText = QStringLiteral("播放偏好设置已更新");
const QString notSignedInText = QStringLiteral("登录状态已失效，请重新登录");
const QString authenticationText = QStringLiteral("设置已保存到本机，但登录状态已失效，重新登录后将同步");

FakePreferenceClient::Reply noNetwork()
{
    return FakePreferenceClient::failure(MobileAPIError::networkError(
        std::make_exception_ptr(TransportError(TransportError::Code::notConnectedToInternet))));
}

PlaybackPreference withItems(Items items)
{
    PlaybackPreference preference = serverPreference();
    preference.playbackItems = std::move(items);
    return preference;
}

void storeItems(SettingsFixture &f, const Items &items)
{
    PlaybackPreferenceLocalRecord record;
    record.confirmed = withItems(items);
    PlaybackPreferenceOfflineStore::saveRecord(record, f.ownerKey(), f.playback.defaults);
}

// The monitor applies a report on the next turn of the event loop: wait for it.
void setNetwork(SettingsFixture &f, bool online)
{
    f.setOnline(online);
    const auto expected = online ? ORVNetworkAvailability::available : ORVNetworkAvailability::unavailable;
    QTRY_COMPARE(f.connectivity.availability(), expected);
}

// Applies "-NAME" (switch off) and "+NAME" (switch on), in order.
void toggle(PlaybackSettingsModel &model, const QString &steps)
{
    for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        model.setItemEnabled(step.mid(1), step.front() == QLatin1Char('+'));
}

} // namespace

Q_DECLARE_METATYPE(FakePreferenceClient::Reply)

class PlaybackSettingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void switchRules_data()
    {
        QTest::addColumn<Items>("start");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<Items>("items");
        const Items all {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"};
        QTest::newRow("off and on again moves to the end")
            << all << "-SPELLING +SPELLING" << Items {"WORD", "TRANSLATION_ZH", "EXPLANATION", "SPELLING"};
        QTest::newRow("the only item stays on") << Items {"EXPLANATION"} << "-EXPLANATION" << Items {"EXPLANATION"};
        QTest::newRow("two entries of the only name stay") << Items {"WORD", "WORD"} << "-WORD" << Items {"WORD", "WORD"};
        QTest::newRow("every entry of a name goes") << Items {"WORD", "SPELLING", "WORD"} << "-WORD" << Items {"SPELLING"};
        QTest::newRow("on twice appends once") << Items {"WORD"} << "+SPELLING +SPELLING" << Items {"WORD", "SPELLING"};
        QTest::newRow("down to one, then no further")
            << all << "-WORD -SPELLING -EXPLANATION -TRANSLATION_ZH" << Items {"TRANSLATION_ZH"};
    }
    void switchRules()
    {
        QFETCH(Items, start);
        QFETCH(QString, steps);
        QFETCH(Items, items);
        SettingsFixture f;
        f.signIn();
        storeItems(f, start);
        PlaybackSettingsModel model(f.services(), {});
        model.reloadFromLocalRecord();
        QCOMPARE(model.preference().playbackItems, start);
        toggle(model, steps);
        QCOMPARE(model.preference().playbackItems, items);
        for (const QString &raw : {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"})
            QCOMPARE(model.itemEnabled().value(raw).toBool(), items.contains(raw));
        // Nothing is stored before Save.
        QCOMPARE(f.record().confirmed->playbackItems, start);
        QVERIFY(!f.record().pending);
    }

    void loadResults_data()
    {
        QTest::addColumn<int>("stored"); // 0 nothing, 1 confirmed, 2 confirmed with a pending write
        QTest::addColumn<bool>("online");
        QTest::addColumn<FakePreferenceClient::Reply>("reply"); // the read, or the push of a pending write
        QTest::addColumn<QString>("error"); // the start of the error alert's text; empty: none shown
        QTest::addColumn<bool>("baseline");
        const auto server500 = FakePreferenceClient::failure(MobileAPIError::server(500, std::nullopt, "x"));
        const auto fetched = FakePreferenceClient::answer(withItems({"WORD", "EXPLANATION"}));
        QTest::newRow("first visit offline") << 0 << false << fetched << firstSetupText << false;
        QTest::newRow("offline with a baseline") << 1 << false << fetched << "" << true;
        QTest::newRow("first visit online") << 0 << true << fetched << "" << true;
        QTest::newRow("first visit, no network") << 0 << true << noNetwork() << "播放偏好加载失败：" << false;
        QTest::newRow("no network with a baseline") << 1 << true << noNetwork() << "" << true;
        QTest::newRow("server failure with a baseline") << 1 << true << server500 << "播放偏好加载失败：" << true;
        QTest::newRow("pending write needs a login")
            << 2 << true << FakePreferenceClient::failure(MobileAPIError::unauthorized()) << authenticationText << true;
    }
    void loadResults()
    {
        QFETCH(int, stored);
        QFETCH(bool, online);
        QFETCH(FakePreferenceClient::Reply, reply);
        QFETCH(QString, error);
        QFETCH(bool, baseline);
        SettingsFixture f;
        f.signIn();
        if (stored > 0)
            f.storeConfirmed(stored == 2 ? std::optional(withItems({"SPELLING"})) : std::nullopt);
        setNetwork(f, online);
        (stored == 2 ? f.client.writes : f.client.reads).append(reply);
        PlaybackSettingsModel model(f.services(), {});
        awaitResult(model.load());
        QVERIFY(!model.isLoading());
        QCOMPARE(model.showOperationError(), !error.isEmpty());
        if (!error.isEmpty())
            QVERIFY2(model.operationErrorMessage().startsWith(error), qPrintable(model.operationErrorMessage()));
        QCOMPARE(model.hasConfirmedBaseline(), baseline);
        QCOMPARE(f.client.readCalls.size() + f.client.writeCalls.size(), online ? 1 : 0);
        // Whatever was shown last is what Save compares with.
        QCOMPARE(model.editingBaselineItems(), model.preference().playbackItems);
    }

    void saveResults_data()
    {
        QTest::addColumn<bool>("baseline");
        QTest::addColumn<bool>("online");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("push"); // 0 accepted, 1 no network, 2 unauthorized
        QTest::addColumn<bool>("signOut");
        QTest::addColumn<QString>("success");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("pending"); // a pending write is on the device afterwards
        // Unchanged items need neither a baseline nor the network.
        QTest::newRow("unchanged") << false << false << "" << 0 << false << unchangedText << "" << false;
        QTest::newRow("no baseline") << false << false << "-WORD" << 0 << false << "" << firstSetupText << false;
        QTest::newRow("signed out") << true << false << "-WORD" << 0 << true << "" << notSignedInText << false;
        QTest::newRow("offline") << true << false << "-WORD" << 0 << false << storedLocallyText << "" << true;
        QTest::newRow("accepted") << true << true << "-WORD" << 0 << false << updatedText << "" << false;
        QTest::newRow("no network") << true << true << "-WORD" << 1 << false << storedLocallyText << "" << true;
        QTest::newRow("needs a login") << true << true << "-WORD" << 2 << false << "" << authenticationText << true;
    }
    void saveResults()
    {
        QFETCH(bool, baseline);
        QFETCH(bool, online);
        QFETCH(QString, steps);
        QFETCH(int, push);
        QFETCH(bool, signOut);
        QFETCH(QString, success);
        QFETCH(QString, error);
        QFETCH(bool, pending);
        SettingsFixture f;
        f.signIn();
        if (baseline)
            f.storeConfirmed();
        setNetwork(f, online);
        f.client.reads.append(FakePreferenceClient::answer(serverPreference()));
        const Items shown = serverPreference().playbackItems;
        PlaybackPreference accepted = serverPreference();
        accepted.playbackItems = {"SPELLING", "TRANSLATION_ZH", "EXPLANATION"};
        accepted.version = 5;
        f.client.writes.append(push == 0 ? FakePreferenceClient::answer(accepted)
                : push == 1              ? noNetwork()
                                         : FakePreferenceClient::failure(MobileAPIError::unauthorized()));
        PlaybackSettingsModel model(f.services(), {});
        awaitResult(model.load());
        model.setShowOperationError(false);
        toggle(model, steps);
        const Items edited = model.preference().playbackItems;
        if (signOut)
            f.sessionFixture.session->logout();

        awaitResult(model.save());
        QVERIFY(!model.isSaving());
        QCOMPARE(model.isSaved(), !success.isEmpty());
        if (!success.isEmpty())
            QCOMPARE(model.saveConfirmationMessage(), success);
        QCOMPARE(model.showOperationError() ? model.operationErrorMessage() : QString(), error);
        QCOMPARE(f.record().pending.has_value(), pending);
        if (pending) {
            QCOMPARE(f.record().pending->changedFields, QSet {PlaybackPreferenceField::playbackItems});
            QCOMPARE(f.record().pending->preference.playbackItems, edited);
        }
        QCOMPARE(f.client.writeCalls.size(), online && baseline ? 1 : 0);
        // A refused save keeps the edit for another try; a stored one is the new baseline.
        QCOMPARE(model.preference().playbackItems, push == 0 && online ? accepted.playbackItems : edited);
        QCOMPARE(model.editingBaselineItems(), pending || (online && baseline) ? model.preference().playbackItems : shown);
    }

    // The screen loads once per account: coming back from the cache screen keeps
    // unsaved switches, closing the voice sheet shows the device's record again.
    void loadsOncePerAccountAndReloadsAfterTheVoiceSheet()
    {
        SettingsFixture f;
        f.signIn();
        f.client.reads.append(FakePreferenceClient::answer(serverPreference()));
        PlaybackSettingsModel model(f.services(), {});
        model.appeared();
        QTRY_VERIFY(!model.isLoading());
        QVERIFY(model.hasConfirmedBaseline());
        model.setItemEnabled(QStringLiteral("SPELLING"), false);

        model.appeared();
        QVERIFY(!model.isLoading());
        QCOMPARE(f.client.readCalls.size(), 1);
        QVERIFY(!model.itemEnabled().value(QStringLiteral("SPELLING")).toBool());

        model.setShowVoiceSelection(true);
        model.voiceSelectionClosed();
        QVERIFY(!model.showVoiceSelection());
        QCOMPARE(model.preference().playbackItems, serverPreference().playbackItems);
    }

    // Another account signs in while the first one's load waits: the new account's
    // load takes over, and the first one's answer is shown nowhere.
    void anotherAccountTakesOverTheLoad()
    {
        SettingsFixture f;
        f.signIn();
        FakePreferenceClient::Gate held;
        f.client.reads.append(FakePreferenceClient::answer(withItems({"WORD"}), held));
        f.client.reads.append(FakePreferenceClient::answer(withItems({"EXPLANATION", "WORD"})));
        PlaybackSettingsModel model(f.services(), {});
        model.appeared();
        QVERIFY(model.isLoading());
        f.signInAs(8, QStringLiteral("bob"), QStringLiteral("B1"));
        QTRY_COMPARE(f.client.readCalls.size(), 2);
        QTRY_COMPARE(model.preference().playbackItems, Items({"EXPLANATION", "WORD"}));
        held.release();
        QTRY_VERIFY(!model.isLoading());
        QCOMPARE(model.preference().playbackItems, Items({"EXPLANATION", "WORD"}));
        QCOMPARE(model.loadedOwnerKey(), f.ownerKey(8));
        QVERIFY(!model.showOperationError());
    }
};

TALVORO_TEST(PlaybackSettingsTest)
#include "tst_playbacksettings.moc"
