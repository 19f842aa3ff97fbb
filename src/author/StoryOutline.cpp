#include "author/StoryOutline.h"

#include "platform/Errors.h"

#include <algorithm>
#include <deque>

namespace Author {

using UnitRK::TCommand;

void TSetting::Join(const TSetting& other)
{
    if (other.Kind == Unknown || Kind == Ambiguous)
        return;
    if (Kind == Unknown) {
        *this = other;
        return;
    }
    if (other.Kind == Ambiguous || other.Name != Name) {
        Kind = Ambiguous;
        Name.clear();
    }
}

namespace {

// The picture and music after a step that runs the command `info` holds.
TMediaState After(const TMediaState& state, const TLineInfo& info)
{
    TMediaState next = state;
    if (info.Command == TCommand::Cg)
        next.Cg = TSetting{TSetting::Known, info.Arg};
    if (info.Command == TCommand::Midi)
        next.Midi = TSetting{TSetting::Known, info.Arg};
    return next;
}

// An empty string for a line past the table, which ends in "#End" and so never lets a menu go on.
const std::string NoLine;

}  // namespace

TOutline::TOutline(std::vector<std::string> table) : Table(std::move(table))
{
    if (Table.empty() || Table.back() != "#End")
        Table.push_back("#End");  // as the loader closes every table
    Infos.resize(Table.size());
    for (size_t i = 0; i < Table.size(); ++i) {
        if (UnitRK::IsLabelMark(Table[i], 1))
            LabelLines[Table[i]].push_back(static_cast<int>(i));
        try {
            Infos[i].Command = UnitRK::CommandOf(Table[i], Infos[i].Arg);
        } catch (const ERangeError&) {
            // More than 16 words: the loader refuses the script; the walk takes the line as text.
            Infos[i].TooManyWords = true;
        }
    }
    Read();
    Walk();
}

bool TOutline::IsCommandStep(int line) const
{
    const TLineInfo& info = Info(line);
    return !info.TooManyWords && info.Command != TCommand::None;
}

void TOutline::Read()
{
    for (int line = 0; line < Count();) {
        TLineKind& kind = Infos[static_cast<size_t>(line)].Kind;
        if (UnitRK::IsBreakLine(Table[static_cast<size_t>(line)])) {
            kind = TLineKind::Break;
            ++line;
        } else if (IsCommandStep(line)) {
            kind = TLineKind::Command;
            ++line;
        } else {
            line = ReadMenuOrText(line);
        }
    }
}

int TOutline::ReadMenuOrText(int line)
{
    const TMenu menu = Menu(line);
    for (const UnitRK::TMenuChoice& choice : menu.Choices) {
        TLineInfo& info = Infos[static_cast<size_t>(choice.Line)];
        info.Kind = TLineKind::Choice;
        info.Caption = choice.Caption;
        info.Target = choice.Target;
        info.Menu = line;
    }
    if (menu.FailsAt >= 0) {
        Infos[static_cast<size_t>(menu.FailsAt)].Fails = true;
        // The player stays on the failing line, and the next click steps from it.
        return menu.FailsAt == line ? line + 1 : menu.FailsAt;
    }
    return line + std::max<int>(1, static_cast<int>(menu.Choices.size()));
}

int TOutline::FindLabel(const std::string& label, int from) const
{
    // Only label lines can equal a label: a jump's target always begins with "@".
    auto found = LabelLines.find(label);
    if (found == LabelLines.end())
        return -1;
    const std::vector<int>& lines = found->second;
    auto after = std::upper_bound(lines.begin(), lines.end(), from);
    if (after != lines.end())
        return *after;
    return lines.front() < from ? lines.front() : -1;
}

int TOutline::FirstLabel(const std::string& label) const
{
    auto found = LabelLines.find(label);
    return found == LabelLines.end() ? -1 : found->second.front();
}

TMenu TOutline::Menu(int line) const
{
    TMenu menu;
    if (line >= Count() || UnitRK::IsBreakLine(Table[static_cast<size_t>(line)]) || IsCommandStep(line) ||
        Info(line).TooManyWords)
        return menu;
    const auto lineAt = [this](int64_t i) -> const std::string& {
        return i < Count() ? Table[static_cast<size_t>(i)] : NoLine;
    };
    try {
        UnitRK::ReadMenu(lineAt, line, UnitRK::MenuCapacity,
                         [&menu](int, const UnitRK::TMenuChoice& choice) { menu.Choices.push_back(choice); });
    } catch (const ERangeError&) {
        menu.FailsAt = line + static_cast<int>(menu.Choices.size());
    }
    return menu;
}

int TOutline::StepLine(int line) const
{
    while (line < Count() - 1 && Info(line).Kind == TLineKind::Break)
        ++line;
    return line;
}

std::vector<TStep> TOutline::Steps(int line) const
{
    if (line >= Count())
        return {TStep::Ending(TStep::End, line)};
    const int at = StepLine(line);
    const TLineInfo& info = Info(at);
    if (IsCommandStep(at)) {
        switch (info.Command) {
        case TCommand::End:
            return {TStep::Ending(TStep::End, at)};
        case TCommand::Stop:
            return {TStep::Ending(TStep::Stop, at)};
        case TCommand::Goto:
            if (UnitRK::IsLabelMark(info.Arg, 1)) {
                int target = FindLabel(info.Arg, at);
                if (target >= 0)
                    return {TStep::JumpTo(target + 1, at)};
            }
            return {TStep::Next(at + 1, at)};
        default:
            return {TStep::Next(at + 1, at)};
        }
    }
    const TMenu menu = Menu(at);
    if (menu.FailsAt >= 0)
        return {TStep::Ending(TStep::Stuck, menu.FailsAt), TStep::Next(menu.FailsAt, menu.FailsAt)};
    if (menu.Choices.empty())
        return {TStep::Next(at + 1, at)};
    std::vector<TStep> steps;
    const int last = static_cast<int>(menu.Choices.back().Line);
    for (const UnitRK::TMenuChoice& choice : menu.Choices) {
        const int from = static_cast<int>(choice.Line);
        const int target = FindLabel(choice.Target, last);
        TStep step = target >= 0 ? TStep::JumpTo(target + 1, from) : TStep::Next(last + 1, from);
        step.Choice = choice.Caption;
        steps.push_back(step);
    }
    return steps;
}

void TOutline::Walk()
{
    ReachedLines.assign(Table.size(), false);
    Media.assign(Table.size(), TMediaState{});
    Media[0] = TMediaState{TSetting{TSetting::Known, ""}, TSetting{TSetting::Known, ""}};
    std::deque<int> work{0};
    std::vector<bool> queued(Table.size(), false);
    queued[0] = true;
    while (!work.empty()) {
        const int line = work.front();
        work.pop_front();
        queued[static_cast<size_t>(line)] = false;
        const int at = StepLine(line);
        const TMediaState in = Media[static_cast<size_t>(line)];
        // The break lines skipped see the same picture and music as the step they lead to.
        for (int i = line; i <= at; ++i) {
            ReachedLines[static_cast<size_t>(i)] = true;
            Media[static_cast<size_t>(i)].Cg.Join(in.Cg);
            Media[static_cast<size_t>(i)].Midi.Join(in.Midi);
        }
        const TMenu menu = Menu(at);
        for (const UnitRK::TMenuChoice& choice : menu.Choices)
            ReachedLines[static_cast<size_t>(choice.Line)] = true;
        if (menu.FailsAt >= 0)
            ReachedLines[static_cast<size_t>(menu.FailsAt)] = true;
        const TMediaState out = IsCommandStep(at) ? After(in, Info(at)) : in;
        for (const TStep& step : Steps(line)) {
            if (step.Kind != TStep::Line || step.To >= Count())
                continue;
            TMediaState& next = Media[static_cast<size_t>(step.To)];
            TMediaState joined = next;
            joined.Cg.Join(out.Cg);
            joined.Midi.Join(out.Midi);
            if (joined == next && ReachedLines[static_cast<size_t>(step.To)])
                continue;
            next = joined;
            if (!queued[static_cast<size_t>(step.To)]) {
                queued[static_cast<size_t>(step.To)] = true;
                work.push_back(step.To);
            }
        }
    }
}

}  // namespace Author
