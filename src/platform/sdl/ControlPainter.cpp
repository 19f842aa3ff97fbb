#include "platform/sdl/ControlPainter.h"

#include "platform/Application.h"
#include "platform/Label.h"
#include "platform/Panel.h"

#include <algorithm>

namespace {

Uint32 MapColor(SDL_Surface* target, TColor color)
{
    return SDL_MapRGB(target->format, Uint8(color >> 16), Uint8(color >> 8), Uint8(color));
}

bool IsWindowed(const TControl& control)
{
    return control.Kind() == TControlKind::Panel || control.Kind() == TControlKind::Button;
}

}  // namespace

void FillBox(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip, TColor color)
{
    SDL_Rect area;
    if (SDL_IntersectRect(&box, &clip, &area))
        SDL_FillRect(target, &area, MapColor(target, color));
}

void DrawBevel(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip, TColor topLeft, TColor bottomRight)
{
    if (box.w <= 0 || box.h <= 0)
        return;
    FillBox(target, {box.x, box.y, box.w, 1}, clip, topLeft);
    FillBox(target, {box.x, box.y, 1, box.h}, clip, topLeft);
    FillBox(target, {box.x, box.y + box.h - 1, box.w, 1}, clip, bottomRight);
    FillBox(target, {box.x + box.w - 1, box.y, 1, box.h}, clip, bottomRight);
}

void DrawFocusRect(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip)
{
    auto dot = [&](int x, int y) {
        if ((x + y) % 2 == 0)
            FillBox(target, {x, y, 1, 1}, clip, Colors::Black);
    };
    for (int x = box.x; x < box.x + box.w; ++x) {
        dot(x, box.y);
        dot(x, box.y + box.h - 1);
    }
    for (int y = box.y; y < box.y + box.h; ++y) {
        dot(box.x, y);
        dot(box.x + box.w - 1, y);
    }
}

std::vector<TControl*> TControlPainter::PaintOrder(const TControl& parent)
{
    std::vector<TControl*> order;
    for (TControl* child : parent.Children())
        if (!IsWindowed(*child))
            order.push_back(child);
    for (TControl* child : parent.Children())
        if (IsWindowed(*child))
            order.push_back(child);
    return order;
}

std::vector<std::exception_ptr> TControlPainter::PreparePictures(TControl& root)
{
    Pictures.clear();
    std::vector<std::exception_ptr> failures;
    CollectPictures(root, failures);
    return failures;
}

void TControlPainter::CollectPictures(TControl& root, std::vector<std::exception_ptr>& failures)
{
    if (!root.Visible)
        return;
    if (root.Kind() == TControlKind::Image) {
        auto& image = static_cast<TImage&>(root);
        const TRgbImage* pixels = nullptr;
        if (image.Picture()) {
            try {
                pixels = &image.Picture()->Render();
            } catch (const std::exception&) {
                failures.push_back(std::current_exception());
                // A picture raises only from its first decoding; asked again, it gives the part
                // decoded before the error.
                try {
                    pixels = &image.Picture()->Render();
                } catch (const std::exception&) {
                    pixels = nullptr;
                }
            }
        }
        Pictures[&image] = pixels;
    }
    for (TControl* child : root.Children())
        CollectPictures(*child, failures);
}

void TControlPainter::Paint(SDL_Surface* target, TControl& root, const TButtonState& buttons)
{
    SDL_Rect clip{0, 0, target->w, target->h};
    PaintControl(target, root, 0, 0, clip, buttons);
    SDL_SetClipRect(target, nullptr);
}

