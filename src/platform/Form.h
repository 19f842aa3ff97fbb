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
constexpr int PageUp = 0x21;
constexpr int PageDown = 0x22;
constexpr int Left = 0x25;
constexpr int Up = 0x26;
constexpr int Right = 0x27;
constexpr int Down = 0x28;
constexpr int F1 = 0x70;
constexpr int F5 = 0x74;
constexpr int F12 = 0x7B;
// Not keys of their own: Ctrl+C, the mouse wheel, and (for the reader, which sees them first)
// a click and a context-menu request on the game page.
constexpr int CopyText = 0x10043;
constexpr int WheelUp = 0x10100;
constexpr int WheelDown = 0x10101;
constexpr int Click = 0x10200;
constexpr int ContextMenu = 0x10201;
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
    // and the arrows, Space and Return while a button has the focus), without Ctrl or Alt; Ctrl
    // alone; Ctrl+C and the wheel as their codes in Keys.
    TKeyEvent OnKeyDown;
    // Only Ctrl's release, when no Ctrl key is left down, or when another key pressed with it makes
    // a command of it (`repeat` is always false).
    TKeyEvent OnKeyUp;
};
