#pragma once

#include "platform/Control.h"

enum class TAlignment { LeftJustify, Center };

// A text label: no auto-size, no word wrap; CR LF starts a new line, "&" underlines.
class TLabel : public TControl {
public:
    using TControl::TControl;
    TControlKind Kind() const override { return TControlKind::Label; }

    TAlignment Alignment = TAlignment::LeftJustify;
};
