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
#include <vector>

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

// What the reader's own features (looking back, skipping, auto play, copying the text) hear of
// the story as it plays. They only listen: nothing they do changes the story. Each is empty until
// the program binds it.
struct TStoryEvents {
    // A message line from script line `line` has just been added: Rk.MsgText is the page now.
    std::function<void(int64_t line)> LineShown;
    // A menu of `count` choices read from script line `first` on has just been put up.
    std::function<void(int64_t first, int count)> MenuShown;
    // The story's place, message and menu came back from a save slot.
    std::function<void()> SlotLoaded;
};
extern TStoryEvents Events;

// Line tokenizer.
void SplitWords(const std::string& line, TFields& words, int high);
bool WordIs(const std::string& line, const std::string& name, TFields& words, int high);
bool IsLabelMark(const std::string& s, int64_t i);
bool IsBreakLine(const std::string& line);

// Loader. A script loads whole or not at all: a load that fails leaves the table as it was.
bool LoadScript(const std::string& path);
// Reads the script again while the story plays and goes on from the same line (clamped to the
// new script); the message, picture, music and menu stay. A script that fails to load raises its
// error and leaves the old one in place.
void ReloadScript();
// What a script file's bytes turned out to be, and the Shift-JIS lines the loader takes from them.
enum class TScriptEncoding { ShiftJis, Utf8, Utf8WithBom };
struct TRefusedChar {
    int Line = 0;      // in the file, from 1
    std::string Char;  // UTF-8
};
struct TScriptText {
    TScriptEncoding Encoding = TScriptEncoding::ShiftJis;
    std::vector<std::string> Lines;
    // Characters of a UTF-8 script that have no Shift-JIS form, each shown as "？".
    std::vector<TRefusedChar> Refused;
    // Read as Shift-JIS, though the bytes are also valid UTF-8 holding Japanese text: only a
    // byte-order mark would make it UTF-8.
    bool AlsoUtf8 = false;
};
// Splits a script file into lines (as SplitTextLines does), converting a script saved as UTF-8
// to Shift-JIS so that it plays as if saved so. It is UTF-8 when it starts with a byte-order mark
// (dropped) and the rest is valid UTF-8, or when the whole file is valid UTF-8, holds Japanese
// text and does not read as Shift-JIS. Anything else is Shift-JIS and is kept byte for byte.
TScriptText DecodeScript(const std::string& bytes);
// How far a script file was read.
enum class TScriptEnd {
    Whole,
    TooManyLines,  // a line finds no room in the table: the bytes hold the lines before it
    TooLarge,      // more bytes than a script may hold: the bytes hold as many as it may
};
struct TScriptBytes {
    std::string Bytes;
    TScriptEnd End = TScriptEnd::Whole;
};
// Reads a script file a piece at a time, as far as the loader reads it: it stops at the line that
// finds no room in the table, and at the bound on a script's bytes, so that no file, however
// large, is held whole. Raises EInOutError when it cannot be read or is no regular file.
TScriptBytes ReadScriptBytes(const std::string& windowsPath);
// The lines of a script file as the loader takes them (DecodeScript's). Raises the range error for
// a file ReadScriptBytes stops in.
std::vector<std::string> ReadScriptFile(const std::string& path);
// The table those lines make, closed by "#End". Raises the range error for a line the loader
// refuses and for a script of 10000 lines or more.
std::vector<std::string> ScriptTable(const std::vector<std::string>& fileLines);
// A line of the file as the table first keeps it: the part before its first "//". Raises the
// range error for more than 16 pieces between "//".
std::string ScriptText(const std::string& fileLine);
// The label a kept line is reduced to (its first word, when that begins with "@"), or "" when it
// is no label line. Raises the range error for more than 16 words.
std::string LabelOf(const std::string& text);

// What a line of the table means to the interpreter.
enum class TCommand { None, End, Stop, Cg, Midi, Wave, Goto };
// The command a line holds (its first word, in any letter case), with its argument (the second
// word, "" when none).
TCommand CommandOf(const std::string& line, std::string& arg);
// A choice line: text, a single-byte "@" and at least one byte before the next one or the line
// end. Gives the caption (the text before the "@", blanks kept) and the target ("@" and the first
// word after the "@"). Raises the range error for 16 or more "@".
bool ChoiceOf(const std::string& line, std::string& caption, std::string& target);

// The choices a menu holds: one for each of the window's choice labels.
constexpr int MenuCapacity = 6;
// One choice of a menu, read from script line `Line`.
struct TMenuChoice {
    int64_t Line = 0;
    std::string Caption, Target;
};
// The menu a step shows at line `first` when that line is no command: the choice lines in a row
// from it (ChoiceOf), at most `most`. Only the step's own line is tried as a command; the lines
// after it count as choices by their shape alone, so "#Goto @x" there is a choice captioned
// "#Goto ". Calls `take` for each choice as it is read, numbered from 0, so that a line with 16 or
// more "@" raises the range error with the choices before it taken. Returns how many there are.
int ReadMenu(const std::function<const std::string&(int64_t line)>& lineAt, int64_t first, int most,
             const std::function<void(int index, const TMenuChoice& choice)>& take);

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
// The first step of a story started at a label rather than at its top: play goes on after the
// label line at `labelLine`, as after a #Goto to it, with the picture and music given.
void StartAt(int labelLine, const std::string& cgName, const std::string& midiName);

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
