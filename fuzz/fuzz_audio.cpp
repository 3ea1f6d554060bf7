// The audio clip reader (WAV and MP3) and the time-stretcher every decoded clip
// goes through when a unit plays at another rate than 1.0.
#include "FuzzSupport.h"

#include "Platform/AudioClip.h"

using namespace talvoro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PcmAudio audio;
    try {
        audio = decodeAudio(fuzzsupport::bytes(data, size));
    } catch (const AudioDecodingError &) {
        return 0;
    }
    if (audio.sampleRate <= 0 || audio.channels <= 0 || audio.frameCount() == 0)
        fuzzsupport::fail("a clip without sound was accepted");
    // The spelling unit plays at 1.25 by default; 0.5 stands for a slowed voice.
    for (const double speed : {1.25, 0.5}) {
        const PcmAudio stretched = timeStretch(audio, speed);
        if (stretched.sampleRate != audio.sampleRate || stretched.channels != audio.channels)
            fuzzsupport::fail("stretching changed the format");
    }
    return 0;
}
