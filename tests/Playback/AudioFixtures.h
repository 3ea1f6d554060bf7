#pragma once

#include "Platform/AudioClip.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Real clips for the playback tests: tones made here, speech from espeak-ng and
// MP3 from lame, both run as the command-line tools.
namespace testsupport {

// A sine of `frequency` Hz, 16-bit, at a quarter of full scale.
talvoro::PcmAudio sineTone(double frequency, double seconds, int sampleRate = 24000, int channels = 1);
QByteArray waveFile(const talvoro::PcmAudio &audio);
// The output of a tool that reads the file `input` (written from `inputBytes`) and
// writes the file "out"; empty when the tool failed.
QByteArray runTool(const QString &program, const QStringList &arguments, const QByteArray &inputBytes = {});
QByteArray mp3FromWave(const QByteArray &wave);
QByteArray spokenWave(const QString &text);

// Frequency of a pure tone in the first channel, from its rising zero crossings.
double zeroCrossingFrequency(const talvoro::PcmAudio &audio);

} // namespace testsupport
