#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"

#include <memory>

// A picture control. With AutoSize, its size follows the picture as soon as one is set;
// an empty picture leaves the size unchanged.
class TImage : public TControl {
public:
    using TControl::TControl;
    TControlKind Kind() const override { return TControlKind::Image; }

    bool AutoSize = true;

    const std::shared_ptr<TGraphic>& Picture() const { return Graphic; }
    void SetPicture(std::shared_ptr<TGraphic> graphic)
    {
        Graphic = std::move(graphic);
        if (AutoSize && Graphic) {
            Width = Graphic->Width();
            Height = Graphic->Height();
        }
    }

private:
    std::shared_ptr<TGraphic> Graphic;
};
