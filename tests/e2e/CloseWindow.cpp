// Asks an X window to close the way a window manager's close button does: a WM_DELETE_WINDOW
// client message. Under a bare Xvfb there is no window manager to send it for us.
//   rk_close_window DISPLAY WINDOW-ID
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DISPLAY WINDOW-ID\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(argv[1]);
    if (!display) {
        std::fprintf(stderr, "cannot open display %s\n", argv[1]);
        return 1;
    }
    Window window = static_cast<Window>(std::strtoul(argv[2], nullptr, 0));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
