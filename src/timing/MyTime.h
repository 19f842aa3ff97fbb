// The main loop and its ten interval timers. Timer 1 polls the music, timer 2 carries out the
// story's pending automatic step; timers 3 to 10 are the reader's (skipping, auto play, keeping
// what was seen), off until it starts them. The loop handles window messages,
// runs the timers that are due, and between passes sleeps until the next message or the next
// timer, whichever comes first.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace MyTime {

constexpr int TimerCount = 10;

// Indexed 1..10 (entry 0 is unused). An interval of 0 or less means the timer is off.
extern std::array<int32_t, TimerCount + 1> Intervals;
// The clock's value when each timer last fired or was reset.
extern std::array<uint32_t, TimerCount + 1> LastFire;
// Set when the loop is entered; the loop runs once per process.
extern bool LoopRunning;

// Every timer reset to now and off, then timer 1 set to 100 ms.
void TimerInit();
// Indices outside 1..10 are ignored.
void SetTimerInterval(int index, int32_t ms);
// Sets the interval and counts it from now: the timer first fires `ms` milliseconds from now.
void StartTimer(int index, int32_t ms);

// Runs until the application's terminated state is set, then silences the sound effect and
// closes the music. Returns at once when the loop is already running (or has run).
void MainLoop();

// A timer fires on the first pass at which strictly more than its interval has elapsed since it
// last fired (32-bit difference, so a wrap of the clock does not stop it).
bool TimerDue(int32_t interval, uint32_t lastFire, uint32_t now);
// Milliseconds until the earliest timer is due, at most `cap` (also when none is on).
int MsUntilNextTimer(uint32_t now, int cap);

// The work done by a timer (empty puts its own work back): the reader's features give timers 3 to
// 10 theirs, and tests replace any.
void SetTimerWork(int index, std::function<void()> work);

// Test hooks: a clock of the test's own (empty puts the system's back), and a fresh state with the
// system's clock.
using TClock = std::function<uint32_t()>;
void SetClock(TClock clock);
void ResetTimers();

}  // namespace MyTime
