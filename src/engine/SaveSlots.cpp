#include "engine/SaveRecord.h"
#include "engine/UnitRK.h"
#include "platform/RecordFile.h"

#include <algorithm>

namespace UnitRK {

namespace {

// Choice entries the engine keeps and the record has room for.
int ChoiceCount() { return std::min<int>(Rk.MaxChoice + 1, static_cast<int>(SaveLayout::ChoiceEntries)); }

TSaveRecord RecordFromEngine()
{
    TSaveRecord r;
    r.CurLine = Rk.CurLine;
    r.MsgText = Rk.MsgText;
    r.MsgLines = Rk.MsgLines;
    r.Stopped = Rk.Stopped;
    for (int i = 0; i < ChoiceCount(); ++i) {
        const TLabel& label = *Rk.ChoiceLabels[i];
        TSaveChoice& c = r.Choices[static_cast<size_t>(i)];
        c.Visible = label.Visible;
        c.Caption = label.Caption;
        c.Width = label.Width;
        c.Target = Rk.ChoiceTargets[i];
    }
    r.Choosing = Rk.Choosing;
    r.CgName = Rk.CgName;
    r.MidiName = Rk.MidiName;
    return r;
}

void RecordToEngine(const TSaveRecord& r)
{
    Rk.CurLine = r.CurLine;
    Rk.MsgText = r.MsgText;
    Rk.MsgLines = r.MsgLines;
    Rk.Stopped = r.Stopped;
    for (int i = 0; i < ChoiceCount(); ++i) {
        TLabel& label = *Rk.ChoiceLabels[i];
        const TSaveChoice& c = r.Choices[static_cast<size_t>(i)];
        label.Visible = c.Visible;
        label.Caption = c.Caption;
        label.Width = c.Width;
        Rk.ChoiceTargets[i] = c.Target;
    }
    Rk.Choosing = r.Choosing;
    Rk.CgName = r.CgName;
    Rk.MidiName = r.MidiName;
}

}  // namespace

void SaveSlot(int n)
{
    const TSaveBytes bytes = EncodeSaveRecord(RecordFromEngine());
    ReplaceFile(SlotFileName(n), bytes.data(), bytes.size());
    CloseDataMenu();
}

void LoadSlot(int n)
{
    // Read first: a slot that cannot be read leaves the running story untouched.
    const std::vector<uint8_t> raw = ReadRecord(SlotFileName(n), SaveLayout::Size);
    TSaveBytes bytes{};
    std::copy(raw.begin(), raw.end(), bytes.begin());
    const TSaveRecord record = DecodeSaveRecord(bytes);

    if (!Restart())
        return;
    RecordToEngine(record);
    Rk.LabMain->Caption = Rk.MsgText;
    ShowCg(Rk.CgName);
    PlayMusic(Rk.MidiName);
    CloseDataMenu();
    if (Events.SlotLoaded)
        Events.SlotLoaded();
}

}  // namespace UnitRK
