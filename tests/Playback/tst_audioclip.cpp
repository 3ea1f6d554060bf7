#include "AudioFixtures.h"
#include "TestRegistry.h"

#include "Platform/AudioClip.h"

#include <QTest>

using namespace talvoro;
using namespace testsupport;

class AudioClipTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodesWaveAndMp3_data()
    {
        QTest::addColumn<bool>("mp3");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("channels");
        QTest::newRow("WAV mono 24 kHz") << false << 24000 << 1;
        QTest::newRow("WAV stereo 44.1 kHz") << false << 44100 << 2;
        QTest::newRow("MP3 mono 24 kHz") << true << 24000 << 1;
        QTest::newRow("MP3 stereo 44.1 kHz") << true << 44100 << 2;
    }
    void decodesWaveAndMp3()
    {
        QFETCH(bool, mp3);
        QFETCH(int, sampleRate);
        QFETCH(int, channels);
        const PcmAudio tone = sineTone(440, 1.0, sampleRate, channels);
        QByteArray bytes = waveFile(tone);
        if (mp3) {
            bytes = mp3FromWave(bytes);
            QVERIFY2(!bytes.isEmpty(), "lame could not encode the tone");
        }

        const PcmAudio decoded = decodeAudio(bytes);

        QCOMPARE(decoded.sampleRate, sampleRate);
        QCOMPARE(decoded.channels, channels);
        if (!mp3)
            QCOMPARE(decoded.samples, tone.samples); // WAV samples pass through untouched
        // An encoder may pad its last frame: an MP3 runs up to a few frames long.
        QVERIFY2(qAbs(decoded.durationSeconds() - 1.0) < 0.1, qPrintable(QString::number(decoded.durationSeconds())));
        QVERIFY(qAbs(zeroCrossingFrequency(decoded) - 440) < 440 * 0.02);
    }

    void decodesWaveWithExtraChunksAndAStreamedDataSize()
    {
        const PcmAudio tone = sineTone(440, 0.25);
        QByteArray wave = waveFile(tone);
        // A "LIST" chunk of odd length (padded) before "data", and the data size
        // a streaming writer leaves behind.
        wave.insert(36,
            QByteArray("LIST\x03\x00\x00\x00"
                       "abc\x00",
                12));
        wave.replace(52, 4, QByteArray("\xff\xff\xff\xff", 4));
        QCOMPARE(decodeAudio(wave).samples, tone.samples);
    }

    void refusesWhatIsNotAudio_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray eightBit = waveFile(sineTone(440, 0.1));
        eightBit[34] = 8;
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("this is not audio, just some words");
        QTest::newRow("JSON") << QByteArray(R"({"message":"合成失败"})");
        QTest::newRow("RIFF header only") << waveFile(sineTone(440, 0.1)).left(12);
        QTest::newRow("WAV without samples") << waveFile(sineTone(440, 0.0));
        QTest::newRow("8-bit WAV") << eightBit;
        QTest::newRow("MP3 cut to its first bytes") << mp3FromWave(waveFile(sineTone(440, 0.5))).left(40);
    }
    void refusesWhatIsNotAudio()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY_THROWS_EXCEPTION(AudioDecodingError, decodeAudio(bytes));
    }

    // Qt's own playback rate moves the pitch by the whole factor; the stretch must not.
    void stretchKeepsThePitchAndScalesTheLength_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("channels");
        QTest::newRow("0.5 mono") << 0.5 << 1;
        QTest::newRow("2.0 mono") << 2.0 << 1;
        QTest::newRow("1.25 stereo") << 1.25 << 2;
        QTest::newRow("0.75 stereo") << 0.75 << 2;
    }
    void stretchKeepsThePitchAndScalesTheLength()
    {
        QFETCH(double, speed);
        QFETCH(int, channels);
        const PcmAudio tone = sineTone(440, 2.0, 24000, channels);

        const PcmAudio stretched = timeStretch(tone, speed);

        QCOMPARE(stretched.sampleRate, tone.sampleRate);
        QCOMPARE(stretched.channels, channels);
        const double expectedFrames = double(tone.frameCount()) / speed;
        QVERIFY2(qAbs(double(stretched.frameCount()) - expectedFrames) < expectedFrames * 0.05,
            qPrintable(QStringLiteral("%1 frames, expected %2").arg(stretched.frameCount()).arg(expectedFrames)));
        const double frequency = zeroCrossingFrequency(stretched);
        QVERIFY2(qAbs(frequency - 440) < 440 * 0.02, qPrintable(QString::number(frequency)));
    }
};

TALVORO_TEST(AudioClipTest)
#include "tst_audioclip.moc"
