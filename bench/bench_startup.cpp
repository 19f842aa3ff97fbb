// Start-up as a person meets it: from the exec of the player to its first frame on the screen.
// The player starts in the demo's folder on a private Xvfb with no window manager; the time runs
// from just before exec to the moment the X server reports the first drawing into the player's
// window (the DAMAGE extension), so the shared libraries, their constructors, the display
// connection, the font and the script all count. Median of 10 starts after one unmeasured start
// that warms the file cache; then 10 more with bench/StartupProbe.cpp preloaded, which notes when
// each start passes its milestones, for the breakdown; then 10 with two busy loops of our own on
// the CPUs, for the figure on a busy machine. Sound goes to SDL's dummy driver unless
// SDL_AUDIODRIVER says otherwise.
//   bench_startup [--starts N] [PLAYER [STORY-FOLDER]]
#include "BenchFigure.h"
#include "XScreen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Starts per series; --starts N changes it, to compare two builds more finely than 10 allow.
int Starts = 10;
// On a quiet machine; a busy one is reported, not judged.
constexpr double GoalMs = 60;
// A start that shows nothing for this long is given up; slowness alone never ends the bench.
constexpr int64_t LimitNs = XLimitNs;
// Other processes' share of the CPUs under which the machine counts as quiet.
constexpr double QuietBelowPercent = 10;

double Ms(int64_t ns) { return static_cast<double>(ns) / 1e6; }

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// CPU time of all threads of a running process, from the scheduler's own count.
double CpuMsOf(pid_t pid)
{
    double ms = 0;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        long long ns = 0;
        if (in >> ns)
            ms += Ms(ns);
    }
    return ms;
}

struct TStart {
    double MappedMs = 0, FrameMs = 0, CpuMs = 0;
    std::map<std::string, double> Milestones;  // ms since exec
};

// The milestones the probe writes, in the order a start passes them, with what happens before each.
const std::vector<std::pair<std::string, std::string>> MilestoneNames = {
    {"mapped", "shared libraries mapped"},
    {"constructors", "libraries relocated, their constructors run"},
    {"main", "main entered"},
    {"video", "SDL video started (display connected)"},
    {"fontconfig", "fontconfig answered"},
    {"font", "font file opened"},
    {"window", "window created (script loaded before it)"},
    {"frame", "first frame painted, handed to the X server"},
};

class TStarter {
public:
    TStarter(std::string player, std::string story, std::string display, std::string probe)
        : Player(std::move(player)), Story(std::move(story)), Display(std::move(display)), Probe(std::move(probe))
    {
    }

    bool Open() { return Watch.Open(Display); }

    std::optional<TStart> Run(bool probed)
    {
        int stamp[2], notes[2];
        if (pipe2(stamp, O_CLOEXEC) != 0)
            return std::nullopt;
        if (pipe2(notes, O_CLOEXEC) != 0) {
            close(stamp[0]);
            close(stamp[1]);
            return std::nullopt;
        }
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(Story.c_str()) != 0)
                _exit(127);
            setenv("DISPLAY", Display.c_str(), 1);
            unsetenv("SDL_VIDEODRIVER");
            setenv("SDL_AUDIODRIVER", "dummy", 0);
            if (probed) {
                int fd = dup(notes[1]);  // without close-on-exec: the probe writes to it
                setenv("RK_STARTUP_PROBE_FD", std::to_string(fd).c_str(), 1);
                setenv("LD_AUDIT", Probe.c_str(), 1);
                setenv("LD_PRELOAD", Probe.c_str(), 1);
            }
            int64_t now = NowNs();
            if (write(stamp[1], &now, sizeof now) != sizeof now)
                _exit(127);
            execl(Player.c_str(), Player.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(stamp[1]);
        close(notes[1]);
        int64_t execNs = 0, mappedNs = 0, frameNs = 0;
        bool ok = pid > 0 && read(stamp[0], &execNs, sizeof execNs) == sizeof execNs &&
                  Watch.AwaitFirstFrame(pid, execNs, mappedNs, frameNs);
        close(stamp[0]);
        TStart start;
        if (ok) {
            start.CpuMs = CpuMsOf(pid);
            start.MappedMs = Ms(mappedNs - execNs);
            start.FrameMs = Ms(frameNs - execNs);
        }
        Stop(pid);
        // Read once the player has ended, so that no note it was about to write is missed.
        if (ok)
            ReadNotes(notes[0], execNs, start);
        close(notes[0]);
        Watch.Drain();
        if (!ok)
            return std::nullopt;
        return start;
    }

private:
    static void ReadNotes(int fd, int64_t execNs, TStart& start)
    {
        // Until the pipe ends, or a moment longer if something the player started still holds it.
        fcntl(fd, F_SETFL, O_NONBLOCK);
        std::string text;
        char buffer[4096];
        int64_t deadline = NowNs() + 1'000'000'000;
        while (WaitReadable(fd, deadline)) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
        }
        std::istringstream lines(text);
        std::string name;
        long long ns;
        while (lines >> name >> ns)
            if (!start.Milestones.count(name))
                start.Milestones[name] = Ms(ns - execNs);
    }

    std::string Player, Story, Display, Probe;
    TScreenWatch Watch;
};

