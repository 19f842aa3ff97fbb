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

// Two presses make a double click only within the 4 × 4 pixels Windows allows, not SDL's default
// 32-pixel radius: a choice picked just after a click elsewhere is a click. In form pixels: an
// enlarged window widens it by its scale.
constexpr int DoubleClickRadius = 2;

void SetDoubleClickRadius(int scale)
{
    SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, std::to_string(DoubleClickRadius * scale).c_str());
}

// The key the form receives for an SDL key; 0 for keys it is not told of.
int FormKey(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + int(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + int(key - SDLK_0);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return '1' + int(key - SDLK_KP_1);
    switch (key) {
    case SDLK_KP_0:
        return '0';
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return Keys::Return;
    case SDLK_SPACE:
        return Keys::Space;
    case SDLK_PAGEDOWN:
        return Keys::PageDown;
    case SDLK_UP:
        return Keys::Up;
    case SDLK_DOWN:
        return Keys::Down;
    case SDLK_F5:
        return Keys::F5;
    default:
        return 0;
    }
}

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

void TSdlBackend::Handle(const SDL_Event& original, TApplication& app)
{
    Uint32 mainId = MainWindow ? SDL_GetWindowID(MainWindow) : 0;
    // The controls know only the form's own pixels: mouse positions go back through the enlargement.
    SDL_Event event = original;
    if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        event.button.x = Shown.ToFrameX(event.button.x);
        event.button.y = Shown.ToFrameY(event.button.y);
    } else if (event.type == SDL_MOUSEMOTION) {
        event.motion.x = Shown.ToFrameX(event.motion.x);
        event.motion.y = Shown.ToFrameY(event.motion.y);
    }
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
    if (event.type == SDL_KEYDOWN && HandleViewKey(event))
        return;
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
        else
            PassKey(event, app);
        break;
    case SDLK_SPACE:
        if (Focused && !event.repeat) {
            SpaceHeld = true;
            Pressed = Focused;
        } else if (!Focused) {
            PassKey(event, app);
        }
        break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if (Focused)
            app.Post({TMessageKind::Click, const_cast<TButton*>(Focused)});
        else
            PassKey(event, app);
        break;
    case SDLK_APPLICATION:
    case SDLK_MENU:
    case SDLK_ESCAPE:
        RequestContextMenu(app);
        break;
    case SDLK_F10:
        if (event.keysym.mod & KMOD_SHIFT)
            RequestContextMenu(app);
        break;
    default:
        PassKey(event, app);
        break;
    }
}

// Keys for the window itself rather than the story: the scale and full screen.
bool TSdlBackend::HandleViewKey(const SDL_KeyboardEvent& event)
{
    SDL_Keycode key = event.keysym.sym;
    bool ctrl = event.keysym.mod & KMOD_CTRL, alt = event.keysym.mod & KMOD_ALT;
    if (key == SDLK_F11 || (alt && (key == SDLK_RETURN || key == SDLK_KP_ENTER))) {
        if (!event.repeat)
            ChangeView({CurrentView.Scale, !CurrentView.FullScreen});
        return true;
    }
    if (!ctrl)
        return false;
    int step = 0;
    if (key == SDLK_PLUS || key == SDLK_EQUALS || key == SDLK_KP_PLUS)
        step = 1;
    else if (key == SDLK_MINUS || key == SDLK_KP_MINUS)
        step = -1;
    if (step == 0)
        return false;
    // Full screen has no scale to choose. A larger window must still fit on the display, unless a
    // larger one was asked for on the command line.
    if (!CurrentView.FullScreen) {
        int largest = std::max(CurrentView.Scale, std::min(TView::MaxScale, LargestScaleOnDisplay()));
        ChangeView({std::clamp(CurrentView.Scale + step, 1, largest), false});
    }
    return true;
}

// A key the window does not use is the form's, unless Ctrl, Alt or the system key makes it a
// command of the desktop's.
void TSdlBackend::PassKey(const SDL_KeyboardEvent& event, TApplication& app)
{
    if (!Form || (event.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)))
        return;
    if (int key = FormKey(event.keysym.sym))
        app.Post({TMessageKind::KeyDown, Form, key, event.repeat != 0});
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

// A frame surface of the form's size in the pixel format of `target`.
SDL_Surface* TSdlBackend::FrameLike(SDL_Surface* target)
{
    int width = std::max(1, Form->Width), height = std::max(1, Form->Height);
    for (SDL_Surface** frame : {&Frame, &LastFrame}) {
        SDL_Surface*& f = *frame;
        if (f && (f->w != width || f->h != height || f->format->format != target->format->format)) {
            SDL_FreeSurface(f);
            f = nullptr;
        }
        if (!f)
            f = SDL_CreateRGBSurfaceWithFormat(0, width, height, target->format->BitsPerPixel, target->format->format);
    }
    return Frame && LastFrame ? Frame : nullptr;
}

void TSdlBackend::Present()
{
    if (!MainWindow || !Form)
        return;
    DropHiddenFocus();
    std::string snapshot = Snapshot();
    SDL_Surface* surface = SDL_GetWindowSurface(MainWindow);
    // A window that changed size (full screen, a new scale) is drawn again whole.
    bool resized = surface && (surface->w != ShownWidth || surface->h != ShownHeight);
    if (!Dirty && !resized && snapshot == LastSnapshot)
        return;
    std::vector<std::exception_ptr> failures = Painter.PreparePictures(*Form);
    if (surface) {
        int scale = CurrentView.FullScreen ? LargestFittingScale(Form->Width, Form->Height, surface->w, surface->h)
                                           : CurrentView.Scale;
        TFrameLayout layout = CentredLayout(Form->Width, Form->Height, surface->w, surface->h, scale);
        bool whole =
            Dirty || resized || layout.Scale != Shown.Scale || layout.Left != Shown.Left || layout.Top != Shown.Top;
        if (layout.Scale == 1 && layout.Left == 0 && layout.Top == 0) {
            Painter.Paint(surface, *Form, TButtonState{Focused, Pressed});
            SDL_UpdateWindowSurface(MainWindow);
        } else if (SDL_Surface* frame = FrameLike(surface)) {
            // Drawn at 1×, then enlarged: the same pixels as at 1×, only bigger. After a change of
            // the controls, only the part of the frame that changed goes to the window system.
            std::swap(Frame, LastFrame);
            frame = Frame;
            Painter.Paint(frame, *Form, TButtonState{Focused, Pressed});
            SDL_Rect changed = whole ? SDL_Rect{0, 0, frame->w, frame->h} : ChangedBox(LastFrame, frame);
            if (whole) {
                PresentScaled(frame, surface, layout);
                SDL_UpdateWindowSurface(MainWindow);
            } else if (changed.w > 0) {
                SDL_Rect written = PresentScaled(frame, surface, layout, &changed);
                if (written.w > 0)
                    SDL_UpdateWindowSurfaceRects(MainWindow, &written, 1);
            }
        }
        if (layout.Scale != Shown.Scale)
            SetDoubleClickRadius(layout.Scale);
        Shown = layout;
        ShownWidth = surface->w;
        ShownHeight = surface->h;
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
    // Before the window opens (an error while the form is created), at the scale it will have.
    int scale = MainWindow ? Shown.Scale : std::max(1, CurrentView.Scale);
    TSdlMessageBox box(Painter, MainWindow, scale);
    box.Shown = MessageBoxShown;
    box.Run(text, caption, icon);
    // Presses that began before the box opened must not end in a click afterwards.
    MouseDownOn = nullptr;
    Captured = nullptr;
    Pressed = nullptr;
    Dirty = true;
}
