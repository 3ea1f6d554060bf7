#include "SettingsTesting.h"
#include "TestRegistry.h"

#include "Settings/VoiceSelectionModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace settingstesting;

namespace {

using State = PlaybackPreferenceSyncResult::State;
using Field = PlaybackPreferenceField;
using Tone = VoiceCatalogPresentation::Tone;

const TTSVoice guy {QStringLiteral("en-US-GuyNeural"), QStringLiteral("Guy"), QStringLiteral("en-US")};
const TTSVoice yunxi {QStringLiteral("zh-CN-YunxiNeural"), QStringLiteral("云希"), QStringLiteral("zh-CN")};

struct Screen {
    SettingsFixture &f;
    std::unique_ptr<VoiceSelectionModel> model;
    QAbstractItemModelTester tester;

    explicit Screen(SettingsFixture &fixture)
        : f(fixture)
        , model(std::make_unique<VoiceSelectionModel>(fixture.services()))
        , tester(model->voiceRows(), QAbstractItemModelTester::FailureReportingMode::QtTest)
    { }
    void load() { awaitResult(model->load()); }
    QString error() const { return model->operationErrorMessage(); }
};

} // namespace

Q_DECLARE_METATYPE(talvoro::PlaybackPreferenceSyncResult::State)
Q_DECLARE_METATYPE(talvoro::TransientPlaybackStatus)

class VoiceSelectionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What each save stores, offline so that nothing is pushed: the whole shown
    // preference, with only the action's fields marked changed.
    void fieldSets_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QSet<Field>>("fields");
        QTest::newRow("toolbar save") << "saveAll" << everyPlaybackPreferenceField();
        QTest::newRow("English voice as global") << "english" << QSet<Field> {Field::englishVoice};
        QTest::newRow("Chinese voice as global") << "chinese" << QSet<Field> {Field::chineseVoice};
    }
    void fieldSets()
    {
        QFETCH(QString, action);
        QFETCH(QSet<Field>, fields);
        SettingsFixture f;
        f.signIn();
        f.storeConfirmed();
        f.setOnline(false);
        Screen s(f);
        s.load();
        s.model->setSpeechRateZh(1.7); // moved, not saved: every save carries it
        s.model->editSpellingRate(0.9);
        if (action == u"saveAll")
            awaitResult(s.model->saveAll());
        else
            awaitResult(s.model->setGlobalVoice(action == u"english" ? guy : yunxi));

        const auto record = f.record();
        QVERIFY(record.pending);
        QCOMPARE(record.pending->changedFields, fields);
        QCOMPARE(record.pending->preference.speechRateZh, 1.7);
        QCOMPARE(record.pending->preference.speechRateZhCn, 1.7); // mirrors derived
        // The toolbar takes the spelling slider; a set-as-global keeps the preference's.
        QCOMPARE(record.pending->preference.spellingRate, action == u"saveAll" ? 0.9 : 1.5);
        QCOMPARE(record.pending->preference.voiceEn, action == u"english" ? guy.id : serverPreference().voiceEn);
        QCOMPARE(record.pending->preference.globalVoiceEnGb, record.pending->preference.voiceEn);
        QCOMPARE(record.pending->attemptCount, 0);
        QCOMPARE(record.pending->nextAttemptAt, f.playback.clock.now());
        QCOMPARE(record.confirmed->toJson(), serverPreference().toJson()); // never changed by a save
        QVERIFY(f.client.writeCalls.isEmpty());
        QVERIFY(s.model->hasPendingSynchronization());
        QCOMPARE(s.model->bannerTitle(), QStringLiteral("已离线保存"));
        QVERIFY(s.error().isEmpty());
    }

    // A second save before the network returns replaces the write, unites the
    // fields and keeps the first enqueue time.
    void secondSaveUnitesFields()
    {
        SettingsFixture f;
        f.signIn();
        f.storeConfirmed();
        f.setOnline(false);
        Screen s(f);
        s.load();
        const QDateTime first = f.playback.clock.now();
        awaitResult(s.model->setGlobalVoice(yunxi));
        const QString firstOperation = f.record().pending->operationID;
        f.playback.clock.advance(60000);
        awaitResult(s.model->setGlobalVoice(guy));
        const auto pending = *f.record().pending;
        QCOMPARE(pending.changedFields, (QSet<Field> {Field::englishVoice, Field::chineseVoice}));
        QCOMPARE(pending.enqueuedAt, first);
        QCOMPARE(pending.nextAttemptAt, f.playback.clock.now());
        QVERIFY(pending.operationID != firstOperation);
        QCOMPARE(pending.preference.voiceZh, yunxi.id);
        QCOMPARE(pending.preference.voiceEn, guy.id);
    }

    // Never online for this account: the default is shown, the banner asks for the
    // network, and every save is refused without writing anything.
    void refusalWithoutBaseline()
    {
        SettingsFixture f;
        f.signIn();
        f.setOnline(false);
        Screen s(f);
        s.load();
        QCOMPARE(s.model->preference().toJson(), PlaybackPreference().toJson());
        QCOMPARE(s.model->bannerTitle(), QStringLiteral("首次设置需要联网"));
        QSignalSpy dismissed(s.model.get(), &VoiceSelectionModel::dismissRequested);
        awaitResult(s.model->saveAll());
        QCOMPARE(s.error(), QStringLiteral("首次设置需要联网获取账号当前配置，当前未写入任何默认值"));
        s.model->clearOperationError();
        awaitResult(s.model->setGlobalVoice(guy));
        QCOMPARE(s.error(), QStringLiteral("首次设置需要联网获取账号当前配置，当前未写入任何默认值"));
        QVERIFY(!f.hasStoredRecord());
        QVERIFY(!s.model->isSaving());
        QVERIFY(!s.model->pendingGlobalVoiceID());
        QCOMPARE(dismissed.size(), 0);
    }

    void banner_data()
    {
        QTest::addColumn<ORVNetworkAvailability>("availability");
        QTest::addColumn<bool>("baseline");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("tone");
        const auto offline = ORVNetworkAvailability::unavailable;
        const QString sync = QStringLiteral("arrow.triangle.2.circlepath");
        const QString wifi = QStringLiteral("wifi.slash");
        QTest::newRow("offline, no baseline (even with a write)")
            << offline << false << true << false << "首次设置需要联网" << wifi << int(Tone::Warning);
        QTest::newRow("offline, pending") << offline << true << true << true << "已离线保存" << sync << int(Tone::Warning);
        QTest::newRow("offline, nothing pending") << offline << true << false << false << "离线模式" << wifi
                                                  << int(Tone::Warning);
        QTest::newRow("online, pending, push failed") << ORVNetworkAvailability::available << true << true << true
                                                      << "云端同步待重试" << sync << int(Tone::Warning);
        QTest::newRow("unknown counts as online, pending")
            << ORVNetworkAvailability::unknown << true << true << false << "正在同步设置" << sync << int(Tone::Accent);
        QTest::newRow("online, nothing pending") << ORVNetworkAvailability::available << true << false << true << ""
                                                 << "" << int(Tone::Warning);
    }
    void banner()
    {
        QFETCH(ORVNetworkAvailability, availability);
        QFETCH(bool, baseline);
        QFETCH(bool, pending);
        QFETCH(bool, failed);
        QFETCH(QString, title);
        QFETCH(QString, symbol);
        QFETCH(int, tone);
        const auto banner = VoiceSelectionModel::offlineBehavior(availability, baseline, pending, failed);
        QCOMPARE(banner.has_value(), !title.isEmpty());
        if (banner) {
            QCOMPARE(banner->title, title);
            QCOMPARE(banner->systemImage, symbol);
            QCOMPARE(int(banner->color), tone);
        }
    }

    // A save online: what the push's answer does to the screen.
    void saveResults_data()
    {
        QTest::addColumn<int>("reply"); // 0 accepted, 1 server error, 2 no network, 3 unauthorized
        QTest::addColumn<State>("state");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("banner");
        QTest::newRow("synchronized") << 0 << State::synchronized << false << false << "" << "";
        QTest::newRow("failed") << 1 << State::failed << true << true << "" << "云端同步待重试";
        QTest::newRow("connectivity") << 2 << State::connectivityUnavailable << true << false << "" << "正在同步设置";
        QTest::newRow("authentication") << 3 << State::authenticationRequired << true << false
                                        << "登录状态已失效，请重新登录" << "正在同步设置";
    }
    void saveResults()
    {
        QFETCH(int, reply);
        QFETCH(State, state);
        QFETCH(bool, pending);
        QFETCH(bool, failed);
        QFETCH(QString, error);
        QFETCH(QString, banner);
        SettingsFixture f;
        f.signIn();
        f.storeConfirmed();
        f.setOnline(true);
        f.answerFetch();
        Screen s(f);
        s.load();
        PlaybackPreference accepted = serverPreference();
        accepted.voiceEn = guy.id;
        accepted.version = 5;
        switch (reply) {
        case 0:
            f.client.writes.append(FakePreferenceClient::answer(accepted.withDerivedMirrorFields()));
            break;
        case 1:
            f.client.writes.append(FakePreferenceClient::failure(MobileAPIError::server(500, std::nullopt, "x")));
            break;
        case 2:
            f.client.writes.append(FakePreferenceClient::failure(
                MobileAPIError::networkError(std::make_exception_ptr(TransportError(TransportError::Code::notConnectedToInternet)))));
            break;
        default:
            f.client.writes.append(FakePreferenceClient::failure(MobileAPIError::unauthorized()));
        }
        QSignalSpy dismissed(s.model.get(), &VoiceSelectionModel::dismissRequested);
        PlaybackPreference edited = s.model->preference();
        edited.voiceEn = guy.id;
        const auto returned = awaitResult(s.model->save(edited, {Field::englishVoice}));
        QCOMPARE(returned, std::optional(state));
        QCOMPARE(f.client.writeCalls.size(), 1);
        QCOMPARE(s.model->hasPendingSynchronization(), pending);
        QCOMPARE(s.model->synchronizationFailed(), failed);
        QCOMPARE(s.error(), error);
        QCOMPARE(s.model->bannerTitle(), banner);
        QCOMPARE(s.model->preference().voiceEn, guy.id); // a failed push never rolls back
        QCOMPARE(dismissed.size(), 0); // only the toolbar save closes the screen
        QCOMPARE(f.record().pending.has_value(), pending);
    }

    // The toolbar save closes the screen only when the server confirmed it.
    void saveAllDismissal_data()
    {
        QTest::addColumn<bool>("online");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("dismissed");
        QTest::newRow("synchronized") << true << true << true;
        QTest::newRow("failed") << true << false << false;
        QTest::newRow("offline") << false << false << false;
    }
    void saveAllDismissal()
    {
        QFETCH(bool, online);
        QFETCH(bool, accepted);
        QFETCH(bool, dismissed);
        SettingsFixture f;
        f.signIn();
        f.storeConfirmed();
        f.setOnline(online);
        f.answerFetch();
        Screen s(f);
        s.load();
        PlaybackPreference answer = serverPreference();
        answer.version = 5;
        f.client.writes.append(accepted ? FakePreferenceClient::answer(answer)
                                        : FakePreferenceClient::failure(MobileAPIError::server(500, std::nullopt, "x")));
        QSignalSpy closes(s.model.get(), &VoiceSelectionModel::dismissRequested);
        QSignalSpy saving(s.model.get(), &VoiceSelectionModel::isSavingChanged);
        awaitResult(s.model->saveAll());
        QCOMPARE(closes.size(), dismissed ? 1 : 0);
        QCOMPARE(saving.size(), 2);
        QVERIFY(!s.model->isSaving());
    }

    // A write saved while the server's preference was being fetched is newer than
    // that answer: the screen and the player keep the write, the record keeps both.
    void writeDuringFetchSurvives()
    {
        SettingsFixture f;
        f.signIn();
        f.storeConfirmed();
        f.setOnline(true);
        PlaybackViewModel &player = f.playbackSession.ensurePlaybackViewModel();
        FakePreferenceClient::Gate fetched;
        PlaybackPreference remote = serverPreference();
        remote.voiceEn = QStringLiteral("en-AU-NatashaNeural");
        f.client.reads.append(FakePreferenceClient::answer(remote, fetched));
        f.client.writes.append(FakePreferenceClient::failure(MobileAPIError::server(500, std::nullopt, "x")));
        Screen s(f);
        auto loading = startAwaiting(s.model->load());
        awaitResult(s.model->setGlobalVoice(guy));
        fetched.release();
        QTRY_VERIFY(loading->finished);

        QCOMPARE(s.model->preference().voiceEn, guy.id);
        QVERIFY(s.model->hasPendingSynchronization());
        QVERIFY(player.playbackPreference());
        QCOMPARE(player.playbackPreference()->voiceEn, guy.id);
        const auto record = f.record();
        QCOMPARE(record.confirmed->voiceEn, remote.voiceEn);
        QCOMPARE(record.pending->preference.voiceEn, guy.id);
    }

    // The account changes while the fetch runs: its answer reaches neither the
    // screen nor the shared player.
    void anotherAccountsResultIsDropped_data()
    {
        QTest::addColumn<bool>("signsInAgain");
        QTest::newRow("signed out") << false;
        QTest::newRow("another account") << true;
    }
    void anotherAccountsResultIsDropped()
    {
        QFETCH(bool, signsInAgain);
        SettingsFixture f;
        f.signIn();
        f.setOnline(true);
        PlaybackViewModel &player = f.playbackSession.ensurePlaybackViewModel();
        FakePreferenceClient::Gate fetched;
        f.client.reads.append(FakePreferenceClient::answer(serverPreference(), fetched));
        Screen s(f);
        auto loading = startAwaiting(s.model->load());
        f.sessionFixture.session->logout();
        if (signsInAgain)
            f.signInAs(8, QStringLiteral("bob"), QStringLiteral("B1"));
        fetched.release();
        QTRY_VERIFY(loading->finished);

        QCOMPARE(s.model->preference().toJson(), PlaybackPreference().toJson());
        QVERIFY(!s.model->hasConfirmedBaseline());
        QVERIFY(s.error().isEmpty());
        QVERIFY(!player.playbackPreference() || player.playbackPreference()->voiceEn != serverPreference().voiceEn);
        // The answer still belongs in the record of the account it was asked for.
        QCOMPARE(f.record(7).confirmed->toJson(), serverPreference().toJson());
        QVERIFY(!f.hasStoredRecord(8));
    }

    // A second save while the first one's push runs joins that push: its answer is
    // `synchronized`, yet the record still holds the newer write, so the screen
    // keeps showing it as pending.
    void pendingFlagFollowsTheRecord()
    {
        SettingsFixture f;
        f.signIn();
        f.storeConfirmed();
        f.setOnline(true);
        f.answerFetch();
        Screen s(f);
        s.load();
        FakePreferenceClient::Gate sent;
        PlaybackPreference accepted = serverPreference();
        accepted.version = 5;
        f.client.writes.append(FakePreferenceClient::answer(accepted, sent));
        QSignalSpy closes(s.model.get(), &VoiceSelectionModel::dismissRequested);
        auto first = startAwaiting(s.model->saveAll());
        QTRY_COMPARE(f.client.writeCalls.size(), 1);
        auto second = startAwaiting(s.model->setGlobalVoice(yunxi));
        sent.release();
        QTRY_VERIFY(first->finished && second->finished);
        QCOMPARE(closes.size(), 1); // the push itself was `synchronized`
        QVERIFY(f.record().pending);
        QVERIFY(s.model->hasPendingSynchronization());
        QCOMPARE(s.model->bannerTitle(), QStringLiteral("正在同步设置"));
        QCOMPARE(s.model->preference().voiceZh, yunxi.id);
    }

    // Opening the screen (or the app coming back) with a write in back-off pushes
    // without forcing: it stays deferred; the network's return forces it through
    // without a tap.
    void pendingWriteOnOpenAndNetworkReturn()
    {
        SettingsFixture f;
        f.signIn();
        PlaybackPreference waiting = serverPreference();
        waiting.voiceEn = guy.id;
        f.storeConfirmed(waiting, false);
        f.setOnline(true);
        Screen s(f);
        s.load();
        QVERIFY(f.client.readCalls.isEmpty()); // no fetch while a write waits
        QVERIFY(f.client.writeCalls.isEmpty());
        QCOMPARE(s.model->preference().voiceEn, guy.id);
        QCOMPARE(s.model->bannerTitle(), QStringLiteral("正在同步设置"));
        s.model->sceneBecameActive(); // unforced as well: still waiting
        QTest::qWait(20);
        QVERIFY(f.client.writeCalls.isEmpty());

        PlaybackPreference accepted = waiting;
        accepted.version = 5;
        f.client.writes.append(FakePreferenceClient::answer(accepted));
        f.setOnline(false);
        f.setOnline(true);
        QTRY_VERIFY(!s.model->hasPendingSynchronization());
        QCOMPARE(f.client.writeCalls.size(), 1);
        QVERIFY(!s.model->hasBanner());
    }

    // One set-as-global at a time: a second tap while the first saves is ignored,
    // and only the first row shows its spinner.
    void setGlobalOneAtATime()
    {
        SettingsFixture f;
        f.signIn();
        f.storeConfirmed();
        f.setOnline(true);
        f.answerFetch();
        Screen s(f);
        s.load();
        QAbstractItemModelTester tester(s.model->voiceRows());
        FakePreferenceClient::Gate sent;
        f.client.writes.append(FakePreferenceClient::answer(serverPreference(), sent));
        auto first = startAwaiting(s.model->setGlobalVoice(guy));
        awaitResult(s.model->setGlobalVoice(
            TTSVoice {QStringLiteral("en-US-AriaNeural"), QStringLiteral("Aria"), QStringLiteral("en-US")}));
        QCOMPARE(s.model->pendingGlobalVoiceID(), guy.id);
        auto *rows = s.model->voiceRows();
        for (int i = 0; i < rows->rowCount(); ++i) {
            const QModelIndex row = rows->index(i);
            const bool isGuy = row.data(VoiceCatalogRowsModel::VoiceIdRole) == guy.id;
            QCOMPARE(row.data(VoiceCatalogRowsModel::IsSavingRole).toBool(), isGuy);
        }
        sent.release();
        QTRY_VERIFY(first->finished);
        QCOMPARE(f.client.writeCalls.size(), 1);
        QCOMPARE(f.client.writeCalls[0].sent->voiceEn, guy.id);
        QVERIFY(!s.model->pendingGlobalVoiceID());
    }

    void previewPresentation_data()
    {
        QTest::addColumn<TransientPlaybackStatus>("status");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tone");
        QTest::addColumn<bool>("loading");
        const QString id = guy.id;
        const QString idle = QStringLiteral("speaker.wave.2.fill");
        QTest::newRow("loading") << TransientPlaybackStatus::loading(id) << "" << "正在加载" << int(Tone::Accent) << true;
        QTest::newRow("playing") << TransientPlaybackStatus::playing(id) << "waveform" << "正在播放"
                                 << int(Tone::Success) << false;
        QTest::newRow("failed") << TransientPlaybackStatus::failed(id, "x") << "exclamationmark.circle.fill"
                                << "播放失败，可重试" << int(Tone::Danger) << false;
        QTest::newRow("idle") << TransientPlaybackStatus() << idle << "可试听" << int(Tone::Accent) << false;
        QTest::newRow("another voice loading")
            << TransientPlaybackStatus::loading(QStringLiteral("en-US-AriaNeural")) << idle << "可试听"
            << int(Tone::Accent) << false;
        QTest::newRow("identifier differs in case")
            << TransientPlaybackStatus::playing(id.toLower()) << idle << "可试听" << int(Tone::Accent) << false;
        QTest::newRow("failed without identifier")
            << TransientPlaybackStatus::failed(std::nullopt, "x") << idle << "可试听" << int(Tone::Accent) << false;
    }
    void previewPresentation()
    {
        QFETCH(TransientPlaybackStatus, status);
        QFETCH(QString, symbol);
        QFETCH(QString, text);
        QFETCH(int, tone);
        QFETCH(bool, loading);
        const auto shown = VoiceCatalogPresentation::previewPresentation(status, guy.id);
        QCOMPARE(shown.symbol, symbol);
        QCOMPARE(shown.statusText, text);
        QCOMPARE(int(shown.tone), tone);
        QCOMPARE(shown.isLoading, loading);
    }

    void setGlobalPrecedence_data()
    {
        QTest::addColumn<bool>("saving");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("global");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("accessibleName");
        QTest::newRow("saving, spinner, label still by state") << true << true << true << "" << "Guy 已在本机设置，等待联网同步";
        QTest::newRow("pending outranks global") << false << true << true << "待同步" << "Guy 已在本机设置，等待联网同步";
        QTest::newRow("global") << false << false << true << "已设置" << "Guy 已设为全局";
        QTest::newRow("neither") << false << false << false << "设为全局" << "将 Guy 设为全局";
        QTest::newRow("saving a voice not global") << true << false << false << "" << "将 Guy 设为全局";
    }
    void setGlobalPrecedence()
    {
        QFETCH(bool, saving);
        QFETCH(bool, pending);
        QFETCH(bool, global);
        QFETCH(QString, text);
        QFETCH(QString, accessibleName);
        QCOMPARE(VoiceCatalogPresentation::setGlobalText(saving, pending, global), text);
        QCOMPARE(VoiceCatalogPresentation::setGlobalAccessibleName(guy.displayName, pending, global), accessibleName);
    }

    void rateTexts_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("accessibilityValue");
        QTest::newRow("binary half rounds to even") << 1.25 << "1.2x" << "1.2 倍";
        QTest::newRow("normal") << 1.0 << "1.0x" << "1.0 倍";
        QTest::newRow("fastest") << 2.0 << "2.0x" << "2.0 倍";
        QTest::newRow("just above a half") << 1.35 << "1.4x" << "1.4 倍";
    }
    void rateTexts()
    {
        QFETCH(double, rate);
        QFETCH(QString, text);
        QFETCH(QString, accessibilityValue);
        QCOMPARE(VoiceCatalogPresentation::rateText(rate), text);
        QCOMPARE(VoiceCatalogPresentation::rateAccessibilityValue(rate), accessibilityValue);
    }

    // Slider writes land on the tenths grid, within 0.5 ... 2.0, without float noise.
    void sliderSnapsToTenths_data()
    {
        QTest::addColumn<double>("moved");
        QTest::addColumn<double>("stored");
        QTest::newRow("float noise") << 0.1 * 7 << 0.7;
        QTest::newRow("between steps") << 1.26 << 1.3;
        QTest::newRow("below") << 0.2 << 0.5;
        QTest::newRow("above") << 2.6 << 2.0;
    }
    void sliderSnapsToTenths()
    {
        QFETCH(double, moved);
        QFETCH(double, stored);
        SettingsFixture f;
        Screen s(f);
        s.model->setSpeechRateEn(moved);
        QCOMPARE(s.model->speechRateEn(), stored);
        QVERIFY(s.model->speechRateEn() == stored);
    }

    void filterAndHeader()
    {
        SettingsFixture f;
        Screen s(f);
        QAbstractItemModelTester tester(s.model->voiceRows());
        const QVariantList pills = s.model->filterPills();
        QCOMPARE(pills[0].toMap()[QStringLiteral("title")], QStringLiteral("全部"));
        QCOMPARE(pills[0].toMap()[QStringLiteral("count")].toInt(),
            int(TTSVoice::voices(TTSVoiceLanguage::english).size()));
        QCOMPARE(pills.size(), 1 + categories(TTSVoiceLanguage::english).size());
        s.model->setSelectedCategory(TTSVoiceCategory::englishUnitedKingdom);
        QCOMPARE(s.model->voiceListHeader(), QStringLiteral("英式英语"));
        QCOMPARE(s.model->voiceRows()->rowCount(),
            int(TTSVoice::voices(TTSVoiceLanguage::english, TTSVoiceCategory::englishUnitedKingdom).size()));
        s.model->setSelectedLanguage(VoiceSelectionModel::Language::Chinese);
        QVERIFY(!s.model->selectedCategory());
        QCOMPARE(s.model->voiceListHeader(), QStringLiteral("中文音色 · 全部"));
        QCOMPARE(s.model->voiceRows()->rowCount(), int(TTSVoice::voices(TTSVoiceLanguage::chinese).size()));
        QCOMPARE(VoiceCatalogPresentation::pillAccessibleName(QStringLiteral("澳大利亚英语"), 0),
            QStringLiteral("澳大利亚英语，0 个音色"));
    }

    // The badge asks the speech cache when the sample changes and when a preview
    // ends, never when a row is read.
    void offlineBadgeLookups()
    {
        SettingsFixture f;
        f.signIn();
        f.cachedVoices = {guy.id};
        Screen s(f);
        auto *rows = s.model->voiceRows();
        const int perPass = rows->rowCount();
        QCOMPARE(f.cacheLookups, perPass);
        for (int i = 0; i < rows->rowCount(); ++i) {
            const QModelIndex row = rows->index(i);
            const bool isGuy = row.data(VoiceCatalogRowsModel::VoiceIdRole) == guy.id;
            QCOMPARE(row.data(VoiceCatalogRowsModel::IsOfflineRole).toBool(), isGuy);
        }
        QCOMPARE(f.cacheLookups, perPass);
        s.model->setSampleText(QStringLiteral("  Hello, welcome to Quenbry!\n")); // same sample once trimmed
        QCOMPARE(f.cacheLookups, perPass);
        s.model->setSampleText(QStringLiteral("Good morning"));
        QCOMPARE(f.cacheLookups, 2 * perPass);

        f.playback.speech.holdAnswers = true;
        s.model->previewVoice(guy);
        QCOMPARE(f.cacheLookups, 2 * perPass); // loading is no end
        QVERIFY(f.playback.drained());
        QTRY_COMPARE(f.playbackSession.playbackViewModel()->transientPlaybackStatus().kind,
            TransientPlaybackStatus::Kind::playing);
        f.playback.player.finishClip(true);
        QTRY_VERIFY(f.cacheLookups >= 3 * perPass);
    }

    // A preview binds the signed-in user and tags the status with the voice's id;
    // signed out it plays nothing and clears the shared player.
    void previewRouting()
    {
        SettingsFixture f;
        f.signIn();
        f.playback.speech.holdAnswers = true;
        Screen s(f);
        s.model->setSampleText(QStringLiteral("   "));
        s.model->previewVoice(yunxi);
        PlaybackViewModel *player = f.playbackSession.playbackViewModel();
        QVERIFY(player);
        QCOMPARE(f.playbackSession.activeUserID(), 7);
        QCOMPARE(player->transientPlaybackStatus(), TransientPlaybackStatus::loading(yunxi.id));
        QCOMPARE(f.playback.speech.requests.last().text, VoiceSelectionModel::defaultSampleText());
        QCOMPARE(f.playback.speech.requests.last().voiceID, yunxi.id);
        const QModelIndex first = s.model->voiceRows()->index(0);
        QCOMPARE(first.data(VoiceCatalogRowsModel::PreviewStatusTextRole).toString(), QStringLiteral("可试听"));

        s.model->setSpellingSample(QStringLiteral("a-b"));
        QVERIFY(s.model->canPreviewSpelling());
        s.model->previewSpelling();
        QCOMPARE(f.playback.speech.requests.last().text, QStringLiteral("A B"));
        QCOMPARE(player->transientPlaybackStatus(), TransientPlaybackStatus::loading(s.model->globalEnglishVoice().id));
        s.model->setSpellingSample(QStringLiteral("42!"));
        QVERIFY(!s.model->canPreviewSpelling());

        f.sessionFixture.session->logout();
        s.model->previewVoice(guy);
        QVERIFY(!f.playbackSession.playbackViewModel());
        QVERIFY(f.playback.drained());
    }

    void sampleTextIsLimited()
    {
        SettingsFixture f;
        Screen s(f);
        s.model->setSampleText(QString(600, QLatin1Char('a')));
        QCOMPARE(s.model->sampleText().size(), VoiceSelectionModel::maximumSampleTextLength);
    }

    // Without an owner key the screen says so; nothing is read or fetched.
    void loadWithoutAccount()
    {
        SettingsFixture f;
        Screen s(f);
        s.load();
        QCOMPARE(s.error(), QStringLiteral("当前账号无法建立安全的本地设置分区，请检查应用配置"));
        QVERIFY(f.client.readCalls.isEmpty());
    }

    // Loading fetches and confirms the server's copy; a failure other than the
    // network's is shown with its prefix.
    void loadConfirmsOrReports_data()
    {
        QTest::addColumn<int>("reply"); // 0 answer, 1 server error, 2 no network, 3 invalid answer
        QTest::addColumn<QString>("error");
        QTest::newRow("confirmed") << 0 << "";
        QTest::newRow("server error") << 1 << "加载音色设置失败：服务暂不可用";
        QTest::newRow("no network") << 2 << "";
        QTest::newRow("invalid answer") << 3 << "加载音色设置失败：播放设置包含无效的音色、语速或播放项";
    }
    void loadConfirmsOrReports()
    {
        QFETCH(int, reply);
        QFETCH(QString, error);
        SettingsFixture f;
        f.signIn();
        PlaybackPreference invalid = serverPreference();
        invalid.voiceEn = QStringLiteral("zh-CN-XiaoxiaoNeural");
        switch (reply) {
        case 0:
            f.client.reads.append(FakePreferenceClient::answer(serverPreference()));
            break;
        case 1:
            f.client.reads.append(FakePreferenceClient::failure(MobileAPIError::server(500, std::nullopt, "服务暂不可用")));
            break;
        case 2:
            f.client.reads.append(FakePreferenceClient::failure(
                MobileAPIError::networkError(std::make_exception_ptr(TransportError(TransportError::Code::timedOut)))));
            break;
        default:
            f.client.reads.append(FakePreferenceClient::answer(invalid));
        }
        Screen s(f);
        s.load();
        QCOMPARE(s.model->hasConfirmedBaseline(), reply == 0);
        QCOMPARE(s.error(), error);
        if (reply == 0) {
            QCOMPARE(s.model->preference().voiceEn, serverPreference().voiceEn);
            QCOMPARE(s.model->spellingRate(), 1.5);
            QCOMPARE(f.record().confirmed->toJson(), serverPreference().toJson());
        } else {
            QVERIFY(!f.hasStoredRecord());
        }
    }
};

TALVORO_TEST(VoiceSelectionTest)
#include "tst_voiceselection.moc"
