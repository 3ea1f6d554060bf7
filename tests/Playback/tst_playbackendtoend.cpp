#include "BackendProcess.h"
#include "TestRegistry.h"

#include "Networking/APICacheManager.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Platform/AudioSession.h"
#include "Platform/NetworkTransfer.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/AudioPlayerManager.h"
#include "Playback/PlaybackViewModel.h"
#include "Playback/TTSNetworkManager.h"

#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;

namespace {

// Clip ends on the null sink come about two seconds late; this limit only stops
// a hang.
constexpr int playlistLimitMs = 240000;

ORVWord word(qint64 id, const QString &display, const QString &translation, qint64 repeatCount)
{
    ORVWord word;
    word.id = id;
    word.wordDisplay = display;
    word.translationsZh = {translation};
    word.repeatCount = repeatCount;
    // The word's own voices and items, so that the user's preference on the
    // server cannot change what is spoken between the two runs.
    word.playbackItems = QList<QString> {"WORD", "TRANSLATION_ZH"};
    word.voiceEn = QStringLiteral("en-GB-SoniaNeural");
    word.voiceZh = QStringLiteral("zh-CN-XiaoxiaoNeural");
    word.speechRate = 1.5;
    return word;
}

} // namespace

// The real speech client, audio cache and player against the stand-in backend
// over HTTPS, played through the PulseAudio null sink: the view model only moves
// on when a clip was decoded and played to its end.
class PlaybackEndToEndTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aPlaylistPlaysInOrderAndThenFromTheCacheAlone()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        backendtest::BackendProcess backend;
        QVERIFY(backend.start());
        const backendtest::Account account = backend.registerAccount();
        const QUrl baseURL = backend.baseUrl();
        auto base = [baseURL] { return baseURL; };
        QTemporaryDir root;
        NetworkTransfer transfer;
        transfer.setAdditionalCertificateAuthorities(backend.authority());
        AudioCacheManager cache(AppDirectories::under(root.filePath("support")));
        TTSNetworkManager speech(transfer, cache, base);
        AudioSession session;
        AudioPlayerManager player(session);
        APICacheManager apiCache(root.filePath("api"));
        ORVMobileAPIClient apiClient(transfer, apiCache, base);
        MemoryKeyValueStore defaults;
        SystemClock clock;
        PlaybackPreferenceSyncCoordinator coordinator(defaults, clock, RandomSource::system());
        PlaybackEnvironment environment;
        environment.baseURL = base;
        environment.legacyVoice = [](const QString &) { return QStringLiteral("en-US-JennyNeural"); };
        environment.defaults = &defaults;
        environment.preferenceSync = &coordinator;
        environment.random = &RandomSource::system();
        PlaybackViewModel viewModel(speech, player, apiClient, cache, environment);

        QStringList spoken;
        connect(&viewModel, &PlaybackViewModel::playbackStateChanged, this, [&] {
            if (viewModel.playbackState() == PlaybackState::playing)
                spoken.append(QStringLiteral("%1 %2 %3")
                                  .arg(*viewModel.currentPlayingIndex())
                                  .arg(*viewModel.currentUnitRawValue())
                                  .arg(viewModel.currentWordRepeatProgress()));
        });
        const QStringList expected {"0 WORD 1", "0 TRANSLATION_ZH 1", "0 WORD 2", "0 TRANSLATION_ZH 2", "1 WORD 1",
            "1 TRANSLATION_ZH 1", "2 WORD 1", "2 TRANSLATION_ZH 1"};

        viewModel.updateSession(account.accessToken, UserSummary {account.userId, account.username});
        viewModel.setPlaylist({word(1, QStringLiteral("apple"), QStringLiteral("苹果"), 2),
            word(2, QStringLiteral("book"), QStringLiteral("书"), 1),
            word(3, QStringLiteral("cat"), QStringLiteral("猫"), 1)});
        for (const bool backendRunning : {true, false}) {
            if (!backendRunning)
                backend.stop();
            spoken.clear();
            viewModel.playWord(0);
            if (!backendRunning)
                QCOMPARE(viewModel.property("unitCacheStates").toMap(),
                    (QVariantMap {{"WORD", true}, {"TRANSLATION_ZH", true}}));
            QTRY_VERIFY_WITH_TIMEOUT(viewModel.playbackState() == PlaybackState::stopped, playlistLimitMs);
            QCOMPARE(viewModel.errorMessage(), QString());
            QCOMPARE(spoken, expected);
        }
    }
};

TALVORO_TEST(PlaybackEndToEndTest)
#include "tst_playbackendtoend.moc"
