#include "platform/audio/PlaySound.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/StoryBounds.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/WaveCodecs.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <optional>
#include <set>

namespace Audio {

namespace {

constexpr int EffectChannel = 0;

Mix_Chunk* Current = nullptr;
std::string CurrentPath;

void WaitForEnd()
{
    while (Mix_Playing(EffectChannel))
        SDL_Delay(5);
}

// The file's bytes, or nullopt with the mixer's error text saying why not: nothing is read from
// what is no regular file, nor more than an effect may hold.
std::optional<std::string> ReadEffectFile(const std::string& path)
{
    try {
        TStoryFile file(path, StoryBounds::EffectBytes);
        std::optional<std::string> bytes = file.ReadRest();
        if (file.Refusal() == TFileRefusal::NotRegular)
            SDL_SetError("it is not a regular file");
        else if (file.Refusal() == TFileRefusal::TooLarge)
            SDL_SetError("it is larger than the %d MB a sound may be",
                         static_cast<int>(StoryBounds::EffectBytes / StoryBounds::MiB));
        return bytes;
    } catch (const EInOutError& e) {
        SDL_SetError("%s", TerminalMessage(e).c_str());
        return std::nullopt;
    }
}

// The file goes to the mixer from memory, a wave file of one of the codecs it lacks (see
// WaveCodecs) converted first. The mixer is never handed a stream to close: on a file too short to
// tell its kind it returns without closing it, and a file handed over by its path would stay open.
Mix_Chunk* DecodeEffect(const std::string& path)
{
    std::optional<std::string> file = ReadEffectFile(path);
    if (!file)
        return nullptr;
    const std::string& bytes = *file;
    const TMixerWave readable = MixerReadableWave(bytes);
    if (!readable.Refusal.empty()) {
        SDL_SetError("%s", readable.Refusal.c_str());
        return nullptr;
    }
    const std::string& decoded = readable.Converted ? *readable.Converted : bytes;
    if (decoded.size() > static_cast<size_t>(INT32_MAX)) {
        SDL_SetError("too long to play");
        return nullptr;
    }
    SDL_RWops* source = SDL_RWFromConstMem(decoded.data(), static_cast<int>(decoded.size()));
    if (!source)
        return nullptr;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(source, 0);
    SDL_RWclose(source);
    return chunk;
}

Mix_Chunk* LoadEffect(const std::string& path)
{
    Mix_Chunk* chunk = DecodeEffect(path);
    // Windows' sound call fails in silence; say once why an effect stays silent here.
    static std::set<std::string> told;
    if (!chunk && told.insert(path).second)
        std::fprintf(stderr, "zv_rk: the sound %s cannot be played (%s)\n", path.c_str(), Mix_GetError());
    return chunk;
}

}  // namespace

void ReleaseSound()
{
    if (AudioIsOpen())
        Mix_HaltChannel(EffectChannel);
    if (Current)
        Mix_FreeChunk(Current);
    Current = nullptr;
    CurrentPath.clear();
}

bool SndPlaySound(const std::string& windowsPath, unsigned flags)
{
    ReleaseSound();
    if (windowsPath.empty())
        return true;
    std::string path = NativePath(windowsPath);
    if (!FileExists(windowsPath) || !EnsureAudioOpen())
        return false;
    Mix_Chunk* chunk = LoadEffect(path);
    if (!chunk)
        return false;
    bool loop = flags & SoundFlag::Loop;
    // Channel 0 by number: asking for any free channel fails while the old effect still plays.
    if (Mix_PlayChannel(EffectChannel, chunk, loop ? -1 : 0) < 0) {
        Mix_FreeChunk(chunk);
        return false;
    }
    Current = chunk;
    CurrentPath = path;
    if (!(flags & SoundFlag::Async) && !loop)
        WaitForEnd();
    return true;
}

std::string SoundFileError(const std::string& nativePath)
{
    if (!EnsureAudioOpen())
        return Mix_GetError();
    Mix_Chunk* chunk = DecodeEffect(nativePath);
    if (!chunk)
        return Mix_GetError();
    Mix_FreeChunk(chunk);
    return "";
}

std::string PlayingSoundPath()
{
    if (!Current || !AudioIsOpen() || !Mix_Playing(EffectChannel))
        return "";
    return CurrentPath;
}

}  // namespace Audio
