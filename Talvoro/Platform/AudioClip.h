#pragma once

#include "Platform/AppError.h"

#include <QByteArray>

namespace talvoro {

// Interleaved signed 16-bit samples in host byte order.
struct PcmAudio {
    int sampleRate = 0;
    int channels = 0;
    QByteArray samples;

    qint64 frameCount() const { return channels > 0 ? samples.size() / (2 * qint64(channels)) : 0; }
    double durationSeconds() const { return sampleRate > 0 ? double(frameCount()) / sampleRate : 0.0; }
};

// The bytes are no audio this player can read.
class AudioDecodingError final : public AppError {
public:
    explicit AudioDecodingError(QString reason);
    QString reason() const { return m_reason; }
    QString description() const override;

private:
    QString m_reason;
};

// A RIFF WAV of 16-bit PCM passes through as it is; anything else is decoded as
// MPEG audio (MP3). Throws AudioDecodingError when no sample comes out, or when
// the clip's sample rate or channel count is none the player can take.
PcmAudio decodeAudio(const QByteArray &bytes);

// The same sound played `speed` times as fast, at the same pitch: a voice slowed
// to 0.5 keeps its own voice rather than dropping an octave. `speed` must be > 0.
PcmAudio timeStretch(const PcmAudio &audio, double speed);

} // namespace talvoro
