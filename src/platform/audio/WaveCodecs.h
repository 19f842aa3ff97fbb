// Wave files that SDL's own wave reader refuses: those of the codecs Windows shipped for its sound
// call (GSM 6.10, MPEG layer 3, 64-bit float PCM), and 24-bit PCM padded to four bytes a sample.
// They are turned into something the mixer reads, so that they play through the same one-channel
// sound call as any other wave file.
#pragma once

#include "platform/audio/AudioDevice.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Audio {

// The longest sound effect the mixer is given: five minutes, counted in bytes of 16-bit PCM as the
// mixer holds the sound, converted to the device's rate and channels (and at the file's own rate
// and channels when those are more), 52.9 MB. The file's size alone says little: 8-bit mono at
// 8 kHz grows 22-fold, GSM 6.10 about 100-fold. Converting takes the mixer up to about twice the
// converted size for a moment, which keeps the player well under 200 MB.
constexpr int MaxEffectSeconds = 5 * 60;
constexpr uint64_t MaxEffectPcmBytes = uint64_t{MaxEffectSeconds} * SampleRate * OutputChannels * 2;

// What the mixer is handed for a sound effect's file.
struct TMixerWave {
    std::string Refusal;                   // why the file is not played at all ("" when it may be)
    std::optional<std::string> Converted;  // what the mixer loads instead of the file, if not the file
};

// For a wave file of one of those kinds, what the mixer loads instead: a 16-bit PCM wave file
// (GSM, 64-bit float, padded 24-bit) or the MP3 stream of its data chunk, which the mixer's MP3
// decoder reads.
// For another wave file whose last chunk claims more bytes than the file holds, the same file
// with that chunk's size cut to what is there: the mixer reserves memory for the size a chunk
// claims, up to 4 GB, before it finds out. Nothing converted for every other wave file: the mixer
// reads those as they are. Refused: a file that is no RIFF WAVE file (the mixer would decode any
// music format, however long), and one that would last longer than MaxEffectPcmBytes allows.
TMixerWave MixerReadableWave(std::string_view bytes);

}  // namespace Audio
