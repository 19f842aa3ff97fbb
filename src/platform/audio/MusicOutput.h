// What the media-control interpreter needs of a music player; the real one plays through
// SDL2_mixer, tests put a scripted one in its place.
#pragma once

#include <cstdint>
#include <string>

namespace Audio {

class TMusicOutput {
public:
    virtual ~TMusicOutput() = default;
    // Opens the file at a native path; returns 0 or a media-control error code.
    virtual uint32_t Load(const std::string& nativePath) = 0;
    // Plays from the beginning (replaying when already playing).
    virtual void Play() = 0;
    virtual void Stop() = 0;
    // True while the piece's events are still being played.
    virtual bool Playing() = 0;
    // True once a load that finished later (on its own thread) has turned out to be unplayable:
    // then the device counts as never opened.
    virtual bool LoadFailed() { return false; }
};

}  // namespace Audio
