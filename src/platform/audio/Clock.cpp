#include "platform/audio/Clock.h"

#include <chrono>

uint32_t TimeGetTime()
{
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    // Truncation keeps the low 32 bits: the wrap callers are written for.
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
