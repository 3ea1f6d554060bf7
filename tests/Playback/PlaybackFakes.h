#pragma once

#include "Models/MobileAPIError.h"
#include "Networking/APIClientProtocol.h"
#include "Platform/Async.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/AudioPlayerManagerDelegate.h"
#include "Playback/AudioPlayerProtocol.h"
#include "Playback/PlaybackViewModel.h"
#include "Playback/TTSServiceProtocol.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <coroutine>
#include <deque>

// Fakes of the playback engine's services whose timing the test decides: speech
// answers arrive when released (or on the next event loop turn), clips end when
// the test says so, preference reads answer when released.
namespace testsupport {

// Lets every posted continuation run.
inline void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Something a fake coroutine waits for: opened by the test, or by cancellation.
// The waiter always resumes in an event loop turn of its own, as real I/O does.
class Gate {
public:
    bool isOpen() const { return m_open; }
    bool wasCancelled() const { return m_cancelled; }
    void open()
    {
        if (std::exchange(m_open, true))
            return;
        if (m_waiter)
            talvoro::postToMainThread([waiter = m_waiter] { waiter.resume(); });
    }
    void cancel()
    {
        if (!m_open)
            m_cancelled = true;
        open();
    }

    class Awaiter {
    public:
        Awaiter(std::shared_ptr<Gate> gate, talvoro::CancellationToken token)
            : m_gate(std::move(gate))
            , m_token(std::move(token))
        { }
        bool await_ready() const { return m_gate->isOpen(); }
        void await_suspend(std::coroutine_handle<> handle)
        {
            m_gate->m_waiter = handle;
            m_registration = m_token.onCancel([gate = m_gate] { gate->cancel(); });
        }
        void await_resume() { m_registration.reset(); }

    private:
        std::shared_ptr<Gate> m_gate;
        talvoro::CancellationToken m_token;
        talvoro::CancellationRegistration m_registration;
    };

private:
    bool m_open = false;
    bool m_cancelled = false;
    std::coroutine_handle<> m_waiter;
};

// Speech whose clip is "clip:<voice>:<text>". Answers come on the next turn unless
// held; a held answer waits for release(). A cancelled fetch fails as the real
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
    QSet<QString> cachedClips; // "<voice>:<text>"
    QList<Request> requests;
    int running = 0;

    static QByteArray clip(const QString &voice, const QString &text)
    {
        return ("clip:" + voice + ":" + text).toUtf8();
    }

    talvoro::Task<QByteArray> fetchAudio(QString text, QString voiceID, std::optional<QString> accessToken,
        talvoro::CancellationToken token = {}) override
    {
        auto gate = std::make_shared<Gate>();
        requests.append({text, voiceID, accessToken, gate});
        if (!holdAnswers)
            talvoro::postToMainThread([gate] { gate->open(); });
        ++running;
        co_await Gate::Awaiter(gate, token);
        --running;
        if (gate->wasCancelled())
            throw talvoro::TTSError::networkError(std::make_exception_ptr(talvoro::CancellationError()));
        if (failingTexts.contains(text))
            throw talvoro::TTSError::httpError(500, failingTexts.value(text));
        cachedClips.insert(voiceID + ":" + text);
        co_return clip(voiceID, text);
    }
    bool isCached(const QString &text, const QString &voice) const override
    {
        return cachedClips.contains(voice + ":" + text);
    }

    // Lets the oldest held request that is still waiting answer.
    void releaseNext()
    {
        for (const Request &request : requests) {
            if (!request.gate->isOpen()) {
                request.gate->open();
                return;
            }
        }
    }
    void releaseAll()
    {
        for (const Request &request : requests)
            request.gate->open();
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

private:
    talvoro::AudioPlayerManagerDelegate *m_delegate = nullptr;
    std::weak_ptr<void> m_lifetime;
};

// Serves the playback preference; every other operation is unused by playback.
class FakePreferenceAPIClient final : public talvoro::APIClientProtocol {
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
        auto gate = std::make_shared<Gate>();
        gates.append(gate);
        if (!holdAnswers)
            talvoro::postToMainThread([gate] { gate->open(); });
        ++running;
        co_await Gate::Awaiter(gate, {});
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
    void releaseAll()
    {
        for (const auto &gate : gates)
            gate->open();
    }

    talvoro::Task<QList<talvoro::PublicLexiconSummary>> fetchPublicLexicons() override { co_return {}; }
    talvoro::Task<QList<talvoro::UserLexicon>> fetchUserLexicons(QString) override { co_return {}; }
    talvoro::Task<talvoro::WordPlaybackProfile> fetchWordPlaybackProfile(qint64, QString) override { co_return {}; }
    talvoro::Task<talvoro::WordPlaybackProfile> updateWordPlaybackProfile(
        talvoro::WordPlaybackProfile profile, QString) override
    {
        co_return profile;
    }
    talvoro::Task<talvoro::SystemConfiguration> fetchSystemConfiguration(QString) override { co_return {}; }
    talvoro::Task<QList<talvoro::RemoteWord>> fetchWords(QString) override { co_return {}; }
    talvoro::Task<talvoro::RemoteWord> createWord(talvoro::WordItem, QString) override { co_return {}; }
    talvoro::Task<talvoro::RemoteWord> updateWord(talvoro::WordItem, QString) override { co_return {}; }
    talvoro::Task<> deleteWord(qint64, QString) override { co_return; }
    talvoro::Task<> updatePreferences(QString, qint64, QString) override { co_return; }
};

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

    // Lets every held answer through; true once no fake work is left running.
    bool drained()
    {
        const bool done = QTest::qWaitFor([this] {
            speech.releaseAll();
            api.releaseAll();
            return speech.running == 0 && api.running == 0;
        });
        settle();
        return done;
    }
};

} // namespace testsupport
