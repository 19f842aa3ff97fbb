#include "platform/Control.h"

#include <algorithm>

void TControl::SetParent(TControl* parent)
{
    if (ParentControl) {
        auto& siblings = ParentControl->ChildControls;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    ParentControl = parent;
    if (parent)
        parent->ChildControls.push_back(this);
}

bool TControl::Showing() const
{
    for (const TControl* c = this; c; c = c->ParentControl)
        if (!c->Visible)
            return false;
    return true;
}

int TControl::ScreenLeft() const { return Left + (ParentControl ? ParentControl->ScreenLeft() : 0); }

int TControl::ScreenTop() const { return Top + (ParentControl ? ParentControl->ScreenTop() : 0); }

TControl* TControl::FindControl(const std::string& name)
{
    if (Name == name)
        return this;
    for (TControl* child : ChildControls)
        if (TControl* found = child->FindControl(name))
            return found;
    return nullptr;
}

void Place(TControl& control, TControl& parent, int left, int top, int width, int height)
{
    control.SetParent(&parent);
    control.Left = left;
    control.Top = top;
    control.Width = width;
    control.Height = height;
}
