// The script loader and the engine behind the real window: the input is dat\1.txt, and the story
// is then played for a few hundred steps of clicks, choices at its menus, saves and loads, as the
// bytes' own plan picks them. A script can only ever raise the range error (a line cut into more
// words or pieces than the tokenizer has slots for, a script too long for the table), and play
// never leaves the script.
#include "FuzzWindow.h"

#include "engine/UnitRK.h"

#include <string>

namespace {

constexpr int Steps = 300;
Fuzz::TWindow* Window = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::EnterStoryFolder(argc, argv);
    Window = new Fuzz::TWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using UnitRK::Rk;
    for (int n = 0; n < UnitRK::LoadSlotCount; ++n)
        Fuzz::RemoveFile(UnitRK::SlotFileName(n));
    Fuzz::WriteFile("dat/1.txt", std::string(reinterpret_cast<const char*>(data), size));
    Window->Start();
    Fuzz::Require(Rk.LineTotal <= UnitRK::ScriptCapacity, "more lines loaded than the table holds");
    Fuzz::Require(Rk.LineTotal == 0 || Rk.ScriptLines[Rk.LineTotal - 1] == "#End",
                  "a loaded script not closed by #End");
    std::mt19937 plan = Fuzz::PlanFor(data, size);
    for (int step = 0; step < Steps && !Window->Ended(); ++step) {
        Window->Act(plan);
        Fuzz::Require(Rk.CurLine >= 0 && Rk.CurLine <= Rk.LineTotal, "play left the script");
    }
    Fuzz::Require(Window->OnlyRangeErrors(), "a script raised an error other than the range error: " +
                                                 (Window->Reports().empty() ? "" : Window->Reports().back()));
    return 0;
}
