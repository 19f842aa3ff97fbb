// The main loop in simulated time: the test's clock only moves when the loop waits, so every
// firing time is exact and a loop that spins instead of waiting shows up as a count of passes.
#include "timing/MyTime.h"
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Errors.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using Strings = std::vector<std::string>;
using Times = std::vector<uint32_t>;

class TSimulatedBackend : public TUiBackend {
public:
    uint32_t Now = 0;
    int Passes = 0;
    int Boxes = 0;
    std::function<void(TApplication&)> OnCollect;

    void CollectEvents(TApplication& app) override
    {
        if (++Passes > 10000 && !app.Terminated())
            app.Terminate();  // a loop that spins never moves this clock: stop it
        if (OnCollect)
            OnCollect(app);
    }
    void WaitForEvent(int ms) override { Now += static_cast<uint32_t>(ms); }
    void Present() override {}
    void ShowMessageBox(const std::string&, const std::string&, TMessageIcon) override { ++Boxes; }
};

TEST(TimerArithmetic, FiresOnlyAfterMoreThanTheIntervalAlsoAcrossAWrap)
{
    EXPECT_FALSE(MyTime::TimerDue(100, 1000, 1100));  // exactly 100 ms
    EXPECT_TRUE(MyTime::TimerDue(100, 1000, 1101));
    EXPECT_FALSE(MyTime::TimerDue(0, 0, 50000));
    EXPECT_FALSE(MyTime::TimerDue(-5, 0, 50000));
    EXPECT_FALSE(MyTime::TimerDue(100, 0xFFFFFFD0u, 0x34u));  // 100 ms across the wrap
    EXPECT_TRUE(MyTime::TimerDue(100, 0xFFFFFFD0u, 0x35u));
    EXPECT_FALSE(MyTime::TimerDue(100, 5000, 4000));  // a clock that went back waits

    MyTime::ResetTimers();
    MyTime::Intervals[1] = 100;
    MyTime::Intervals[3] = 30;
    MyTime::LastFire[1] = MyTime::LastFire[3] = 1000;
    EXPECT_EQ(MyTime::MsUntilNextTimer(1000, 1000), 31);  // the wait ends on the due pass
    EXPECT_EQ(MyTime::MsUntilNextTimer(5000, 1000), 0);
    MyTime::Intervals[3] = 0;
    EXPECT_EQ(MyTime::MsUntilNextTimer(1000, 20), 20);
    MyTime::ResetTimers();
}

TEST(TimerArithmetic, IndicesOutsideOneToTenAreIgnored)
{
    MyTime::ResetTimers();
    MyTime::TimerInit();
    auto before = MyTime::Intervals;
    MyTime::SetTimerInterval(0, 50);
    MyTime::SetTimerInterval(11, 50);
    EXPECT_EQ(MyTime::Intervals, before);
    EXPECT_EQ(before[1], 100);
}

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application().Reset();
        Application().SetBackend(&Backend);
        MyTime::ResetTimers();
        MyTime::SetClock([this] { return Backend.Now; });
        MyMidi::MidiState = 0;
        MyMidi::SetMciSink([this](const std::string& command, char* reply, uint32_t length) -> uint32_t {
            Sent.push_back(command);
            if (reply)
                std::strncpy(reply, MusicMode.c_str(), length);
            return 0;
        });
        MyWave::SetSoundSink([this](const std::string& path, unsigned flags) {
            Sounds.push_back(path + " " + std::to_string(flags));
            return true;
        });
    }
    void TearDown() override
    {
        MyTime::ResetTimers();
        MyMidi::SetMciSink(nullptr);
        MyWave::SetSoundSink(nullptr);
        UnitRK::Services = UnitRK::IdleServices();
        Application().SetBackend(nullptr);
        Application().Reset();
    }
    void Record(int timer, Times& at)
    {
        MyTime::SetTimerWork(timer, [this, &at] { at.push_back(Backend.Now); });
    }
    // A window message requesting termination once the clock reaches `when`.
    void QuitAt(uint32_t when)
    {
        Backend.OnCollect = [this, when](TApplication& app) {
            if (static_cast<int32_t>(Backend.Now - when) >= 0 && !app.Terminated())
                app.Terminate();
        };
    }

    TSimulatedBackend Backend;
    Strings Sent, Sounds;
    std::string MusicMode = "playing";
};

