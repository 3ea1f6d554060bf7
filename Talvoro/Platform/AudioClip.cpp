#include "Platform/AudioClip.h"

#include <QtEndian>

#include <mpg123.h>
#include <sonic.h>

#include <array>
#include <memory>
#include <mutex>
#include <new>

namespace talvoro {

AudioDecodingError::AudioDecodingError(QString reason)
    : m_reason(std::move(reason))
{ }

QString AudioDecodingError::description() const
{
    return QStringLiteral("无法解码音频数据：%1").arg(m_reason);
}

namespace {

// The formats the player takes, with room around those voices come in (8 to 48 kHz,
// mono or stereo). Outside them lies damage, not speech, and the time-stretch cannot
// take every rate: below 65 Hz it divides by zero.
constexpr int maxChannels = 8;
constexpr int minSampleRate = 8000;
constexpr int maxSampleRate = 192000;

quint32 readLE32(const QByteArray &bytes, qint64 at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 readLE16(const QByteArray &bytes, qint64 at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

void requirePlayableFormat(qint64 sampleRate, qint64 channels)
{
    if (sampleRate < minSampleRate || sampleRate > maxSampleRate || channels < 1 || channels > maxChannels)
        throw AudioDecodingError(QStringLiteral("不支持 %1 Hz、%2 声道的音频").arg(sampleRate).arg(channels));
}

bool isWave(const QByteArray &bytes)
{
    return bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE";
}

// Walks the chunks of a RIFF WAV. Streamed files often carry a data size larger
// than the file (or 0xFFFFFFFF): the samples then run to the end of the bytes.
PcmAudio decodeWave(const QByteArray &bytes)
{
    constexpr quint16 formatPcm = 1;
    constexpr quint16 formatExtensible = 0xFFFE;
    PcmAudio audio;
    bool haveFormat = false;
    qint64 pos = 12;
    while (pos + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(pos, 4);
        const qint64 size = readLE32(bytes, pos + 4);
        const qint64 body = pos + 8;
        const qint64 available = std::min(size, bytes.size() - body);
        if (id == "fmt ") {
            if (available < 16)
                throw AudioDecodingError(QStringLiteral("WAV 格式块不完整"));
            quint16 format = readLE16(bytes, body);
            if (format == formatExtensible && available >= 26)
                format = readLE16(bytes, body + 24);
            const int channels = readLE16(bytes, body + 2);
            const qint64 rate = readLE32(bytes, body + 4);
            const int bits = readLE16(bytes, body + 14);
            if (format != formatPcm || bits != 16)
                throw AudioDecodingError(QStringLiteral("只支持 16 位 PCM 的 WAV"));
            requirePlayableFormat(rate, channels);
            audio.channels = channels;
            audio.sampleRate = int(rate);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                throw AudioDecodingError(QStringLiteral("WAV 缺少格式块"));
            const qint64 frameBytes = 2LL * audio.channels;
            audio.samples = bytes.mid(body, available - available % frameBytes);
            break;
        }
        pos = body + size + (size & 1);
    }
    if (audio.frameCount() == 0)
        throw AudioDecodingError(QStringLiteral("WAV 中没有音频样本"));
    return audio;
}

PcmAudio decodeMpeg(const QByteArray &bytes)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });

    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, decltype(&mpg123_delete)> handle(mpg123_new(nullptr, &error), &mpg123_delete);
    if (!handle)
        throw AudioDecodingError(QString::fromUtf8(mpg123_plain_strerror(error)));
    mpg123_handle *mh = handle.get();
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Every rate, mono or stereo, always as signed 16-bit samples.
    mpg123_format_none(mh);
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(mh) != MPG123_OK
        || mpg123_feed(mh, reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size()))
            != MPG123_OK)
        throw AudioDecodingError(QString::fromUtf8(mpg123_strerror(mh)));

    PcmAudio audio;
    std::array<unsigned char, 64 * 1024> buffer {};
    for (;;) {
        size_t done = 0;
        const int result = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(mh, &rate, &channels, &encoding);
            // A stream that changes its format midway ends where it changes.
            if (audio.frameCount() > 0 && (rate != audio.sampleRate || channels != audio.channels))
                break;
            audio.sampleRate = int(rate);
            audio.channels = channels;
        }
        audio.samples.append(reinterpret_cast<const char *>(buffer.data()), qsizetype(done));
        if (result == MPG123_OK || result == MPG123_NEW_FORMAT)
            continue;
        // MPG123_NEED_MORE: all bytes used. An error after some audio keeps what
        // was decoded, the way a damaged tail is played up to the damage.
        if (result != MPG123_NEED_MORE && result != MPG123_DONE && audio.frameCount() == 0)
            throw AudioDecodingError(QString::fromUtf8(mpg123_strerror(mh)));
        break;
    }
    if (audio.channels < 1 || audio.frameCount() == 0)
        throw AudioDecodingError(QStringLiteral("没有可播放的 MP3 音频帧"));
    requirePlayableFormat(audio.sampleRate, audio.channels);
    audio.samples.truncate(audio.frameCount() * 2 * audio.channels);
    return audio;
}

} // namespace

PcmAudio decodeAudio(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        throw AudioDecodingError(QStringLiteral("音频数据为空"));
    return isWave(bytes) ? decodeWave(bytes) : decodeMpeg(bytes);
}

PcmAudio timeStretch(const PcmAudio &audio, double speed)
{
    if (speed == 1.0 || audio.frameCount() == 0)
        return audio;
    std::unique_ptr<std::remove_pointer_t<sonicStream>, decltype(&sonicDestroyStream)> stream(
        sonicCreateStream(audio.sampleRate, audio.channels), &sonicDestroyStream);
    if (!stream)
        throw std::bad_alloc();
    sonicSetSpeed(stream.get(), float(speed));

    const qint64 frameBytes = 2LL * audio.channels;
    PcmAudio result {audio.sampleRate, audio.channels, {}};
    result.samples.reserve(qsizetype(double(audio.samples.size()) / speed) + 4096 * frameBytes);
    auto drain = [&] {
        while (const int available = sonicSamplesAvailable(stream.get())) {
            const qsizetype at = result.samples.size();
            result.samples.resize(at + available * frameBytes);
            const int read = sonicReadShortFromStream(
                stream.get(), reinterpret_cast<short *>(result.samples.data() + at), available);
            result.samples.resize(at + read * frameBytes);
            if (read == 0)
                break;
        }
    };

    constexpr qint64 chunkFrames = 4096;
    // sonic copies its input; the cast only satisfies its non-const signature.
    auto *samples = const_cast<short *>(reinterpret_cast<const short *>(audio.samples.constData()));
    for (qint64 frame = 0; frame < audio.frameCount(); frame += chunkFrames) {
        const int count = int(std::min(chunkFrames, audio.frameCount() - frame));
        if (!sonicWriteShortToStream(stream.get(), samples + frame * audio.channels, count))
            throw std::bad_alloc();
        drain();
    }
    if (!sonicFlushStream(stream.get()))
        throw std::bad_alloc();
    drain();
    return result;
}

} // namespace talvoro
