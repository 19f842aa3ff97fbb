// Loads a 9999-line script of mixed text, commands, labels and choices, then steps through all
// of it, and prints the load time and the time per step.
//   build/bench/bench_engine
#include "BenchScript.h"
#include "engine/UnitRK.h"
#include "platform/Application.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main()
{
    char pattern[] = "/tmp/rk-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    fs::current_path(dir);
    fs::create_directories("dat");
    std::ofstream("dat/1.txt", std::ios::binary) << BenchScript(9999);

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
    double loadMs = 1e9;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        UnitRK::LoadScript(UnitRK::ScriptPath);
        loadMs = std::min(loadMs, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }

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
    std::printf("steps: %ld, %.2f us per step\n", steps, stepUs);
    fs::current_path("/");
    fs::remove_all(dir);
    return 0;
}
