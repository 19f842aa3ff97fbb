#include "reader/Pacer.h"

#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Form.h"
#include "timing/MyTime.h"
#include "ui/Unit2.h"

#include <cstdio>
#include <vector>

namespace {

const std::string& ScriptLine(int64_t line) { return UnitRK::Rk.ScriptLines[line]; }

bool TimerOn(int index) { return MyTime::Intervals[index] > 0; }

}  // namespace

TPacer::TPacer(TForm1& form, const TPaceSettings& settings, std::string stateFolder, std::function<void()> modeChanged)
    : Form(form), Settings(settings), StateFolder(std::move(stateFolder)), ModeChanged(std::move(modeChanged))
{
    Auto.DelayMs = Settings.AutoDelayMs;
    Auto.PerCharMs = Settings.AutoPerCharMs;
    Bind();
}

TPacer::~TPacer()
{
    UnitRK::Events.LineShown = nullptr;
    UnitRK::Events.MenuShown = nullptr;
    Form.ReaderKeyDown = nullptr;
    Form.ReaderKeyUp = nullptr;
    Form.ReaderClick = nullptr;
    Application().ErrorReported = nullptr;
    for (int timer : {SkipTimer, AutoTimer, KeepTimer}) {
        MyTime::SetTimerInterval(timer, 0);
        MyTime::SetTimerWork(timer, nullptr);
    }
    Keep();
}

void TPacer::Bind()
{
    UnitRK::Events.LineShown = [this](int64_t line) { LineShown(line); };
    UnitRK::Events.MenuShown = [this](int64_t, int) { MenuShown(); };
    Form.ReaderKeyDown = [this](int key, bool repeat) { return KeyDown(key, repeat); };
    Form.ReaderKeyUp = [this](int key) { KeyUp(key); };
    Form.ReaderClick = [this](bool onChoice) { Clicked(onChoice); };
    // A report stops both: going on would only raise it again.
    Application().ErrorReported = [this] {
        Skip.Stop();
        SkipTimerFollows();
        SetAuto(false);
    };
    MyTime::SetTimerWork(SkipTimer, [this] { SkipStep(); });
    MyTime::SetTimerWork(AutoTimer, [this] { AutoStep(); });
    MyTime::SetTimerWork(KeepTimer, [this] {
        MyTime::SetTimerInterval(KeepTimer, 0);
        Keep();
    });
}

SeenLines::TSeenRecord& TPacer::Record()
{
    if (!Seen) {
        uint64_t story = SeenLines::StoryKey(ScriptLine, UnitRK::Rk.LineTotal);
        Seen = std::make_unique<SeenLines::TSeenRecord>(SeenLines::RecordPath(StateFolder, story));
    }
    return *Seen;
}

void TPacer::Keep()
{
    if (!Seen || !Seen->Unsaved())
        return;
    std::string problem;
    if (!Seen->Save(problem) && !KeepFailed) {
        KeepFailed = true;  // said once, not at every write
        std::fprintf(stderr, "zv_rk: what was seen is not kept: %s\n", problem.c_str());
    }
}

void TPacer::LineShown(int64_t line)
{
    // Asked before it is added: a record that is full stops growing, and what it does not hold
    // was still never seen.
    uint64_t key = SeenLines::LineKey(ScriptLine, line);
    bool seenBefore = Record().Contains(key);
    Record().Add(key);
    if (!seenBefore && !TimerOn(KeepTimer))
        MyTime::StartTimer(KeepTimer, KeepEveryMs);
    if (!seenBefore && !Settings.SkipUnseen) {
        Skip.Stop();
        SkipTimerFollows();
    }
    LastLineDelay = Auto.LineDelay(ScriptLine(line));
    if (Auto.On)
        MyTime::StartTimer(AutoTimer, LastLineDelay);
}

