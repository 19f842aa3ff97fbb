// Sound effects: a wave file started at once, playing in the background, replaced by the next.
#pragma once

#include <functional>
#include <string>

namespace MyWave {

// The path of the last sound started ("" after WaveStop).
extern std::string WaveName;
// Whether the last sound was started looping.
extern bool WaveLoop;

// Where the sound call goes: the audio layer, or a recorder in tests. An empty sink puts the
// real one back.
using TSoundSink = std::function<bool(const std::string& windowsPath, unsigned flags)>;
void SetSoundSink(TSoundSink sink);

// Plays `windowsPath` once (or looping), without waiting; a missing file stays quiet.
void WavePlay(const std::string& windowsPath, bool loop);
// Silences any effect still playing.
void WaveStop();

}  // namespace MyWave
