// The wave reader: the input is a sound effect's file, with runs spelled short (Fuzz.h) so that a
// few bytes can claim and hold hundreds of megabytes, as a zip of zeros unpacks. The codecs SDL's
// reader lacks are turned into something the mixer reads, and a file of a real effect's size is
// then decoded as the sound call decodes it, by the mixer on SDL's dummy audio driver (nothing is
// played).
#include "Fuzz.h"

#include "platform/audio/PlaySound.h"
#include "platform/audio/WaveCodecs.h"

#include <cstdlib>
#include <string>

namespace {

constexpr size_t MaxInput = size_t{512} << 20;
// Larger inputs are not written to a file each time: the file's reader is not what is fuzzed.
constexpr size_t MaxFile = size_t{4} << 20;
constexpr size_t PcmHeaderBytes = 44;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Fuzz::EnterStoryFolder(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Fuzz::TExpandedInput input(data, size, MaxInput);
    const Audio::TMixerWave readable = Audio::MixerReadableWave(input.View());
    Fuzz::Require(readable.Refusal.empty() || !readable.Converted, "a refused wave converted all the same");
    Fuzz::Require(!readable.Converted || readable.Converted->size() <= Audio::MaxEffectPcmBytes + PcmHeaderBytes ||
                      readable.Converted->size() <= input.View().size(),
                  "a wave converted to more than an effect may hold");
    if (input.View().size() <= MaxFile) {
        Fuzz::WriteFile("effect.wav", std::string(input.View()));
        (void)Audio::SoundFileError("effect.wav");
    }
    return 0;
}
