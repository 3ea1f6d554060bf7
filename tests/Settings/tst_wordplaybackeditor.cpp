#include "WordPlaybackTesting.h"
#include "TestRegistry.h"

#include <QTest>

using namespace wordplaybacktesting;

namespace {

using U = ORVPlaybackUnit;
using EditorError = WordPlaybackProfileEditorError;

QList<WordPlaybackUnit> canonical()
{
    return {unitEntry(U::word, 1), unitEntry(U::spelling, 2), unitEntry(U::translation, 3),
        unitEntry(U::explanation, 4)};
}

} // namespace

class WordPlaybackEditorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The first entry of a unit wins, a missing unit comes in at its natural
    // place, ties keep the natural order, and positions end up 1...4.
    void normalizedUnits_data()
    {
        QTest::addColumn<QList<WordPlaybackUnit>>("given");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("as given") << canonical()
                                  << QStringList {"WORD1", "SPELLING2", "TRANSLATION_ZH3", "EXPLANATION4"};
        QTest::newRow("sorted by position")
            << QList {unitEntry(U::word, 4), unitEntry(U::spelling, 3), unitEntry(U::translation, 2),
                   unitEntry(U::explanation, 1)}
            << QStringList {"EXPLANATION1", "TRANSLATION_ZH2", "SPELLING3", "WORD4"};
        QTest::newRow("missing unit at its natural place")
            << QList {unitEntry(U::explanation, 1), unitEntry(U::word, 5), unitEntry(U::translation, 6)}
            << QStringList {"EXPLANATION1", "SPELLING2", "WORD3", "TRANSLATION_ZH4"};
        QTest::newRow("empty") << QList<WordPlaybackUnit> {}
                               << QStringList {"WORD1", "SPELLING2", "TRANSLATION_ZH3", "EXPLANATION4"};
        QTest::newRow("ties keep the natural order")
            << QList {unitEntry(U::explanation, 1), unitEntry(U::word, 1), unitEntry(U::spelling, 1),
                   unitEntry(U::translation, 1)}
            << QStringList {"WORD1", "SPELLING2", "TRANSLATION_ZH3", "EXPLANATION4"};
    }
    void normalizedUnits()
    {
        QFETCH(QList<WordPlaybackUnit>, given);
        QFETCH(QStringList, expected);
        QCOMPARE(order(WordPlaybackProfileEditorViewModel::normalizedUnits(given)), expected);
    }

    void firstEntryOfAUnitWins()
    {
        const auto units = WordPlaybackProfileEditorViewModel::normalizedUnits(
            {unitEntry(U::word, 1, false), unitEntry(U::word, 2, true, QStringLiteral("en-GB-SoniaNeural"))});
        QCOMPARE(units.size(), 4);
        QCOMPARE(units[0].unit, U::word);
        QCOMPARE(units[0].enabled, false);
        QCOMPARE(units[0].voiceId, std::nullopt);
        // The fresh entries are enabled and inherit.
        QVERIFY(units[1].enabled && !units[1].voiceId && !units[1].speechRate);
    }

    // The repeat count comes from the word's own profile, else from the word, and
    // always within 1...20.
    void repeatCountOnCreation_data()
    {
        QTest::addColumn<std::optional<qint64>>("profileCount");
        QTest::addColumn<qint64>("wordCount");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("profile 0") << std::optional<qint64>(0) << qint64(5) << qint64(1);
        QTest::newRow("profile 25") << std::optional<qint64>(25) << qint64(5) << qint64(20);
        QTest::newRow("profile 4") << std::optional<qint64>(4) << qint64(5) << qint64(4);
        QTest::newRow("word's 7") << std::optional<qint64>() << qint64(7) << qint64(7);
        QTest::newRow("word's 30") << std::optional<qint64>() << qint64(30) << qint64(20);
        QTest::newRow("word's -2") << std::optional<qint64>() << qint64(-2) << qint64(1);
    }
    void repeatCountOnCreation()
    {
        QFETCH(std::optional<qint64>, profileCount);
        QFETCH(qint64, wordCount);
        QFETCH(qint64, expected);
        ORVWord word = wordOf(42, QStringLiteral("test"));
        word.repeatCount = wordCount;
        word.playbackProfile = profileOf(42, 2, profileCount, {unitEntry(U::spelling, 1), unitEntry(U::word, 2)});
        EditorFixture f(word);
        QCOMPARE(f.editor->repeatCount(), expected);
        QCOMPARE(order(f.editor->units()),
            (QStringList {"SPELLING1", "WORD2", "TRANSLATION_ZH3", "EXPLANATION4"}));
        QCOMPARE(f.editor->profile().version, 2);
    }

    // The dragged unit lands just before the target.
    void moveUnit_data()
    {
        QTest::addColumn<U>("dragged");
        QTest::addColumn<U>("target");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("on the one below: unchanged")
            << U::word << U::spelling << QStringList {"WORD1", "SPELLING2", "TRANSLATION_ZH3", "EXPLANATION4"};
        QTest::newRow("down past one") << U::word << U::translation
                                       << QStringList {"SPELLING1", "WORD2", "TRANSLATION_ZH3", "EXPLANATION4"};
        QTest::newRow("up") << U::explanation << U::spelling
                            << QStringList {"WORD1", "EXPLANATION2", "SPELLING3", "TRANSLATION_ZH4"};
        QTest::newRow("up to the top") << U::spelling << U::word
                                       << QStringList {"SPELLING1", "WORD2", "TRANSLATION_ZH3", "EXPLANATION4"};
        QTest::newRow("on itself") << U::translation << U::translation
                                   << QStringList {"WORD1", "SPELLING2", "TRANSLATION_ZH3", "EXPLANATION4"};
    }
    void moveUnit()
    {
        QFETCH(U, dragged);
        QFETCH(U, target);
        QFETCH(QStringList, expected);
        EditorFixture f;
        f.editor->moveUnit(dragged, target);
        QCOMPARE(order(f.editor->units()), expected);
    }

    // An own voice must be a catalogue voice of the unit's language; clearing is
    // always accepted.
    void setVoice_data()
    {
        QTest::addColumn<U>("unit");
        QTest::addColumn<std::optional<QString>>("voice");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("English on SPELLING") << U::spelling << std::optional(QStringLiteral("en-US-GuyNeural")) << false;
        QTest::newRow("Chinese on WORD") << U::word << std::optional(QStringLiteral("zh-CN-YunxiNeural")) << false;
        QTest::newRow("unknown on WORD") << U::word << std::optional(QStringLiteral("en-US-Nobody")) << false;
        QTest::newRow("English on WORD") << U::word << std::optional(QStringLiteral("en-GB-SoniaNeural")) << true;
        QTest::newRow("Chinese on EXPLANATION")
            << U::explanation << std::optional(QStringLiteral("zh-CN-YunxiNeural")) << true;
        QTest::newRow("clear") << U::translation << std::optional<QString>() << true;
    }
    void setVoice()
    {
        QFETCH(U, unit);
        QFETCH(std::optional<QString>, voice);
        QFETCH(bool, accepted);
        ORVWord word = wordOf(42, QStringLiteral("test"));
        word.playbackProfile = profileOf(42, 1, 1,
            {unitEntry(U::word, 1, true, QStringLiteral("en-US-JennyNeural")), unitEntry(U::spelling, 2),
                unitEntry(U::translation, 3, true, QStringLiteral("zh-CN-XiaoxiaoNeural")),
                unitEntry(U::explanation, 4)});
        EditorFixture f(word);
        const auto before = f.editor->units();
        f.editor->setVoice(voice, unit);
        if (accepted) {
            QCOMPARE(f.editor->entry(unit)->voiceId, voice);
            QCOMPARE(f.editor->errorMessage(), std::nullopt);
        } else {
            QCOMPARE(f.editor->units(), before);
            QCOMPARE(f.editor->errorMessage(), QStringLiteral("所选音色与播放单元语言不匹配"));
        }
    }

    void ratesAreClampedOrInherited_data()
    {
        QTest::addColumn<std::optional<double>>("given");
        QTest::addColumn<std::optional<double>>("stored");
        QTest::newRow("0.3") << std::optional(0.3) << std::optional(0.5);
        QTest::newRow("2.5") << std::optional(2.5) << std::optional(2.0);
        QTest::newRow("1.25") << std::optional(1.25) << std::optional(1.25);
        QTest::newRow("NaN") << std::optional(qQNaN()) << std::optional(0.5);
        QTest::newRow("inherit") << std::optional<double>() << std::optional<double>();
    }
    void ratesAreClampedOrInherited()
    {
        QFETCH(std::optional<double>, given);
        QFETCH(std::optional<double>, stored);
        EditorFixture f;
        f.editor->updateUnit(1.5, U::spelling);
        f.editor->updateUnit(given, U::spelling);
        QCOMPARE(f.editor->entry(U::spelling)->speechRate, stored);
        // Without an own rate the unit is spoken at the global rate of its kind.
        QCOMPARE(f.editor->effectiveSpeechRate(U::spelling), stored.value_or(PlaybackPreference().spellingRate));
    }

    void theLastEnabledUnitStaysOn()
    {
        ORVWord word = wordOf(42, QStringLiteral("test"));
        word.playbackProfile = profileOf(42, 1, 1,
            {unitEntry(U::word, 1), unitEntry(U::spelling, 2, false), unitEntry(U::translation, 3, false),
                unitEntry(U::explanation, 4, false)});
        EditorFixture f(word);
        const auto before = f.editor->units();
        for (const U unit : {U::word, U::spelling}) {
            f.editor->setErrorMessage(std::nullopt);
            f.editor->setUnitEnabled(false, unit);
            QCOMPARE(f.editor->units(), before);
            QCOMPARE(f.editor->errorMessage(), QStringLiteral("至少需要开启一个播放单元"));
        }
        f.editor->setUnitEnabled(true, U::explanation);
        f.editor->setUnitEnabled(false, U::word);
        QVERIFY(!f.editor->entry(U::word)->enabled && f.editor->entry(U::explanation)->enabled);
    }

    // A second load overtakes the first: the first one's answers are dropped (its
    // failure message still shows) and loading lasts until the second ends.
    void anOvertakenLoadIsDropped()
    {
        EditorFixture f;
        f.api.hold = true;
        f.api.profileAnswer = [](qint64 wordId) {
            return profileOf(wordId, 5, 9,
                {unitEntry(U::explanation, 1), unitEntry(U::word, 2), unitEntry(U::spelling, 3),
                    unitEntry(U::translation, 4)});
        };
        PlaybackPreference stalePreference;
        stalePreference.spellingRate = 0.6;
        f.api.preferenceAnswer = [stalePreference] { return stalePreference; };
        auto first = startAwaiting(f.editor->load(QStringLiteral("A1")));
        f.api.profileAnswer = [](qint64 wordId) { return profileOf(wordId, 6, 4); };
        PlaybackPreference freshPreference;
        freshPreference.spellingRate = 0.8;
        f.api.preferenceAnswer = [freshPreference] { return freshPreference; };
        auto second = startAwaiting(f.editor->load(QStringLiteral("A2")));
        QCOMPARE(f.api.profileReads.size(), 2);
        QCOMPARE(f.api.preferenceReads.size(), 2);
        QCOMPARE(f.api.profileReads[1].accessToken, QStringLiteral("A2"));

        f.api.profileReads[0].gate->open();
        f.api.preferenceReads[0].gate->open();
        QTRY_VERIFY(first->finished);
        QCOMPARE(f.editor->profile().version, 1);
        QCOMPARE(f.editor->globalPreference().spellingRate, 1.25);
        QVERIFY(f.editor->isLoading());
        QVERIFY(!f.editor->hasLoadedRemoteProfile());

        f.api.profileReads[1].gate->open();
        f.api.preferenceReads[1].gate->open();
        QTRY_VERIFY(second->finished);
        QVERIFY(!f.editor->isLoading());
        QVERIFY(f.editor->hasLoadedRemoteProfile());
        QCOMPARE(f.editor->profile().version, 6);
        QCOMPARE(f.editor->repeatCount(), 4);
        QCOMPARE(f.editor->globalPreference().spellingRate, 0.8);
        QCOMPARE(f.editor->errorMessage(), std::nullopt);
    }

    void loadFailures_data()
    {
        QTest::addColumn<bool>("profileFails");
        QTest::addColumn<bool>("profileInvalid");
        QTest::addColumn<bool>("preferenceFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("profile") << true << false << false << QStringLiteral("加载播放设置失败：");
        QTest::newRow("invalid profile") << false << true << false << QStringLiteral("加载播放设置失败：");
        QTest::newRow("preference") << false << false << true << QStringLiteral("全局音色暂不可用，继承项将使用默认值：");
        QTest::newRow("both") << true << false << true << QStringLiteral("全局音色暂不可用，继承项将使用默认值：");
    }
    void loadFailures()
    {
        QFETCH(bool, profileFails);
        QFETCH(bool, profileInvalid);
        QFETCH(bool, preferenceFails);
        QFETCH(QString, message);
        ORVWord word = wordOf(42, QStringLiteral("test"));
        word.playbackProfile = profileOf(42, 2, 3, {unitEntry(U::spelling, 1), unitEntry(U::word, 2)});
        EditorFixture f(word);
        const auto unitsBefore = f.editor->units();
        f.api.profileAnswer = [profileFails, profileInvalid](qint64 wordId) -> WordPlaybackProfile {
            if (profileFails)
                throw MobileAPIError::server(500, std::nullopt, QStringLiteral("坏了"));
            WordPlaybackProfile answer = profileOf(wordId, 4, 5);
            if (profileInvalid)
                answer.units.removeLast();
            return answer;
        };
        f.api.preferenceAnswer = [preferenceFails] {
            if (preferenceFails)
                throw MobileAPIError::server(503, std::nullopt, QStringLiteral("忙"));
            return PlaybackPreference();
        };
        awaitResult(f.editor->load(QStringLiteral("A1")));
        QVERIFY(f.editor->errorMessage().value_or(QString()).startsWith(message));
        QVERIFY(!f.editor->isLoading());
        QCOMPARE(f.editor->hasLoadedRemoteProfile(), !(profileFails || profileInvalid));
        if (profileFails || profileInvalid) {
            QCOMPARE(f.editor->units(), unitsBefore);
            QCOMPARE(f.editor->repeatCount(), 3);
            QCOMPARE(f.editor->profile().version, 2);
        }
    }

    void loadWithoutToken_data()
    {
        QTest::addColumn<std::optional<QString>>("token");
        QTest::newRow("none") << std::optional<QString>();
        QTest::newRow("empty") << std::optional(QString());
    }
    void loadWithoutToken()
    {
        QFETCH(std::optional<QString>, token);
        EditorFixture f;
        awaitResult(f.editor->load(token));
        QCOMPARE(f.editor->errorMessage(), QStringLiteral("登录状态已失效，请重新登录"));
        QVERIFY(f.api.profileReads.isEmpty());
        QVERIFY(!f.editor->isLoading());
    }

    // Each precondition is checked in turn, and a refused save sends nothing.
    void savePreconditionsInOrder_data()
    {
        QTest::addColumn<bool>("withToken");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>("playable");
        QTest::addColumn<int>("expected");
        QTest::newRow("no token, nothing loaded, nothing playable")
            << false << false << false << int(EditorError::Kind::missingSession);
        QTest::newRow("not loaded, nothing playable") << true << false << false
                                                      << int(EditorError::Kind::profileNotLoaded);
        QTest::newRow("nothing playable") << true << true << false << int(EditorError::Kind::noPlayableContent);
    }
    void savePreconditionsInOrder()
    {
        QFETCH(bool, withToken);
        QFETCH(bool, loaded);
        QFETCH(bool, playable);
        QFETCH(int, expected);
        ORVWord word = wordOf(42, QStringLiteral("test"));
        word.translationsZh.clear();
        EditorFixture f(word);
        f.api.profileAnswer = [loaded](qint64 wordId) -> WordPlaybackProfile {
            if (!loaded)
                throw MobileAPIError::server(500, std::nullopt, QString());
            // Only the translation plays, and this word has none.
            return profileOf(wordId, 3, 1,
                {unitEntry(U::translation, 1), unitEntry(U::word, 2, false), unitEntry(U::spelling, 3, false),
                    unitEntry(U::explanation, 4, false)});
        };
        if (withToken)
            awaitResult(f.editor->load(QStringLiteral("A1")));
        QVERIFY(!playable);
        f.editor->moveUnit(U::explanation, U::translation);
        const auto error = awaitError<EditorError>(WordPlaybackProfileEditorViewModel::save(f.editor.get()));
        QVERIFY(error);
        QCOMPARE(int(error->kind()), expected);
        QVERIFY(f.api.writes.isEmpty());
        QVERIFY(!f.editor->isSaving());
    }

    // The answer must be for the same word and newer than the version sent.
    void theAnswerIsChecked_data()
    {
        QTest::addColumn<qint64>("answerWordId");
        QTest::addColumn<qint64>("answerVersion");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("newer") << qint64(42) << qint64(4) << true;
        QTest::newRow("same version") << qint64(42) << qint64(3) << false;
        QTest::newRow("older version") << qint64(42) << qint64(2) << false;
        QTest::newRow("other word") << qint64(43) << qint64(4) << false;
    }
    void theAnswerIsChecked()
    {
        QFETCH(qint64, answerWordId);
        QFETCH(qint64, answerVersion);
        QFETCH(bool, accepted);
        EditorFixture f;
        f.loaded();
        f.api.answerWrite = [answerWordId, answerVersion](WordPlaybackProfile sent) {
            sent.wordId = answerWordId;
            sent.version = answerVersion;
            return sent;
        };
        f.editor->setRepeatCount(6);
        const auto outcome = awaitOutcome(WordPlaybackProfileEditorViewModel::save(f.editor.get()));
        QCOMPARE(f.api.writes.size(), 1);
        QCOMPARE(f.api.writes[0].version, 3);
        QCOMPARE(f.api.writes[0].repeatCount, 6);
        QVERIFY(!f.editor->isSaving());
        if (accepted) {
            QVERIFY(!outcome.error);
            QCOMPARE(f.editor->profile().version, 4);
            QCOMPARE(outcome.value->playbackProfile->version, 4);
        } else {
            try {
                std::rethrow_exception(outcome.error);
            } catch (const EditorError &error) {
                QCOMPARE(error.kind(), EditorError::Kind::invalidServerResponse);
            }
            QCOMPARE(f.editor->profile().version, 3);
        }
    }

    // The saved word carries the new plan and the older fields derived from it.
    void theSavedWordsDerivedFields_data()
    {
        QTest::addColumn<QList<WordPlaybackUnit>>("answerUnits");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<std::optional<QString>>("voiceEn");
        QTest::addColumn<std::optional<QString>>("voiceZh");
        QTest::addColumn<std::optional<double>>("speechRate");
        const QString sonia = QStringLiteral("en-GB-SoniaNeural");
        const QString yunxi = QStringLiteral("zh-CN-YunxiNeural");
        const QString xiaoyi = QStringLiteral("zh-CN-XiaoyiNeural");
        const QString yunjian = QStringLiteral("zh-CN-YunjianNeural");
        QTest::newRow("enabled in position order")
            << QList {unitEntry(U::explanation, 1), unitEntry(U::word, 2, true, sonia, 0.8),
                   unitEntry(U::spelling, 3, false), unitEntry(U::translation, 4, false)}
            << QStringList {"EXPLANATION", "WORD"} << std::optional(sonia) << std::optional<QString>()
            << std::optional(0.8);
        QTest::newRow("translation's voice first")
            << QList {unitEntry(U::word, 1), unitEntry(U::spelling, 2, true, xiaoyi),
                   unitEntry(U::translation, 3, true, yunxi), unitEntry(U::explanation, 4, true, yunjian)}
            << QStringList {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"} << std::optional<QString>()
            << std::optional(yunxi) << std::optional<double>();
        QTest::newRow("then the explanation's")
            << QList {unitEntry(U::word, 1), unitEntry(U::spelling, 2, true, xiaoyi), unitEntry(U::translation, 3),
                   unitEntry(U::explanation, 4, true, yunjian)}
            << QStringList {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"} << std::optional<QString>()
            << std::optional(yunjian) << std::optional<double>();
        QTest::newRow("then the spelling's")
            << QList {unitEntry(U::word, 1), unitEntry(U::spelling, 2, true, xiaoyi), unitEntry(U::translation, 3),
                   unitEntry(U::explanation, 4)}
            << QStringList {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"} << std::optional<QString>()
            << std::optional(xiaoyi) << std::optional<double>();
    }
    void theSavedWordsDerivedFields()
    {
        QFETCH(QList<WordPlaybackUnit>, answerUnits);
        QFETCH(QStringList, items);
        QFETCH(std::optional<QString>, voiceEn);
        QFETCH(std::optional<QString>, voiceZh);
        QFETCH(std::optional<double>, speechRate);
        ORVWord word = wordOf(42, QStringLiteral("test"));
        word.voiceEn = QStringLiteral("en-US-GuyNeural");
        word.voiceZh = QStringLiteral("zh-CN-XiaoxiaoNeural");
        word.speechRate = 1.5;
        EditorFixture f(word);
        f.loaded();
        f.api.answerWrite = [answerUnits](WordPlaybackProfile sent) {
            sent.version += 1;
            sent.repeatCount.reset(); // the editor's count stands in
            sent.units = answerUnits;
            return sent;
        };
        f.editor->setRepeatCount(3);
        const ORVWord saved = awaitResult(WordPlaybackProfileEditorViewModel::save(f.editor.get()));
        QCOMPARE(saved.playbackItems, std::optional<QList<QString>>(items));
        QCOMPARE(saved.voiceEn, voiceEn);
        QCOMPARE(saved.voiceZh, voiceZh);
        QCOMPARE(saved.speechRate, speechRate);
        QCOMPARE(saved.repeatCount, 3);
        QCOMPARE(saved.wordDisplay, word.wordDisplay);
        QCOMPARE(saved.playbackProfile->units.first().unit, answerUnits.first().unit);
        // The editor shows what the server now holds; the next save starts from it.
        QCOMPARE(f.editor->units().first().unit, answerUnits.first().unit);
        QCOMPARE(f.editor->profile().version, 4);
    }

    // Another device saved first: the editor says its version is stale, so the
    // sheet offers the reload.
    void aConflictAsksForAReload()
    {
        EditorFixture f;
        f.loaded();
        f.api.answerWrite = [](const WordPlaybackProfile &) -> WordPlaybackProfile {
            throw MobileAPIError::server(
                409, QStringLiteral("DATA_CONFLICT"), QStringLiteral("数据已在其他设备上更新，请刷新后重试"));
        };
        const auto error = awaitError<MobileAPIError>(WordPlaybackProfileEditorViewModel::save(f.editor.get()));
        QVERIFY(error);
        QVERIFY(!f.editor->hasLoadedRemoteProfile());
        QVERIFY(!f.editor->isSaving());
        f.api.answerWrite = [](WordPlaybackProfile sent) { return sent; };
        f.api.profileAnswer = [](qint64 wordId) { return profileOf(wordId, 8, 2); };
        f.loaded();
        QCOMPARE(f.editor->profile().version, 8);
    }

    // A save whose editor is gone before the answer still returns the saved word.
    void aSaveOutlivesItsEditor()
    {
        EditorFixture f;
        f.loaded();
        f.editor->setRepeatCount(5);
        f.api.hold = true;
        auto outcome = startAwaiting(WordPlaybackProfileEditorViewModel::save(f.editor.get()));
        QTRY_COMPARE(f.api.writes.size(), 1);
        f.editor.reset();
        f.api.writeGate->open();
        QTRY_VERIFY(outcome->finished);
        QVERIFY(!outcome->error);
        QCOMPARE(outcome->value->repeatCount, 5);
        QCOMPARE(outcome->value->playbackProfile->version, 4);
    }
};

TALVORO_TEST(WordPlaybackEditorTest)

#include "tst_wordplaybackeditor.moc"
