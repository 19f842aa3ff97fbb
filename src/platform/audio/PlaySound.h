// The simple sound call for effects: one wave file at a time, started without waiting, on one
// mixer channel, replacing whatever effect is playing.
#pragma once

#include <string>

namespace Audio {

namespace SoundFlag {
constexpr unsigned Async = 1;      // return at once; without it the call waits for the end
constexpr unsigned NoDefault = 2;  // no fallback sound for a missing file (there never is one)
constexpr unsigned Loop = 8;       // repeat until stopped (always asynchronous)
}  // namespace SoundFlag

// Plays the wave file at a Windows-style path. Any effect still playing stops first; "" only
// silences. A missing or unplayable file plays nothing and returns false. Silencing never opens
// the audio device.
bool SndPlaySound(const std::string& windowsPath, unsigned flags);

// Why the wave file at a native path would not play ("" when it would), decoded as the sound
// call decodes it (the audio device is opened for that, but nothing is played).
std::string SoundFileError(const std::string& nativePath);

// The native path of the effect playing now, "" when silent (for tests and diagnostics).
std::string PlayingSoundPath();

// Stops the effect and frees its samples (before the device closes).
void ReleaseSound();

}  // namespace Audio