void TControlPainter::PaintControl(SDL_Surface* target, TControl& control, int x, int y, const SDL_Rect& parentClip,
                                   const TButtonState& buttons)
{
    if (!control.Visible)
        return;
    // A size from a save slot may be anything; past the window it makes no difference, and a
    // negative one draws nothing.
    constexpr int MaxExtent = 1 << 15;
    SDL_Rect box{x, y, std::clamp(control.Width, 0, MaxExtent), std::clamp(control.Height, 0, MaxExtent)};
    SDL_Rect clip;
    if (!SDL_IntersectRect(&box, &parentClip, &clip))
        return;
    switch (control.Kind()) {
    case TControlKind::Form:
        FillBox(target, box, clip, control.Color);
        break;
    case TControlKind::Panel:
        PaintPanel(target, control, box, clip);
        break;
    case TControlKind::Label:
        FillBox(target, box, clip, control.Color);
        Text.Draw(target, box, clip, control.Font, static_cast<const TLabel&>(control).Alignment, control.Caption);
        break;
    case TControlKind::Button:
        PaintButton(target, static_cast<const TButton&>(control), box, clip, buttons);
        break;
    case TControlKind::Image:
        PaintImage(target, static_cast<TImage&>(control), box, clip);
        break;
    }
    for (TControl* child : PaintOrder(control))
        PaintControl(target, *child, x + child->Left, y + child->Top, clip, buttons);
}

void TControlPainter::PaintPanel(SDL_Surface* target, const TControl& panel, const SDL_Rect& box, const SDL_Rect& clip)
{
    FillBox(target, box, clip, panel.Color);
    if (static_cast<const TPanel&>(panel).BevelOuter == TBevel::Lowered)
        DrawBevel(target, box, clip, SystemColors::Shadow3D, SystemColors::Highlight3D);
}

void TControlPainter::PaintButton(SDL_Surface* target, const TButton& button, const SDL_Rect& box, const SDL_Rect& clip,
                                  const TButtonState& buttons)
{
    using namespace SystemColors;
    bool pressed = buttons.Pressed == &button;
    bool focused = buttons.Focused == &button;
    FillBox(target, box, clip, button.Color);
    SDL_Rect inner = box;
    if (focused || pressed) {
        // The focused button is the default one: a black frame around the bevel.
        DrawBevel(target, inner, clip, Colors::Black, Colors::Black);
        inner = {inner.x + 1, inner.y + 1, inner.w - 2, inner.h - 2};
    }
    if (pressed) {
        DrawBevel(target, inner, clip, Shadow3D, Shadow3D);
    } else {
        DrawBevel(target, inner, clip, Highlight3D, DarkShadow3D);
        DrawBevel(target, {inner.x + 1, inner.y + 1, inner.w - 2, inner.h - 2}, clip, Light3D, Shadow3D);
    }
    int shift = pressed ? 1 : 0;
    SDL_Rect textBox{box.x + shift, box.y + (box.h - button.Font.Height) / 2 + shift, box.w, button.Font.Height};
    SDL_Rect textClip{box.x + 2, box.y + 2, box.w - 4, box.h - 4};
    SDL_Rect area;
    if (SDL_IntersectRect(&textClip, &clip, &area))
        Text.Draw(target, textBox, area, button.Font, TAlignment::Center, button.Caption);
    if (focused)
        DrawFocusRect(target, {box.x + 4, box.y + 4, box.w - 8, box.h - 8}, clip);
}

void TControlPainter::PaintImage(SDL_Surface* target, TImage& image, const SDL_Rect& box, const SDL_Rect& clip)
{
    auto found = Pictures.find(&image);
    const TRgbImage* pixels = found == Pictures.end() ? nullptr : found->second;
    if (!pixels || pixels->Width <= 0 || pixels->Height <= 0 ||
        pixels->Pixels.size() < size_t(pixels->Width) * size_t(pixels->Height))
        return;
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels->Pixels.data()), pixels->Width, pixels->Height,
                                           32, pixels->Width * 4, SDL_PIXELFORMAT_XRGB8888);
    if (!source)
        return;
    SDL_SetClipRect(target, &clip);
    SDL_Rect where{box.x + pixels->Left, box.y + pixels->Top, pixels->Width, pixels->Height};
    SDL_BlitSurface(source, nullptr, target, &where);
    SDL_SetClipRect(target, nullptr);
    SDL_FreeSurface(source);
}
