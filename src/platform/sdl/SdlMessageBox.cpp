#include "platform/sdl/SdlMessageBox.h"

#include "platform/Panel.h"
#include "platform/ShiftJis.h"
#include "platform/sdl/Icons.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int Margin = 12;
constexpr int IconSize = 32;
constexpr int ButtonWidth = 75, ButtonHeight = 23;
const TFont BoxFont{Colors::Black, 12, false};

bool Inside(const SDL_Rect& box, int x, int y)
{
    return x >= box.x && y >= box.y && x < box.x + box.w && y < box.y + box.h;
}

}  // namespace

void RetireWindow(SDL_Window* window)
{
    if (!window)
        return;
    SDL_HideWindow(window);
    // Only X has that second connection; a window drawn in memory goes at once.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0)
        SDL_Delay(15);
    SDL_DestroyWindow(window);
}

TMessageBoxLayout TSdlMessageBox::Layout(const std::string& textSjis, TMessageIcon icon)
{
    TMessageBoxLayout layout;
    auto lines = ParseCaption(textSjis, false);
    int textWidth = 0;
    for (const TTextLine& line : lines)
        textWidth = std::max(textWidth, Painter.TextPainter().LineWidth(line, BoxFont));
    int textHeight = int(lines.size()) * BoxFont.Height;
    int textLeft = Margin;
    int top = Margin;
    if (icon == TMessageIcon::Stop) {
        layout.Icon = {Margin, Margin, IconSize, IconSize};
        textLeft += IconSize + Margin;
    }
    int bodyHeight = std::max(textHeight, layout.Icon.h);
    layout.Text = {textLeft, top + (bodyHeight - textHeight) / 2, textWidth, textHeight};
    layout.Width = std::max(textLeft + textWidth + Margin, ButtonWidth + 2 * Margin + 60);
    layout.Button = {(layout.Width - ButtonWidth) / 2, top + bodyHeight + Margin, ButtonWidth, ButtonHeight};
    layout.Height = layout.Button.y + ButtonHeight + Margin;
    return layout;
}

void TSdlMessageBox::Draw(SDL_Window* box, const TMessageBoxLayout& layout, const std::string& textSjis, bool pressed)
{
    SDL_Surface* window = SDL_GetWindowSurface(box);
    if (!window)
        return;
    // Enlarged, the box is drawn at 1× and then scaled, as the main window is.
    Placed = CentredLayout(layout.Width, layout.Height, window->w, window->h, Scale);
    bool direct = Placed.Scale == 1 && Placed.Left == 0 && Placed.Top == 0;
    SDL_Surface* surface = direct
                               ? window
                               : SDL_CreateRGBSurfaceWithFormat(0, layout.Width, layout.Height,
                                                                window->format->BitsPerPixel, window->format->format);
    if (!surface)
        return;
    // The box as controls: a face with its OK button, always the focused default button.
    TPanel face("MessageBox");
    face.Width = surface->w;
    face.Height = surface->h;
    face.Color = Colors::ButtonFace;
    TButton ok("OK");
    ok.SetParent(&face);
    ok.Left = layout.Button.x;
    ok.Top = layout.Button.y;
    ok.Width = layout.Button.w;
    ok.Height = layout.Button.h;
    ok.Caption = "OK";
    ok.Font = BoxFont;
    Painter.Paint(surface, face, TButtonState{&ok, pressed ? &ok : nullptr});
    ok.SetParent(nullptr);

    if (layout.Icon.w > 0)
        DrawStopIcon(surface, layout.Icon.x, layout.Icon.y);
    SDL_Rect all{0, 0, surface->w, surface->h};
    Painter.TextPainter().Draw(surface, layout.Text, all, BoxFont, TAlignment::LeftJustify, textSjis, false);
    if (!direct) {
        PresentScaled(surface, window, Placed);
        SDL_FreeSurface(surface);
    }
    SDL_UpdateWindowSurface(box);
}

