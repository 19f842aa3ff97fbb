#include "platform/audio/SdlMusic.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/StoryBounds.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/MciCommand.h"
#include "platform/audio/MidiFile.h"

#include <SDL_mixer.h>

#include <cctype>
#include <optional>

namespace Audio {

namespace {

// The file's bytes; nullopt for what the sequencer would not open: a missing file, and what the
// player does not read (no regular file, or more than music may hold), which is silent alike.
std::optional<std::string> ReadMusicFile(const std::string& nativePath)
{
    try {
        TStoryFile file(nativePath, StoryBounds::MusicBytes);
        return file.ReadRest();
    } catch (const EInOutError&) {
        return std::nullopt;
    }
}

std::string LowerExtension(const std::string& path)
{
    size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.')
        return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool HasMidiExtension(const std::string& path)
{
    const std::string ext = LowerExtension(path);
    return ext == "mid" || ext == "midi" || ext == "rmi";
}

// The kind of music the mixer takes a file for, by its name as it would when it opened the file
// itself: the bytes are given to it from memory, so it never opens the file a second time.
Mix_MusicType MusicTypeOf(const std::string& path)
{
    const std::string ext = LowerExtension(path);
    if (ext == "wav")
        return MUS_WAV;
    if (ext == "mid" || ext == "midi" || ext == "kar")
        return MUS_MID;
    if (ext == "ogg")
        return MUS_OGG;
    if (ext == "opus")
        return MUS_OPUS;
    if (ext == "flac")
        return MUS_FLAC;
    if (ext == "mpg" || ext == "mpeg" || ext == "mp3" || ext == "mad")
        return MUS_MP3;
    return MUS_NONE;  // the mixer goes by the contents (a tracker module among them)
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
    std::optional<std::string> file = ReadMusicFile(nativePath);
    if (!file)
        return MciError::FileNotFound;
    std::string bytes = std::move(*file);
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
    TooLarge = midi && bytes.size() > StoryBounds::MidiBytes;
    if (TooLarge)
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
#ifdef __EMSCRIPTEN__
    if (midi && !FetchInstrumentsFor(standard ? *standard : bytes))
        return MciError::CannotLoadDriver;
#endif
    if (!EnsureAudioOpen())
        return MciError::CannotLoadDriver;
    FromMemory = standard ? std::move(*standard) : std::move(bytes);
    Loading = true;
#ifdef __EMSCRIPTEN__
    // A web page has no threads without headers a plain static host does not send; the page's
    // synthesiser loads its patches before this, so the load itself is quick.
    LoadInBackground(midi ? MUS_MID : MusicTypeOf(nativePath));
#else
    Loader = std::thread(&TSdlMusic::LoadInBackground, this, midi ? MUS_MID : MusicTypeOf(nativePath));
#endif
    return MciError::None;
}

void TSdlMusic::LoadInBackground(int type)
{
    // FromMemory is written before this thread starts and not again while the music lives.
    _Mix_Music* music = Mix_LoadMUSType_RW(SDL_RWFromConstMem(FromMemory.data(), static_cast<int>(FromMemory.size())),
                                           static_cast<Mix_MusicType>(type), 1);
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