// How busy the machine was, apart from this benchmark and what it started.
class TMachineLoad {
public:
    explicit TMachineLoad(pid_t xvfb) : Xvfb(xvfb) { Begin = Sample(); }

    // Other processes' share of all the CPUs since the start, in per cent.
    double OthersPercent() const
    {
        TSample end = Sample();
        double total = end.TotalMs - Begin.TotalMs;
        double others = (end.BusyMs - Begin.BusyMs) - (end.OursMs - Begin.OursMs);
        return total > 0 ? std::max(0.0, 100 * others / total) : 0;
    }

private:
    struct TSample {
        double BusyMs = 0, TotalMs = 0, OursMs = 0;
    };

    TSample Sample() const
    {
        TSample s;
        const double msPerTick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
        std::ifstream stat("/proc/stat");
        std::string cpu;
        double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
        stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
        s.BusyMs = (user + nice + system + irq + softirq + steal) * msPerTick;
        s.TotalMs = s.BusyMs + (idle + iowait) * msPerTick;
        for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
            rusage u{};
            getrusage(who, &u);
            s.OursMs += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 +
                        static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
        }
        // The X server works for us too; it is waited for only at the end.
        std::ifstream xvfb("/proc/" + std::to_string(Xvfb) + "/stat");
        std::string line;
        std::getline(xvfb, line);
        size_t close = line.rfind(')');
        if (close != std::string::npos) {
            std::istringstream fields(line.substr(close + 2));
            std::string skip;
            double utime = 0, stime = 0;
            for (int i = 3; i < 14; ++i)
                fields >> skip;
            fields >> utime >> stime;
            s.OursMs += (utime + stime) * msPerTick;
        }
        return s;
    }

    pid_t Xvfb;
    TSample Begin;
};

struct TSeries {
    std::vector<double> Mapped, Frame, Cpu;
    std::map<std::string, std::vector<double>> Milestones;
    int Failed = 0;

    void Add(const std::optional<TStart>& start)
    {
        if (!start) {
            ++Failed;
            return;
        }
        Mapped.push_back(start->MappedMs);
        Frame.push_back(start->FrameMs);
        Cpu.push_back(start->CpuMs);
        for (const auto& [name, ms] : start->Milestones)
            Milestones[name].push_back(ms);
    }

