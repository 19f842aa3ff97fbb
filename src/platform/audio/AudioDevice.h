// The one audio output of the process, opened on the first sound that really plays: silencing
// music and effects at start-up must not pay for opening the device or loading a soundfont.
#pragma once

#include <string>

namespace Audio {

constexpr int SampleRate = 44100;
constexpr int OutputChannels = 2;
// 2048 frames (46 ms): waking the audio thread for every 1024 frames cost about a tenth of the CPU
// that playing music takes; a sound still starts about a tenth of a second after its command.
constexpr int BufferFrames = 2048;
// How far the mixer works ahead of what has been heard, at most.
constexpr double BufferMs = BufferFrames * 1000.0 / SampleRate;

// Opens SDL's audio subsystem and the mixer with one channel; true when open. A failure is
// told once on standard error and not retried.
bool EnsureAudioOpen();
bool AudioIsOpen();

// The General MIDI soundfont to use: the file named by RK_SOUNDFONT when it exists, else the
// first existing one of the system's usual places; "" when there is none. `envValue` is the
// variable's value (nullptr when unset).
std::string FindSoundFont(const char* envValue);

// Hands the soundfont to the MIDI synthesiser once; false (told once on standard error, with
// the fix) when there is none, and MIDI music then stays silent.
bool EnsureSoundFont();

#ifdef __EMSCRIPTEN__
// The web page: fetches the instruments the MIDI file `midi` plays; false when they cannot be had.
bool FetchInstrumentsFor(const std::string& midi);
#endif

// Stops music and sound effect, frees them and closes the device and the audio subsystem, so
// the program ends with no stuck device and a fully written output. Safe to call at any time,
// also when nothing was ever opened; the next sound opens the device again.
void CloseAudio();

// Muted, music and effects are silent but go on as if heard: music keeps its place, so that it
// is heard again from where it has got to. Kept across closing and opening the device.
void SetMuted(bool muted);
bool Muted();

// Closes the mixer and audio subsystem only (the music and sound units release their own data
// first; CloseAudio does both in order).
void CloseAudioDevice();

}  // namespace Audio
