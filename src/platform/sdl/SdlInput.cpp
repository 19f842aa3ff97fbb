// The mouse and keyboard of the main window, turned into the form's messages.
#include "platform/sdl/SdlBackend.h"

#include <algorithm>
#include <cstdint>

namespace {

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
    case SDLK_PAGEUP:
        return Keys::PageUp;
    case SDLK_PAGEDOWN:
        return Keys::PageDown;
    case SDLK_LEFT:
        return Keys::Left;
    case SDLK_UP:
        return Keys::Up;
    case SDLK_RIGHT:
        return Keys::Right;
    case SDLK_DOWN:
        return Keys::Down;
    case SDLK_F1:
        return Keys::F1;
    case SDLK_F5:
        return Keys::F5;
    case SDLK_F12:
        return Keys::F12;
    case SDLK_TAB:
        return Keys::Tab;
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

}  // namespace

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
        if (!DropHeldFromBox(event.key) && event.key.windowID == mainId)
            HandleKey(event.key, app);
        break;
    case SDL_MOUSEWHEEL:
        if (event.wheel.windowID == mainId)
            HandleWheel(event.wheel, app);
        break;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
        HandleDrop(event.drop, mainId);
        break;
    default:
        break;
    }
}

// SDL hands over the dropped text for the program to free, also when nobody takes it.
void TSdlBackend::HandleDrop(const SDL_DropEvent& event, Uint32 mainId)
{
    if (!event.file)
        return;
    std::string dropped = event.file;
    SDL_free(event.file);
    if (Dropped && event.windowID == mainId && mainId != 0)
        Dropped(dropped, event.type == SDL_DROPTEXT);
}

bool TSdlBackend::DropHeldFromBox(const SDL_KeyboardEvent& event)
{
    if (HeldFromBox.Key == 0 || event.keysym.sym != HeldFromBox.Key)
        return false;
    const Uint32 now = SDL_GetTicks();
    if (event.type == SDL_KEYUP || SDL_TICKS_PASSED(now, HeldFromBox.Until)) {
        HeldFromBox.Key = 0;
        return event.type == SDL_KEYUP;
    }
    HeldFromBox.Until = now + THeldKey::RepeatGapMs;
    return true;
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
    if (key == SDLK_LCTRL || key == SDLK_RCTRL) {
        PassCtrl(event, app);
        return;
    }
    // Ctrl with another key is a command (a view key, the desktop's), no longer Ctrl alone.
    if (event.type == SDL_KEYDOWN && (event.keysym.mod & KMOD_CTRL) && Form)
        app.Post({TMessageKind::KeyUp, Form, Keys::Control, false});
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
        // With no button to move to (the game page), Tab is the form's.
        if (TabOrder().empty())
            PassKey(event, app);
        else
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

// The wheel goes to the form as a key of its own, a turn (however many notches) one key.
void TSdlBackend::HandleWheel(const SDL_MouseWheelEvent& event, TApplication& app)
{
    int y = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.y : event.y;
    if (Form && y != 0 && !Captured)
        app.Post({TMessageKind::KeyDown, Form, y > 0 ? Keys::WheelUp : Keys::WheelDown, false});
}

// A key the window does not use is the form's, unless Ctrl, Alt or the system key makes it a
// command of the desktop's; Ctrl+C, the desktop's copy, is the form's copy of its text.
void TSdlBackend::PassKey(const SDL_KeyboardEvent& event, TApplication& app)
{
    Uint16 mod = event.keysym.mod;
    if (Form && event.keysym.sym == SDLK_c && (mod & KMOD_CTRL) && !(mod & (KMOD_ALT | KMOD_GUI))) {
        app.Post({TMessageKind::KeyDown, Form, Keys::CopyText, event.repeat != 0});
        return;
    }
    if (!Form || (mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)))
        return;
    if (int key = FormKey(event.keysym.sym))
        app.Post({TMessageKind::KeyDown, Form, key, event.repeat != 0});
}

// Ctrl alone, pressed and released, for the form to know while it is held (the reader skips then).
// It is up only once neither Ctrl key is down.
void TSdlBackend::PassCtrl(const SDL_KeyboardEvent& event, TApplication& app)
{
    if (!Form)
        return;
    if (event.type == SDL_KEYDOWN)
        app.Post({TMessageKind::KeyDown, Form, Keys::Control, event.repeat != 0});
    else if (!(event.keysym.mod & KMOD_CTRL))
        app.Post({TMessageKind::KeyUp, Form, Keys::Control, false});
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
