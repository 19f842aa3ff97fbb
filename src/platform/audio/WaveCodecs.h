// Wave files of the codecs Windows shipped for its sound call that SDL's own wave reader lacks:
// GSM 6.10, MPEG layer 3 and 64-bit float PCM. They are turned into something the mixer reads,
// so that they play through the same one-channel sound call as any other wave file.
#pragma once

#include <optional>
#include <string>

namespace Audio {

// For a wave file of one of those codecs, what the mixer loads instead: a 16-bit PCM wave file
// (GSM, 64-bit float) or the MP3 stream of its data chunk, which the mixer's MP3 decoder reads.
// For another wave file whose last chunk claims more bytes than the file holds, the same file
// with that chunk's size cut to what is there: the mixer reserves memory for the size a chunk
// claims, up to 4 GB, before it finds out. Nothing for every other file: the mixer reads those as
// they are.
std::optional<std::string> MixerReadableWave(const std::string& bytes);

}  // namespace Audio
