#pragma once

#include "platform/Control.h"

enum class TBevel { None, Lowered };

class TPanel : public TControl {
public:
    using TControl::TControl;
    TControlKind Kind() const override { return TControlKind::Panel; }

    TBevel BevelOuter = TBevel::None;
};
