#include "engine/UnitRK.h"
#include "platform/Files.h"

namespace UnitRK {

std::string SlotFileName(int n) { return "save" + std::to_string(n) + ".dat"; }

void OpenDataMenu()
{
    if (Rk.AutoNext)
        return;
    Rk.Page2->Visible = true;
    Rk.Page1->Visible = false;
    for (int n = 0; n < static_cast<int>(Rk.LoadButtons.Count()); ++n)
        Rk.LoadButtons[n]->Visible = KeptFileExists(SlotFileName(n));
}

void CloseDataMenu()
{
    Rk.Page1->Visible = true;
    Rk.Page2->Visible = false;
}

bool Restart()
{
    Services.WaveStop();
    Services.MidiClose();
    ResetEngine();
    return LoadScript(ScriptPath);
}

}  // namespace UnitRK
