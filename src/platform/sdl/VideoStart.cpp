#include "platform/sdl/VideoStart.h"

#include <SDL.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool IsSocket(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool IsProgram(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool BusLaunchWouldFail(const char* address, const char* runtimeDir, const std::string& dbusLaunch, const char* path)
{
    if (address && *address)
        return false;
    if (runtimeDir && *runtimeDir && IsSocket(std::string(runtimeDir) + "/bus"))
        return false;
    if (IsProgram(dbusLaunch))
        return false;
    // libdbus then looks for the program along PATH, taking the first it finds. A folder named
    // relatively (an empty entry is the working folder) is the story's folder, a stranger's
    // archive: a dbus-launch found there first is not one to run, and the launch counts as failed.
    std::string folders = path ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (IsProgram((folder.empty() ? "." : folder) + "/dbus-launch"))
            return folder.empty() || folder[0] != '/';
        start = end + 1;
    }
    return true;
}

void SkipFutileBusLaunch()
{
    // SDL asks for the session bus whenever it starts. With none to be found, libdbus forks the
    // program to run dbus-launch, which costs a start a few milliseconds even when the program is
    // not installed. An address of a kind libdbus does not know makes it give up at once, as it
    // would have given up anyway.
    if (BusLaunchWouldFail(std::getenv("DBUS_SESSION_BUS_ADDRESS"), std::getenv("XDG_RUNTIME_DIR"),
                           "/usr/bin/dbus-launch", std::getenv("PATH")))
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

TNoComposeTable::TNoComposeTable()
{
    const char* was = std::getenv("XCOMPOSEFILE");
    WasSet = was != nullptr;
    Was = was ? was : "";
    setenv("XCOMPOSEFILE", "/dev/null", 1);
}

TNoComposeTable::~TNoComposeTable()
{
    if (WasSet)
        setenv("XCOMPOSEFILE", Was.c_str(), 1);
    else
        unsetenv("XCOMPOSEFILE");
}

int StartVideoSubsystem()
{
    SkipFutileBusLaunch();
    TNoComposeTable noCompose;
    return SDL_InitSubSystem(SDL_INIT_VIDEO);
}
