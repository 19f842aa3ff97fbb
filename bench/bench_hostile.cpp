// A stranger's story against the real player: for each hostile input (music that is a device, a
// FIFO or a MIDI file of millions of events, a wave whose header claims hundreds of megabytes, a
// metafile of a million large rectangles, a script of millions of lines, a line of twenty thousand
// "&", a zip whose picture inflates to a gigabyte), the player starts in the story's folder (or is
// given the archive) on a private Xvfb, is left to it for a few
// seconds, and is then sent Enter; the figure is its peak memory, and the goal holds only when it
// also showed a window and answered the key by drawing. A player that grows past 1 GB is stopped
// there, so that the bench never takes the machine with it.
//   bench_hostile [PLAYER]
#include "BenchFigure.h"
#include "XScreen.h"

#include <X11/keysym.h>

#include <archive.h>
#include <archive_entry.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr double GoalMb = 200;
constexpr double StopAboveMb = 1024;
// Time the player is left with its input before Enter is sent, and then to answer it.
constexpr auto LeftAlone = std::chrono::seconds(3);
constexpr int64_t AnswerLimitNs = 20'000'000'000;

struct THostile {
    const char* What;
    std::function<void(const fs::path& dat)> Make;
    const char* Archive = nullptr;  // the archive made beside dat that the player is given, if any
};

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

