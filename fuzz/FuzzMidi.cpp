// The MIDI file reader and the clean-file writer: the input is a music file as the music device
// opens it (a RIFF MIDI file unwrapped first). Its length is read, a file the synthesiser's own
// reader would refuse is rewritten, and what the device would hand the synthesiser is then loaded
// and played for a moment by FluidSynth's reader and player on a shared synthesiser, as SDL_mixer
// drives them. A rewritten file is one the synthesiser takes as it is, and lasts as long; the
// synthesiser takes whatever file the device hands it, rewritten or not.
#include "Fuzz.h"

#include "platform/audio/AudioDevice.h"
#include "platform/audio/MidiFile.h"

#include <fluidsynth.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int Frames = 4096;  // a tenth of a second at the device's rate
fluid_synth_t* Synth = nullptr;
std::string Refusal;  // the first error FluidSynth reported while playing the input

void KeepError(int, const char* message, void*)
{
    if (Refusal.empty())
        Refusal = message;
}

// Plays the file for a moment; the synthesiser's complaint, "" when it took the file.
std::string Play(const std::string& midi)
{
    Refusal.clear();
    fluid_player_t* player = new_fluid_player(Synth);
    Fuzz::Require(player != nullptr, "FluidSynth made no player");
    fluid_player_add_mem(player, midi.data(), midi.size());
    fluid_player_play(player);
    std::vector<int16_t> samples(2 * Frames);
    fluid_synth_write_s16(Synth, Frames, samples.data(), 0, 2, samples.data(), 1, 2);
    fluid_player_stop(player);
    delete_fluid_player(player);
    fluid_synth_system_reset(Synth);
    return Refusal;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, level <= FLUID_ERR ? KeepError : nullptr, nullptr);
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", Audio::SampleRate);
    // The player follows the samples written rather than a clock thread, so the same input always
    // plays the same way.
    Fuzz::Require(fluid_settings_setstr(settings, "player.timing-source", "sample") == FLUID_OK,
                  "FluidSynth cannot time its player by the samples");
    Synth = new_fluid_synth(settings);
    const std::string soundFont = Audio::FindSoundFont(std::getenv("RK_SOUNDFONT"));
    Fuzz::Require(Synth && !soundFont.empty() && fluid_synth_sfload(Synth, soundFont.c_str(), 1) != FLUID_FAILED,
                  "no synthesiser with a soundfont");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (std::optional<std::string> wrapped = MidiFromRiff(bytes))
        bytes = *wrapped;
    const std::optional<double> length = MidiEventsLengthMs(bytes);
    const std::optional<std::string> standard = MidiForSynthesiser(bytes);
    if (!length) {
        Fuzz::Require(!standard, "a file that is no readable MIDI file was rewritten");
        return 0;  // the music device refuses it at "open"
    }
    Fuzz::Require(std::isfinite(*length) && *length >= 0, "a MIDI file of no real length");
    if (standard) {
        Fuzz::Require(!MidiForSynthesiser(*standard), "the rewritten file is one the synthesiser refuses");
        const std::optional<double> again = MidiEventsLengthMs(*standard);
        Fuzz::Require(again && std::abs(*again - *length) <= 1e-9 * std::max(1.0, *length),
                      "the rewritten file lasts " + std::to_string(again.value_or(-1)) + " ms instead of " +
                          std::to_string(*length));
    }
    const std::string refusal = Play(standard ? *standard : bytes);
    Fuzz::Require(refusal.empty(), "the synthesiser refuses the file the music device hands it (" + refusal + ")");
    return 0;
}
