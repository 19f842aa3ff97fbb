// When the reader skips: while Ctrl is held, or from Tab until the next click or key. Reaching
// what skipping must not pass (an unseen line, a menu, the data menu, an error report, the story's
// stop) ends it, and held Ctrl skips again only once pressed again.
#pragma once

class TSkipping {
public:
    bool Active() const { return (CtrlHeld && !CtrlSpent) || TabOn; }

    void CtrlDown()
    {
        CtrlHeld = true;
        CtrlSpent = false;
    }
    void CtrlUp() { CtrlHeld = false; }
    // Tab starts skipping, and ends it as any other key does.
    void TabDown() { TabOn = !TabOn; }
    // A click or a key other than Ctrl and Tab.
    void Interrupt() { TabOn = false; }
    void Stop()
    {
        TabOn = false;
        CtrlSpent = true;
    }

private:
    bool CtrlHeld = false;
    bool CtrlSpent = false;
    bool TabOn = false;
};