void Put(std::string& s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A GSM 6.10 wave as Windows' recorder writes it, whose data chunk claims `dataBytes` bytes of
// zeros; the file is sparse, so it takes no room on the disk.
void MakeGsmWave(const fs::path& path, uint32_t dataBytes)
{
    std::string h = "RIFF";
    Put(h, 0, 4);
    h += "WAVEfmt ";
    Put(h, 20, 4);
    for (uint32_t v : {0x31u, 1u})  // GSM 6.10, mono
        Put(h, v, 2);
    Put(h, 8000, 4);
    Put(h, 1625, 4);
    for (uint32_t v : {65u, 0u, 2u, 320u})  // block align, bits, extra size, samples per block
        Put(h, v, 2);
    h += "data";
    Put(h, dataBytes, 4);
    Write(path, h);
    fs::resize_file(path, h.size() + dataBytes);
}

// A MIDI file of one track of `bytes` bytes of program changes, the shortest events there are.
void MakeDenseMidi(const fs::path& path, uint32_t bytes)
{
    std::string events;
    while (events.size() + 7 < bytes)
        events += std::string("\x00\xC0\x01", 3);
    events += std::string("\x00\xFF\x2F\x00", 4);
    std::string file = "MThd";
    for (uint32_t v : {0u, 0u, 0u, 6u, 0u, 0u, 0u, 1u, 0u, 96u})
        file += static_cast<char>(v);
    file += "MTrk";
    for (int shift : {24, 16, 8, 0})
        file += static_cast<char>((events.size() >> shift) & 0xFF);
    Write(path, file + events);
}

// A placeable Windows metafile of a 4096 x 4096 frame filled by `count` rectangles, each the
// whole frame.
void MakeWholeFrameWmf(const fs::path& path, uint32_t count)
{
    std::string f;
    Put(f, 0x9AC6CDD7, 4);
    const uint32_t words[] = {0, 0, 0, 4096, 4096, 96};  // handle, left, top, right, bottom, inch
    uint16_t sum = 0xCDD7 ^ 0x9AC6;
    for (uint32_t w : words) {
        Put(f, w, 2);
        sum ^= static_cast<uint16_t>(w);
    }
    Put(f, 0, 4);
    Put(f, sum, 2);
    const uint32_t recordWords = 7;
    for (uint32_t v : {1u, 9u, 0x300u})  // a file of 9-word header, version 3
        Put(f, v, 2);
    Put(f, 9 + count * recordWords + 3, 4);
    Put(f, 0, 2);
    Put(f, recordWords, 4);
    Put(f, 0, 2);
    std::string rectangle;
    Put(rectangle, recordWords, 4);
    for (uint32_t v : {0x041Bu, 4095u, 4095u, 0u, 0u})  // Rectangle(0, 0, 4095, 4095)
        Put(rectangle, v, 2);
    f.reserve(f.size() + rectangle.size() * count + 6);
    for (uint32_t i = 0; i < count; ++i)
        f += rectangle;
    Put(f, 3, 4);
    Put(f, 0, 2);
    Write(path, f);
}

// A zip of a story whose picture is `inflated` bytes of zeros, packed to a thousandth of that.
void MakeZipBomb(const fs::path& path, int64_t inflated)
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_filename(a, path.c_str());
    const std::string script = "#Cg big.jpg\r\nhello\r\nworld\r\n";
    const std::string zeros(1 << 20, '\0');
    for (const auto& [name, size] :
         {std::pair{"s/dat/1.txt", static_cast<int64_t>(script.size())}, std::pair{"s/dat/big.jpg", inflated}}) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name);
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, size);
        archive_write_header(a, e);
        if (size == static_cast<int64_t>(script.size()))
            archive_write_data(a, script.data(), script.size());
        else
            for (int64_t left = size; left > 0; left -= static_cast<int64_t>(zeros.size()))
                archive_write_data(a, zeros.data(), zeros.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

const std::vector<THostile> Inputs = {
    {"music that is /dev/zero",
     [](const fs::path& dat) {
         std::string up;
         for (int i = 0; i < 12; ++i)
             up += "..\\";
         Write(dat / "1.txt", "#Midi " + up + "dev\\zero\r\nhello\r\nworld\r\n");
     }},
    {"music that is a FIFO",
     [](const fs::path& dat) {
         mkfifo((dat / "bgm.mid").c_str(), 0600);
         Write(dat / "1.txt", "#Midi bgm.mid\r\nhello\r\nworld\r\n");
     }},
    {"a MIDI file of 4 MB of program changes",
     [](const fs::path& dat) {
         MakeDenseMidi(dat / "bgm.mid", 4 * 1024 * 1024 - 64);
         Write(dat / "1.txt", "#Midi bgm.mid\r\nhello\r\nworld\r\n");
     }},
    {"a MIDI file of 30 MB of program changes",
     [](const fs::path& dat) {
         MakeDenseMidi(dat / "bgm.mid", 30 * 1024 * 1024);
         Write(dat / "1.txt", "#Midi bgm.mid\r\nhello\r\nworld\r\n");
     }},
    {"a GSM wave claiming 436 MB",
     [](const fs::path& dat) {
         MakeGsmWave(dat / "big.wav", 436'207'655);
         Write(dat / "1.txt", "#Wave big.wav\r\nhello\r\nworld\r\n");
     }},
    {"a metafile of a million rectangles as large as its 4096 x 4096 frame",
     [](const fs::path& dat) {
         MakeWholeFrameWmf(dat / "big.wmf", 1'000'000);
         Write(dat / "1.txt", "#Cg big.wmf\r\nhello\r\nworld\r\n");
     }},
    {"a 40 MB script of short lines",
     [](const fs::path& dat) {
         std::string lines;
         lines.reserve(40'000'000);
         while (lines.size() < 40'000'000)
             lines += "x\n";
         Write(dat / "1.txt", lines);
     }},
    {"a line of 20,000 \"&a\"",
     [](const fs::path& dat) {
         std::string line;
         for (int i = 0; i < 20'000; ++i)
             line += "&a";
         Write(dat / "1.txt", line + "\r\nhello\r\n");
     }},
    {"a zip whose picture inflates to 1 GB",
     [](const fs::path& dat) { MakeZipBomb(dat.parent_path() / "bomb.zip", int64_t{1} << 30); }, "bomb.zip"},
};

double RssMbOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

struct TOutcome {
    bool Shown = false, Answered = false, Stopped = false;
    double PeakMb = 0;
};

pid_t StartPlayer(const std::string& player, const fs::path& story, const char* archive, const std::string& display,
                  const fs::path& config)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(story.c_str()) != 0)
            _exit(127);
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("SDL_VIDEODRIVER");
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_STATE_HOME", config.c_str(), 1);  // what was read, kept out of the user's own
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execl(player.c_str(), player.c_str(), archive, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

TOutcome Feed(const std::string& player, const fs::path& story, const char* archive, const std::string& display,
              TScreenWatch& watch)
{
    TOutcome outcome;
    const pid_t pid = StartPlayer(player, story, archive, display, story.parent_path() / "config");
    if (pid < 0)
        return outcome;
    // The player's memory, watched all along; past the limit it is stopped.
    std::atomic<bool> done{false}, stopped{false};
    std::atomic<double> peak{0};
    std::thread sampler([&] {
        while (!done) {
            const double mb = RssMbOf(pid);
            peak = std::max(peak.load(), mb);
            if (mb > StopAboveMb && !stopped.exchange(true))
                kill(pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    int64_t mappedNs = 0, frameNs = 0;
    outcome.Shown = watch.AwaitFirstFrame(pid, NowNs(), mappedNs, frameNs);
    if (outcome.Shown) {
        std::this_thread::sleep_for(LeftAlone);
        if (const Window top = watch.TopWindow(); top && !HasEnded(pid)) {
            watch.SendKey(top, XK_Return);
            outcome.Answered = watch.AwaitDrawing(pid, AnswerLimitNs);
        }
    }
    kill(pid, SIGTERM);
    for (int i = 0; i < 100 && !HasEnded(pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(pid, SIGKILL);
    rusage usage{};
    wait4(pid, nullptr, 0, &usage);
    done = true;
    sampler.join();
    watch.Drain();
    outcome.Stopped = stopped;
    outcome.PeakMb = std::max(peak.load(), static_cast<double>(usage.ru_maxrss) / 1024);
    return outcome;
}

std::string Verdict(const TOutcome& o)
{
    if (o.Stopped)
        return "NO (stopped past 1 GB)";
    if (!o.Shown)
        return "NO (no window within 60 s)";
    if (!o.Answered)
        return "NO (Enter not answered within 20 s)";
    return o.PeakMb < GoalMb ? "yes" : "NO";
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string player = argc > 1 ? argv[1] : RK_PLAYER;
    TXvfb xvfb;
    if (!xvfb.Start()) {
        std::printf("not measured: Xvfb does not start (Debian: xvfb)\n");
        return 0;
    }
    TScreenWatch watch;
    if (!watch.Open(xvfb.Display)) {
        std::printf("not measured: cannot watch display %s\n", xvfb.Display.c_str());
        return 0;
    }
    char pattern[] = "/tmp/rk-hostile-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::printf("not measured: no temporary folder\n");
        return 0;
    }
    const fs::path root = pattern;
    int n = 0;
    for (const THostile& input : Inputs) {
        const fs::path story = root / ("story" + std::to_string(++n));
        fs::create_directories(story / "dat");
        input.Make(story / "dat");
        const TOutcome o = Feed(player, story, input.Archive, xvfb.Display, watch);
        std::printf("%s: window %s, Enter %s, peak %.1f MB%s\n", input.What, o.Shown ? "shown" : "not shown",
                    o.Answered ? "answered" : "not answered", o.PeakMb, o.Stopped ? " (stopped)" : "");
        std::printf("figure | peak memory of the player fed %s, answering Enter | %.1f MB | under %g MB | %s\n",
                    input.What, o.PeakMb, GoalMb, Verdict(o).c_str());
        std::fflush(stdout);
        fs::remove_all(story);
    }
    fs::remove_all(root);
    return 0;
}
