// The save-record reader and a load through it: the input is save0.dat beside the demo story. The
// slot is loaded from the data menu as a player loads it, saved again at once to another slot,
// and the story is then played on for a while from whatever the record held. A record reads back
// as it was written; a save made straight after a load keeps everything the load brought back.
#include "FuzzWindow.h"

#include "engine/SaveRecord.h"
#include "engine/UnitRK.h"

#include <algorithm>
#include <string>

namespace {

constexpr int Steps = 40;
Fuzz::TWindow* Window = nullptr;

std::string Describe(const TSaveRecord& r)
{
    std::string s = std::to_string(r.CurLine) + "|" + r.MsgText + "|" + std::to_string(r.MsgLines) + "|" +
                    std::to_string(r.Stopped) + std::to_string(r.Choosing) + "|" + r.CgName + "|" + r.MidiName;
    for (const TSaveChoice& c : r.Choices)
        s += "|" + std::to_string(c.Visible) + "," + c.Caption + "," + std::to_string(c.Width) + "," + c.Target;
    return s;
}

TSaveRecord Decode(const std::string& file)
{
    TSaveBytes bytes{};
    std::copy_n(file.begin(), std::min(file.size(), bytes.size()), bytes.begin());
    return DecodeSaveRecord(bytes);
}

// What the engine keeps of a record: the choice entries its six labels have room for.
TSaveRecord Kept(TSaveRecord r)
{
    for (size_t i = UnitRK::Rk.ChoiceLabels.Count(); i < r.Choices.size(); ++i)
        r.Choices[i] = TSaveChoice{};
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::EnterStoryFolder(argc, argv, RK_DEMO_DIR);
    Window = new Fuzz::TWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    const bool whole = size >= SaveLayout::Size;
    if (whole) {
        TSaveRecord record = Decode(file);
        Fuzz::Require(Describe(DecodeSaveRecord(EncodeSaveRecord(record))) == Describe(record),
                      "a record does not read back as it was written");
    }

    for (int n = 0; n < UnitRK::LoadSlotCount; ++n)
        Fuzz::RemoveFile(UnitRK::SlotFileName(n));
    Fuzz::WriteFile(UnitRK::SlotFileName(0), file);
    Window->Start();
    // The demo opens with commands, which the timer carries out before the data menu may open.
    for (int tick = 0; tick < 10 && UnitRK::Rk.AutoNext; ++tick)
        Window->RunTimers();
    TForm1& form = *Window->Form;
    Window->ClickOn(form.PanelCg, SDL_BUTTON_RIGHT);
    Fuzz::Require(form.ButLoad0.Showing(), "the data menu does not offer a slot that exists");
    Window->ClickOn(form.ButLoad0);
    if (whole) {
        // Whatever the picture or music names do, the record itself is in the engine now.
        if (!form.Page2.Visible)
            Window->ClickOn(form.PanelCg, SDL_BUTTON_RIGHT);
        Fuzz::Require(form.ButSave1.Showing(), "the data menu does not open after a load");
        Window->ClickOn(form.ButSave1);
        Fuzz::Require(Describe(Decode(Fuzz::ReadFile(UnitRK::SlotFileName(1)))) == Describe(Kept(Decode(file))),
                      "a save made straight after a load differs from the slot loaded");
    }
    std::mt19937 plan = Fuzz::PlanFor(data, size);
    for (int step = 0; step < Steps && !Window->Ended(); ++step)
        Window->Act(plan);
    return 0;
}
