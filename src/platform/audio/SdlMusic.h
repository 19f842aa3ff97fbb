// Music through SDL2_mixer: MIDI files are synthesised by FluidSynth with a General MIDI
// soundfont; other formats the mixer knows play as they are.
#pragma once

#include "platform/audio/MusicOutput.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct _Mix_Music;

namespace Audio {

// Synthesising a MIDI piece starts by loading the soundfont, some 70 ms that would otherwise
// hold up whatever called "open" (at start-up, the window's first frame). So the piece is
// loaded on a thread of its own; a play asked for meanwhile starts as soon as it is loaded, and
// until then the piece counts as playing.
class TSdlMusic : public TMusicOutput {
public:
    ~TSdlMusic() override;
    uint32_t Load(const std::string& nativePath) override;
    void Play() override;
    void Stop() override;
    // The synthesiser reports a piece as playing until its last notes have died away, some
    // three seconds after the last event; a looping piece would wait that long in silence
    // before its restart. So a MIDI piece counts as ended once its events have all been
    // played, as a hardware sequencer reports it.
    bool Playing() override;
    bool LoadFailed() override;
    // Waits for a load started by Load to finish; true when the music can be played.
    bool WaitUntilLoaded();
    // Whether the last Load refused a MIDI file for its size alone.
    bool RefusedForSize() const { return TooLarge; }

private:
    void LoadInBackground(int type);  // a Mix_MusicType
    void StartLocked();

    // The file the mixer reads, read once: for MIDI, the file inside a RIFF file, or a file
    // rewritten for the synthesiser (see MidiForSynthesiser).
    std::string FromMemory;
    std::mutex Guard;  // everything below is shared with the loading thread
    std::thread Loader;
    _Mix_Music* Music = nullptr;
    bool Loading = false;
    bool PlayWanted = false;
    std::optional<double> EventsMs;
    std::chrono::steady_clock::time_point Started;
    bool HasStarted = false;
    bool TooLarge = false;
};

}  // namespace Audio
