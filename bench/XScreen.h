// A private X server and what it reports about windows and drawing, for the benchmarks that run
// the real player on a display of their own.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

// Whether `pid` has ended, leaving it to be waited for (and its resource use read) later.
inline bool HasEnded(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// A window that shows nothing for this long is given up; slowness alone never ends a bench.
constexpr int64_t XLimitNs = 60'000'000'000;

inline int64_t NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// Waits until `fd` is readable or `deadlineNs` passes.
inline bool WaitReadable(int fd, int64_t deadlineNs)
{
    for (;;) {
        int64_t left = deadlineNs - NowNs();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(std::min<int64_t>(left / 1'000'000 + 1, 100)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

inline void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// A private X server; its display number comes back through -displayfd.
struct TXvfb {
    pid_t Pid = -1;
    std::string Display;

    bool Start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        Pid = fork();
        if (Pid == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            std::string fd = std::to_string(fds[1]);
            // -noreset: the server would otherwise reset each time its last client leaves, and
            // a start at that moment would meet a server that refuses it.
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (WaitReadable(fds[0], NowNs() + XLimitNs) && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return false;
        Display = ":" + number;
        return true;
    }

    ~TXvfb() { Stop(Pid); }
};

// What the X server reports about top-level windows and drawing.
class TScreenWatch {
public:
    bool Open(const std::string& name)
    {
        Dpy = XOpenDisplay(name.c_str());
        if (!Dpy)
            return false;
        int error = 0;
        if (!XDamageQueryExtension(Dpy, &DamageEvent, &error))
            return false;
        Root = DefaultRootWindow(Dpy);
        NetWmPid = XInternAtom(Dpy, "_NET_WM_PID", False);
        XSelectInput(Dpy, Root, SubstructureNotifyMask);
        // The root's damage takes in every window on it: without a compositor they share its pixels.
        RootDamage = XDamageCreate(Dpy, Root, XDamageReportNonEmpty);
        Drain();
        return true;
    }

    ~TScreenWatch()
    {
        if (Dpy)
            XCloseDisplay(Dpy);
    }

    // Waits for a window of `pid` to be mapped and then for the first drawing after that; gives the
    // times both were seen. SDL's windows have no background for the server to fill when they are
    // mapped, so that drawing is the player's first frame (the probed starts show it coming after
    // the frame is handed over). False if `pid` ends or the limit passes first.
    bool AwaitFirstFrame(pid_t pid, int64_t startNs, int64_t& mappedNs, int64_t& frameNs)
    {
        mappedNs = 0;
        while (true) {
            while (!XPending(Dpy)) {
                if (NowNs() - startNs > XLimitNs || waitpid(pid, nullptr, WNOHANG) == pid)
                    return false;
                WaitReadable(ConnectionNumber(Dpy), NowNs() + 100'000'000);
            }
            XEvent event;
            XNextEvent(Dpy, &event);
            int64_t now = NowNs();
            Note(event);
            if (event.type == MapNotify && event.xmap.event == Root && !mappedNs) {
                unsigned long owner = WindowPid(event.xmap.window);
                // Only the player is a client of this server; a window with no pid yet is its.
                if (owner == 0 || owner == static_cast<unsigned long>(pid))
                    mappedNs = now;
            } else if (event.type == DamageEvent + XDamageNotify) {
                if (mappedNs) {
                    frameNs = now;
                    return true;
                }
            }
        }
    }

    // Takes in everything the server has done so far (a closed window uncovers the root, which is
    // drawn again), so that the next start meets a quiet screen.
    void Drain()
    {
        XSync(Dpy, False);
        while (XPending(Dpy)) {
            XEvent event;
            XNextEvent(Dpy, &event);
            Note(event);
        }
        XSync(Dpy, False);
    }

    // The player's window mapped last and still mapped (a message box over the main window), or 0.
    // Events the server has sent so far are taken in first.
    Window TopWindow()
    {
        Drain();
        return Mapped.empty() ? 0 : Mapped.back();
    }

    // Presses and releases `key` in `window`, as xdotool's --window does.
    void SendKey(Window window, KeySym key)
    {
        XKeyEvent event{};
        event.display = Dpy;
        event.window = window;
        event.root = Root;
        event.same_screen = True;
        event.keycode = XKeysymToKeycode(Dpy, key);
        for (int type : {KeyPress, KeyRelease}) {
            event.type = type;
            XSendEvent(Dpy, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask,
                       reinterpret_cast<XEvent*>(&event));
        }
        XFlush(Dpy);
    }

    // Waits for any drawing on the screen (a window drawn again, mapped or closed) within
    // `limitNs`; false if `pid` ends first or the time passes.
    bool AwaitDrawing(pid_t pid, int64_t limitNs)
    {
        const int64_t deadline = NowNs() + limitNs;
        for (;;) {
            while (!XPending(Dpy)) {
                if (NowNs() > deadline || HasEnded(pid))
                    return false;
                WaitReadable(ConnectionNumber(Dpy), NowNs() + 100'000'000);
            }
            XEvent event;
            XNextEvent(Dpy, &event);
            if (Note(event))
                return true;
        }
    }

private:
    // Keeps the list of mapped windows; true for drawing.
    bool Note(const XEvent& event)
    {
        if (event.type == MapNotify && event.xmap.event == Root)
            Mapped.push_back(event.xmap.window);
        else if (event.type == UnmapNotify && event.xunmap.event == Root)
            std::erase(Mapped, event.xunmap.window);
        else if (event.type == DamageEvent + XDamageNotify) {
            XDamageSubtract(Dpy, RootDamage, None, None);
            return true;
        }
        return false;
    }

    unsigned long WindowPid(Window window)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        unsigned long pid = 0;
        if (XGetWindowProperty(Dpy, window, NetWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 32 && count == 1)
            pid = *reinterpret_cast<unsigned long*>(data);
        if (data)
            XFree(data);
        return pid;
    }

    Display* Dpy = nullptr;
    Window Root = 0;
    Atom NetWmPid = 0;
    Damage RootDamage = 0;
    int DamageEvent = 0;
    std::vector<Window> Mapped;
};
