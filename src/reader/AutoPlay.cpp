#include "reader/AutoPlay.h"

#include "platform/ShiftJis.h"

#include <algorithm>

int32_t TAutoPlay::LineDelay(const std::string& line) const
{
    int64_t chars = 0;
    for (size_t i = 0; i < line.size(); i = Sjis::NextChar(line, i))
        ++chars;
    // Settings are bounded, but a story's line is not: the delay stays a timer's interval, and
    // never 0, which would turn the timer off.
    int64_t delay = int64_t{std::max(0, DelayMs)} + int64_t{std::max(0, PerCharMs)} * chars;
    return static_cast<int32_t>(std::clamp<int64_t>(delay, 1, 24 * 3600 * 1000));
}
