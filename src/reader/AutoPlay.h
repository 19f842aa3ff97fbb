// Auto play: how long a message line stays before the story goes on by itself.
#pragma once

#include <cstdint>
#include <string>

struct TAutoPlay {
    static constexpr int DefaultDelayMs = 1500;
    static constexpr int DefaultPerCharMs = 60;
    static constexpr int MaxDelayMs = 60000;  // the bounds a setting must keep to
    static constexpr int MaxPerCharMs = 1000;

    bool On = false;
    int DelayMs = DefaultDelayMs;
    int PerCharMs = DefaultPerCharMs;

    // The time a line (Shift-JIS) stays: the delay plus the time per character, a double-byte
    // character counting as one.
    int32_t LineDelay(const std::string& line) const;
};
