#include "platform/audio/SdlMusic.h"

#include "platform/audio/AudioDevice.h"
#include "platform/audio/MciCommand.h"
#include "platform/audio/MidiFile.h"

#include <SDL_mixer.h>

#include <cctype>
#include <fstream>
#include <iterator>

namespace Audio {

namespace {

bool ReadFileBytes(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool HasMidiExtension(const std::string& path)
{
    size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.')
        return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "mid" || ext == "midi" || ext == "rmi";
}

}  // namespace

TSdlMusic::~TSdlMusic()
{
    if (Loader.joinable())
        Loader.join();
    // Freeing the music that plays halts it first.
    if (Music)
        Mix_FreeMusic(Music);
}

uint32_t TSdlMusic::Load(const std::string& nativePath)
{
    std::string bytes;
    if (!ReadFileBytes(nativePath, bytes))
        return MciError::FileNotFound;
    // The sequencer plays a RIFF MIDI file (.rmi, or named .mid) by the MIDI file it wraps; the
    // mixer knows only the bare one, so that is what it is given.
    std::optional<std::string> wrapped = MidiFromRiff(bytes);
    if (wrapped)
        bytes = *wrapped;
    bool midi = bytes.compare(0, 4, "MThd") == 0;
    // The mixer takes a file named .mid for MIDI whatever it holds, and "plays" garbage in
    // silence; the sequencer refuses it at open.
    if (!midi && HasMidiExtension(nativePath))
        return MciError::InvalidFile;
    std::optional<std::string> standard;
    if (midi) {
        EventsMs = MidiEventsLengthMs(bytes);
        if (!EventsMs)
            return MciError::InvalidFile;
        // The synthesiser's own reader refuses some files the sequencer plays, and then plays
        // silence: those it is given rewritten. Every other file goes to it as it is.
        standard = MidiForSynthesiser(bytes);
    }
    if (midi && !EnsureSoundFont())
        return MciError::CannotLoadDriver;
    if (!EnsureAudioOpen())
        return MciError::CannotLoadDriver;
    if (standard)
        FromMemory = std::move(*standard);
    else if (wrapped)
        FromMemory = std::move(bytes);
    Loading = true;
    Loader = std::thread(&TSdlMusic::LoadInBackground, this, nativePath);
    return MciError::None;
}

void TSdlMusic::LoadInBackground(std::string nativePath)
{
    // FromMemory is written before this thread starts and not again while the music lives.
    _Mix_Music* music =
        FromMemory.empty()
            ? Mix_LoadMUS(nativePath.c_str())
            : Mix_LoadMUSType_RW(SDL_RWFromConstMem(FromMemory.data(), static_cast<int>(FromMemory.size())), MUS_MID,
                                 1);
    std::lock_guard<std::mutex> lock(Guard);
    Music = music;
    Loading = false;
    // A file the mixer cannot play stays silent, as an unplayable file does.
    if (PlayWanted)
        StartLocked();
}

void TSdlMusic::StartLocked()
{
    if (!Music || !AudioIsOpen())
        return;
    // Playing again restarts the same synthesiser from the top; the soundfont stays loaded.
    if (Mix_PlayMusic(Music, 0) != 0)
        return;
    Started = std::chrono::steady_clock::now();
    HasStarted = true;
}

void TSdlMusic::Play()
{
    std::lock_guard<std::mutex> lock(Guard);
    PlayWanted = true;
    if (!Loading)
        StartLocked();
}

void TSdlMusic::Stop()
{
    std::lock_guard<std::mutex> lock(Guard);
    PlayWanted = false;
    if (HasStarted && AudioIsOpen())
        Mix_HaltMusic();
    HasStarted = false;
}

bool TSdlMusic::WaitUntilLoaded()
{
    if (Loader.joinable())
        Loader.join();
    return !LoadFailed();
}

bool TSdlMusic::LoadFailed()
{
    std::lock_guard<std::mutex> lock(Guard);
    return !Loading && !Music;
}

bool TSdlMusic::Playing()
{
    std::lock_guard<std::mutex> lock(Guard);
    if (Loading)
        return PlayWanted;
    if (!HasStarted || !AudioIsOpen() || !Mix_PlayingMusic())
        return false;
    if (EventsMs) {
        std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - Started;
        // The clock starts when the piece is handed to the mixer; the sound follows up to one
        // buffer later, and the last notes are not cut short by that.
        if (elapsed.count() >= *EventsMs + BufferMs)
            return false;
    }
    return true;
}

}  // namespace Audio
