#include "sound/MyWave.h"

#include "platform/audio/PlaySound.h"

namespace MyWave {

std::string WaveName;
bool WaveLoop = false;

namespace {

TSoundSink Sink;

constexpr unsigned PlayOnce = Audio::SoundFlag::Async | Audio::SoundFlag::NoDefault;
constexpr unsigned PlayLooping = PlayOnce | Audio::SoundFlag::Loop;

void PlaySoundCall(const std::string& windowsPath, unsigned flags)
{
    if (Sink)
        Sink(windowsPath, flags);
    else
        Audio::SndPlaySound(windowsPath, flags);
}

}  // namespace

void SetSoundSink(TSoundSink sink) { Sink = std::move(sink); }

void WavePlay(const std::string& windowsPath, bool loop)
{
    WaveName = windowsPath;
    WaveLoop = loop;
    PlaySoundCall(windowsPath, loop ? PlayLooping : PlayOnce);
}

void WaveStop()
{
    PlaySoundCall("", PlayOnce);
    WaveLoop = false;
    WaveName.clear();
}

}  // namespace MyWave
