// Draws a tree of controls onto a 32-bit surface the way the classic Windows controls look:
// flat or lowered panels, labels, 3D push buttons and pictures, each clipped by its parents.
#pragma once

#include "platform/Button.h"
#include "platform/Control.h"
#include "platform/Image.h"
#include "platform/sdl/LabelText.h"

#include <SDL.h>

#include <exception>
#include <map>
#include <vector>

namespace SystemColors {
constexpr TColor Highlight3D = 0xFFFFFF;
constexpr TColor Shadow3D = 0x808080;
constexpr TColor DarkShadow3D = 0x404040;
constexpr TColor Light3D = 0xD4D0C8;
}  // namespace SystemColors

// What a button looks like besides its own properties.
struct TButtonState {
    const TButton* Focused = nullptr;
    const TButton* Pressed = nullptr;
};

class TControlPainter {
public:
    explicit TControlPainter(TFontCache& fonts) : Text(fonts) {}

    // Decodes the pictures of every showing picture control and gives the errors of those that
    // failed at this, their first decoding. Such a picture is drawn with what was decoded before
    // the error; the caller reports the errors once the frame is on screen.
    std::vector<std::exception_ptr> PreparePictures(TControl& root);

    TTextPainter& TextPainter() { return Text; }

    // Paints `root` (at 0, 0) and everything showing inside it.
    void Paint(SDL_Surface* target, TControl& root, const TButtonState& buttons);

    // Children in drawing order: text and pictures first, then windowed controls, each group in
    // creation order (the last drawn is the topmost).
    static std::vector<TControl*> PaintOrder(const TControl& parent);

private:
    void PaintControl(SDL_Surface* target, TControl& control, int x, int y, const SDL_Rect& clip,
                      const TButtonState& buttons);
    void PaintPanel(SDL_Surface* target, const TControl& panel, const SDL_Rect& box, const SDL_Rect& clip);
    void PaintButton(SDL_Surface* target, const TButton& button, const SDL_Rect& box, const SDL_Rect& clip,
                     const TButtonState& buttons);
    void CollectPictures(TControl& control, std::vector<std::exception_ptr>& failures);
    void PaintImage(SDL_Surface* target, TImage& image, const SDL_Rect& box, const SDL_Rect& clip);

    TTextPainter Text;
    std::map<const TImage*, const TRgbImage*> Pictures;
};

// Drawing helpers; every one clips to `clip`.
void FillBox(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip, TColor color);
// A one-pixel frame: top and left edges in `topLeft`, bottom and right in `bottomRight`.
void DrawBevel(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip, TColor topLeft, TColor bottomRight);
// A dotted rectangle, every other pixel set.
void DrawFocusRect(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip);
