// The wave reader: the input is a sound effect's file. The codecs SDL's reader lacks are turned
// into something the mixer reads, and the file is then decoded as the sound call decodes it, by
// the mixer on SDL's dummy audio driver (nothing is played).
#include "Fuzz.h"

#include "platform/audio/PlaySound.h"
#include "platform/audio/WaveCodecs.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Fuzz::EnterStoryFolder(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    (void)Audio::MixerReadableWave(bytes);
    Fuzz::WriteFile("effect.wav", bytes);
    (void)Audio::SoundFileError("effect.wav");
    return 0;
}
