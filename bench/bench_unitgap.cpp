// Speech audio: the silence the player adds between two units of one word. Both
// units are cached; the real view model, speech client, cache and player play the
// word, while the sound server's own output (the default sink's monitor) is
// recorded. The gap heard, less the silence the two clips carry themselves at that
// junction, is what the player added. Also counts the streams the player opened on
// the sound server for the word.
#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Platform/AudioClip.h"
#include "Platform/AudioSession.h"
#include "Platform/Clock.h"
#include "Platform/KeyValueStore.h"
#include "Platform/NetworkTransfer.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/AudioPlayerManager.h"
#include "Playback/PlaybackViewModel.h"
#include "Playback/SpeechCacheKey.h"
#include "Playback/TTSNetworkManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "QtBenchmarkMain.h"
#include "SpeechClips.h"
#include "StubAPIClient.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

namespace {

using namespace talvoro;
using benchsupport::mp3Clip;
using benchsupport::voiceLike;

constexpr int captureRate = 48000;
// A block is loud when a sample in it passes 1% of full scale; the clips' own
// silence is found with the same rule, so coding noise counts the same on both sides.
constexpr int loudLevel = 328;

// Whether each millisecond of mono 16-bit audio at `rate` holds sound.
QList<bool> loudMilliseconds(const QByteArray &samples, int rate, int channels)
{
    const auto *data = reinterpret_cast<const qint16 *>(samples.constData());
    const qint64 frames = samples.size() / (2 * channels);
    const int frameBlock = rate / 1000;
    QList<bool> loud;
    for (qint64 start = 0; start + frameBlock <= frames; start += frameBlock) {
        bool any = false;
        for (qint64 i = start * channels; i < (start + frameBlock) * channels && !any; ++i)
            any = std::abs(int(data[i])) > loudLevel;
        loud.append(any);
    }
    return loud;
}

// How a clip sounds as it is played (decoded and stretched to its rate): its silence
// before the first and after the last loud millisecond, and its sound in between.
struct ClipShape {
    int leading = 0;
    int trailing = 0;
    int sound = 0;
};

ClipShape shapeOf(const QByteArray &clip, double rate)
{
    const PcmAudio played = timeStretch(decodeAudio(clip), rate);
    const QList<bool> loud = loudMilliseconds(played.samples, played.sampleRate, played.channels);
    const auto first = loud.indexOf(true);
    const auto last = loud.lastIndexOf(true);
    if (first < 0)
        return {};
    return {int(first), int(loud.size() - 1 - last), int(last - first + 1)};
}

// The first silence after the first sound and the second sound, in milliseconds
// of a recording.
struct Heard {
    int firstSound = 0;
    int silence = 0;
};

// None when the recording holds fewer than two sounds.
std::optional<Heard> firstTwoSounds(const QList<bool> &loud)
{
    const auto start = loud.indexOf(true);
    const auto quiet = start < 0 ? -1 : loud.indexOf(false, start);
    const auto next = quiet < 0 ? -1 : loud.indexOf(true, quiet);
    if (next < 0)
        return std::nullopt;
    return Heard {int(quiet - start), int(next - quiet)};
}

// Runs a desktop sound client in the background until stopped.
class SoundClient {
public:
    explicit SoundClient(const QString &program, const QStringList &arguments)
    {
        m_process.start(program, arguments);
        m_process.waitForStarted();
    }
    ~SoundClient() { stop(); }
    // True once it has written something: for the recorder, the monitor delivers.
    bool waitForOutput(int limitMs)
    {
        QDeadlineTimer limit(limitMs);
        while (m_output.isEmpty() && !limit.hasExpired() && m_process.state() == QProcess::Running) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            m_output += m_process.readAllStandardOutput();
        }
        return !m_output.isEmpty();
    }
    QByteArray stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_output += m_process.readAllStandardOutput();
            m_process.terminate();
            m_process.waitForFinished(5000);
        }
        m_output += m_process.readAllStandardOutput();
        return m_output;
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

struct Word {
    ORVWord word;
    QByteArray first;
    QByteArray second;
    double rate = 1.0;
};

// "apple", then "苹果": two units, each cached under its voice.
std::optional<Word> cachedWord(AudioCacheManager &cache)
{
    Word result;
    result.word.id = 1;
    result.word.wordDisplay = QStringLiteral("apple");
    result.word.translationsZh = {QStringLiteral("苹果")};
    result.word.repeatCount = 1;
    result.word.playbackItems = QList<QString> {"WORD", "TRANSLATION_ZH"};
    result.word.voiceEn = QStringLiteral("en-GB-SoniaNeural");
    result.word.voiceZh = QStringLiteral("zh-CN-XiaoxiaoNeural");
    result.word.speechRate = 1.25;
    result.first = mp3Clip(voiceLike(0.6, 150));
    result.second = mp3Clip(voiceLike(0.6, 220));
    const QList<ResolvedPlaybackUnit> plan
        = PlaybackWordSnapshot(result.word).plan(PlaybackPreference(), TTSVoice::defaultEnglish());
    if (result.first.isEmpty() || result.second.isEmpty() || plan.size() != 2)
        return std::nullopt;
    cache.store(result.first, SpeechCacheKey::sha256Key(plan.at(0).text, plan.at(0).voice.id));
    cache.store(result.second, SpeechCacheKey::sha256Key(plan.at(1).text, plan.at(1).voice.id));
    result.rate = plan.at(0).rate;
    return result;
}

