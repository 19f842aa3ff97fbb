#include "platform/sdl/SdlBackend.h"

#include "platform/Errors.h"
#include "platform/Image.h"
#include "platform/Label.h"
#include "platform/Panel.h"
#include "platform/ShiftJis.h"
#include "platform/sdl/Icons.h"
#include "platform/sdl/SdlMessageBox.h"
#include "platform/sdl/VideoStart.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

bool Contains(const TControl& control, int x, int y)
{
    // Sizes can come from a save slot, so they may be anything: no sum may overflow.
    int64_t left = control.ScreenLeft(), top = control.ScreenTop();
    return x >= left && y >= top && x < left + control.Width && y < top + control.Height;
}

// The deepest showing control under x, y inside `control` (whose own box holds the point).
TControl* HitTest(TControl& control, int x, int y)
{
    auto order = TControlPainter::PaintOrder(control);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        TControl* child = *it;
        if (child->Visible && Contains(*child, x, y))
            return HitTest(*child, x, y);
    }
    return &control;
}

void CollectButtons(const TControl& parent, std::vector<TButton*>& out)
{
    std::vector<TButton*> buttons;
    for (TControl* child : parent.Children())
        if (child->Kind() == TControlKind::Button)
            buttons.push_back(static_cast<TButton*>(child));
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const TButton* a, const TButton* b) { return a->TabOrder < b->TabOrder; });
    for (TButton* button : buttons)
        if (button->Showing())
            out.push_back(button);
    for (TControl* child : parent.Children())
        if (child->Kind() != TControlKind::Button)
            CollectButtons(*child, out);
}

// The first showing control, in drawing order from the back, that answers a context-menu request.
TControl* FirstContextTarget(TControl& control)
{
    if (!control.Visible)
        return nullptr;
    if (control.OnContextPopup)
        return &control;
    for (TControl* child : TControlPainter::PaintOrder(control))
        if (TControl* target = FirstContextTarget(*child))
            return target;
    return nullptr;
}

void AppendSnapshot(const TControl& control, std::string& out)
{
    out += std::to_string(int(control.Kind())) + ',' + (control.Visible ? '1' : '0') + ',' +
           std::to_string(control.Left) + ',' + std::to_string(control.Top) + ',' + std::to_string(control.Width) +
           ',' + std::to_string(control.Height) + ',' + std::to_string(control.Color) + ',' +
           std::to_string(control.Font.Color) + ',' + std::to_string(control.Font.Height) +
           (control.Font.Bold ? 'b' : 'r') + ',';
    out += control.Caption;
    out += '\0';
    if (control.Kind() == TControlKind::Label)
        out += std::to_string(int(static_cast<const TLabel&>(control).Alignment));
    if (control.Kind() == TControlKind::Image)
        out += std::to_string(reinterpret_cast<uintptr_t>(static_cast<const TImage&>(control).Picture().get()));
    out += '{';
    for (const TControl* child : control.Children())
        AppendSnapshot(*child, out);
    out += '}';
}

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
    // Two presses make a double click only within the 4 × 4 pixels Windows allows, not SDL's
    // default 32-pixel radius: a choice picked just after a click elsewhere is a click.
    SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, "2");
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

void TSdlBackend::OpenWindow(TForm& form)
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
    MouseDownOn = nullptr;
    Captured = nullptr;
    Pressed = Focused = nullptr;
}

TControl* TSdlBackend::ControlAt(int x, int y) const
{
    if (!Form || !Form->Visible || !Contains(*Form, x, y))
        return nullptr;
    return HitTest(*Form, x, y);
}

std::vector<TButton*> TSdlBackend::TabOrder() const
{
    std::vector<TButton*> buttons;
    if (Form)
        CollectButtons(*Form, buttons);
    return buttons;
}

void TSdlBackend::CollectEvents(TApplication& app)
{
    if (Held) {
        SDL_Event event = *Held;
        Held.reset();
        Handle(event, app);
    }
    SDL_Event event;
    while (SDL_PollEvent(&event))
        Handle(event, app);
}