TEST_F(MainLoopTest, TimersFireEvery101MsAcrossAClockWrapWithoutSpinning)
{
    const uint32_t t0 = 0xFFFFFE00u;  // wraps 512 ms into the run
    Backend.Now = t0;
    MyTime::TimerInit();
    MyTime::SetTimerInterval(2, 100);
    MyTime::SetTimerInterval(5, 250);
    Times t1, t2, t5;
    Record(1, t1);
    Record(2, t2);
    Record(5, t5);
    QuitAt(t0 + 1000);
    MyTime::MainLoop();

    Times expected;
    for (uint32_t k = 1; k <= 9; ++k)
        expected.push_back(t0 + 101 * k);
    EXPECT_EQ(t1, expected);
    EXPECT_EQ(t2, expected);
    // The pass at 1004 takes the quit message and still runs the timers due in it.
    EXPECT_EQ(t5, (Times{t0 + 251, t0 + 502, t0 + 753, t0 + 1004}));
    EXPECT_LE(Backend.Passes, 16);  // one pass per firing time: the loop slept in between
}

TEST_F(MainLoopTest, EndOfRunSilencesEverythingAndTheLoopRunsOnce)
{
    MyTime::TimerInit();
    MyMidi::MidiPlay("dat\\bgm.mid", true);
    Sent.clear();
    Application().Terminate();
    MyTime::MainLoop();
    EXPECT_EQ(Sounds, Strings{" 3"});
    EXPECT_EQ(Sent, Strings{"close Midi1"});
    EXPECT_EQ(Backend.Passes, 1);
    Application().Reset();
    MyTime::MainLoop();  // a later paint
    EXPECT_EQ(Backend.Passes, 1);
}

TEST_F(MainLoopTest, TerminateFromTimerWorkEndsTheLoopOnTheNextPassWithoutWaiting)
{
    MyTime::TimerInit();
    MyTime::SetTimerInterval(2, 100);
    MyTime::SetTimerWork(2, [] { Application().Terminate(); });
    MyTime::MainLoop();
    EXPECT_EQ(Backend.Passes, 3);  // 0, 101 (the request), 101 (the quit message)
    EXPECT_EQ(Backend.Now, 101u);
}

TEST_F(MainLoopTest, AnErrorInTimerWorkIsReportedOncePerPeriodAndTheLoopGoesOn)
{
    MyTime::TimerInit();
    MyTime::SetTimerInterval(2, 100);
    Times t1;
    Record(1, t1);
    MyTime::SetTimerWork(2, [] { throw ERangeError(); });
    QuitAt(450);
    MyTime::MainLoop();
    EXPECT_EQ(Backend.Boxes, 5);  // 101 to 505
    EXPECT_EQ(t1.size(), 5u);
    EXPECT_EQ(Sent, Strings{"close Midi1"});  // and the end still silenced
}

TEST_F(MainLoopTest, StoppedMusicIsRestartedAndClosedMusicIsNoLongerPolled)
{
    MyTime::TimerInit();
    MyMidi::MidiPlay("dat\\bgm.mid", true);
    UnitRK::Services.MidiClose = MyMidi::MidiClose;
    Backend.OnCollect = [this](TApplication& app) {
        if (Backend.Now == 202)
            MusicMode = "stopped";  // the piece ended between the first and second poll
        if (Backend.Now == 303)
            UnitRK::PlayMusic("");  // "#Midi" alone
        if (Backend.Now >= 606)
            app.Terminate();
    };
    Sent.clear();
    MyTime::MainLoop();
    EXPECT_EQ(Sent,
              (Strings{"status Midi1 mode", "status Midi1 mode", "play Midi1 from 0", "close Midi1", "close Midi1"}));
}

TEST_F(MainLoopTest, PendingStoryStepRunsWhenTimer2Fires)
{
    UnitRK::Rk = UnitRK::TEngineState{};  // no script: the step ends the run
    MyTime::TimerInit();
    MyTime::SetTimerInterval(2, 100);
    MyTime::SetTimerInterval(3, 50);  // gives the loop a pass at 51
    Backend.OnCollect = [this](TApplication& app) {
        if (Backend.Now == 51)
            UnitRK::Rk.AutoNext = true;  // as "#Cg" leaves it
        if (Backend.Now > 1000 && !app.Terminated())
            app.Terminate();  // the step never ran: end the test anyway
    };
    MyTime::MainLoop();
    EXPECT_FALSE(UnitRK::Rk.AutoNext);
    EXPECT_EQ(Backend.Now, 101u);
}

}  // namespace
