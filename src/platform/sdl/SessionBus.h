// The D-Bus session bus SDL asks for when it starts.
#pragma once

#include <string>

// True when libdbus would find no session bus and would fork the program to run dbus-launch for
// nothing: DBUS_SESSION_BUS_ADDRESS (`address`) is unset or empty, `runtimeDir`/bus is not a
// socket, and no dbus-launch program is at `dbusLaunch` nor, first along `path`, in a folder named
// from the root (one in the working folder is never run).
bool BusLaunchWouldFail(const char* address, const char* runtimeDir, const std::string& dbusLaunch, const char* path);

// Before SDL starts: when no session bus can be found or launched, says so to libdbus, which then
// gives up at once instead of forking the whole program to fail. Where a bus can be found or
// launched, nothing changes.
void SkipFutileBusLaunch();