bool TSdlMessageBox::Handle(const SDL_Event& event, SDL_Window* box, const TMessageBoxLayout& layout, bool& pressed,
                            bool& quit)
{
    Uint32 boxId = SDL_GetWindowID(box);
    switch (event.type) {
    case SDL_QUIT:
        quit = true;
        return true;
    case SDL_WINDOWEVENT:
        if (event.window.windowID == boxId && event.window.event == SDL_WINDOWEVENT_CLOSE)
            return true;
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            if (event.window.windowID != boxId && Owner && event.window.windowID == SDL_GetWindowID(Owner))
                SDL_UpdateWindowSurface(Owner);  // the owner's surface still holds its last frame
        }
        return false;
    case SDL_KEYDOWN:
        if (event.key.windowID != boxId)
            return false;
        switch (event.key.keysym.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
        case SDLK_SPACE:
        case SDLK_ESCAPE:
            ClosedBy = event.key.keysym.sym;
            return true;
        default:
            return false;
        }
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.windowID == boxId && event.button.button == SDL_BUTTON_LEFT &&
            Inside(layout.Button, Placed.ToFrameX(event.button.x), Placed.ToFrameY(event.button.y)))
            pressed = true;
        return false;
    case SDL_MOUSEBUTTONUP:
        if (event.button.windowID == boxId && event.button.button == SDL_BUTTON_LEFT) {
            bool click =
                pressed && Inside(layout.Button, Placed.ToFrameX(event.button.x), Placed.ToFrameY(event.button.y));
            pressed = false;
            return click;
        }
        return false;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
        SDL_free(event.drop.file);  // the program's to free, though nothing takes it while the box is up
        return false;
    default:
        return false;
    }
}

void TSdlMessageBox::Run(const std::string& textSjis, const std::string& captionSjis, TMessageIcon icon)
{
    TMessageBoxLayout layout = Layout(textSjis, icon);
    Scale = std::clamp(Scale, 1, 64);
    SDL_Rect usable;
    if (Scale > 1 &&
        SDL_GetDisplayUsableBounds(Owner ? std::max(0, SDL_GetWindowDisplayIndex(Owner)) : 0, &usable) == 0)
        Scale = std::min(Scale, LargestFittingScale(layout.Width, layout.Height, usable.w, usable.h));
    int width = layout.Width * Scale, height = layout.Height * Scale;
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    if (Owner) {
        int ox = 0, oy = 0, ow = 0, oh = 0;
        SDL_GetWindowPosition(Owner, &ox, &oy);
        SDL_GetWindowSize(Owner, &ow, &oh);
        x = std::max(0, ox + (ow - width) / 2);
        y = std::max(0, oy + (oh - height) / 2);
    }
    SDL_Window* box = SDL_CreateWindow(Sjis::ToUtf8(captionSjis).c_str(), x, y, width, height, SDL_WINDOW_SKIP_TASKBAR);
    if (!box) {
        SDL_Log("%s: %s", Sjis::ToUtf8(captionSjis).c_str(), Sjis::ToUtf8(textSjis).c_str());
        return;
    }
    // Owned by the main window, so a window manager keeps it above the window it blocks.
    if (Owner)
        SDL_SetWindowModalFor(box, Owner);
    SDL_RaiseWindow(box);
    bool pressed = false, quit = false, wasPressed = false;
    Draw(box, layout, textSjis, pressed);
    if (Shown)
        Shown(box);
    SDL_Event event;
    while (SDL_WaitEvent(&event)) {
        if (event.type == SDL_WINDOWEVENT && event.window.windowID == SDL_GetWindowID(box) &&
            event.window.event == SDL_WINDOWEVENT_EXPOSED)
            Draw(box, layout, textSjis, pressed);
        if (Handle(event, box, layout, pressed, quit))
            break;
        if (pressed != wasPressed)
            Draw(box, layout, textSjis, pressed);
        wasPressed = pressed;
    }
    RetireWindow(box);
    if (quit) {
        SDL_Event again{};
        again.type = SDL_QUIT;
        SDL_PushEvent(&again);
    }
}
