// The main window: SDL's video started, the window opened at its view, and message boxes over it.
#include "platform/sdl/SdlBackend.h"

#include "platform/Errors.h"
#include "platform/ShiftJis.h"
#include "platform/sdl/Icons.h"
#include "platform/sdl/SdlMessageBox.h"
#include "platform/sdl/VideoStart.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Two presses make a double click only within the 4 × 4 pixels Windows allows, not SDL's default
// 32-pixel radius: a choice picked just after a click elsewhere is a click. In form pixels: an
// enlarged window widens it by its scale.
constexpr int DoubleClickRadius = 2;

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// The drivers of the window systems the environment names, in SDL's own order.
const char* WindowSystemDrivers()
{
    bool x11 = IsSet("DISPLAY"), wayland = IsSet("WAYLAND_DISPLAY");
    return x11 && !wayland ? "x11" : wayland && !x11 ? "wayland" : "x11,wayland";
}

// The display the window system was asked for, as the person set it.
std::string DisplayName()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (IsSet(name))
            return std::getenv(name);
    return "(none set)";
}

}  // namespace

void TSdlBackend::SetDoubleClickRadius(int scale)
{
    SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, std::to_string(DoubleClickRadius * scale).c_str());
}

std::string TSdlBackend::MissingDisplayReason()
{
    if (IsSet("SDL_VIDEODRIVER") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"))
        return "";
    return "no display: DISPLAY is not set (set SDL_VIDEODRIVER=offscreen to run without one)";
}

// Starts SDL's video before the fonts are opened; gives the face the controls are drawn in.
std::string TSdlBackend::StartVideo()
{
    // The window surface would otherwise sit on an OpenGL context: 150-200 ms for the first
    // frame instead of 2-3 ms.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SetDoubleClickRadius(1);
    // Collecting events takes all that are waiting: without this SDL ends a poll at a marker
    // left by an earlier wait, and a quit put back after a message box would wait a pass.
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    // Only the main window's close button ends the program: while an error report is the one
    // window on screen (an error during start-up), closing it by its title bar must not.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Left to itself, SDL takes the first driver that starts, and when the window system refuses
    // the connection (an X server that is resetting, one that is gone) that is "offscreen": the
    // story would play in memory, seen by nobody, until someone kills it. Only the drivers that put
    // a window on a screen may start, in SDL's own order, so that the person hears why instead.
    bool windowSystem = !IsSet("SDL_VIDEODRIVER");
    if (windowSystem)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, WindowSystemDrivers());
    if (StartVideoSubsystem() != 0) {
        if (windowSystem)
            throw Exception(Sjis::FromUtf8("cannot open display " + DisplayName() + " (" + SDL_GetError() + ")"));
        throw Exception(Sjis::FromUtf8(std::string("SDL video: ") + SDL_GetError()));
    }
    return "IPAPGothic";  // stands in for the Windows face the story was made with
}

TSdlBackend::TSdlBackend() : Fonts(StartVideo()) {}

TSdlBackend::~TSdlBackend()
{
    CloseWindow();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void TSdlBackend::OpenWindow(TForm& form, const TView& view)
{
    CloseWindow();
    Form = &form;
    MainWindow = SDL_CreateWindow(Sjis::ToUtf8(form.Caption).c_str(), form.WindowLeft, form.WindowTop,
                                  std::max(1, form.Width), std::max(1, form.Height), SDL_WINDOW_HIDDEN);
    if (!MainWindow)
        throw Exception(Sjis::FromUtf8(std::string("SDL window: ") + SDL_GetError()));
    if (SDL_Surface* icon = CreateWindowIcon()) {
        SDL_SetWindowIcon(MainWindow, icon);
        SDL_FreeSurface(icon);
    }
    CurrentView = TView{};
    if (view != TView{}) {
        CurrentView = view;
        ApplyView();
    }
    SDL_ShowWindow(MainWindow);
    Dirty = true;
    // Showing a window paints it.
    Application().Post({TMessageKind::Paint, Form});
}

void TSdlBackend::CloseWindow()
{
    RetireWindow(MainWindow);
    MainWindow = nullptr;
    Form = nullptr;
    for (SDL_Surface** frame : {&Frame, &LastFrame}) {
        if (*frame)
            SDL_FreeSurface(*frame);
        *frame = nullptr;
    }
    Shown = TFrameLayout{};
    ShownWidth = ShownHeight = 0;
    MouseDownOn = nullptr;
    Captured = nullptr;
    Pressed = Focused = nullptr;
}

void TSdlBackend::SetTitle(const std::string& utf8)
{
    if (MainWindow)
        SDL_SetWindowTitle(MainWindow, utf8.c_str());
}

void TSdlBackend::SetView(const TView& view)
{
    CurrentView = view;
    ApplyView();
}

void TSdlBackend::ApplyView()
{
    if (!MainWindow || !Form)
        return;
    if (CurrentView.Scale <= 0)
        CurrentView.Scale = AutoScale();
    CurrentView.Scale = std::clamp(CurrentView.Scale, 1, TView::MaxScale);
    SDL_SetWindowFullscreen(MainWindow, CurrentView.FullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (!CurrentView.FullScreen) {
        int width = std::max(1, Form->Width) * CurrentView.Scale,
            height = std::max(1, Form->Height) * CurrentView.Scale;
        SDL_SetWindowSize(MainWindow, width, height);
        // An enlarged window is moved, if need be, so that as much of it as can be is on its display.
        SDL_Rect usable;
        if (CurrentView.Scale > 1 &&
            SDL_GetDisplayUsableBounds(std::max(0, SDL_GetWindowDisplayIndex(MainWindow)), &usable) == 0) {
            int x = 0, y = 0;
            SDL_GetWindowPosition(MainWindow, &x, &y);
            int fitX = std::max(usable.x, std::min(x, usable.x + usable.w - width));
            int fitY = std::max(usable.y, std::min(y, usable.y + usable.h - height));
            if (fitX != x || fitY != y)
                SDL_SetWindowPosition(MainWindow, fitX, fitY);
        }
    }
    Dirty = true;
}

int TSdlBackend::AutoScale() const
{
    SDL_Rect bounds;
    if (!Form || SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(MainWindow)), &bounds) != 0)
        return 1;
    return std::clamp(bounds.h / 2 / std::max(1, Form->Height), 1, TView::MaxScale);
}

int TSdlBackend::LargestScaleOnDisplay() const
{
    SDL_Rect usable;
    if (!Form || SDL_GetDisplayUsableBounds(std::max(0, SDL_GetWindowDisplayIndex(MainWindow)), &usable) != 0)
        return TView::MaxScale;
    return LargestFittingScale(Form->Width, Form->Height, usable.w, usable.h);
}

void TSdlBackend::ChangeView(const TView& view)
{
    if (view == CurrentView)
        return;
    CurrentView = view;
    ApplyView();
    if (ViewChanged)
        ViewChanged(CurrentView);
}

void TSdlBackend::ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon)
{
    // Before the window opens (an error while the form is created), at the scale it will have.
    int scale = MainWindow ? Shown.Scale : std::max(1, CurrentView.Scale);
    TSdlMessageBox box(Painter, MainWindow, scale);
    box.Shown = MessageBoxShown;
    box.Run(text, caption, icon);
    HeldFromBox = {box.ClosingKey(), SDL_GetTicks() + THeldKey::RepeatGapMs};
    // Presses that began before the box opened must not end in a click afterwards.
    MouseDownOn = nullptr;
    Captured = nullptr;
    Pressed = nullptr;
    Dirty = true;
}
