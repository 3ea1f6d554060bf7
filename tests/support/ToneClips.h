#pragma once

#include "Platform/AudioClip.h"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <numbers>

// Clips made in code: a pure tone and the RIFF WAV that carries it.
namespace testsupport {

// A sine of `frequency` Hz, 16-bit, at a quarter of full scale, in every channel.
inline talvoro::PcmAudio sineTone(double frequency, double seconds, int sampleRate = 24000, int channels = 1)
{
    talvoro::PcmAudio audio {sampleRate, channels, {}};
    const auto frames = qint64(seconds * sampleRate);
    audio.samples.reserve(frames * channels * 2);
    for (qint64 i = 0; i < frames; ++i) {
        const auto sample = qint16(8000 * std::sin(2 * std::numbers::pi * frequency * double(i) / sampleRate));
        for (int c = 0; c < channels; ++c)
            audio.samples.append(reinterpret_cast<const char *>(&sample), 2);
    }
    return audio;
}

// A 44-byte header of 16-bit PCM, then the samples.
inline QByteArray waveFile(const talvoro::PcmAudio &audio)
{
    QByteArray header(44, '\0');
    char *h = header.data();
    const auto size = quint32(audio.samples.size());
    const auto blockAlign = quint16(audio.channels * 2);
    std::memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + size, h + 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(quint16(audio.channels), h + 22);
    qToLittleEndian<quint32>(quint32(audio.sampleRate), h + 24);
    qToLittleEndian<quint32>(quint32(audio.sampleRate) * blockAlign, h + 28);
    qToLittleEndian<quint16>(blockAlign, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(size, h + 40);
    return header + audio.samples;
}

} // namespace testsupport
