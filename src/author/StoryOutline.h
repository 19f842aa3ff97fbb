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

enum class TLineKind { Break, Command, Choice, Message };

struct TLineInfo {
    TLineKind Kind = TLineKind::Message;
    UnitRK::TCommand Command = UnitRK::TCommand::None;
    std::string Arg;              // a command's argument (Shift-JIS)
    std::string Caption, Target;  // a choice's (Shift-JIS)
    bool Fails = false;           // stepping onto it raises the range error (16 or more "@")
    bool TooManyWords = false;    // more than 16 words: the loader refuses the script (taken as text)
};

// Where a step can lead.
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
    // The choice lines a menu shown at `line` takes: up to six in a row (empty when none).
    std::vector<int> Menu(int line) const;
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
    void Walk();

    std::vector<std::string> Table;
    std::vector<TLineInfo> Infos;
    std::map<std::string, std::vector<int>> LabelLines;  // every line of each text, in order
    std::vector<bool> ReachedLines;
    std::vector<TMediaState> Media;
};

}  // namespace Author
