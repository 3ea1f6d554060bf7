#include "PlaybackFakes.h"
#include "TestRegistry.h"

#include "Networking/BackendConfiguration.h"
#include "Persistence/PlaybackPreferenceOfflineStore.h"
#include "Playback/SpeechCacheKey.h"

#include <QDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

Q_DECLARE_METATYPE(LoopMode)

namespace {

const QString jenny = QStringLiteral("en-US-JennyNeural");
const QString sonia = QStringLiteral("en-GB-SoniaNeural");
const QList<QString> wordOnly {"WORD"};

QList<ORVWord> threeWords()
{
    return {makeWord(1, "apple", wordOnly), makeWord(2, "book", wordOnly), makeWord(3, "cat", wordOnly)};
}

const UserSummary lin {42, QStringLiteral("lin")};
const UserSummary wu {43, QStringLiteral("wu")};

PlaybackPreference preference(QList<QString> items, qint64 version = 2)
{
    PlaybackPreference value;
    value.playbackItems = std::move(items);
    value.version = version;
    return value;
}

} // namespace

class PlaybackViewModelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlaybackServices> m_services;
    FakeSpeechService *m_speech = nullptr;
    FakeAudioPlayer *m_player = nullptr;

    PlaybackViewModel &viewModel() { return m_services->viewModel(); }

    // Ends `clips` clips as each one plays, fewer when playback stops; returns the
    // text of every clip played.
    QStringList playThrough(int clips)
    {
        for (int turn = 0; turn < 1000 && clips > 0; ++turn) {
            settle();
            if (viewModel().playbackState() == PlaybackState::stopped)
                break;
            if (viewModel().playbackState() == PlaybackState::playing) {
                m_player->finishClip();
                --clips;
            }
        }
        settle();
        return m_player->spoken();
    }

    QString ownerKey() const
    {
        return *BackendConfiguration::ownerKey(
            lin.id, BackendConfiguration::environmentPartitionKey(m_services->baseURL));
    }
    PlaybackPreferenceLocalRecord storedRecord() const
    {
        return PlaybackPreferenceOfflineStore::loadRecord(ownerKey(), m_services->defaults);
    }
    void storeRecord(std::optional<PlaybackPreference> confirmed, std::optional<PlaybackPreference> pending = {})
    {
        PlaybackPreferenceLocalRecord record;
        record.confirmed = std::move(confirmed);
        if (pending) {
            PendingPlaybackPreferenceWrite write;
            write.operationID = QStringLiteral("6F1C1D2E-0000-4000-8000-000000000001");
            write.preference = *pending;
            write.changedFields = {PlaybackPreferenceField::playbackItems};
            write.enqueuedAt = m_services->clock.now();
            write.nextAttemptAt = m_services->clock.now().addSecs(60); // not due yet
            record.pending = write;
        }
        PlaybackPreferenceOfflineStore::saveRecord(record, ownerKey(), m_services->defaults);
    }
    QList<QString> items() { return viewModel().playbackPreference()->playbackItems; }
    // Binds lin, lets the restore finish, and starts the first word.
    void bindAndPlay(const QList<ORVWord> &words)
    {
        viewModel().updateSession(QStringLiteral("token"), lin);
        settle();
        m_services->startPlaying(words);
    }
