#pragma once

#include "../Playback/PlaybackFakes.h"
#include "AwaitTask.h"
#include "StubAPIClient.h"

#include "Settings/WordPlaybackProfileEditorViewModel.h"

// The per-word editor over fakes at its service interfaces: a backend client whose
// profile and preference answers arrive when the test releases them, the speech
// fake of the playback tests, and a real playback session over the fake player.
namespace wordplaybacktesting {

using namespace talvoro;
using namespace testsupport;

inline WordPlaybackUnit unitEntry(ORVPlaybackUnit unit, qint64 position, bool enabled = true,
    std::optional<QString> voiceId = std::nullopt, std::optional<double> rate = std::nullopt)
{
    WordPlaybackUnit entry;
    entry.unit = unit;
    entry.position = position;
    entry.enabled = enabled;
    entry.voiceId = std::move(voiceId);
    entry.speechRate = rate;
    return entry;
}

inline WordPlaybackProfile profileOf(
    qint64 wordId, qint64 version, std::optional<qint64> repeatCount, QList<WordPlaybackUnit> units = {})
{
    WordPlaybackProfile profile = WordPlaybackProfile::makeDefault(wordId);
    profile.version = version;
    profile.repeatCount = repeatCount;
    if (!units.isEmpty())
        profile.units = std::move(units);
    profile.updatedAt = QStringLiteral("2026-12-01T08:00:00Z");
    return profile;
}

inline ORVWord wordOf(qint64 id, const QString &text)
{
    ORVWord word;
    word.id = id;
    word.wordDisplay = text;
    word.wordNormalized = text;
    word.ipa = QStringLiteral("/ˈtɛst/");
    word.translationsZh = {QStringLiteral("测试")};
    word.explanation = QStringLiteral("a check");
    return word;
}

inline QStringList order(const QList<WordPlaybackUnit> &units)
{
    QStringList names;
    for (const WordPlaybackUnit &entry : units)
        names.append(rawValue(entry.unit) + QString::number(entry.position));
    return names;
}

// Profile and preference reads answer when released, in any order the test
// likes; a write answers with what `answerWrite` makes of the profile sent.
class FakeProfileClient final : public StubAPIClient {
public:
    struct Held {
        std::shared_ptr<Gate> gate;
        QString accessToken;
    };
    std::function<WordPlaybackProfile(qint64 wordId)> profileAnswer; // throws for a failure
    std::function<PlaybackPreference()> preferenceAnswer = [] { return PlaybackPreference(); };
    std::function<WordPlaybackProfile(const WordPlaybackProfile &sent)> answerWrite = [](WordPlaybackProfile sent) {
        sent.version += 1;
        return sent;
    };
    bool hold = false;
    QList<Held> profileReads;
    QList<Held> preferenceReads;
    QList<WordPlaybackProfile> writes;
    std::shared_ptr<Gate> writeGate;
    int running = 0;

    Task<WordPlaybackProfile> fetchWordPlaybackProfile(qint64 wordId, QString accessToken) override
    {
        auto gate = newGate(hold);
        profileReads.append({gate, accessToken});
        const auto answer = profileAnswer; // as set when asked
        ++running;
        co_await GateAwaiter(gate, {});
        --running;
        const WordPlaybackProfile profile = answer(wordId);
        co_return profile;
    }
    Task<PlaybackPreference> fetchPlaybackPreferences(QString accessToken) override
    {
        auto gate = newGate(hold);
        preferenceReads.append({gate, accessToken});
        const auto answer = preferenceAnswer;
        ++running;
        co_await GateAwaiter(gate, {});
        --running;
        const PlaybackPreference preference = answer();
        co_return preference;
    }
    Task<WordPlaybackProfile> updateWordPlaybackProfile(WordPlaybackProfile profile, QString) override
    {
        writes.append(profile);
        writeGate = newGate(hold);
        const auto answer = answerWrite;
        ++running;
        co_await GateAwaiter(writeGate, {});
        --running;
        const WordPlaybackProfile saved = answer(profile);
        co_return saved;
    }
};

inline AuthenticatedSessionSnapshot signedIn(qint64 userId, const QString &token)
{
    AuthenticatedSessionSnapshot snapshot;
    snapshot.accessToken = token;
    snapshot.refreshToken = QStringLiteral("R");
    snapshot.user = {userId, QStringLiteral("user%1").arg(userId)};
    return snapshot;
}

// One editor with everything around it; the signed-in session is whatever the
// test sets `session` to.
struct EditorFixture {
    FakePlaybackServices playback;
    FakeProfileClient api;
    std::optional<AuthenticatedSessionSnapshot> session = signedIn(7, QStringLiteral("A1"));
    GlobalPlaybackSession playbackSession {[this] { return playback.makeViewModel(); },
        [](const QString &, const TTSVoice &) { return false; }};
    std::unique_ptr<WordPlaybackProfileEditorViewModel> editor;

    explicit EditorFixture(ORVWord word = wordOf(42, QStringLiteral("test")))
    {
        api.profileAnswer = [](qint64 wordId) { return profileOf(wordId, 3, 2); };
        editor = std::make_unique<WordPlaybackProfileEditorViewModel>(
            std::move(word), api, playback.speech, [this] { return session; });
    }
    ~EditorFixture()
    {
        editor.reset();
        drain();
        playbackSession.reset();
    }
    // A finished load with the current session's token.
    void loaded()
    {
        awaitResult(editor->load(session ? std::optional(session->accessToken) : std::nullopt));
        QVERIFY(editor->hasLoadedRemoteProfile());
    }
    void drain()
    {
        QTest::qWaitFor([this] {
            for (const auto &held : api.profileReads)
                held.gate->open();
            for (const auto &held : api.preferenceReads)
                held.gate->open();
            if (api.writeGate)
                api.writeGate->open();
            playback.speech.releaseAll();
            return api.running == 0 && playback.speech.running == 0;
        });
        settle();
    }
};

} // namespace wordplaybacktesting

Q_DECLARE_METATYPE(std::optional<qint64>)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(talvoro::ORVPlaybackUnit)
Q_DECLARE_METATYPE(QList<talvoro::WordPlaybackUnit>)
