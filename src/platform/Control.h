// Controls as plain objects: the properties the engine and the window read and write.
// Nothing here draws; the SDL layer draws the same objects.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using TColor = uint32_t;  // 0xRRGGBB

namespace Colors {
constexpr TColor Black = 0x000000;
constexpr TColor White = 0xFFFFFF;
constexpr TColor Fuchsia = 0xFF00FF;
constexpr TColor ButtonFace = 0xD4D0C8;  // the classic Windows button face
}  // namespace Colors

struct TFont {
    TColor Color = Colors::Black;
    int Height = 12;  // pixels
    bool Bold = false;
    bool operator==(const TFont&) const = default;
};

class TControl;
using TNotifyEvent = std::function<void(TControl& sender)>;

enum class TControlKind { Form, Panel, Label, Button, Image };

class TControl {
public:
    explicit TControl(std::string name) : Name(std::move(name)) {}
    virtual ~TControl() = default;
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    virtual TControlKind Kind() const = 0;

    std::string Name;
    int Tag = 0;
    bool Visible = true;  // the control's own flag, readable while a parent is hidden
    int Left = 0, Top = 0, Width = 0, Height = 0;
    TColor Color = Colors::ButtonFace;
    TFont Font;
    std::string Caption;  // Shift-JIS

    // Events; each may be empty.
    TNotifyEvent OnClick, OnDblClick, OnMouseMove, OnContextPopup;

    TControl* Parent() const { return ParentControl; }
    const std::vector<TControl*>& Children() const { return ChildControls; }

    // Makes `parent` own the place of this control in its child list (drawn in that order).
    void SetParent(TControl* parent);

    // Shown on screen: this control and every parent are visible.
    bool Showing() const;

    // Position relative to the outermost parent.
    int ScreenLeft() const;
    int ScreenTop() const;

    // This control or a descendant named `name`, or nullptr.
    TControl* FindControl(const std::string& name);

private:
    TControl* ParentControl = nullptr;
    std::vector<TControl*> ChildControls;
};

// Puts `control` on `parent` with the box given, as the form designer lays controls out.
void Place(TControl& control, TControl& parent, int left, int top, int width, int height);
