// The window system on SDL2: one main window showing a TForm, its mouse and keyboard turned
// into the application's messages, redrawn when the controls change, and modal message boxes.
#pragma once

#include "platform/Application.h"
#include "platform/Button.h"
#include "platform/Form.h"
#include "platform/sdl/ControlPainter.h"
#include "platform/sdl/PixelScale.h"
#include "platform/sdl/SdlFonts.h"

#include <SDL.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// How the window shows the form: each of its pixels as Scale × Scale screen pixels, or the whole
// screen, where the form is drawn at the largest whole scale that fits, centred on black.
struct TView {
    static constexpr int MaxScale = 8;
    int Scale = 1;  // 1 to MaxScale; 0 asks for the largest that fits in half the display's height
    bool FullScreen = false;
    bool operator==(const TView&) const = default;
};

class TSdlBackend : public TUiBackend {
public:
    // Starts SDL's video. Raises Exception when SDL or the font cannot be set up.
    TSdlBackend();
    ~TSdlBackend() override;
    TSdlBackend(const TSdlBackend&) = delete;
    TSdlBackend& operator=(const TSdlBackend&) = delete;

    // "" when a display can be reached; otherwise why not. Without DISPLAY (or Wayland) and
    // without SDL_VIDEODRIVER, SDL would quietly draw into memory and nobody would see the window.
    static std::string MissingDisplayReason();

    // Creates and shows the window for `form`: client area Width × Height at WindowLeft,
    // WindowTop, its caption as the title, not resizable; queues its first paint. `view` other
    // than 1× in a window enlarges it before it shows.
    void OpenWindow(TForm& form, const TView& view = {});
    void CloseWindow();

    void CollectEvents(TApplication& app) override;
    void WaitForEvent(int ms) override;
    void Present() override;
    void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon) override;

    SDL_Window* Window() const { return MainWindow; }
    // The window's title from now on (UTF-8), in place of the form's caption.
    void SetTitle(const std::string& utf8);

    // The view, and a change of it (the scale of `view` is kept within 1 to MaxScale). Set before
    // the window opens, it is the scale of the message boxes shown until then.
    const TView& View() const { return CurrentView; }
    void SetView(const TView& view);
    // Where the form's last frame sits in the window; mouse positions are mapped back through it.
    const TFrameLayout& Layout() const { return Shown; }
    // Called after the player changed the view with a key (Ctrl + "+" or "-", F11, Alt+Enter).
    std::function<void(const TView& view)> ViewChanged;

    // Topmost showing control at client position x, y (the form itself when no other).
    TControl* ControlAt(int x, int y) const;
    const TButton* FocusedButton() const { return Focused; }
    // Showing buttons in keyboard order.
    std::vector<TButton*> TabOrder() const;

    // Called with what is dropped on the main window: a file's or folder's path, or (`isText`)
    // dragged text, which may be a file:// address. Unset, drops are ignored.
    std::function<void(const std::string& dropped, bool isText)> Dropped;

    // Called with each message box window once it is on screen.
    std::function<void(SDL_Window* box)> MessageBoxShown;

private:
    static std::string StartVideo();
    // Two presses closer than this, in window pixels at `scale`, make a double click.
    static void SetDoubleClickRadius(int scale);
    void Handle(const SDL_Event& event, TApplication& app);
    void HandleWindowEvent(const SDL_WindowEvent& event, TApplication& app);
    void HandleButtonDown(const SDL_MouseButtonEvent& event, TApplication& app);
    void HandleButtonUp(const SDL_MouseButtonEvent& event, TApplication& app);
    void HandleMotion(const SDL_MouseMotionEvent& event, TApplication& app);
    void HandleKey(const SDL_KeyboardEvent& event, TApplication& app);
    void HandleWheel(const SDL_MouseWheelEvent& event, TApplication& app);
    void HandleDrop(const SDL_DropEvent& event, Uint32 mainId);
    bool HandleViewKey(const SDL_KeyboardEvent& event);
    void PassKey(const SDL_KeyboardEvent& event, TApplication& app);
    void PassCtrl(const SDL_KeyboardEvent& event, TApplication& app);
    void RequestContextMenu(TApplication& app);
    void ApplyView();
    void ChangeView(const TView& view);
    int AutoScale() const;
    int LargestScaleOnDisplay() const;
    SDL_Surface* FrameLike(SDL_Surface* target);
    void MoveFocus(bool backwards);
    void DropHiddenFocus();
    void RequestQuit(TApplication& app);
    std::string Snapshot() const;

    TFontCache Fonts;
    TControlPainter Painter{Fonts};
    TForm* Form = nullptr;
    SDL_Window* MainWindow = nullptr;
    std::optional<SDL_Event> Held;  // an event WaitForEvent took off SDL's queue

    TControl* MouseDownOn = nullptr;   // the control a left press started on
    TButton* Captured = nullptr;       // the button held down by the mouse
    const TButton* Pressed = nullptr;  // drawn pushed in
    const TButton* Focused = nullptr;
    bool SpaceHeld = false;
    bool QuitRequested = false;

    // The key that closed a message box, while it stays held. The window it leaves gains the focus
    // with the key still down: SDL then reports it pressed there (and the keyboard's repeats
    // follow), though the press was the box's. Those presses are dropped until the key is let go,
    // or until no repeat has come for longer than a keyboard leaves between repeats.
    struct THeldKey {
        static constexpr Uint32 RepeatGapMs = 1000;
        SDL_Keycode Key = 0;
        Uint32 Until = 0;
    } HeldFromBox;
    bool DropHeldFromBox(const SDL_KeyboardEvent& event);

    bool Dirty = true;
    std::string LastSnapshot;

    TView CurrentView;
    TFrameLayout Shown;                   // of the last frame on screen
    int ShownWidth = 0, ShownHeight = 0;  // the window surface it was drawn on
    SDL_Surface* Frame = nullptr;         // the 1× frame, when the window shows it enlarged
    SDL_Surface* LastFrame = nullptr;     // the one before, so that only what changed is sent
};
