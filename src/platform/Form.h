#pragma once

#include "platform/Control.h"

#include <functional>

// Key codes as the form receives them: the window system's keys by their meaning. Letters and
// digits are their upper-case characters ('M', '1').
namespace Keys {
constexpr int Tab = 0x09;
constexpr int Return = 0x0D;
constexpr int Control = 0x11;  // either Ctrl key, alone
constexpr int Space = 0x20;
constexpr int PageDown = 0x22;
constexpr int Up = 0x26;
constexpr int Down = 0x28;
constexpr int F5 = 0x74;
}  // namespace Keys

using TKeyEvent = std::function<void(TControl& sender, int key, bool repeat)>;

// The top-level window as a control: its client area is Width × Height.
class TForm : public TControl {
public:
    using TControl::TControl;
    TControlKind Kind() const override { return TControlKind::Form; }

    int WindowLeft = 0, WindowTop = 0;  // outer frame position on the screen
    TNotifyEvent OnPaint;
    // Keys the window does not use itself (it keeps Tab while there are buttons to move between,
    // and the arrows, Space and Return while a button has the focus), without Ctrl or Alt; and
    // Ctrl alone.
    TKeyEvent OnKeyDown;
    // Only Ctrl's release, when no Ctrl key is left down, or when another key pressed with it makes
    // a command of it (`repeat` is always false).
    TKeyEvent OnKeyUp;
};