void silenceBetweenUnits(benchmark::State &state)
{
    QTemporaryDir root;
    AudioCacheManager cache(AppDirectories::under(root.filePath("support")));
    const std::optional<Word> word = cachedWord(cache);
    if (!word) {
        state.SkipWithError("lame could not make the clips");
        return;
    }
    const ClipShape first = shapeOf(word->first, word->rate);
    const ClipShape second = shapeOf(word->second, word->rate);
    // A sink renders a little ahead of time: a stream that ran dry and is sent
    // more plays it from its first sample, but the monitor was already sent silence
    // for those first milliseconds (at most the recorder's latency). Where the
    // second clip begins with more silence than that, its first sound is heard
    // where it is played.
    if (second.leading < 25) {
        state.SkipWithError("the second clip begins with too little silence to be timed on the monitor");
        return;
    }

    NetworkTransfer transfer;
    TTSNetworkManager speech(transfer, cache, [] { return std::optional<QUrl>(); });
    AudioSession session;
    AudioPlayerManager player(session);
    testsupport::StubAPIClient apiClient;
    MemoryKeyValueStore defaults;
    SystemClock clock;
    PlaybackPreferenceSyncCoordinator coordinator(defaults, clock, RandomSource::system());
    PlaybackEnvironment environment;
    environment.baseURL = [] { return std::optional<QUrl>(); };
    environment.legacyVoice = [](const QString &) { return QString(); };
    environment.defaults = &defaults;
    environment.preferenceSync = &coordinator;
    PlaybackViewModel viewModel(speech, player, apiClient, cache, environment);
    viewModel.setPlaylist({word->word});

    double streams = 0;
    double cut = 0;
    for (auto _ : state) {
        SoundClient events(QStringLiteral("pactl"), {QStringLiteral("subscribe")});
        SoundClient recorder(QStringLiteral("parec"),
            {QStringLiteral("-d"), QStringLiteral("@DEFAULT_MONITOR@"), QStringLiteral("--format=s16le"),
                QStringLiteral("--rate=%1").arg(captureRate), QStringLiteral("--channels=1"),
                QStringLiteral("--latency-msec=20")});
        if (!recorder.waitForOutput(10000)) {
            state.SkipWithError("parec recorded nothing from the default sink's monitor");
            return;
        }
        viewModel.playWord(0);
        QDeadlineTimer limit(30000);
        while (viewModel.playbackState() != PlaybackState::stopped && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const QByteArray recording = recorder.stop();
        const QString serverEvents = QString::fromUtf8(events.stop());
        if (!viewModel.errorMessage().isEmpty() || limit.hasExpired()) {
            state.SkipWithError("the word did not play to its end");
            return;
        }
        const std::optional<Heard> heard = firstTwoSounds(loudMilliseconds(recording, captureRate, 1));
        if (!heard) {
            state.SkipWithError("the recording holds fewer than two sounds");
            return;
        }
        state.SetIterationTime(std::max(0, heard->silence - first.trailing - second.leading) / 1000.0);
        // A player that ends a clip's stream before the server played all of it
        // cuts the end of the word off, and so seems to add less silence than it does.
        cut += std::max(0, first.sound - heard->firstSound);
        streams += double(serverEvents.count(QRegularExpression(QStringLiteral("'new' on sink-input"))));
    }
    state.counters["streams_per_word"] = benchmark::Counter(streams, benchmark::Counter::kAvgIterations);
    state.counters["first_unit_cut_ms"] = benchmark::Counter(cut, benchmark::Counter::kAvgIterations);
}

} // namespace

BENCHMARK(silenceBetweenUnits)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The goal is read from the time, the added silence in milliseconds; no sound may be
// cut off to reach it.
int run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchsupport::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (const auto gap = reporter.times.find("silenceBetweenUnits"); gap != reporter.times.end())
        std::printf("silence added between two units of a word: %.1f ms\n", gap->second);
    for (const auto &[name, value] : reporter.counters) {
        if (name.ends_with(" first_unit_cut_ms"))
            std::printf("sound cut off the end of the first unit: %.1f ms\n", value);
        else if (name.ends_with(" streams_per_word"))
            std::printf("streams opened on the sound server for the word: %.1f\n", value);
    }
    benchmark::Shutdown();
    return reporter.failed ? 1 : 0;
}

int main(int argc, char **argv)
{
    // The application, and every stream with it, is gone before the process leaves
    // without Qt's exit-time statics (see talvoro::exitProcess).
    talvoro::exitProcess(run(argc, argv));
}
