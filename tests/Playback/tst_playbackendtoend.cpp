#include "AwaitTask.h"
#include "BackendProcess.h"
#include "RecordingDelegate.h"
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
using namespace testsupport;

namespace {

// Clip ends on the null sink come about two seconds late; these limits only stop
// a hang.
constexpr int clipLimitMs = 30000;
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
// over HTTPS, played through the PulseAudio null sink.
class PlaybackEndToEndTest : public QObject {
    Q_OBJECT

    backendtest::BackendProcess m_backend;
    backendtest::Account m_account;
    QTemporaryDir m_root;
    std::unique_ptr<NetworkTransfer> m_transfer;
    std::unique_ptr<AudioCacheManager> m_cache;
    std::unique_ptr<TTSNetworkManager> m_speech;
    std::unique_ptr<AudioSession> m_session;
    std::unique_ptr<AudioPlayerManager> m_player;

private Q_SLOTS:
    void initTestCase()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        QVERIFY(m_backend.start());
        m_account = m_backend.registerAccount();
        m_transfer = std::make_unique<NetworkTransfer>();
        m_transfer->setAdditionalCertificateAuthorities(m_backend.authority());
        m_cache = std::make_unique<AudioCacheManager>(AppDirectories::under(m_root.filePath("support")));
        const QUrl baseURL = m_backend.baseUrl();
        m_speech = std::make_unique<TTSNetworkManager>(*m_transfer, *m_cache, [baseURL] { return baseURL; });
        m_session = std::make_unique<AudioSession>();
        m_player = std::make_unique<AudioPlayerManager>(*m_session);
    }
    void cleanupTestCase()
    {
        m_player.reset();
        m_session.reset();
        m_speech.reset();
        m_backend.stop();
    }

    void aClipFromTheBackendPlaysToItsEnd()
    {
        const QByteArray clip = awaitResult(
            m_speech->fetchAudio(QStringLiteral("apple"), QStringLiteral("en-US-JennyNeural"), m_account.accessToken),
            std::chrono::milliseconds(clipLimitMs));
        QVERIFY(clip.startsWith("ID3") || (uchar(clip.at(0)) == 0xFF));
        RecordingDelegate delegate;
        m_player->setDelegate(&delegate);

        m_player->play(clip, QStringLiteral("apple"), 1.0F);

        QVERIFY(m_player->isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(delegate.events, QStringList {QStringLiteral("finished")}, clipLimitMs);
        QVERIFY(delegate.allOnMainThread);
        m_player->setDelegate(nullptr);
    }

    void aPlaylistPlaysInOrderAndThenFromTheCacheAlone()
    {
        APICacheManager apiCache(m_root.filePath("api"));
        const QUrl baseURL = m_backend.baseUrl();
        ORVMobileAPIClient apiClient(*m_transfer, apiCache, [baseURL] { return baseURL; });
        MemoryKeyValueStore defaults;
        SystemClock clock;
        PlaybackPreferenceSyncCoordinator coordinator(defaults, clock, RandomSource::system());
        PlaybackEnvironment environment;
        environment.baseURL = [baseURL] { return baseURL; };
        environment.legacyVoice = [](const QString &) { return QStringLiteral("en-US-JennyNeural"); };
        environment.defaults = &defaults;
        environment.preferenceSync = &coordinator;
        PlaybackViewModel viewModel(*m_speech, *m_player, apiClient, *m_cache, environment);

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

        viewModel.updateSession(m_account.accessToken, UserSummary {m_account.userId, m_account.username});
        viewModel.setPlaylist({word(1, QStringLiteral("apple"), QStringLiteral("苹果"), 2),
            word(2, QStringLiteral("book"), QStringLiteral("书"), 1),
            word(3, QStringLiteral("cat"), QStringLiteral("猫"), 1)});
        viewModel.playWord(0);
        QTRY_VERIFY_WITH_TIMEOUT(viewModel.playbackState() == PlaybackState::stopped, playlistLimitMs);
        QCOMPARE(viewModel.errorMessage(), QString());
        QCOMPARE(spoken, expected);

        m_backend.stop();
        spoken.clear();
        viewModel.playWord(0);
        const QHash<ORVPlaybackUnit, bool> allCached {
            {ORVPlaybackUnit::word, true}, {ORVPlaybackUnit::translation, true}};
        QCOMPARE(viewModel.unitCacheStates(), allCached);
        QTRY_VERIFY_WITH_TIMEOUT(viewModel.playbackState() == PlaybackState::stopped, playlistLimitMs);
        QCOMPARE(viewModel.errorMessage(), QString());
        QCOMPARE(spoken, expected);
    }
};

TALVORO_TEST(PlaybackEndToEndTest)
#include "tst_playbackendtoend.moc"
