#include "platform/audio/AudioDevice.h"

#include "platform/audio/MciDevice.h"
#include "platform/audio/MidiFile.h"
#include "platform/audio/PlaySound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace Audio {
namespace {

// Small first: TimGM6mb loads in about 70 ms, the larger sets take half a second or more.
constexpr const char* SystemSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

std::atomic<bool> MutedFlag = false;
Uint8 SilenceByte = 0;

// Runs on the audio thread on every mixed buffer, after music and effects have been mixed into it.
void SilenceWhileMuted(void*, Uint8* stream, int length)
{
    if (MutedFlag.load(std::memory_order_relaxed))
        std::memset(stream, SilenceByte, size_t(length));
}

bool DeviceOpen = false;
bool DeviceFailed = false;
bool SoundFontChecked = false;
bool SoundFontFound = false;

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool EnsureAudioOpen()
{
    if (DeviceOpen)
        return true;
    if (DeviceFailed)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "zv_rk: sound is off: the audio system cannot start (%s)\n", SDL_GetError());
        DeviceFailed = true;
        return false;
    }
    if (Mix_OpenAudio(SampleRate, AUDIO_S16SYS, OutputChannels, BufferFrames) != 0) {
        std::fprintf(stderr, "zv_rk: sound is off: the audio device cannot be opened (%s)\n", Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        DeviceFailed = true;
        return false;
    }
    // One effect at a time, always on channel 0: a new play there replaces the sound at once,
    // where "any free channel" would fail while the old one is still playing.
    Mix_AllocateChannels(1);
    int frequency = 0, channels = 0;
    Uint16 format = AUDIO_S16SYS;
    Mix_QuerySpec(&frequency, &format, &channels);
    SilenceByte = SDL_AUDIO_ISSIGNED(format) ? 0 : 0x80;
    Mix_SetPostMix(SilenceWhileMuted, nullptr);
    DeviceOpen = true;
    return true;
}

bool AudioIsOpen() { return DeviceOpen; }

std::string FindSoundFont(const char* envValue)
{
    if (envValue && *envValue) {
        if (IsRegularFile(envValue))
            return envValue;
        std::fprintf(stderr, "zv_rk: RK_SOUNDFONT names %s, which is not a file; using the system's soundfont\n",
                     envValue);
    }
    for (const char* path : SystemSoundFonts)
        if (IsRegularFile(path))
            return path;
    return "";
}

#ifdef __EMSCRIPTEN__
// The page's instruments (freepats, for the mixer's own Timidity) are fetched as the music needs
// them rather than all before the first picture: the page writes the Timidity configuration and
// the patches asked for ("t<program> d<drum> ...") under /instruments, and says whether it could.
// The player waits meanwhile, as it waits for a soundfont to load.
EM_ASYNC_JS(int, FetchInstruments, (const char* wanted),
            { return await Module.fetchInstruments(UTF8ToString(wanted)); });

bool EnsureSoundFont()
{
    if (SoundFontChecked)
        return SoundFontFound;
    SoundFontChecked = true;
    SoundFontFound = FetchInstruments("") != 0 && Mix_SetTimidityCfg("/instruments/timidity.cfg") != 0;
    if (!SoundFontFound)
        std::fprintf(stderr, "zv_rk: music is silent: the page's instruments cannot be fetched\n");
    return SoundFontFound;
}

bool FetchInstrumentsFor(const std::string& midi)
{
    std::optional<TMidiInstruments> used = MidiInstruments(midi);
    if (!used)
        return false;
    std::string wanted;
    for (uint32_t program : used->Programs)
        wanted += "t" + std::to_string(program) + " ";
    for (uint32_t drum : used->Drums)
        wanted += "d" + std::to_string(drum) + " ";
    return FetchInstruments(wanted.c_str()) != 0;
}
#else
bool EnsureSoundFont()
{
    if (SoundFontChecked)
        return SoundFontFound;
    SoundFontChecked = true;
    std::string path = FindSoundFont(std::getenv("RK_SOUNDFONT"));
    if (path.empty()) {
        std::fprintf(stderr,
                     "zv_rk: music is silent: no General MIDI soundfont found in %s; install the package "
                     "timgm6mb-soundfont or set RK_SOUNDFONT to an .sf2 file\n",
                     SystemSoundFonts[0]);
        return false;
    }
    // Set explicitly: the mixer's own default names a file that may not exist, and with a
    // missing soundfont it plays silence without reporting any error.
    Mix_SetSoundFonts(path.c_str());
    SoundFontFound = true;
    return true;
}
#endif

void SetMuted(bool muted) { MutedFlag = muted; }

bool Muted() { return MutedFlag; }

void CloseAudioDevice()
{
    if (!DeviceOpen)
        return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    // Let the device play out what was mixed before the halt, so its last output is silence
    // rather than a waveform cut off mid-buffer (a click on a speaker, sound at the end of a
    // recording).
    SDL_Delay(static_cast<Uint32>(2 * BufferMs) + 1);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    DeviceOpen = false;
}

void CloseAudio()
{
    MciSendString("close all", nullptr, 0);
    ReleaseSound();
    CloseAudioDevice();
}

}  // namespace Audio
