// Reports what happens to the windows of an X display, one line per event, each stamped with the
// wall-clock time it was seen, so that a shell test waits for what it needs instead of polling:
//   TIME ready                       the watch is in place; everything after it is reported
//   TIME map WINDOW PID NAME         a top-level window is on screen (again when its pid or name
//                                    changes); PID is 0 while the window has no _NET_WM_PID
//   TIME unmap WINDOW, TIME destroy WINDOW
//   TIME damage                      something was drawn since the last such line
//   rk_xwatch DISPLAY
// Windows already on screen at the start are reported as maps right after "ready".
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>

namespace {

Atom NetWmPid, NetWmName, Utf8String;

// Windows come and go while they are asked about: a question about a window that is gone is
// answered by nothing, not by the end of the program.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

void Stamp()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::printf("%lld.%06ld ", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
}

unsigned long WindowPid(Display* display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long pid = 0;
    if (XGetWindowProperty(display, window, NetWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32 && count == 1)
        pid = *reinterpret_cast<unsigned long*>(data);
    if (data)
        XFree(data);
    return pid;
}

std::string WindowName(Display* display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, NetWmName, 0, 1024, False, Utf8String, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 8)
        name.assign(reinterpret_cast<char*>(data), count);
    else if (char* plain = nullptr; XFetchName(display, window, &plain) && plain) {
        name = plain;
        XFree(plain);
    }
    if (data)
        XFree(data);
    for (char& c : name)
        if (c == '\n' || c == '\r')
            c = ' ';
    return name;
}

void ReportMap(Display* display, Window window)
{
    Stamp();
    std::printf("map 0x%lx %lu %s\n", window, WindowPid(display, window), WindowName(display, window).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DISPLAY\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(argv[1]);
    if (!display) {
        std::fprintf(stderr, "rk_xwatch: cannot open display %s\n", argv[1]);
        return 1;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "rk_xwatch: display %s has no DAMAGE extension\n", argv[1]);
        return 1;
    }
    XSetErrorHandler(IgnoreErrors);
    NetWmPid = XInternAtom(display, "_NET_WM_PID", False);
    NetWmName = XInternAtom(display, "_NET_WM_NAME", False);
    Utf8String = XInternAtom(display, "UTF8_STRING", False);
    Window root = DefaultRootWindow(display);

    // Asked for before the windows that exist are listed, so nothing falls between the two.
    XGrabServer(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    // The root's damage takes in every window drawn on it: without a compositor they share its pixels.
    Damage damage = XDamageCreate(display, root, XDamageReportNonEmpty);
    std::set<Window> mapped;
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XSelectInput(display, children[i], PropertyChangeMask);
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
                mapped.insert(children[i]);
        }
        if (children)
            XFree(children);
    }
    XUngrabServer(display);
    Stamp();
    std::printf("ready\n");
    for (Window window : mapped)
        ReportMap(display, window);
    std::fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case CreateNotify:
            if (event.xcreatewindow.parent == root)
                XSelectInput(display, event.xcreatewindow.window, PropertyChangeMask);
            break;
        case MapNotify:
            if (event.xmap.event == root) {
                mapped.insert(event.xmap.window);
                ReportMap(display, event.xmap.window);
            }
            break;
        case UnmapNotify:
            if (event.xunmap.event == root) {
                mapped.erase(event.xunmap.window);
                Stamp();
                std::printf("unmap 0x%lx\n", event.xunmap.window);
            }
            break;
        case DestroyNotify:
            if (event.xdestroywindow.event == root) {
                mapped.erase(event.xdestroywindow.window);
                Stamp();
                std::printf("destroy 0x%lx\n", event.xdestroywindow.window);
            }
            break;
        case PropertyNotify:
            if (mapped.count(event.xproperty.window) &&
                (event.xproperty.atom == NetWmPid || event.xproperty.atom == NetWmName ||
                 event.xproperty.atom == XA_WM_NAME))
                ReportMap(display, event.xproperty.window);
            break;
        default:
            if (event.type == damageEvent + XDamageNotify) {
                // Cleared before the line goes out: whatever is drawn after it gives another line.
                XDamageSubtract(display, damage, None, None);
                XSync(display, False);
                Stamp();
                std::printf("damage\n");
            }
            break;
        }
        if (!XPending(display))
            std::fflush(stdout);
    }
}
