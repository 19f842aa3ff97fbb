#include "timing/MyTime.h"

#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/audio/Clock.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"

#include <algorithm>

namespace MyTime {

std::array<int32_t, TimerCount + 1> Intervals{};
std::array<uint32_t, TimerCount + 1> LastFire{};
bool LoopRunning = false;

namespace {

// The longest sleep between passes when no timer is due sooner; only bounds the wait.
constexpr int MaxWaitMs = 1000;

TClock Clock;
std::array<std::function<void()>, TimerCount + 1> WorkOverride;

uint32_t Now() { return Clock ? Clock() : TimeGetTime(); }

void RunTimerWork(int index)
{
    if (WorkOverride[index]) {
        WorkOverride[index]();
        return;
    }
    if (index == 1)
        MyMidi::MidiPoll();
    else if (index == 2)
        UnitRK::AutoTick();
}

// One timer pass. An error from a timer's work is reported like a handler's and the loop goes
// on: the timer counts as fired, so a failing work item runs again only a period later.
void RunDueTimers(uint32_t now)
{
    for (int i = 1; i <= TimerCount; ++i) {
        if (!TimerDue(Intervals[i], LastFire[i], now))
            continue;
        Application().Guard([i] { RunTimerWork(i); });
        LastFire[i] = now;
    }
}

}  // namespace

bool TimerDue(int32_t interval, uint32_t lastFire, uint32_t now)
{
    int32_t elapsed = static_cast<int32_t>(now - lastFire);
    return interval > 0 && interval < elapsed;
}

int MsUntilNextTimer(uint32_t now, int cap)
{
    int64_t wait = cap;
    for (int i = 1; i <= TimerCount; ++i) {
        if (Intervals[i] <= 0)
            continue;
        int64_t elapsed = static_cast<int32_t>(now - LastFire[i]);
        // Due once elapsed reaches interval + 1.
        wait = std::min(wait, static_cast<int64_t>(Intervals[i]) + 1 - elapsed);
    }
    return static_cast<int>(std::max<int64_t>(wait, 0));
}

void TimerInit()
{
    uint32_t now = Now();
    for (int i = 1; i <= TimerCount; ++i) {
        LastFire[i] = now;
        Intervals[i] = 0;
    }
    Intervals[1] = 100;
}

void SetTimerInterval(int index, int32_t ms)
{
    if (index >= 1 && index <= TimerCount)
        Intervals[index] = ms;
}

void StartTimer(int index, int32_t ms)
{
    if (index < 1 || index > TimerCount)
        return;
    Intervals[index] = ms;
    LastFire[index] = Now();
}

void MainLoop()
{
    if (LoopRunning)
        return;
    LoopRunning = true;
    TApplication& app = Application();
    for (;;) {
        app.ProcessMessages();
        RunDueTimers(Now());
        app.Present();  // a step run by a timer shows now, not after the next wait
        if (app.Terminated())
            break;
        // Sleep instead of spinning, but never past the next timer: it still fires on the
        // first pass after its interval.
        int wait = MsUntilNextTimer(Now(), MaxWaitMs);
        if (wait > 0)
            app.WaitForEvent(wait);
    }
    MyWave::WaveStop();
    MyMidi::MidiClose();
}

void SetClock(TClock clock) { Clock = std::move(clock); }

void SetTimerWork(int index, std::function<void()> work)
{
    if (index >= 1 && index <= TimerCount)
        WorkOverride[index] = std::move(work);
}

void ResetTimers()
{
    Clock = nullptr;
    WorkOverride = {};
    Intervals = {};
    LastFire = {};
    LoopRunning = false;
}

}  // namespace MyTime
