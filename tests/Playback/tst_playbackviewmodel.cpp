#include "PlaybackFakes.h"
#include "TestRegistry.h"

#include "Playback/AudioCacheManager.h"
#include "Playback/PlaybackViewModel.h"
#include "Playback/SpeechCacheKey.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

Q_DECLARE_METATYPE(LoopMode)

namespace {

const QString jenny = QStringLiteral("en-US-JennyNeural");
const QString sonia = QStringLiteral("en-GB-SoniaNeural");

ORVWord makeWord(qint64 id, const QString &display, QList<QString> items = {"WORD"}, qint64 repeatCount = 1)
{
    ORVWord word;
    word.id = id;
    word.wordDisplay = display;
    word.translationsZh = {display + QStringLiteral("的译文")};
    word.playbackItems = std::move(items);
    word.repeatCount = repeatCount;
    return word;
}

QList<ORVWord> threeWords()
{
    return {makeWord(1, "apple"), makeWord(2, "book"), makeWord(3, "cat")};
}

// The text a fake clip speaks.
QString spokenText(const QByteArray &clip)
{
    const QString text = QString::fromUtf8(clip);
    return text.section(QLatin1Char(':'), 2);
}

} // namespace

class PlaybackViewModelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlaybackServices> m_services;
    FakeSpeechService *m_speech = nullptr;
    FakeAudioPlayer *m_player = nullptr;
    std::unique_ptr<PlaybackViewModel> m_viewModel;

    PlaybackViewModel &viewModel() { return *m_viewModel; }

    // Ends each clip as soon as it plays, until playback stops or `clips` have
    // played; returns what was spoken and the repetition shown while it was.
    QStringList playThrough(int clips, QList<int> *repetitions = nullptr)
    {
        for (int guard = 0; guard < 1000; ++guard) {
            settle();
            if (viewModel().playbackState() == PlaybackState::stopped || m_player->plays.size() >= clips)
                break;
            if (viewModel().playbackState() == PlaybackState::playing) {
                if (repetitions)
                    repetitions->append(viewModel().currentWordRepeatProgress());
                m_player->finishClip();
            }
        }
        QStringList spoken;
        for (const FakeAudioPlayer::Play &play : m_player->plays)
            spoken.append(spokenText(play.audio));
        return spoken;
    }

    void startPlaying(const QList<ORVWord> &words, qsizetype index = 0)
    {
        viewModel().setPlaylist(words);
        viewModel().playWord(index);
        settle();
    }

