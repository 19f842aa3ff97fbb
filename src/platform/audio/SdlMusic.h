// Music through SDL2_mixer: MIDI files are synthesised by FluidSynth with a General MIDI
// soundfont; other formats the mixer knows play as they are.
#pragma once

#include "platform/audio/MusicOutput.h"

#include <chrono>
#include <optional>

struct _Mix_Music;

namespace Audio {

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

private:
    _Mix_Music* Music = nullptr;
    std::optional<double> EventsMs;
    std::chrono::steady_clock::time_point Started;
    bool HasStarted = false;
};

}  // namespace Audio
