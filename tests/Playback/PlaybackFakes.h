#pragma once

#include "Models/MobileAPIError.h"
#include "Networking/APIClientProtocol.h"
#include "Platform/Async.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/AudioPlayerManagerDelegate.h"
#include "Playback/AudioPlayerProtocol.h"
#include "Playback/PlaybackViewModel.h"
#include "Playback/TTSServiceProtocol.h"

#include "FakeGate.h"
#include "StubAPIClient.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <coroutine>

// Fakes of the playback engine's services whose timing the test decides: speech
// answers arrive when released (or on the next event loop turn), clips end when
// the test says so, preference reads answer when released.
namespace testsupport {

// Speech whose clip is "clip:<voice>:<text>". A cancelled fetch fails as the real
// client's does, with a network error that only says so.
class FakeSpeechService final : public talvoro::TTSServiceProtocol {
public:
    struct Request {
        QString text;
        QString voiceID;
        std::optional<QString> accessToken;
        std::shared_ptr<Gate> gate;
    };

    bool holdAnswers = false;
    QHash<QString, QString> failingTexts; // text → server message of a 500
    QStringList cachedClips; // "<voice>:<text>"
    QList<Request> requests;
    int running = 0;

    static QByteArray clip(const QString &voice, const QString &text)
    {
        return ("clip:" + voice + ":" + text).toUtf8();
    }

    talvoro::Task<QByteArray> fetchAudio(QString text, QString voiceID, std::optional<QString> accessToken,
        talvoro::CancellationToken token = {}) override
    {
        auto gate = newGate(holdAnswers);
        requests.append({text, voiceID, accessToken, gate});
        ++running;
        co_await GateAwaiter(gate, token);
        --running;
        if (gate->wasCancelled)
            throw talvoro::TTSError::networkError(std::make_exception_ptr(talvoro::CancellationError()));
        if (failingTexts.contains(text))
            throw talvoro::TTSError::httpError(500, failingTexts.value(text));
        cachedClips.append(voiceID + ":" + text);
        co_return clip(voiceID, text);
    }
    bool isCached(const QString &text, const QString &voice) const override
    {
        return cachedClips.contains(voice + ":" + text);
    }
    void releaseAll()
    {
        for (const Request &request : requests)
            request.gate->open();
    }
    QStringList texts() const
    {
        QStringList texts;
        for (const Request &request : requests)
            texts.append(request.text);
        return texts;
    }
};

// Records what it is asked to do; the test ends clips through finishClip().
class FakeAudioPlayer final : public talvoro::AudioPlayerProtocol {
public:
    struct Play {
        QByteArray audio;
        QString title;
        float rate = 1.0F;
    };
    QList<Play> plays;
    QStringList calls; // "play", "pause", "resume", "stop", "deactivate"

    talvoro::AudioPlayerManagerDelegate *delegate() const override
    {
        return m_lifetime.expired() ? nullptr : m_delegate;
    }
    void setDelegate(talvoro::AudioPlayerManagerDelegate *delegate) override
    {
        m_delegate = delegate;
        m_lifetime = delegate ? delegate->lifetime() : std::weak_ptr<void>();
    }
    void play(const QByteArray &audio, const QString &title, float rate) override
    {
        plays.append({audio, title, rate});
        calls.append(QStringLiteral("play"));
    }
    void stop() override { calls.append(QStringLiteral("stop")); }
    void pause() override { calls.append(QStringLiteral("pause")); }
    void resume() override { calls.append(QStringLiteral("resume")); }
    void deactivateAudioSession() override { calls.append(QStringLiteral("deactivate")); }

