#pragma once

#include "platform/Control.h"

// The top-level window as a control: its client area is Width × Height.
class TForm : public TControl {
public:
    using TControl::TControl;
    TControlKind Kind() const override { return TControlKind::Form; }

    int WindowLeft = 0, WindowTop = 0;  // outer frame position on the screen
    TNotifyEvent OnPaint;
};
