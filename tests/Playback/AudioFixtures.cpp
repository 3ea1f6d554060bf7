#include "AudioFixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace testsupport {

talvoro::PcmAudio sineTone(double frequency, double seconds, int sampleRate, int channels)
{
    talvoro::PcmAudio audio {sampleRate, channels, {}};
    const qint64 frames = qint64(seconds * sampleRate);
    audio.samples.reserve(frames * channels * 2);
    for (qint64 i = 0; i < frames; ++i) {
        const auto sample = qint16(8000 * std::sin(2 * std::numbers::pi * frequency * double(i) / sampleRate));
        for (int c = 0; c < channels; ++c)
            audio.samples.append(reinterpret_cast<const char *>(&sample), 2);
    }
    return audio;
}

QByteArray waveFile(const talvoro::PcmAudio &audio)
{
    QByteArray wave;
    auto le32 = [&wave](quint32 v) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        wave.append(bytes, 4);
    };
    auto le16 = [&wave](quint16 v) {
        char bytes[2];
        qToLittleEndian(v, bytes);
        wave.append(bytes, 2);
    };
    const auto size = quint32(audio.samples.size());
    wave.append("RIFF");
    le32(36 + size);
    wave.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(quint16(audio.channels));
    le32(quint32(audio.sampleRate));
    le32(quint32(audio.sampleRate * audio.channels * 2));
    le16(quint16(audio.channels * 2));
    le16(16);
    wave.append("data");
    le32(size);
    return wave + audio.samples;
}

QByteArray runTool(const QString &program, const QStringList &arguments, const QByteArray &inputBytes)
{
    QTemporaryDir dir;
    QFile input(dir.filePath(QStringLiteral("in")));
    if (!input.open(QIODevice::WriteOnly) || input.write(inputBytes) != inputBytes.size())
        return {};
    input.close();
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    QFile output(dir.filePath(QStringLiteral("out")));
    return output.open(QIODevice::ReadOnly) ? output.readAll() : QByteArray();
}

QByteArray mp3FromWave(const QByteArray &wave)
{
    return runTool(
        QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("in"), QStringLiteral("out")}, wave);
}

QByteArray spokenWave(const QString &text)
{
    return runTool(QStringLiteral("espeak-ng"),
        {QStringLiteral("-v"), QStringLiteral("en-us"), QStringLiteral("-w"), QStringLiteral("out"), text});
}

double zeroCrossingFrequency(const talvoro::PcmAudio &audio)
{
    // Rising crossings through a band around zero, so coding noise near zero is not
    // counted twice; periods between the first and the last crossing, so silence an
    // encoder adds at either end does not count.
    constexpr qint16 band = 1000;
    const auto *samples = reinterpret_cast<const qint16 *>(audio.samples.constData());
    qint64 crossings = 0;
    qint64 first = -1;
    qint64 last = -1;
    bool below = false;
    for (qint64 i = 0; i < audio.frameCount(); ++i) {
        const qint16 sample = samples[i * audio.channels];
        if (sample < -band) {
            below = true;
        } else if (below && sample > band) {
            below = false;
            ++crossings;
            first = first < 0 ? i : first;
            last = i;
        }
    }
    return crossings < 2 ? 0.0 : double(crossings - 1) * audio.sampleRate / double(last - first);
}

} // namespace testsupport
