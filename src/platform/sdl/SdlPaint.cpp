// Drawing the form into the main window, only when what it shows has changed.
#include "platform/sdl/SdlBackend.h"

#include "platform/Image.h"
#include "platform/Label.h"

#include <algorithm>
#include <cstdint>

namespace {

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

}  // namespace

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
