// SDL's video, started without the work of its start that this player has no use for.
#pragma once

#include <string>

// SDL_InitSubSystem(SDL_INIT_VIDEO), with its answer, after SkipFutileBusLaunch() and with the
// compose table left out (TNoComposeTable).
int StartVideoSubsystem();

// True when libdbus would find no session bus and would fork the program to run dbus-launch for
// nothing: DBUS_SESSION_BUS_ADDRESS (`address`) is unset or empty, `runtimeDir`/bus is not a
// socket, and no dbus-launch program is at `dbusLaunch` nor, first along `path`, in a folder named
// from the root (one in the working folder is never run).
bool BusLaunchWouldFail(const char* address, const char* runtimeDir, const std::string& dbusLaunch, const char* path);

// Before SDL starts: when no session bus can be found or launched, says so to libdbus, which then
// gives up at once instead of forking the whole program to fail. Where a bus can be found or
// launched, nothing changes.
void SkipFutileBusLaunch();

// While it lives, libX11 reads an empty compose table. SDL opens the window system's input method
// as it starts, and libX11's own reads the locale's whole compose table (thousands of sequences,
// about 10 ms of every start) to turn dead keys and the compose key into typed text. The player
// reads no typed text, only keys, which need no table. The person's own setting of XCOMPOSEFILE is
// back once it ends.
class TNoComposeTable {
public:
    TNoComposeTable();
    ~TNoComposeTable();
    TNoComposeTable(const TNoComposeTable&) = delete;
    TNoComposeTable& operator=(const TNoComposeTable&) = delete;

private:
    bool WasSet;
    std::string Was;
};