void TSdlBackend::WaitForEvent(int ms)
{
    if (Held)
        return;
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, std::max(0, ms)))
        Held = event;
}

void TSdlBackend::RequestQuit(TApplication& app)
{
    if (QuitRequested)
        return;
    QuitRequested = true;
    app.Terminate();
}

void TSdlBackend::Handle(const SDL_Event& event, TApplication& app)
{
    Uint32 mainId = MainWindow ? SDL_GetWindowID(MainWindow) : 0;
    switch (event.type) {
    case SDL_QUIT:
        RequestQuit(app);
        break;
    case SDL_WINDOWEVENT:
        if (event.window.windowID == mainId)
            HandleWindowEvent(event.window, app);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.windowID == mainId)
            HandleButtonDown(event.button, app);
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.windowID == mainId)
            HandleButtonUp(event.button, app);
        break;
    case SDL_MOUSEMOTION:
        if (event.motion.windowID == mainId)
            HandleMotion(event.motion, app);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (event.key.windowID == mainId)
            HandleKey(event.key, app);
        break;
    default:
        break;
    }
}

void TSdlBackend::HandleWindowEvent(const SDL_WindowEvent& event, TApplication& app)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
        Dirty = true;
        if (Form)
            app.Post({TMessageKind::Paint, Form});
        break;
    case SDL_WINDOWEVENT_CLOSE:
        RequestQuit(app);
        break;
    default:
        break;
    }
}

void TSdlBackend::HandleButtonDown(const SDL_MouseButtonEvent& event, TApplication& app)
{
    if (event.button != SDL_BUTTON_LEFT)
        return;
    TControl* target = ControlAt(event.x, event.y);
    if (!target)
        return;
    if (target->Kind() == TControlKind::Button) {
        // A push button takes the focus and shows pushed in while the mouse holds it.
        Captured = static_cast<TButton*>(target);
        Pressed = Focused = Captured;
        return;
    }
    // The second press of a double click is a double click, not a click: each press of the
    // button is still one event to the control.
    if (event.clicks >= 2 && event.clicks % 2 == 0) {
        MouseDownOn = nullptr;
        app.Post({TMessageKind::DblClick, target});
        return;
    }
    MouseDownOn = target;
}

void TSdlBackend::HandleButtonUp(const SDL_MouseButtonEvent& event, TApplication& app)
{
    if (event.button == SDL_BUTTON_RIGHT) {
        // Asked of the control under the mouse, or of the nearest parent that answers it.
        for (TControl* target = ControlAt(event.x, event.y); target; target = target->Parent())
            if (target->OnContextPopup) {
                app.Post({TMessageKind::ContextPopup, target});
                break;
            }
        return;
    }
    if (event.button != SDL_BUTTON_LEFT)
        return;
    if (Captured) {
        TButton* button = Captured;
        Captured = nullptr;
        Pressed = nullptr;
        if (button->Showing() && Contains(*button, event.x, event.y))
            app.Post({TMessageKind::Click, button});
        return;
    }
    TControl* down = MouseDownOn;
    MouseDownOn = nullptr;
    if (down && down->Showing() && Contains(*down, event.x, event.y))
        app.Post({TMessageKind::Click, down});
}

void TSdlBackend::HandleMotion(const SDL_MouseMotionEvent& event, TApplication& app)
{
    if (Captured) {
        Pressed = Contains(*Captured, event.x, event.y) ? Captured : nullptr;
        return;
    }
    if (TControl* target = ControlAt(event.x, event.y))
        app.Post({TMessageKind::MouseMove, target});
}

