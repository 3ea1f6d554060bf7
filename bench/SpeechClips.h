#pragma once

#include "Platform/AudioClip.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "ToneClips.h"

#include <cmath>
#include <numbers>

// Speech-like clips for the audio benchmarks, made in code.
namespace benchsupport {

// A voice-like signal: a fundamental of `frequency` Hz with falling harmonics.
inline talvoro::PcmAudio voiceLike(double seconds, double frequency = 150)
{
    constexpr int rate = 24000;
    talvoro::PcmAudio audio {rate, 1, {}};
    const auto frames = qint64(seconds * rate);
    audio.samples.resize(frames * 2);
    auto *samples = reinterpret_cast<qint16 *>(audio.samples.data());
    for (qint64 i = 0; i < frames; ++i) {
        double value = 0;
        for (int harmonic = 1; harmonic <= 8; ++harmonic)
            value += std::sin(2 * std::numbers::pi * frequency * harmonic * double(i) / rate) / harmonic;
        samples[i] = qint16(value * 4000);
    }
    return audio;
}

// As the backend delivers speech: MP3, encoded by lame. Empty when lame failed.
inline QByteArray mp3Clip(const talvoro::PcmAudio &audio)
{
    QTemporaryDir dir;
    QFile wave(dir.filePath(QStringLiteral("in.wav")));
    if (!wave.open(QIODevice::WriteOnly))
        return {};
    wave.write(testsupport::waveFile(audio));
    wave.close();
    QProcess::execute(QStringLiteral("lame"), {QStringLiteral("--quiet"), wave.fileName(), dir.filePath("out.mp3")});
    QFile mp3(dir.filePath(QStringLiteral("out.mp3")));
    return mp3.open(QIODevice::ReadOnly) ? mp3.readAll() : QByteArray();
}

} // namespace benchsupport
