#pragma once

#include "platform/Control.h"

// A push button; TabOrder places it in the keyboard order of its parent.
class TButton : public TControl {
public:
    using TControl::TControl;
    TControlKind Kind() const override { return TControlKind::Button; }

    int TabOrder = 0;
};