void TSdlBackend::HandleKey(const SDL_KeyboardEvent& event, TApplication& app)
{
    DropHiddenFocus();
    SDL_Keycode key = event.keysym.sym;
    if (event.type == SDL_KEYUP) {
        if (key == SDLK_SPACE && SpaceHeld) {
            SpaceHeld = false;
            if (Pressed && Pressed == Focused)
                app.Post({TMessageKind::Click, const_cast<TButton*>(Focused)});
            Pressed = nullptr;
        }
        return;
    }
    switch (key) {
    case SDLK_TAB:
        MoveFocus((event.keysym.mod & KMOD_SHIFT) != 0);
        break;
    case SDLK_LEFT:
    case SDLK_UP:
    case SDLK_RIGHT:
    case SDLK_DOWN:
        // As on a Windows form, the arrow keys move between buttons in their tab order.
        if (Focused)
            MoveFocus(key == SDLK_LEFT || key == SDLK_UP);
        break;
    case SDLK_SPACE:
        if (Focused && !event.repeat) {
            SpaceHeld = true;
            Pressed = Focused;
        }
        break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if (Focused)
            app.Post({TMessageKind::Click, const_cast<TButton*>(Focused)});
        break;
    case SDLK_APPLICATION:
    case SDLK_MENU:
        RequestContextMenu(app);
        break;
    case SDLK_F10:
        if (event.keysym.mod & KMOD_SHIFT)
            RequestContextMenu(app);
        break;
    default:
        break;
    }
}

// The context-menu key and Shift+F10 ask the focused control, as a right click asks the control
// under the mouse; with no control focused, the page on screen answers.
void TSdlBackend::RequestContextMenu(TApplication& app)
{
    TControl* target = Focused ? const_cast<TButton*>(Focused) : (Form ? FirstContextTarget(*Form) : nullptr);
    if (target && target->OnContextPopup)
        app.Post({TMessageKind::ContextPopup, target});
}

void TSdlBackend::MoveFocus(bool backwards)
{
    auto order = TabOrder();
    if (order.empty())
        return;
    auto at = std::find(order.begin(), order.end(), Focused);
    if (at == order.end()) {
        Focused = backwards ? order.back() : order.front();
        return;
    }
    size_t index = size_t(at - order.begin());
    size_t count = order.size();
    Focused = order[backwards ? (index + count - 1) % count : (index + 1) % count];
}

void TSdlBackend::DropHiddenFocus()
{
    if (Focused && !Focused->Showing())
        Focused = nullptr;
    if (Pressed && !Pressed->Showing())
        Pressed = nullptr;
    if (Captured && !Captured->Showing())
        Captured = nullptr;
}

std::string TSdlBackend::Snapshot() const
{
    std::string out;
    if (Form)
        AppendSnapshot(*Form, out);
    out += std::to_string(reinterpret_cast<uintptr_t>(Focused)) + '/' +
           std::to_string(reinterpret_cast<uintptr_t>(Pressed));
    return out;
}

void TSdlBackend::Present()
{
    if (!MainWindow || !Form)
        return;
    DropHiddenFocus();
    std::string snapshot = Snapshot();
    if (!Dirty && snapshot == LastSnapshot)
        return;
    std::vector<std::exception_ptr> failures = Painter.PreparePictures(*Form);
    if (SDL_Surface* surface = SDL_GetWindowSurface(MainWindow)) {
        Painter.Paint(surface, *Form, TButtonState{Focused, Pressed});
        SDL_UpdateWindowSurface(MainWindow);
        Dirty = false;
        LastSnapshot = Snapshot();
    }
    // A picture that failed while it was first decoded is reported over the frame it left, the
    // part decoded before the error drawn, as the paint that met the error had drawn it.
    for (const std::exception_ptr& failure : failures)
        Application().Guard([&] { std::rethrow_exception(failure); });
}

void TSdlBackend::ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon)
{
    TSdlMessageBox box(Painter, MainWindow);
    box.Shown = MessageBoxShown;
    box.Run(text, caption, icon);
    // Presses that began before the box opened must not end in a click afterwards.
    MouseDownOn = nullptr;
    Captured = nullptr;
    Pressed = nullptr;
    Dirty = true;
}
