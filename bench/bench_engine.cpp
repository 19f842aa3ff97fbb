// Loads a 9999-line script of mixed text, commands, labels and choices, in Shift-JIS and saved
// as UTF-8, then steps through all of it, and prints the load time and the time per step; then
// the time to find a picture among 200 by its exact name, its UTF-8 name and another case.
//   build/bench/bench_engine
#include "BenchFigure.h"
#include "BenchScript.h"
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The script loads before the first frame: a third of the start's 60 ms at most.
constexpr double LoadGoalMs = 20;
// A step, or finding the file a command names, must be nothing beside the 16 ms of a frame.
constexpr double StepGoalUs = 1000;

// The best time of `rounds` runs of `run`, in microseconds.
template <typename F>
double BestUs(int rounds, F run)
{
    double best = 1e18;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    return best;
}

void BenchLookup()
{
    fs::create_directories("pics");
    for (int i = 0; i < 200; ++i)
        std::ofstream("pics/駅" + std::to_string(i) + ".JPG") << "x";
    std::ofstream("pics/" + Sjis::FromUtf8("駅") + "exact.jpg") << "x";
    std::ofstream("pics/ëwmangled.jpg") << "x";  // 駅 (89 77) as unzip writes it
    const std::string eki = Sjis::FromUtf8("駅");
    const struct {
        const char* What;
        std::string Name;
    } cases[] = {{"exact name", "pics\\" + eki + "exact.jpg"},
                 {"UTF-8 name", "pics\\" + eki + "7.JPG"},
                 {"UTF-8 name, other case", "pics\\" + eki + "7.jpg"},
                 {"name mangled by an unpacker", "pics\\" + eki + "mangled.jpg"},
                 {"missing", "pics\\" + eki + "none.jpg"}};
    for (const auto& c : cases) {
        const bool found = FindDataFile(c.Name).Found;
        const double us = BestUs(20,
                                 [&] {
                                     for (int k = 0; k < 100; ++k)
                                         FindDataFile(c.Name);
                                 }) /
                          100;
        std::printf("lookup among 200 pictures, %s%s: %.2f us\n", c.What, found ? "" : " (not found)", us);
        PrintFigure(std::string("file lookup among 200 pictures, ") + c.What, us, "us", StepGoalUs, 2);
    }
}

}  // namespace

int main()
{
    char pattern[] = "/tmp/rk-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    fs::current_path(dir);
    fs::create_directories("dat");

    TPanel page1("Page1"), page2("Page2"), panelCg("PanelCg");
    TLabel labMain("LabMain");
    TImage image1("Image1");
    std::vector<std::unique_ptr<TLabel>> labels;
    std::vector<TLabel*> choiceLabels;
    for (int i = 0; i < 6; ++i) {
        labels.push_back(std::make_unique<TLabel>("Label" + std::to_string(i)));
        choiceLabels.push_back(labels.back().get());
    }
    TButton b0("ButLoad0"), b1("ButLoad1"), b2("ButLoad2");
    UnitRK::SetLimits(3, 5, 72, 148);
    UnitRK::BindControls(&labMain, &image1, choiceLabels, &panelCg, &page1, &page2, {&b0, &b1, &b2});
    UnitRK::ResetEngine();

    const int rounds = 20;
    const std::string script = BenchScript(9999);
    std::ofstream("dat/1.txt", std::ios::binary) << Sjis::ToUtf8(script);
    const double utf8LoadMs = BestUs(rounds, [] { UnitRK::LoadScript(UnitRK::ScriptPath); }) / 1000;
    std::ofstream("dat/1.txt", std::ios::binary) << script;
    const double loadMs = BestUs(rounds, [] { UnitRK::LoadScript(UnitRK::ScriptPath); }) / 1000;

    long steps = 0;
    auto t0 = Clock::now();
    while (!Application().Terminated()) {
        if (UnitRK::Rk.Choosing)
            UnitRK::SelectChoice(static_cast<int>(steps % 2));
        if (UnitRK::Rk.AutoNext)
            UnitRK::AutoTick();
        else
            UnitRK::Advance();
        ++steps;
        Application().ProcessMessages();
    }
    double stepUs = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / static_cast<double>(steps);

    std::printf("script: 9999 lines (%d entries)\n", UnitRK::Rk.LineTotal);
    std::printf("load: %.2f ms (best of %d)\n", loadMs, rounds);
    const bool readAsUtf8 = UnitRK::DecodeScript(Sjis::ToUtf8(script)).Encoding == UnitRK::TScriptEncoding::Utf8;
    std::printf("load, saved as UTF-8: %.2f ms (best of %d)%s\n", utf8LoadMs, rounds,
                readAsUtf8 ? "" : " NOT READ AS UTF-8");
    std::printf("steps: %ld, %.2f us per step\n", steps, stepUs);
    PrintFigure("script load, 9999 lines", loadMs, "ms", LoadGoalMs, 2);
    PrintFigure("script load, 9999 lines saved as UTF-8", utf8LoadMs, "ms", LoadGoalMs, 2);
    PrintFigure("one step of the story (click or timer tick)", stepUs, "us", StepGoalUs, 2);
    BenchLookup();
    fs::current_path("/");
    fs::remove_all(dir);
    return 0;
}