    void finishClip(bool successfully = true)
    {
        if (auto *target = delegate())
            target->audioPlayerDidFinish(successfully);
    }
    // The text of every clip played, in order.
    QStringList spoken() const
    {
        QStringList texts;
        for (const Play &play : plays)
            texts.append(QString::fromUtf8(play.audio).section(QLatin1Char(':'), 2));
        return texts;
    }

private:
    talvoro::AudioPlayerManagerDelegate *m_delegate = nullptr;
    std::weak_ptr<void> m_lifetime;
};

// Serves the playback preference; every other operation is unused by playback.
class FakePreferenceAPIClient final : public testsupport::StubAPIClient {
public:
    std::optional<talvoro::PlaybackPreference> serverPreference = talvoro::PlaybackPreference(); // none: 500
    bool holdAnswers = false;
    QStringList fetchTokens;
    QList<std::shared_ptr<Gate>> gates;
    int running = 0;

    talvoro::Task<talvoro::PlaybackPreference> fetchPlaybackPreferences(QString accessToken) override
    {
        fetchTokens.append(accessToken);
        const std::optional<talvoro::PlaybackPreference> answer = serverPreference; // as served when asked
        auto gate = newGate(holdAnswers);
        gates.append(gate);
        ++running;
        co_await GateAwaiter(gate, {});
        --running;
        if (!answer)
            throw talvoro::MobileAPIError::server(500, std::nullopt, QStringLiteral("暂不可用"));
        // A named local: QCoro 0.8 moves from any other lvalue given to co_return.
        const talvoro::PlaybackPreference served = *answer;
        co_return served;
    }
    talvoro::Task<talvoro::PlaybackPreference> updatePlaybackPreferences(
        talvoro::PlaybackPreference preference, QString) override
    {
        preference.version += 1;
        co_return preference;
    }
};

// A word to play; without items it follows the playback preference.
inline talvoro::ORVWord makeWord(
    qint64 id, const QString &display, std::optional<QList<QString>> items = std::nullopt, qint64 repeatCount = 1)
{
    talvoro::ORVWord word;
    word.id = id;
    word.wordDisplay = display;
    word.translationsZh = {display + QStringLiteral("的译文")};
    word.playbackItems = std::move(items);
    word.repeatCount = repeatCount;
    return word;
}

// A view model's surroundings: the fakes above, a real audio cache in a folder of
// its own, a real preference coordinator over in-memory settings.
struct FakePlaybackServices {
    QTemporaryDir root;
    talvoro::AudioCacheManager cache {talvoro::AppDirectories::under(root.path())};
    FakeSpeechService speech;
    FakeAudioPlayer player;
    FakePreferenceAPIClient api;
    talvoro::MemoryKeyValueStore defaults;
    talvoro::ManualClock clock;
    talvoro::SeededRandomSource random {7};
    talvoro::PlaybackPreferenceSyncCoordinator coordinator {defaults, clock, random};
    std::optional<QUrl> baseURL = QUrl(QStringLiteral("https://api.example.com"));
    QString legacyVoice = QStringLiteral("en-US-JennyNeural");
    std::unique_ptr<talvoro::PlaybackViewModel> ownViewModel;

    std::unique_ptr<talvoro::PlaybackViewModel> makeViewModel()
    {
        talvoro::PlaybackEnvironment environment;
        environment.baseURL = [this] { return baseURL; };
        environment.legacyVoice = [this](const QString &) { return legacyVoice; };
        environment.random = &random;
        environment.defaults = &defaults;
        environment.preferenceSync = &coordinator;
        return std::make_unique<talvoro::PlaybackViewModel>(speech, player, api, cache, environment);
    }
    // The test's own view model, made on first use.
    talvoro::PlaybackViewModel &viewModel()
    {
        if (!ownViewModel)
            ownViewModel = makeViewModel();
        return *ownViewModel;
    }
    void startPlaying(const QList<talvoro::ORVWord> &words, qsizetype index = 0)
    {
        viewModel().setPlaylist(words);
        viewModel().playWord(index);
        settle();
    }

    // Lets every held answer through; true once no fake work is left running.
    bool drained()
    {
        const bool done = QTest::qWaitFor([this] {
            speech.releaseAll();
            for (const auto &gate : api.gates)
                gate->open();
            return speech.running == 0 && api.running == 0;
        });
        settle();
        return done;
    }
    bool shutDown()
    {
        ownViewModel.reset();
        return drained();
    }
};

} // namespace testsupport