    void PrintSummary(const char* what) const
    {
        if (Frame.empty()) {
            std::printf("%s: no start reached its first frame\n", what);
            return;
        }
        std::printf("%s, %zu starts: first frame on screen median %.1f ms (min %.1f, max %.1f), window mapped "
                    "median %.1f ms, CPU time to the frame (all threads) median %.1f ms",
                    what, Frame.size(), Median(Frame), *std::min_element(Frame.begin(), Frame.end()),
                    *std::max_element(Frame.begin(), Frame.end()), Median(Mapped), Median(Cpu));
        if (Failed)
            std::printf("; %d starts showed no frame within %lld s", Failed,
                        static_cast<long long>(LimitNs / 1'000'000'000));
        std::printf("\n");
    }
};

std::vector<pid_t> StartBusyLoops(int count)
{
    std::vector<pid_t> loops;
    for (int i = 0; i < count; ++i) {
        pid_t pid = fork();
        if (pid == 0) {
            volatile unsigned long spins = 0;
            for (;;)
                spins = spins + 1;
        }
        if (pid > 0)
            loops.push_back(pid);
    }
    return loops;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--starts") {
        Starts = std::max(1, std::atoi(args[1].c_str()));
        args.erase(args.begin(), args.begin() + 2);
    }
    std::string player = args.size() > 0 ? args[0] : RK_PLAYER;
    std::string story = args.size() > 1 ? args[1] : RK_DEMO_DIR;
    std::printf("player %s, story %s, sound driver %s\n", player.c_str(), story.c_str(),
                std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "dummy");
    TXvfb xvfb;
    if (!xvfb.Start()) {
        std::printf("not measured: Xvfb does not start (Debian: xvfb)\n");
        return 0;
    }
    TStarter starter(player, story, xvfb.Display, RK_STARTUP_PROBE);
    if (!starter.Open()) {
        std::printf("not measured: cannot watch display %s\n", xvfb.Display.c_str());
        return 0;
    }
    if (!starter.Run(false)) {
        std::printf("not measured: the player showed no frame within %lld s\n",
                    static_cast<long long>(LimitNs / 1'000'000'000));
        return 0;
    }

    TMachineLoad load(xvfb.Pid);
    TSeries plain, probed, busy;
    for (int i = 0; i < Starts; ++i)
        plain.Add(starter.Run(false));
    double others = load.OthersPercent();
    for (int i = 0; i < Starts; ++i)
        probed.Add(starter.Run(true));
    std::vector<pid_t> loops = StartBusyLoops(2);
    for (int i = 0; i < Starts; ++i)
        busy.Add(starter.Run(false));
    for (pid_t loop : loops)
        Stop(loop);

    bool quiet = others < QuietBelowPercent;
    char machine[96];
    std::snprintf(machine, sizeof machine, "%s: other processes used %.0f%% of the CPUs", quiet ? "quiet" : "busy",
                  others);
    std::printf("machine while measuring: %s\n", machine);
    plain.PrintSummary("as the machine was");
    busy.PrintSummary("with two busy loops of our own");
    probed.PrintSummary("with the probe preloaded");
    std::printf("breakdown (probed starts, median ms since exec, and the step from the milestone before):\n");
    double previous = 0;
    auto row = [&previous](const std::string& what, const std::vector<double>& times) {
        double at = Median(times);
        std::printf("  %-45s %7.1f  %+7.1f\n", what.c_str(), at, at - previous);
        previous = at;
    };
    for (const auto& [name, what] : MilestoneNames) {
        auto found = probed.Milestones.find(name);
        if (found != probed.Milestones.end())
            row(what, found->second);
        else
            std::printf("  %-45s       -  (not passed)\n", what.c_str());
    }
    if (!probed.Frame.empty())
        row("first frame on screen", probed.Frame);

    if (!plain.Frame.empty())
        PrintFigure("exec to first frame on screen, median of " + std::to_string(Starts) + " (" + machine + ")",
                    Median(plain.Frame), "ms", GoalMs, 1, quiet ? nullptr : "the goal is for a quiet machine");
    if (!busy.Frame.empty())
        PrintFigure("exec to first frame on screen, median of " + std::to_string(Starts) + ", two busy loops running",
                    Median(busy.Frame), "ms", std::nullopt);
    if (!plain.Cpu.empty())
        PrintFigure("CPU time from exec to first frame (all threads), median of " + std::to_string(Starts),
                    Median(plain.Cpu), "ms", std::nullopt);
    return 0;
}
