#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/PictureArea.h"

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
TStoryEvents Events;

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
    if (Events.LineShown)
        Events.LineShown(Rk.CurLine);
}

TCommand CommandOf(const std::string& line, std::string& arg)
{
    static const std::pair<const char*, TCommand> names[] = {{"#End", TCommand::End},   {"#Stop", TCommand::Stop},
                                                             {"#Cg", TCommand::Cg},     {"#Midi", TCommand::Midi},
                                                             {"#Wave", TCommand::Wave}, {"#Goto", TCommand::Goto}};
    TFields words = MakeFields();
    for (const auto& [name, command] : names) {
        if (WordIs(line, name, words, 15)) {
            arg = words[1];
            return command;
        }
    }
    arg.clear();
    return TCommand::None;
}

bool DoCommand(const std::string& line)
{
    std::string arg;
    Rk.AutoNext = true;
    switch (CommandOf(line, arg)) {
    case TCommand::End:
        Rk.AutoNext = false;
        Application().Terminate();
        break;
    case TCommand::Stop:
        Rk.AutoNext = false;
        Rk.Stopped = true;
        break;
    case TCommand::Cg:
        ShowCg(arg);
        Rk.CgName = arg;
        break;
    case TCommand::Midi:
        PlayMusic(arg);
        Rk.MidiName = arg;
        break;
    case TCommand::Wave:
        if (!arg.empty())
            Services.WavePlay(DataFolder + arg, false);
        else
            Services.WaveStop();
        break;
    case TCommand::Goto:
        if (IsLabelMark(arg, 1))
            GotoLabel(arg);
        break;
    case TCommand::None:
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
    image.Left = PictureArea::CentredOffset(Rk.PanelCg->Width, image.Width);
    image.Top = PictureArea::CentredOffset(Rk.PanelCg->Height, image.Height);
    image.Visible = true;
}

void StartAt(int labelLine, const std::string& cgName, const std::string& midiName)
{
    Rk.CgName = cgName;
    Rk.MidiName = midiName;
    ShowCg(cgName);
    if (!midiName.empty())
        PlayMusic(midiName);
    Rk.CurLine = labelLine + 1;
    Advance();
}

void PlayMusic(const std::string& name)
{
    if (!name.empty())
        Services.MidiPlay(DataFolder + name, true);
    else
        Services.MidiClose();
}

}  // namespace UnitRK