private Q_SLOTS:
    void init()
    {
        m_services = std::make_unique<FakePlaybackServices>();
        m_speech = &m_services->speech;
        m_player = &m_services->player;
    }
    void cleanup() { QVERIFY(m_services->shutDown()); }

    void playsThePlanByRepeatCountAndLoopMode_data()
    {
        QTest::addColumn<LoopMode>("mode");
        QTest::addColumn<QList<ORVWord>>("words");
        QTest::addColumn<QStringList>("spoken");
        QTest::addColumn<bool>("stopsAtTheEnd");
        const QList<ORVWord> two = threeWords().mid(0, 2);
        const QStringList catTwice {"cat", "cat的译文"};
        auto cat = [](qint64 repeatCount) {
            return QList<ORVWord> {makeWord(1, "cat", QList<QString> {"WORD", "TRANSLATION_ZH"}, repeatCount)};
        };
        QTest::newRow("repeat count 3") << LoopMode::sequential << cat(3) << catTwice + catTwice + catTwice << true;
        QTest::newRow("repeat count 0 plays once") << LoopMode::sequential << cat(0) << catTwice << true;
        QTest::newRow("repeat count -2 plays once") << LoopMode::sequential << cat(-2) << catTwice << true;
        QTest::newRow("sequential stops after the last")
            << LoopMode::sequential << threeWords() << QStringList {"apple", "book", "cat"} << true;
        QTest::newRow("loop wraps") << LoopMode::loop << threeWords()
                                    << QStringList {"apple", "book", "cat", "apple", "book", "cat"} << false;
        QTest::newRow("shuffle of two alternates")
            << LoopMode::shuffle << two << QStringList {"apple", "book", "apple", "book", "apple", "book"} << false;
        QTest::newRow("shuffle of one repeats it")
            << LoopMode::shuffle << two.mid(0, 1) << QStringList {"apple", "apple", "apple"} << false;
    }
    void playsThePlanByRepeatCountAndLoopMode()
    {
        QFETCH(LoopMode, mode);
        QFETCH(QList<ORVWord>, words);
        QFETCH(QStringList, spoken);
        QFETCH(bool, stopsAtTheEnd);
        while (viewModel().loopMode() != mode)
            viewModel().cycleLoopMode();
        m_services->startPlaying(words);

        const QStringList played = playThrough(int(spoken.size()));

        QCOMPARE(played.mid(0, spoken.size()), spoken);
        QCOMPARE(viewModel().playbackState(), stopsAtTheEnd ? PlaybackState::stopped : PlaybackState::playing);
        if (stopsAtTheEnd) {
            QCOMPARE(played.size(), spoken.size());
            QCOMPARE(viewModel().currentWordRepeatProgress(), 1);
            QCOMPARE(viewModel().currentPlayingIndex(), std::nullopt);
        }
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

    // Answers and clip ends that belong to a unit no longer in progress change nothing.
    void lateResultsAreDropped_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<QStringList>("spoken");
        QTest::newRow("stop") << "stop" << QStringList {};
        QTest::newRow("another word") << "another word" << QStringList {"book"};
        QTest::newRow("remote next") << "remote next" << QStringList {"book"};
        QTest::newRow("pause has no effect while loading") << "pause" << QStringList {"apple"};
    }
    void lateResultsAreDropped()
    {
        QFETCH(QString, interruption);
        QFETCH(QStringList, spoken);
        m_speech->holdAnswers = true;
        viewModel().setPlaylist(threeWords());
        viewModel().playWord(0);
        QCOMPARE(viewModel().playbackState(), PlaybackState::loading);
        m_player->finishClip(); // an end while loading

        if (interruption == "stop")
            viewModel().stop();
        else if (interruption == "another word")
            viewModel().playWord(1);
        else if (interruption == "remote next")
            viewModel().remoteNextTrack();
        else
            viewModel().pause();
        m_speech->releaseAll();
        settle();

        QCOMPARE(m_player->spoken(), spoken);
        QCOMPARE(m_speech->requests.size(), interruption == "stop" || interruption == "pause" ? 1 : 2);
        QVERIFY(!m_player->calls.contains("pause"));
        QVERIFY(!viewModel().showErrorAlert());
        viewModel().stop();
        m_player->finishClip(); // an end after stop
        QCOMPARE(m_speech->requests.size(), interruption == "stop" || interruption == "pause" ? 1 : 2);
    }

    void pauseAndResumeWhilePlaying()
    {
        m_services->startPlaying(threeWords());
        viewModel().pause();
        QCOMPARE(viewModel().playbackState(), PlaybackState::paused);
        m_player->finishClip(); // a clip end while paused does not count
        viewModel().resume();
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(viewModel().currentPlayingIndex(), std::optional<qsizetype>(0));

        // An interruption pauses for good; one that ends while playing resumes the clip.
        viewModel().handleInterruption(false);
        QCOMPARE(viewModel().playbackState(), PlaybackState::paused);
        viewModel().handleInterruption(true);
        QCOMPARE(viewModel().playbackState(), PlaybackState::paused);
        viewModel().resume();
        viewModel().handleInterruption(true);
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(m_player->calls, (QStringList {"play", "pause", "resume", "pause", "resume", "resume"}));
    }

    void failuresStopWithTheirMessage_data()
    {
        QTest::addColumn<bool>("preview");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing to play") << false << "plan"
                                         << QStringLiteral("当前单词没有可播放的内容，请检查播放设置");
        QTest::newRow("clip not playable") << false << "clip" << QStringLiteral("当前播放单元无法播放，请稍后重试");
        QTest::newRow("speech refused") << false << "fetch" << QStringLiteral("语音服务繁忙");
        QTest::newRow("preview: clip not playable") << true << "clip" << QStringLiteral("音频无法播放，请稍后重试");
        QTest::newRow("preview: speech refused") << true << "fetch" << QStringLiteral("语音服务繁忙");
    }
    void failuresStopWithTheirMessage()
    {
        QFETCH(bool, preview);
        QFETCH(QString, failure);
        QFETCH(QString, message);
        QList<ORVWord> words = threeWords();
        if (failure == "plan")
            words[1].playbackProfile = WordPlaybackProfile(); // fails validation
        if (failure == "fetch")
            m_speech->failingTexts.insert(preview ? "hello" : "book", message);
        m_services->startPlaying(words, 1);
        if (preview) {
            viewModel().playTransient(QStringLiteral("hello"), std::nullopt, std::nullopt, QStringLiteral("sample"));
            settle();
        }
        if (failure == "clip")
            m_player->finishClip(false);

        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        QCOMPARE(viewModel().errorMessage(), message);
        QVERIFY(viewModel().showErrorAlert());
        QCOMPARE(viewModel().currentPlayingIndex(), std::nullopt);
        if (preview)
            QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::failed("sample", message));
        // The list survives: the user can start again.
        viewModel().playWord(2);
        QCOMPARE(viewModel().currentPlayingIndex(), std::optional<qsizetype>(2));
    }

    void showsTheUnitWithItsSpellingWhileTheSpellingIsSpoken()
    {
        m_services->startPlaying({makeWord(1, "Don't", QList<QString> {"WORD", "SPELLING", "TRANSLATION_ZH"})});
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
        for (const FakeAudioPlayer::Play &play : m_player->plays)
            QCOMPARE(play.title, QStringLiteral("Don't"));
        QCOMPARE(m_player->plays.at(1).rate, 1.25F);
        QCOMPARE(m_speech->requests.at(1).text, QStringLiteral("D O N T"));
    }

    void marksWhichUnitsAreCachedBeforeTheyPlay()
    {
        // Only the older key holds the word's clip.
        writeFileAtomically(
            QDir(m_services->cache.cacheDirectory()).filePath(SpeechCacheKey::legacyMD5Key("cat", jenny) + ".mp3"),
            "older clip");
        m_speech->holdAnswers = true;
        m_services->startPlaying({makeWord(1, "cat", QList<QString> {"WORD", "TRANSLATION_ZH"})});

        QCOMPARE(
            viewModel().property("unitCacheStates").toMap(), (QVariantMap {{"WORD", true}, {"TRANSLATION_ZH", false}}));
        m_speech->releaseAll();
        settle();
        m_player->finishClip();
        m_speech->releaseAll();
        settle();
        QCOMPARE(viewModel().unitCacheStates().value(ORVPlaybackUnit::translation), true);
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
        m_services->startPlaying(threeWords(), playing);

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
        m_services->startPlaying(threeWords());

        viewModel().playTransient(QStringLiteral(" \n\t"), voice, rate); // blank: nothing happens
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(viewModel().currentPlayingIndex(), std::optional<qsizetype>(0));
        viewModel().playTransient(QStringLiteral("  hello there \n"), voice, rate, QStringLiteral("sample"));
        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::loading("sample"));
        QCOMPARE(viewModel().currentPlayingIndex(), std::nullopt);
        settle();

        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::playing("sample"));
        QCOMPARE(m_player->plays.size(), 2);
        QCOMPARE(m_player->plays.last().title, QStringLiteral("试听"));
        QCOMPARE(m_player->plays.last().rate, rateUsed);
        QCOMPARE(m_player->plays.last().audio, FakeSpeechService::clip(voiceUsed, "hello there"));

        m_player->finishClip();
        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus());
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
    }

    void aSecondPreviewCancelsTheFirst()
    {
        m_speech->holdAnswers = true;
        viewModel().playTransient(QStringLiteral("first"), std::nullopt, std::nullopt, QStringLiteral("a"));
        viewModel().playTransient(QStringLiteral("second"), std::nullopt, std::nullopt, QStringLiteral("b"));
        QVERIFY(m_speech->requests.first().gate->wasCancelled);
        m_speech->releaseAll();
        settle();

        QCOMPARE(viewModel().transientPlaybackStatus(), TransientPlaybackStatus::playing("b"));
        QCOMPARE(m_player->spoken(), QStringList {"second"});
        QVERIFY(!viewModel().showErrorAlert());
    }

    void previewOfAudioAtHand()
    {
        m_services->startPlaying(threeWords());
        viewModel().playPreviewAudio({}, QStringLiteral("样音"), 1.0F);
        QCOMPARE(viewModel().errorMessage(), QStringLiteral("试听音频为空，请稍后重试"));
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
        m_services->startPlaying(threeWords());
        QCOMPARE(m_speech->requests.last().accessToken, std::optional<QString>("token-1"));

        // An unknown stored voice falls back to the default; no token clears the binding.
        m_services->legacyVoice = QStringLiteral("en-US-Nobody");
        viewModel().updateSession(QStringLiteral("token-2"), UserSummary {43, "wu"});
        QCOMPARE(viewModel().selectedVoice().id, jenny);
        viewModel().updateSession(std::nullopt, UserSummary {43, "wu"});
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        m_services->startPlaying(threeWords());
        QCOMPARE(m_speech->requests.last().accessToken, std::nullopt);
    }

    void withoutAnOwnerKeyTheSessionIsCleared()
    {
        m_services->baseURL = std::nullopt;
        m_services->startPlaying(threeWords());
        viewModel().updateSession(QStringLiteral("token-1"), UserSummary {42, "lin"});

        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        QCOMPARE(viewModel().errorMessage(), QStringLiteral("当前后端环境无法建立安全偏好分区，请检查应用配置"));
        viewModel().playWord(0); // the list was cleared with the session
        QCOMPARE(m_speech->requests.size(), 1);
    }

    void bindingTheSameTokenAndUserTwiceRestoresOnce()
    {
        viewModel().updateSession(QStringLiteral("token-1"), lin);
        viewModel().updateSession(QStringLiteral("token-1"), lin);
        settle();
        QCOMPARE(m_services->api.fetchTokens, QStringList {"token-1"});

        // A refreshed token binds again.
        viewModel().updateSession(QStringLiteral("token-2"), lin);
        settle();
        QCOMPARE(m_services->api.fetchTokens, (QStringList {"token-1", "token-2"}));
    }

    void theUsersOwnPreferenceAppliesAtOnce_data()
    {
        QTest::addColumn<std::optional<PlaybackPreference>>("confirmed");
        QTest::addColumn<std::optional<PlaybackPreference>>("pending");
        QTest::addColumn<QList<QString>>("applied");
        QTest::addColumn<bool>("readsTheServer");
        using Preference = std::optional<PlaybackPreference>;
        QTest::newRow("confirmed only") << Preference(preference({"SPELLING"})) << Preference()
                                        << QList<QString> {"SPELLING"} << true;
        QTest::newRow("pending wins") << Preference(preference({"SPELLING"}))
                                      << Preference(preference({"TRANSLATION_ZH"})) << QList<QString> {"TRANSLATION_ZH"}
                                      << false;
        QTest::newRow("nothing stored") << Preference() << Preference() << PlaybackPreference().playbackItems << true;
    }
    void theUsersOwnPreferenceAppliesAtOnce()
    {
        QFETCH(std::optional<PlaybackPreference>, confirmed);
        QFETCH(std::optional<PlaybackPreference>, pending);
        QFETCH(QList<QString>, applied);
        QFETCH(bool, readsTheServer);
        storeRecord(confirmed, pending);
        m_services->api.holdAnswers = true;
        m_services->api.serverPreference = preference({"WORD"}, 9);

        viewModel().updateSession(QStringLiteral("token"), lin);
        QCOMPARE(items(), applied);

        QVERIFY(m_services->drained());
        // A change still waiting to be sent (deferred) is not overridden by the server.
        QCOMPARE(m_services->api.fetchTokens.size(), readsTheServer ? 1 : 0);
        QCOMPARE(items(), readsTheServer ? QList<QString> {"WORD"} : applied);
        const PlaybackPreferenceLocalRecord record = storedRecord();
        QCOMPARE(record.confirmed ? record.confirmed->version : 0, readsTheServer ? 9 : confirmed->version);
        QCOMPARE(record.pending.has_value(), pending.has_value());
    }

    void aServerReadThatFailsOrIsInvalidKeepsThePreferenceInForce_data()
    {
        QTest::addColumn<bool>("invalid");
        QTest::newRow("invalid") << true;
        QTest::newRow("failed") << false;
    }
    void aServerReadThatFailsOrIsInvalidKeepsThePreferenceInForce()
    {
        QFETCH(bool, invalid);
        storeRecord(preference({"SPELLING"}));
        if (invalid) {
            m_services->api.serverPreference = preference({"WORD"}, 0);
            QTest::ignoreMessage(QtCriticalMsg, "服务端播放偏好无法写入本地确认快照");
        } else {
            m_services->api.serverPreference = std::nullopt;
            QTest::ignoreMessage(QtInfoMsg, "全局播放偏好暂不可用，继续使用本地安全默认值");
        }

        viewModel().updateSession(QStringLiteral("token"), lin);
        settle();

        QCOMPARE(viewModel().errorMessage(), invalid ? QStringLiteral("服务器返回的全局播放设置无效，请稍后重试") : "");
        QCOMPARE(items(), QList<QString> {"SPELLING"});
        QCOMPARE(storedRecord().confirmed->version, 2);
    }

    void answersForAnEarlierBindingAreDropped_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("logout") << "logout";
        QTest::newRow("another user") << "another user";
        QTest::newRow("another token") << "another token";
    }
    void answersForAnEarlierBindingAreDropped()
    {
        QFETCH(QString, change);
        m_services->api.holdAnswers = true;
        m_services->api.serverPreference = preference({"WORD"}, 5);
        viewModel().updateSession(QStringLiteral("token-1"), lin);
        settle();

        m_services->api.serverPreference = preference({"TRANSLATION_ZH"}, 6);
        if (change == "logout")
            viewModel().clearSession();
        else if (change == "another user")
            viewModel().updateSession(QStringLiteral("token-2"), wu);
        else
            viewModel().updateSession(QStringLiteral("token-2"), lin);
        settle();
        // The newer answer first, then the stale one.
        for (qsizetype i = m_services->api.gates.size() - 1; i >= 0; --i) {
            m_services->api.gates.at(i)->open();
            settle();
        }

        QCOMPARE(items(), change == "logout" ? PlaybackPreference().playbackItems : QList<QString> {"TRANSLATION_ZH"});
    }

    void aVoiceChangeIsHeardFromTheNextRepetition()
    {
        bindAndPlay({makeWord(1, "cat", std::nullopt, 2)});
        PlaybackPreference british = *viewModel().playbackPreference();
        british.voiceEn = QStringLiteral("en-GB-SoniaNeural");

        viewModel().applyServerPreference(british);

        QCOMPARE(m_services->speech.requests.size(), 1);
        QCOMPARE(viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(m_services->player.calls, QStringList {"play"});
        playThrough(3); // WORD, SPELLING, TRANSLATION_ZH of repetition 1
        QCOMPARE(viewModel().currentWordRepeatProgress(), 2);
        QCOMPARE(m_services->speech.requests.last().voiceID, british.voiceEn);
    }

    // Units already played in this repetition stay played; the unit in progress
    // goes on while it is still wanted; the rest follow the new plan. A word with its
    // own profile keeps it.
    void anotherSetOfUnitsRefitsTheWordInProgress_data()
    {
        QTest::addColumn<bool>("ownProfile"); // of the first word
        QTest::addColumn<QList<QString>>("itemsBefore");
        QTest::addColumn<int>("clipsBefore");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QList<QString>>("itemsAfter");
        QTest::addColumn<QStringList>("calls"); // of the player, from the change on
        QTest::addColumn<QStringList>("requested"); // by the end of the list
        const QList<QString> standard = PlaybackPreference().playbackItems;
        const QList<QString> spellingFirst {"SPELLING", "TRANSLATION_ZH"};
        QTest::newRow("unit in progress dropped while playing")
            << false << standard << 0 << false << spellingFirst << QStringList {"deactivate", "play"}
            << QStringList {"cat", "C A T", "cat的译文", "D O G", "dog的译文"};
        QTest::newRow("unit in progress dropped while paused")
            << false << standard << 0 << true << spellingFirst << QStringList {"deactivate", "play", "pause"}
            << QStringList {"cat", "C A T", "cat的译文", "D O G", "dog的译文"};
        QTest::newRow("last unit left dropped: the next word")
            << false << standard << 2 << false << QList<QString> {"WORD", "SPELLING"}
            << QStringList {"deactivate", "play"} << QStringList {"cat", "C A T", "cat的译文", "dog", "D O G"};
        QTest::newRow("added unit after the unit in progress")
            << false << QList<QString> {"WORD", "TRANSLATION_ZH"} << 1 << false
            << QList<QString> {"SPELLING", "TRANSLATION_ZH", "WORD"} << QStringList {}
            << QStringList {"cat", "cat的译文", "C A T", "D O G", "dog的译文", "dog"};
        QTest::newRow("a word with its own profile")
            << true << standard << 0 << false << QList<QString> {"WORD"} << QStringList {}
            << QStringList {"cat", "C A T", "cat的译文", "dog"};
    }
    void anotherSetOfUnitsRefitsTheWordInProgress()
    {
        QFETCH(bool, ownProfile);
        QFETCH(QList<QString>, itemsBefore);
        QFETCH(int, clipsBefore);
        QFETCH(bool, paused);
        QFETCH(QList<QString>, itemsAfter);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, requested);
        m_services->api.serverPreference = preference(itemsBefore);
        QList<ORVWord> words {makeWord(1, "cat"), makeWord(2, "dog")};
        if (ownProfile)
            words[0].playbackProfile = WordPlaybackProfile::makeDefault(1);
        bindAndPlay(words);
        playThrough(clipsBefore);
        if (paused)
            viewModel().pause();
        m_services->player.calls.clear();

        viewModel().applyServerPreference(preference(itemsAfter));
        settle();

        QCOMPARE(m_services->player.calls, calls);
        QCOMPARE(viewModel().playbackState(), paused ? PlaybackState::paused : PlaybackState::playing);
        viewModel().resume();
        playThrough(10);
        QCOMPARE(viewModel().playbackState(), PlaybackState::stopped);
        QCOMPARE(m_services->speech.texts(), requested);
    }
};

TALVORO_TEST(PlaybackViewModelTest)
#include "tst_playbackviewmodel.moc"
