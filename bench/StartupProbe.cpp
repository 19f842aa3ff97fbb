// Loaded into the player by bench_startup, as an auditor of the dynamic loader (LD_AUDIT) and
// preloaded (LD_PRELOAD), to break its start down from the inside: it notes the moment the player passes each milestone
// of its start and writes "NAME NANOSECONDS" lines (CLOCK_MONOTONIC) to the file descriptor named by
// RK_STARTUP_PROBE_FD. It stands between the player and the library calls that mark a milestone, and changes nothing
// they do. A milestone the player never passes (a call it no longer makes) is simply not written.
#include <dlfcn.h>
#include <link.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int ProbeFd = -1;

void Note(const char* name)
{
    if (ProbeFd < 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[96];
    int length = std::snprintf(line, sizeof line, "%s %lld\n", name,
                               static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    // One short write per line: a pipe takes it whole or not at all.
    if (length > 0 && write(ProbeFd, line, static_cast<size_t>(length)) < 0)
        ProbeFd = -1;
}

template <typename F>
F Next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void OpenProbe()
{
    if (ProbeFd >= 0)
        return;
    if (const char* fd = std::getenv("RK_STARTUP_PROBE_FD"))
        ProbeFd = std::atoi(fd);
}

using TMain = int (*)(int, char**, char**);
TMain RealMain = nullptr;

int ProbedMain(int argc, char** argv, char** envp)
{
    Note("main");
    return RealMain(argc, argv, envp);
}

bool FirstTime(bool& done)
{
    bool first = !done;
    done = true;
    return first;
}

}  // namespace

extern "C" {

// As an auditor of the dynamic loader (LD_AUDIT), the probe hears when every library is mapped,
// before the loader relocates them.
unsigned la_version(unsigned) { return LAV_CURRENT; }

void la_activity(uintptr_t*, unsigned flag)
{
    static bool done = false;
    if (flag == LA_ACT_CONSISTENT && FirstTime(done)) {
        OpenProbe();
        Note("mapped");
    }
}

// Called once the libraries are relocated and their constructors have run, before the program's
// own constructors and main.
int __libc_start_main(TMain main, int argc, char** argv, void (*init)(), void (*fini)(), void (*rtldFini)(),
                      void* stackEnd)
{
    OpenProbe();
    Note("constructors");
    RealMain = main;
    using TStart = int (*)(TMain, int, char**, void (*)(), void (*)(), void (*)(), void*);
    return Next<TStart>("__libc_start_main")(ProbedMain, argc, argv, init, fini, rtldFini, stackEnd);
}

int SDL_InitSubSystem(uint32_t flags)
{
    int result = Next<int (*)(uint32_t)>("SDL_InitSubSystem")(flags);
    if (flags & 0x20u)  // SDL_INIT_VIDEO
        Note("video");
    return result;
}

void* FcFontMatch(void* config, void* pattern, int* result)
{
    void* match = Next<void* (*)(void*, void*, int*)>("FcFontMatch")(config, pattern, result);
    Note("fontconfig");
    return match;
}

void* TTF_OpenFont(const char* file, int size)
{
    static bool done = false;
    void* font = Next<void* (*)(const char*, int)>("TTF_OpenFont")(file, size);
    if (FirstTime(done))
        Note("font");
    return font;
}

void* SDL_CreateWindow(const char* title, int x, int y, int w, int h, uint32_t flags)
{
    static bool done = false;
    void* window =
        Next<void* (*)(const char*, int, int, int, int, uint32_t)>("SDL_CreateWindow")(title, x, y, w, h, flags);
    if (FirstTime(done))
        Note("window");
    return window;
}

// Noted as the painted frame is handed over: its return waits on the X server, which may have
// drawn it by then.
int SDL_UpdateWindowSurface(void* window)
{
    static bool done = false;
    if (FirstTime(done))
        Note("frame");
    return Next<int (*)(void*)>("SDL_UpdateWindowSurface")(window);
}

}  // extern "C"
