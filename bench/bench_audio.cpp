// Speech audio: how many times faster than real time the pitch-keeping stretch runs,
// and how long play() of a cached clip takes until the sound device reads its first
// samples, next to decoding the same clip alone.
#include "Platform/AudioClip.h"
#include "Platform/AudioOutput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "QtBenchmarkMain.h"
#include "SpeechClips.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

using benchsupport::voiceLike;
using talvoro::PcmAudio;

// A word-length clip as the backend delivers it.
QByteArray mp3Clip(double seconds)
{
    return benchsupport::mp3Clip(voiceLike(seconds));
}

void timeStretch(benchmark::State &state)
{
    const double speed = double(state.range(0)) / 100;
    const PcmAudio input = voiceLike(10.0);
    for (auto _ : state)
        benchmark::DoNotOptimize(talvoro::timeStretch(input, speed));
    state.counters["times_real_time"]
        = benchmark::Counter(input.durationSeconds() * double(state.iterations()), benchmark::Counter::kIsRate);
}

void decodeCachedClip(benchmark::State &state)
{
    const QByteArray clip = mp3Clip(1.5);
    if (clip.isEmpty()) {
        state.SkipWithError("lame could not make the clip");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(talvoro::decodeAudio(clip));
}

// Decode, stretch, open the device and wait until it has read the first samples.
void playUntilFirstSamples(benchmark::State &state)
{
    const QByteArray clip = mp3Clip(1.5);
    if (clip.isEmpty()) {
        state.SkipWithError("lame could not make the clip");
        return;
    }
    for (auto _ : state) {
        talvoro::AudioOutput output(clip, 1.25);
        bool failed = false;
        QObject::connect(&output, &talvoro::AudioOutput::finished, [&failed](bool ok) { failed = !ok; });
        output.play();
        QElapsedTimer limit;
        limit.start();
        while (output.framesDelivered() == 0 && !failed && limit.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (output.framesDelivered() == 0) {
            state.SkipWithError("no sound device took the samples");
            return;
        }
        state.PauseTiming();
        output.stop();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(timeStretch)->Arg(50)->Arg(125)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeCachedClip)->Unit(benchmark::kMicrosecond);
BENCHMARK(playUntilFirstSamples)->Unit(benchmark::kMicrosecond)->Iterations(30);

// The stretch's own goal is its times_real_time counter, shown with each speed.
TALVORO_QT_BENCHMARK_MAIN(
    {"play until the first samples / decoding alone", "playUntilFirstSamples", "decodeCachedClip"})
