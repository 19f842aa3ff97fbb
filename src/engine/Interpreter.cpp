#include "engine/UnitRK.h"
#include "platform/Application.h"

namespace UnitRK {

TEngineState Rk;

TServices IdleServices()
{
    TServices s;
    s.LoadPictureFile = [](TImage&, const std::string&) {};
    s.MidiPlay = [](const std::string&, bool) {};
    s.MidiClose = [] {};
    s.WavePlay = [](const std::string&, bool) {};
    s.WaveStop = [] {};
    return s;
}

TServices Services = IdleServices();

void SetLimits(int maxMsgLines, int maxChoice, int narrowWidth, int wideWidth)
{
    Rk.MaxMsgLines = maxMsgLines;
    Rk.MaxChoice = maxChoice;
    Rk.NarrowWidth = narrowWidth;
    Rk.WideWidth = wideWidth;
}

void BindControls(TLabel* labMain, TImage* image1, const std::vector<TLabel*>& choiceLabels, TPanel* panelCg,
                  TPanel* page1, TPanel* page2, const std::vector<TButton*>& loadButtons)
{
    Rk.LabMain = labMain;
    Rk.Image1 = image1;
    Rk.PanelCg = panelCg;
    Rk.Page1 = page1;
    Rk.Page2 = page2;
    Rk.ChoiceTargets.Resize(static_cast<size_t>(Rk.MaxChoice + 1));
    Rk.ChoiceLabels.Resize(static_cast<size_t>(Rk.MaxChoice + 1));
    for (int i = 0; i <= Rk.MaxChoice; ++i)
        Rk.ChoiceLabels[i] = choiceLabels.at(static_cast<size_t>(i));
    Rk.LoadButtons.Resize(loadButtons.size());
    for (size_t i = 0; i < loadButtons.size(); ++i)
        Rk.LoadButtons[static_cast<int64_t>(i)] = loadButtons[i];
}

void ResetEngine()
{
    HideChoices();
    Rk.MsgLines = 0;
    Rk.MsgText.clear();
    Rk.Stopped = false;
    Rk.AutoNext = false;
    Rk.Choosing = false;
}

void Advance()
{
    if (Rk.AutoNext || Rk.Stopped || Rk.Choosing)
        return;
    if (Rk.CurLine >= Rk.LineTotal) {
        Application().Terminate();
        return;
    }
    // A failing step leaves CurLine on its line and waits for a click to try it again,
    // rather than letting the timer repeat the error at every tick.
    try {
        if (IsBreakLine(Rk.ScriptLines[Rk.CurLine])) {
            ClearMessage();
            while (IsBreakLine(Rk.ScriptLines[Rk.CurLine]))
                ++Rk.CurLine;
        }
        StepLine();
    } catch (...) {
        Rk.AutoNext = false;
        throw;
    }
    ++Rk.CurLine;
}

void AutoTick()
{
    if (!Rk.AutoNext)
        return;
    Rk.AutoNext = false;
    Advance();
}

void StepLine()
{
    const std::string line = Rk.ScriptLines[Rk.CurLine];
    if (DoCommand(line))
        return;
    if (ShowChoices())
        return;
    AddMessage(line);
}

bool DoCommand(const std::string& line)
{
    TFields words = MakeFields();
    Rk.AutoNext = true;
    if (WordIs(line, "#End", words, 15)) {
        Rk.AutoNext = false;
        Application().Terminate();
    } else if (WordIs(line, "#Stop", words, 15)) {
        Rk.AutoNext = false;
        Rk.Stopped = true;
    } else if (WordIs(line, "#Cg", words, 15)) {
        ShowCg(words[1]);
        Rk.CgName = words[1];
    } else if (WordIs(line, "#Midi", words, 15)) {
        PlayMusic(words[1]);
        Rk.MidiName = words[1];
    } else if (WordIs(line, "#Wave", words, 15)) {
        if (!words[1].empty())
            Services.WavePlay(DataFolder + words[1], false);
        else
            Services.WaveStop();
    } else if (WordIs(line, "#Goto", words, 15)) {
        if (IsLabelMark(words[1], 1))
            GotoLabel(words[1]);
    } else {
        Rk.AutoNext = false;
        return false;
    }
    return true;
}

void GotoLabel(const std::string& label)
{
    for (int64_t i = int64_t{Rk.CurLine} + 1; i <= Rk.LineTotal - 1; ++i) {
        if (Rk.ScriptLines[i] == label) {
            Rk.CurLine = static_cast<int32_t>(i);
            return;
        }
    }
    for (int64_t i = 0; i <= int64_t{Rk.CurLine} - 1; ++i) {
        if (Rk.ScriptLines[i] == label) {
            Rk.CurLine = static_cast<int32_t>(i);
            return;
        }
    }
}

void AddMessage(const std::string& line)
{
    if (Rk.MsgLines < Rk.MaxMsgLines) {
        Rk.MsgText += line + "\r\n";
        ++Rk.MsgLines;
    } else {
        Rk.MsgText = line + "\r\n";
        Rk.MsgLines = 1;
    }
    Rk.LabMain->Caption = Rk.MsgText;
}

void ClearMessage()
{
    Rk.MsgText.clear();
    Rk.MsgLines = 0;
    Rk.LabMain->Caption.clear();
}

void ShowCg(const std::string& name)
{
    TImage& image = *Rk.Image1;
    image.Visible = false;
    if (name.empty())
        return;
    Services.LoadPictureFile(image, DataFolder + name);
    // Centred; the division truncates toward zero, so a larger picture is cut on both sides.
    image.Left = (Rk.PanelCg->Width - image.Width) / 2;
    image.Top = (Rk.PanelCg->Height - image.Height) / 2;
    image.Visible = true;
}

void PlayMusic(const std::string& name)
{
    if (!name.empty())
        Services.MidiPlay(DataFolder + name, true);
    else
        Services.MidiClose();
}

}  // namespace UnitRK
