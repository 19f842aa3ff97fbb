// The shape of a story as the player walks it: what each entry of the script table means to the
// interpreter, where a jump from a line lands, where each step can lead, which lines a story
// can reach from its start, and what picture and music are set on the way to a line. Everything
// here is read through the engine's own routines, so it cannot drift from what the player does.
#pragma once

#include "engine/UnitRK.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Author {

// What a line is to the player reading down the script: a break line, the line of a step that
// runs a command, a choice of the menu a step shows, or the line of a step that shows text.
enum class TLineKind { Break, Command, Choice, Message };

struct TLineInfo {
    TLineKind Kind = TLineKind::Message;
    UnitRK::TCommand Command = UnitRK::TCommand::None;  // the command the line holds, whatever its kind
    std::string Arg;                                    // a command's argument (Shift-JIS)
    std::string Caption, Target;                        // a choice's (Shift-JIS)
    int Menu = -1;                                      // a choice's: the line of its menu's first choice
    bool Fails = false;                                 // reading it raises the range error (16 or more "@")
    bool TooManyWords = false;  // more than 16 words: the loader refuses the script (taken as text)
};

// The menu a step shows: its choices, as the player reads them. When a line of it raises the
// range error, the menu never shows: Choices holds those read before that line.
struct TMenu {
    std::vector<UnitRK::TMenuChoice> Choices;
    int FailsAt = -1;  // the line that raises the range error, if any
};

// Where a step can lead. A step that raises the range error (Stuck, at line Via) leaves the
// player on that line, so it comes with a Line step to it: the next click tries it again.
struct TStep {
    enum TKind { Line, End, Stop, Stuck } Kind = Line;
    int To = 0;          // the next line index, for Line
    int Via = -1;        // the line that leads there (a command, a choice or the last line stepped)
    std::string Choice;  // the caption of the choice taken, for a menu (Shift-JIS)
    bool Jump = false;   // a #Goto or a choice that found its label

    static TStep Next(int to, int via) { return TStep{Line, to, via, {}, false}; }
    static TStep JumpTo(int to, int via) { return TStep{Line, to, via, {}, true}; }
    static TStep Ending(TKind kind, int via) { return TStep{kind, 0, via, {}, false}; }
};

// What a state of the story holds for one of picture and music: nothing known yet, one name (""
// for none), or different names on different paths.
struct TSetting {
    enum TKind { Unknown, Known, Ambiguous } Kind = Unknown;
    std::string Name;
    void Join(const TSetting& other);
    bool operator==(const TSetting&) const = default;
};

struct TMediaState {
    TSetting Cg, Midi;
    bool operator==(const TMediaState&) const = default;
};

class TOutline {
public:
    // `table` is the script table as the loader makes it, closed by "#End".
    explicit TOutline(std::vector<std::string> table);

    const std::vector<std::string>& Lines() const { return Table; }
    const TLineInfo& Info(int line) const { return Infos[static_cast<size_t>(line)]; }
    int Count() const { return static_cast<int>(Table.size()); }

    // The label line a jump from line `from` to `label` lands on, searching as the player does:
    // the lines after `from`, then from the top; -1 when there is none.
    int FindLabel(const std::string& label, int from) const;
    // The first label line of `label` in the script; -1 when there is none.
    int FirstLabel(const std::string& label) const;
    // The menu a step working on `line` shows (no choices when it shows none).
    TMenu Menu(int line) const;
    // Where one step started with the current line at `line` can lead.
    std::vector<TStep> Steps(int line) const;
    // The line a step started at `line` works on, past the break lines it skips.
    int StepLine(int line) const;

    // Lines that some path from the start passes (a menu counts all its lines).
    const std::vector<bool>& Reached() const { return ReachedLines; }
    // The picture and music set when a step starts at `line` (as after a jump to the label
    // before it), over every path from the start.
    const TMediaState& MediaAt(int line) const { return Media[static_cast<size_t>(line)]; }

private:
    // Gives each line its kind, reading down the script as the player does; the lines a step
    // can start at are among those this reading starts at, as a jump lands after a label line.
    void Read();
    // Reads a step at `line` that runs no command: a menu, or a line of text. Gives the line the
    // reading goes on with.
    int ReadMenuOrText(int line);
    bool IsCommandStep(int line) const;
    void Walk();

    std::vector<std::string> Table;
    std::vector<TLineInfo> Infos;
    std::map<std::string, std::vector<int>> LabelLines;  // every line of each text, in order
    std::vector<bool> ReachedLines;
    std::vector<TMediaState> Media;
};

}  // namespace Author
