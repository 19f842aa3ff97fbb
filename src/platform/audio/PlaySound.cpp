#include "platform/audio/PlaySound.h"

#include "platform/Files.h"
#include "platform/audio/AudioDevice.h"

#include <SDL.h>
#include <SDL_mixer.h>

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
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
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

std::string PlayingSoundPath()
{
    if (!Current || !AudioIsOpen() || !Mix_Playing(EffectChannel))
        return "";
    return CurrentPath;
}

}  // namespace Audio
