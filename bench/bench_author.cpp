// The author's tools on a 9999-line story that shows 200 different pictures: the checker (every
// picture decoded once, every line measured) and the story map.
//   build/bench/bench_author
#include "BenchFigure.h"
#include "BenchScript.h"
#include "author/StoryCheck.h"
#include "author/StoryMap.h"
#include "author/StoryOutline.h"
#include "engine/UnitRK.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

}  // namespace

int main()
{
    char pattern[] = "/tmp/rk-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    fs::current_path(dir);
    fs::create_directories("dat");
    std::ofstream("dat/1.txt", std::ios::binary) << BenchScript(9999, 200);
    for (int i = 0; i < 200; ++i)
        fs::copy_file(std::string(RK_TEST_IMAGES) + "/testorig.jpg", "dat/pic" + std::to_string(i) + ".jpg");

    auto t0 = Clock::now();
    const Author::TCheckReport report = Author::CheckStory();
    const double checkMs = MsSince(t0);

    double mapMs = 1e9;
    size_t mapBytes = 0;
    for (int round = 0; round < 5; ++round) {
        t0 = Clock::now();
        const Author::TOutline outline(UnitRK::ScriptTable(UnitRK::ReadScriptFile(UnitRK::ScriptPath)));
        mapBytes = Author::StoryGraph(outline).size();
        mapMs = std::min(mapMs, MsSince(t0));
    }

    std::printf("--check: %zu diagnostics; --map: %zu bytes of dot\n", report.Diagnostics.size(), mapBytes);
    PrintFigure("author tools: --check, 9999 lines, 200 pictures", checkMs, "ms", 1000, 0);
    PrintFigure("author tools: --map, 9999 lines, best of 5", mapMs, "ms", 200);
    fs::current_path("/");
    fs::remove_all(dir);
    return 0;
}
