// The script engine: loader, interpreter, choice menu and save slots. One engine per process;
// its state is module-level, as the window binds its controls to it once at start-up.
#pragma once

#include "engine/MyString.h"
#include "platform/Button.h"
#include "platform/CheckedArray.h"
#include "platform/Image.h"
#include "platform/Label.h"
#include "platform/Panel.h"

#include <cstdint>
#include <functional>
#include <string>

namespace UnitRK {

constexpr int ScriptCapacity = 10000;
constexpr int LoadSlotCount = 3;
constexpr const char* ScriptPath = "dat\\1.txt";
constexpr const char* DataFolder = "dat\\";

struct TEngineState {
    TCheckedArray<std::string> ScriptLines{ScriptCapacity};
    int32_t LineTotal = 0;
    int32_t CurLine = 0;

    std::string MsgText;
    int32_t MsgLines = 0;
    bool Stopped = false;
    bool AutoNext = false;
    bool Choosing = false;
    std::string CgName;
    std::string MidiName;

    int32_t MaxMsgLines = 0;
    int32_t MaxChoice = -1;
    int32_t NarrowWidth = 0;
    int32_t WideWidth = 0;

    // Choice menu.
    TCheckedArray<TLabel*> ChoiceLabels;
    TCheckedArray<std::string> ChoiceTargets;
    int32_t HotChoice = -1;

    // Bound controls, used, never owned.
    TLabel* LabMain = nullptr;
    TImage* Image1 = nullptr;
    TPanel* PanelCg = nullptr;
    TPanel* Page1 = nullptr;
    TPanel* Page2 = nullptr;
    TCheckedArray<TButton*> LoadButtons;
};

// The engine's state. Tests start from a fresh one by assigning TEngineState{}.
extern TEngineState Rk;

// What the engine needs from the picture and sound units. The program binds the real ones at
// start-up; until then they do nothing, and tests replace them to see the calls.
struct TServices {
    std::function<void(TImage& image, const std::string& path)> LoadPictureFile;
    std::function<void(const std::string& path, bool loop)> MidiPlay;
    std::function<void()> MidiClose;
    std::function<void(const std::string& path, bool loop)> WavePlay;
    std::function<void()> WaveStop;
};
extern TServices Services;
// Services that do nothing (the state before the program binds its units).
TServices IdleServices();

// Line tokenizer.
void SplitWords(const std::string& line, TFields& words, int high);
bool WordIs(const std::string& line, const std::string& name, TFields& words, int high);
bool IsLabelMark(const std::string& s, int64_t i);
bool IsBreakLine(const std::string& line);

// Loader.
bool LoadScript(const std::string& path);

// Interpreter.
void SetLimits(int maxMsgLines, int maxChoice, int narrowWidth, int wideWidth);
void BindControls(TLabel* labMain, TImage* image1, const std::vector<TLabel*>& choiceLabels, TPanel* panelCg,
                  TPanel* page1, TPanel* page2, const std::vector<TButton*>& loadButtons);
void ResetEngine();
void Advance();
void AutoTick();
void StepLine();
bool DoCommand(const std::string& line);
void GotoLabel(const std::string& label);
void AddMessage(const std::string& line);
void ClearMessage();
void ShowCg(const std::string& name);
void PlayMusic(const std::string& name);

// Choice menu.
bool ShowChoices();
void HideChoices();
void HighlightChoice(int index);
void ClearHighlight();
void SelectChoice(int index);

// Data menu and save slots.
void OpenDataMenu();
void CloseDataMenu();
bool Restart();
void SaveSlot(int n);
void LoadSlot(int n);
std::string SlotFileName(int n);

}  // namespace UnitRK
