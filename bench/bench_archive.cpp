// A story played straight from a 50 MB ZIP, against the same story unpacked in a folder: exec to
// the first frame on the screen (median of 10 starts of each, taken in turn), and the player's
// peak memory (VmHWM) at that frame. The story is the demo whose script first plays a 24 MB sound
// effect of noise, beside 26 MB of other noise it never names: as large as a big story, and
// nothing in it compresses. Both are named on the command line from another folder, on a private
// Xvfb; sound goes to SDL's dummy driver.
//   bench_archive [--starts N] [PLAYER]
#include "BenchFigure.h"
#include "XScreen.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

int Starts = 10;
constexpr double MiB = 1024 * 1024;
constexpr size_t EffectBytes = 24 << 20;
constexpr int OtherFiles = 13;
constexpr size_t OtherBytes = 2 << 20;
// The archive may cost the start this much more than the folder.
constexpr double GoalExtraMs = 50;

std::string Noise(size_t size, std::mt19937_64& random)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i + 8 <= size; i += 8) {
        const uint64_t word = random();
        std::copy_n(reinterpret_cast<const char*>(&word), 8, bytes.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return bytes;
}

void Put32(std::string& out, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

// A 16-bit stereo wave of 44.1 kHz whose samples are noise.
std::string NoiseWave(size_t size, std::mt19937_64& random)
{
    std::string wave = "RIFF";
    Put32(wave, static_cast<uint32_t>(36 + size));
    wave += "WAVEfmt ";
    Put32(wave, 16);
    Put32(wave, 0x00020001);  // PCM, two channels
    Put32(wave, 44100);
    Put32(wave, 44100 * 4);
    Put32(wave, 0x00100004);  // 4 bytes a frame, 16 bits a sample
    wave += "data";
    Put32(wave, static_cast<uint32_t>(size));
    return wave + Noise(size, random);
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The story's folder, and a ZIP of it with its files under "big-story/".
void MakeStory(const fs::path& folder, const fs::path& zip)
{
    std::mt19937_64 random(7);
    fs::create_directories(folder / "dat");
    for (const auto& entry : fs::directory_iterator(fs::path(RK_DEMO_DIR) / "dat"))
        fs::copy_file(entry.path(), folder / "dat" / entry.path().filename());
    std::ofstream(folder / "dat/1.txt", std::ios::binary)
        << "#Wave noise.wav\r\n" + ReadAll(fs::path(RK_DEMO_DIR) / "dat/1.txt");
    std::ofstream(folder / "dat/noise.wav", std::ios::binary) << NoiseWave(EffectBytes, random);
    for (int i = 0; i < OtherFiles; ++i)
        std::ofstream(folder / ("dat/other" + std::to_string(i) + ".bmp"), std::ios::binary)
            << Noise(OtherBytes, random);

    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_filename(a, zip.c_str());
    for (const auto& entry : fs::directory_iterator(folder / "dat")) {
        const std::string bytes = ReadAll(entry.path());
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, ("big-story/dat/" + entry.path().filename().string()).c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

double VmHwmMb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

struct TStart {
    double FrameMs = 0;
    double PeakMb = 0;
};

// One start of the player on `story`, from `elsewhere`, to its first frame.
std::optional<TStart> Run(TScreenWatch& watch, const std::string& player, const std::string& story,
                          const std::string& elsewhere, const std::string& display)
{
    const int64_t startNs = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(elsewhere.c_str()) != 0)
            _exit(127);
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("SDL_VIDEODRIVER");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("XDG_CONFIG_HOME", (elsewhere + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (elsewhere + "/data").c_str(), 1);
        setenv("XDG_STATE_HOME", (elsewhere + "/state").c_str(), 1);
        execl(player.c_str(), player.c_str(), story.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int64_t mappedNs = 0, frameNs = 0;
    const bool shown = pid > 0 && watch.AwaitFirstFrame(pid, startNs, mappedNs, frameNs);
    TStart start{static_cast<double>(frameNs - startNs) / 1e6, shown ? VmHwmMb(pid) : 0};
    Stop(pid);
    watch.Drain();
    if (!shown)
        return std::nullopt;
    return start;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--starts") {
        Starts = std::max(1, std::atoi(args[1].c_str()));
        args.erase(args.begin(), args.begin() + 2);
    }
    const std::string player = args.empty() ? RK_PLAYER : args[0];
    char pattern[] = "/tmp/rk-bench-archive-XXXXXX";
    const fs::path work = mkdtemp(pattern);
    const fs::path folder = work / "big-story", zip = work / "big-story.zip", elsewhere = work / "elsewhere";
    fs::create_directories(elsewhere);
    MakeStory(folder, zip);
    std::printf("player %s; the story: %.1f MB of files, %.1f MB zipped\n", player.c_str(),
                static_cast<double>(EffectBytes + OtherFiles * OtherBytes) / MiB,
                static_cast<double>(fs::file_size(zip)) / MiB);

    TXvfb xvfb;
    TScreenWatch watch;
    if (!xvfb.Start() || !watch.Open(xvfb.Display)) {
        std::printf("not measured: Xvfb does not start or cannot be watched (Debian: xvfb)\n");
        fs::remove_all(work);
        return 0;
    }
    std::vector<double> folderMs, zipMs, folderMb, zipMb;
    // One unmeasured start of each warms the file cache.
    Run(watch, player, folder, elsewhere, xvfb.Display);
    Run(watch, player, zip, elsewhere, xvfb.Display);
    for (int i = 0; i < Starts; ++i) {
        for (const auto& [story, ms, mb] :
             {std::tuple{folder.string(), &folderMs, &folderMb}, std::tuple{zip.string(), &zipMs, &zipMb}}) {
            if (const std::optional<TStart> start = Run(watch, player, story, elsewhere, xvfb.Display)) {
                ms->push_back(start->FrameMs);
                mb->push_back(start->PeakMb);
            }
        }
    }
    fs::remove_all(work);
    if (folderMs.empty() || zipMs.empty()) {
        std::printf("not measured: the player showed no frame\n");
        return 0;
    }
    std::printf("exec to first frame: folder median %.1f ms, zip median %.1f ms (%zu and %zu starts)\n",
                Median(folderMs), Median(zipMs), folderMs.size(), zipMs.size());
    std::printf("peak memory at the first frame: folder %.1f MB, zip %.1f MB\n", Median(folderMb), Median(zipMb));
    PrintFigure("exec to first frame, story from a 50 MB zip", Median(zipMs), "ms", std::nullopt);
    PrintFigure("the same, more than from its folder", Median(zipMs) - Median(folderMs), "ms", GoalExtraMs);
    PrintFigure("peak memory playing from the zip, more than from the folder", Median(zipMb) - Median(folderMb), "MB",
                static_cast<double>(EffectBytes) / MiB);
    return 0;
}