private Q_SLOTS:
    void init()
    {
        m_services = std::make_unique<FakePlaybackServices>();
        m_speech = &m_services->speech;
        m_player = &m_services->player;
        m_viewModel = m_services->makeViewModel();
    }
    void cleanup()
    {
        m_viewModel.reset();
        QVERIFY(m_services->drained());
        m_services.reset();
    }

    void repeatsTheWordAsOftenAsItsCountSays_data()
    {
        QTest::addColumn<qint64>("repeatCount");
        QTest::addColumn<QList<int>>("repetitions");
        QTest::newRow("3") << qint64(3) << QList<int> {1, 1, 2, 2, 3, 3};
        QTest::newRow("1") << qint64(1) << QList<int> {1, 1};
        QTest::newRow("0") << qint64(0) << QList<int> {1, 1};
        QTest::newRow("-2") << qint64(-2) << QList<int> {1, 1};
    }
    void repeatsTheWordAsOftenAsItsCountSays()
    {
        QFETCH(qint64, repeatCount);
        QFETCH(QList<int>, repetitions);
        startPlaying({makeWord(1, "cat", {"WORD", "TRANSLATION_ZH"}, repeatCount)});

        QList<int> shown;
        const QStringList spoken = playThrough(100, &shown);

        QCOMPARE(shown, repetitions);
        QStringList expected;
        for (qsizetype i = 0; i < repetitions.size() / 2; ++i)
            expected << "cat" << QStringLiteral("cat的译文");
        QCOMPARE(spoken, expected);
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        QCOMPARE(viewModel().currentWordRepeatProgress(), 1);
        QCOMPARE(viewModel().currentPlayingIndex(), std::nullopt);
    }

    void movesFromWordToWordByTheLoopMode_data()
    {
        QTest::addColumn<LoopMode>("mode");
        QTest::addColumn<QList<ORVWord>>("words");
        QTest::addColumn<QStringList>("spoken");
        QTest::addColumn<bool>("stopsAtTheEnd");
        const QList<ORVWord> two {makeWord(1, "apple"), makeWord(2, "book")};
        QTest::newRow("sequential stops after the last")
            << LoopMode::sequential << threeWords() << QStringList {"apple", "book", "cat"} << true;
        QTest::newRow("loop wraps") << LoopMode::loop << threeWords()
                                    << QStringList {"apple", "book", "cat", "apple", "book", "cat"} << false;
        QTest::newRow("shuffle of two alternates")
            << LoopMode::shuffle << two << QStringList {"apple", "book", "apple", "book", "apple", "book"} << false;
        QTest::newRow("shuffle of one repeats it") << LoopMode::shuffle << QList<ORVWord> {makeWord(1, "apple")}
                                                   << QStringList {"apple", "apple", "apple"} << false;
    }
    void movesFromWordToWordByTheLoopMode()
    {
        QFETCH(LoopMode, mode);
        QFETCH(QList<ORVWord>, words);
        QFETCH(QStringList, spoken);
        QFETCH(bool, stopsAtTheEnd);
        while (viewModel().loopMode() != mode)
            viewModel().cycleLoopMode();
        startPlaying(words);

        QCOMPARE(playThrough(int(spoken.size())), spoken);
        m_player->finishClip();
        settle();
        QCOMPARE(viewModel().playbackState(), stopsAtTheEnd ? PlaybackState::stopped : PlaybackState::playing);
    }

    void remoteCommandsChooseTheWord_data()
    {
        QTest::addColumn<int>("playingBefore"); // -1: nothing plays
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("playingAfter");
        QTest::newRow("next from idle") << -1 << "next" << 0;
        QTest::newRow("previous from idle") << -1 << "previous" << 2;
        QTest::newRow("next after the last wraps") << 2 << "next" << 0;
        QTest::newRow("previous from the first wraps") << 0 << "previous" << 2;
        QTest::newRow("play from idle") << -1 << "play" << 0;
        QTest::newRow("pause from idle") << -1 << "pause" << -1;
    }
    void remoteCommandsChooseTheWord()
    {
        QFETCH(int, playingBefore);
        QFETCH(QString, command);
        QFETCH(int, playingAfter);
        viewModel().setPlaylist(threeWords());
        if (playingBefore >= 0)
            viewModel().playWord(playingBefore);

        if (command == "next")
            viewModel().remoteNextTrack();
        else if (command == "previous")
            viewModel().remotePreviousTrack();
        else if (command == "play")
            viewModel().remotePlay();
        else
            viewModel().remotePause();

        QCOMPARE(viewModel().property("currentPlayingIndex").toInt(), playingAfter);
    }

    void remotePlayWhilePausedRestartsTheWord()
    {
        startPlaying({makeWord(1, "cat", {"WORD", "SPELLING"}, 2)});
        playThrough(3); // word, spelling, then the word of repetition 2
        QCOMPARE(viewModel().currentWordRepeatProgress(), 2);
        viewModel().pause();

        viewModel().remotePlay();
        settle();

        QCOMPARE(viewModel().currentWordRepeatProgress(), 1);
        QCOMPARE(viewModel().currentUnitRawValue(), QStringLiteral("WORD"));
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
    }

    void resultsOfAStoppedOrReplacedUnitAreDropped_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<QStringList>("spoken");
        QTest::newRow("stop") << "stop" << QStringList {};
        QTest::newRow("another word") << "another word" << QStringList {"book"};
        QTest::newRow("remote next") << "remote next" << QStringList {"book"};
    }
    void resultsOfAStoppedOrReplacedUnitAreDropped()
    {
        QFETCH(QString, interruption);
        QFETCH(QStringList, spoken);
        m_speech->holdAnswers = true;
        viewModel().setPlaylist(threeWords());
        viewModel().playWord(0);
        QCOMPARE(viewModel().playbackState(), PlaybackState::loading);

        if (interruption == "stop")
            viewModel().stop();
        else if (interruption == "another word")
            viewModel().playWord(1);
        else
            viewModel().remoteNextTrack();
        m_speech->releaseAll();
        settle();

        QStringList played;
        for (const FakeAudioPlayer::Play &play : m_player->plays)
            played.append(spokenText(play.audio));
        QCOMPARE(played, spoken);
        QVERIFY(!viewModel().showErrorAlert());
    }

    void pauseWhileLoadingHasNoEffect()
    {
        m_speech->holdAnswers = true;
        viewModel().setPlaylist(threeWords());
        viewModel().playWord(0);

        viewModel().pause();
        QCOMPARE(viewModel().playbackState(), PlaybackState::loading);
        QVERIFY(!m_player->calls.contains("pause"));

        m_speech->releaseAll();
        settle();
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(m_player->plays.size(), 1);

        viewModel().pause();
        QCOMPARE(viewModel().playbackState(), PlaybackState::paused);
        m_player->finishClip(); // a clip end while paused does not count
        viewModel().resume();
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(m_player->calls, (QStringList {"play", "pause", "resume"}));
    }

    void lateClipEndsChangeNothing()
    {
        startPlaying({makeWord(1, "cat", {"WORD", "SPELLING"})});
        m_speech->holdAnswers = true;
        m_player->finishClip(); // WORD ends: SPELLING loads
        QCOMPARE(viewModel().playbackState(), PlaybackState::loading);
        m_player->finishClip(); // a second end while loading
        QCOMPARE(m_speech->requests.size(), 2);

        viewModel().stop();
        m_player->finishClip();
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        QCOMPARE(m_speech->requests.size(), 2);
    }

    void failuresStopWithTheirMessage_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing to play") << "plan" << QStringLiteral("当前单词没有可播放的内容，请检查播放设置");
        QTest::newRow("clip not playable") << "clip" << QStringLiteral("当前播放单元无法播放，请稍后重试");
        QTest::newRow("speech refused") << "fetch" << QStringLiteral("语音服务繁忙");
    }
    void failuresStopWithTheirMessage()
    {
        QFETCH(QString, failure);
        QFETCH(QString, message);
        QList<ORVWord> words = threeWords();
        if (failure == "plan")
            words[1].playbackProfile = WordPlaybackProfile(); // fails validation
        if (failure == "fetch")
            m_speech->failingTexts.insert("book", message);
        viewModel().setPlaylist(words);
        viewModel().playWord(1);
        settle();
        if (failure == "clip")
            m_player->finishClip(false);

        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        QCOMPARE(viewModel().errorMessage(), message);
        QVERIFY(viewModel().showErrorAlert());
        QCOMPARE(viewModel().currentPlayingIndex(), std::nullopt);
        // The list survives: the user can start again.
        viewModel().playWord(2);
        QCOMPARE(viewModel().currentPlayingIndex(), std::optional<qsizetype>(2));
    }

    void showsTheUnitWithItsSpellingWhileTheSpellingIsSpoken()
    {
        startPlaying({makeWord(1, "Don't", {"WORD", "SPELLING", "TRANSLATION_ZH"})});
        QStringList shown;
        for (int i = 0; i < 3; ++i) {
            settle();
            shown.append(viewModel().property("currentUnit").toString() + "|"
                + viewModel().property("spellingDisplay").toString());
            m_player->finishClip();
        }
        QCOMPARE(shown, (QStringList {"WORD|", "SPELLING|D - o - n - t", "TRANSLATION_ZH|"}));
        QCOMPARE(viewModel().currentUnitPresentation(), PlaybackUnitPresentation());

        // The desktop shows the word for every unit, each played at its own rate.
        QStringList titles;
        QList<float> rates;
        for (const FakeAudioPlayer::Play &play : m_player->plays) {
            titles.append(play.title);
            rates.append(play.rate);
        }
        QCOMPARE(titles, (QStringList {"Don't", "Don't", "Don't"}));
        QCOMPARE(rates, (QList<float> {1.0F, 1.25F, 1.0F}));
        QCOMPARE(m_speech->requests.at(1).text, QStringLiteral("D O N T"));
    }

    void marksWhichUnitsAreCachedBeforeTheyPlay()
    {
        // Only the older key holds the word's clip.
        writeFileAtomically(
            QDir(m_services->cache.cacheDirectory()).filePath(SpeechCacheKey::legacyMD5Key("cat", jenny) + ".mp3"),
            "older clip");
        m_speech->holdAnswers = true;
        viewModel().setPlaylist({makeWord(1, "cat", {"WORD", "TRANSLATION_ZH"})});
        viewModel().playWord(0);

        const QHash<ORVPlaybackUnit, bool> before {
            {ORVPlaybackUnit::word, true}, {ORVPlaybackUnit::translation, false}};
        QCOMPARE(viewModel().unitCacheStates(), before);
        QCOMPARE(viewModel().currentAvailableUnits(),
            (QList<ORVPlaybackUnit> {ORVPlaybackUnit::word, ORVPlaybackUnit::translation}));

        m_speech->releaseAll();
        settle();
        m_player->finishClip();
        m_speech->releaseAll();
        settle();
        QCOMPARE(viewModel().unitCacheStates().value(ORVPlaybackUnit::translation), true);
        QCOMPARE(
            viewModel().property("unitCacheStates").toMap(), (QVariantMap {{"WORD", true}, {"TRANSLATION_ZH", true}}));
    }

    void anInterruptionPausesForGood()
    {
        startPlaying(threeWords());
        viewModel().handleInterruption(false);
        QCOMPARE(viewModel().playbackState(), PlaybackState::paused);
        viewModel().handleInterruption(true);
        QCOMPARE(viewModel().playbackState(), PlaybackState::paused);
        QCOMPARE(m_player->calls.count("resume"), 0);

        // An interruption that ends while playing resumes the clip.
        viewModel().resume();
        viewModel().handleInterruption(true);
        QCOMPARE(m_player->calls.count("resume"), 2);
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
    }

    void aShorterListStopsOnlyWhenTheWordIsGone_data()
    {
        QTest::addColumn<int>("playing");
        QTest::addColumn<PlaybackState>("after");
        QTest::newRow("word still inside") << 1 << PlaybackState::playing;
        QTest::newRow("word gone") << 2 << PlaybackState::stopped;
    }
    void aShorterListStopsOnlyWhenTheWordIsGone()
    {
        QFETCH(int, playing);
        QFETCH(PlaybackState, after);
        startPlaying(threeWords(), playing);

        viewModel().setPlaylist(threeWords().mid(0, 2));
        QCOMPARE(viewModel().playbackState(), after);
    }

    void previewsOneText_data()
    {
        QTest::addColumn<std::optional<TTSVoice>>("voice");
        QTest::addColumn<std::optional<float>>("rate");
        QTest::addColumn<QString>("voiceUsed");
        QTest::addColumn<float>("rateUsed");
        QTest::newRow("defaults") << std::optional<TTSVoice>() << std::optional<float>() << jenny << 1.0F;
        QTest::newRow("given voice") << TTSVoice::catalogVoice(sonia) << std::optional<float>(1.5F) << sonia << 1.5F;
        QTest::newRow("rate 3.0") << std::optional<TTSVoice>() << std::optional<float>(3.0F) << jenny << 2.0F;
        QTest::newRow("rate 0.2") << std::optional<TTSVoice>() << std::optional<float>(0.2F) << jenny << 0.5F;
    }
    void previewsOneText()
    {
        QFETCH(std::optional<TTSVoice>, voice);
        QFETCH(std::optional<float>, rate);
        QFETCH(QString, voiceUsed);
        QFETCH(float, rateUsed);

        viewModel().playTransient(QStringLiteral("  hello there \n"), voice, rate, QStringLiteral("sample"));
        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::loading("sample"));
        QCOMPARE(viewModel().playbackState(), PlaybackState::loading);
        settle();

        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::playing("sample"));
        QCOMPARE(m_player->plays.size(), 1);
        QCOMPARE(m_player->plays.first().title, QStringLiteral("试听"));
        QCOMPARE(m_player->plays.first().rate, rateUsed);
        QCOMPARE(m_player->plays.first().audio, FakeSpeechService::clip(voiceUsed, "hello there"));

        m_player->finishClip();
        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus());
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
    }

    void aBlankPreviewDoesNothing()
    {
        startPlaying(threeWords());
        viewModel().playTransient(QStringLiteral(" \n\t"));
        settle();
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(viewModel().currentPlayingIndex(), std::optional<qsizetype>(0));
        QCOMPARE(m_speech->requests.size(), 1);
    }

    void aSecondPreviewCancelsTheFirst()
    {
        m_speech->holdAnswers = true;
        viewModel().playTransient(QStringLiteral("first"), std::nullopt, std::nullopt, QStringLiteral("a"));
        viewModel().playTransient(QStringLiteral("second"), std::nullopt, std::nullopt, QStringLiteral("b"));
        QVERIFY(m_speech->requests.first().gate->wasCancelled());
        m_speech->releaseAll();
        settle();

        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::playing("b"));
        QCOMPARE(m_player->plays.size(), 1);
        QCOMPARE(spokenText(m_player->plays.first().audio), QStringLiteral("second"));
        QVERIFY(!viewModel().showErrorAlert());
    }

    void previewFailuresAreReported_data()
    {
        QTest::addColumn<bool>("fetchFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("speech refused") << true << QStringLiteral("语音服务繁忙");
        QTest::newRow("clip not playable") << false << QStringLiteral("音频无法播放，请稍后重试");
    }
    void previewFailuresAreReported()
    {
        QFETCH(bool, fetchFails);
        QFETCH(QString, message);
        if (fetchFails)
            m_speech->failingTexts.insert("hello", message);
        viewModel().playTransient(QStringLiteral("hello"), std::nullopt, std::nullopt, QStringLiteral("sample"));
        settle();
        if (!fetchFails)
            m_player->finishClip(false);

        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::failed("sample", message));
        QCOMPARE(viewModel().errorMessage(), message);
        QVERIFY(viewModel().showErrorAlert());
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
    }

    void previewOfAudioAtHand()
    {
        startPlaying(threeWords());
        viewModel().playPreviewAudio({}, QStringLiteral("样音"), 1.0F);
        QCOMPARE(viewModel().errorMessage(), QStringLiteral("试听音频为空，请稍后重试"));
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(viewModel().currentPlayingIndex(), std::optional<qsizetype>(0));

        viewModel().playPreviewAudio("audio", QStringLiteral("样音"), 9.0F);
        QCOMPARE(viewModel().currentPlayingIndex(), std::nullopt);
        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::playing(std::nullopt));
        QCOMPARE(m_player->plays.last().title, QStringLiteral("样音"));
        QCOMPARE(m_player->plays.last().rate, 2.0F);
    }

    void bindingTheSessionSetsTokenAndVoice()
    {
        m_services->legacyVoice = sonia;
        viewModel().updateSession(QStringLiteral("token-1"), UserSummary {42, "lin"});
        QCOMPARE(viewModel().selectedVoice().id, sonia);
        startPlaying(threeWords());
        QCOMPARE(m_speech->requests.last().accessToken, std::optional<QString>("token-1"));
        viewModel().playTransient(QStringLiteral("hello"));
        QCOMPARE(m_speech->requests.last().voiceID, sonia);

        // An unknown stored voice falls back to the default; no token clears the binding.
        m_services->legacyVoice = QStringLiteral("en-US-Nobody");
        viewModel().updateSession(QStringLiteral("token-2"), UserSummary {43, "wu"});
        QCOMPARE(viewModel().selectedVoice().id, jenny);
        viewModel().updateSession(std::nullopt, UserSummary {43, "wu"});
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        viewModel().setPlaylist(threeWords());
        viewModel().playWord(0);
        settle();
        QCOMPARE(m_speech->requests.last().accessToken, std::nullopt);
    }

    void withoutAnOwnerKeyTheSessionIsCleared()
    {
        m_services->baseURL = std::nullopt;
        startPlaying(threeWords());
        viewModel().updateSession(QStringLiteral("token-1"), UserSummary {42, "lin"});

        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        QCOMPARE(viewModel().errorMessage(), QStringLiteral("当前后端环境无法建立安全偏好分区，请检查应用配置"));
        viewModel().playWord(0); // the list was cleared with the session
        QCOMPARE(viewModel().errorMessage(), QStringLiteral("当前后端环境无法建立安全偏好分区，请检查应用配置"));
        QCOMPARE(m_speech->requests.size(), 1);
    }
};

TALVORO_TEST(PlaybackViewModelTest)
#include "tst_playbackviewmodel.moc"
