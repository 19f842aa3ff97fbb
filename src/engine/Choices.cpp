#include "engine/UnitRK.h"

namespace UnitRK {

namespace {

void SetNormalColours(TLabel& label)
{
    label.Color = Rk.LabMain->Color;
    label.Font.Color = Rk.LabMain->Font.Color;
}

}  // namespace

bool ChoiceOf(const std::string& line, std::string& caption, std::string& target)
{
    TFields fields = MakeFields();
    Split(line, "@", fields, 15);
    if (fields[0].empty() || fields[1].empty())
        return false;
    TFields words = MakeFields();
    SplitWords(fields[1], words, 15);
    caption = fields[0];
    target = "@" + words[0];
    return true;
}

int ReadMenu(const std::function<const std::string&(int64_t line)>& lineAt, int64_t first, int most,
             const std::function<void(int index, const TMenuChoice& choice)>& take)
{
    TMenuChoice choice;
    int i = 0;
    for (; i < most; ++i) {
        choice.Line = first + i;
        if (!ChoiceOf(lineAt(choice.Line), choice.Caption, choice.Target))
            break;
        take(i, choice);
    }
    return i;
}

bool ShowChoices()
{
    const auto lineAt = [](int64_t line) -> const std::string& { return Rk.ScriptLines[line]; };
    // Each choice is put up as it is read: a line that fails leaves those before it captioned
    // and CurLine on it, and a save made then records them so.
    const int count = ReadMenu(lineAt, Rk.CurLine, Rk.MaxChoice + 1, [](int i, const TMenuChoice& choice) {
        if (i == (Rk.MaxChoice + 1) / 2) {
            // The fourth choice switches the menu to two columns.
            for (int k = 0; k < i; ++k)
                Rk.ChoiceLabels[k]->Width = Rk.NarrowWidth;
        }
        Rk.ChoiceLabels[i]->Caption = choice.Caption;
        Rk.ChoiceTargets[i] = choice.Target;
        ++Rk.CurLine;
    });
    if (count == 0)
        return false;
    --Rk.CurLine;
    Rk.Choosing = true;
    ClearMessage();
    for (int k = 0; k < count; ++k)
        Rk.ChoiceLabels[k]->Visible = true;
    if (Events.MenuShown)
        Events.MenuShown(Rk.CurLine - count + 1, count);
    return true;
}

void HideChoices()
{
    for (int i = 0; i <= Rk.MaxChoice; ++i) {
        TLabel& label = *Rk.ChoiceLabels[i];
        label.Visible = false;
        SetNormalColours(label);
        if (i < (Rk.MaxChoice + 1) / 2)
            label.Width = Rk.WideWidth;
    }
    Rk.HotChoice = -1;
}

void HighlightChoice(int index)
{
    if (index == Rk.HotChoice)
        return;
    TLabel& label = *Rk.ChoiceLabels[index];
    if (Rk.HotChoice >= 0)
        SetNormalColours(*Rk.ChoiceLabels[Rk.HotChoice]);
    label.Color = Rk.LabMain->Font.Color;
    label.Font.Color = Rk.LabMain->Color;
    Rk.HotChoice = index;
}

void ClearHighlight()
{
    if (Rk.HotChoice == -1)
        return;
    SetNormalColours(*Rk.ChoiceLabels[Rk.HotChoice]);
    Rk.HotChoice = -1;
}

void SelectChoice(int index)
{
    const std::string target = Rk.ChoiceTargets[index];  // an unknown index fails before anything changes
    HideChoices();
    // The search starts after the menu. CurLine may come from a damaged slot, so it steps
    // with wrap-around rather than overflow; the table access then reports the range error.
    Rk.CurLine = static_cast<int32_t>(static_cast<uint32_t>(Rk.CurLine) - 1u);
    GotoLabel(target);
    Rk.CurLine = static_cast<int32_t>(static_cast<uint32_t>(Rk.CurLine) + 1u);
    Rk.Choosing = false;
    Rk.AutoNext = true;
}

}  // namespace UnitRK