void TPacer::MenuShown()
{
    Skip.Stop();
    SkipTimerFollows();
    // Auto play waits for the choice; the line after it starts the clock again.
    MyTime::SetTimerInterval(AutoTimer, 0);
}

bool TPacer::StopWhileLookingBack()
{
    if (!LookingBack || !LookingBack())
        return false;
    Skip.Stop();
    SkipTimerFollows();
    SetAuto(false);
    return true;
}

bool TPacer::KeyDown(int key, bool repeat)
{
    if (StopWhileLookingBack())
        return false;
    if (key == Keys::Control || key == Keys::Tab) {
        if (!repeat && key == Keys::Tab)
            Skip.TabDown();
        if (!repeat && key == Keys::Control) {
            Skip.CtrlDown();
            if (Skip.Active() && !TimerOn(SkipTimer))
                MyTime::StartTimer(SkipTimer, CtrlFirstStepMs);
        }
        SkipTimerFollows();
        SetAuto(false);
        return true;
    }
    Skip.Interrupt();
    SkipTimerFollows();
    if (key == 'A') {
        if (!repeat)
            SetAuto(!Auto.On);
        return true;
    }
    SetAuto(false);
    return false;
}

void TPacer::KeyUp(int key)
{
    if (key != Keys::Control)
        return;
    Skip.CtrlUp();
    SkipTimerFollows();
}

void TPacer::Clicked(bool onChoice)
{
    Skip.Interrupt();
    SkipTimerFollows();
    // Choosing is what auto play waits for at a menu.
    if (!onChoice)
        SetAuto(false);
}

bool TPacer::DataMenuUp() const { return Form.Page2.Visible; }

// The step timer runs only while skipping, so the main loop sleeps as long as ever otherwise.
void TPacer::SkipTimerFollows()
{
    if (!Skip.Active())
        MyTime::SetTimerInterval(SkipTimer, 0);
    else if (!TimerOn(SkipTimer))
        MyTime::StartTimer(SkipTimer, SkipStepMs);
}

void TPacer::SkipStep()
{
    const UnitRK::TEngineState& rk = UnitRK::Rk;
    if (StopWhileLookingBack())
        return;
    if (Application().Terminated() || rk.Stopped || rk.Choosing || DataMenuUp())
        Skip.Stop();
    SkipTimerFollows();
    if (Skip.Active())
        MyTime::SetTimerInterval(SkipTimer, SkipStepMs);  // after Ctrl's longer first wait
    // The commands between lines go on by timer 2 as after a click; the next step waits for them.
    if (!Skip.Active() || rk.AutoNext)
        return;
    Form.StepStory();
}

void TPacer::SetAuto(bool on)
{
    if (on == Auto.On)
        return;
    Auto.On = on;
    if (!on)
        MyTime::SetTimerInterval(AutoTimer, 0);
    else if (!UnitRK::Rk.Choosing)
        MyTime::StartTimer(AutoTimer, LastLineDelay >= 0 ? LastLineDelay : Auto.DelayMs);
    if (ModeChanged)
        ModeChanged();
}

void TPacer::AutoStep()
{
    MyTime::SetTimerInterval(AutoTimer, 0);
    const UnitRK::TEngineState& rk = UnitRK::Rk;
    if (StopWhileLookingBack())
        return;
    // At the data menu, or where the story has stopped for good, there is nothing to go on to.
    if (DataMenuUp() || rk.Stopped) {
        SetAuto(false);
        return;
    }
    if (rk.Choosing || Application().Terminated())
        return;
    if (rk.AutoNext) {
        // The commands after a line are still going on: try again once they have.
        MyTime::StartTimer(AutoTimer, SkipStepMs);
        return;
    }
    Form.StepStory();
    // A line shown starts the clock again and a menu waits; a step that showed neither (a
    // command, a stop) is looked at again shortly.
    if (!TimerOn(AutoTimer) && !rk.Choosing)
        MyTime::StartTimer(AutoTimer, SkipStepMs);
}
