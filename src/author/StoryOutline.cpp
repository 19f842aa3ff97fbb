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

TLineInfo Describe(const std::string& line)
{
    TLineInfo info;
    if (UnitRK::IsBreakLine(line)) {
        info.Kind = TLineKind::Break;
        return info;
    }
    info.Command = UnitRK::CommandOf(line, info.Arg);
    if (info.Command != TCommand::None) {
        info.Kind = TLineKind::Command;
        return info;
    }
    try {
        if (UnitRK::ChoiceOf(line, info.Caption, info.Target))
            info.Kind = TLineKind::Choice;
    } catch (const ERangeError&) {
        info.Fails = true;
    }
    return info;
}

TMediaState After(const TMediaState& state, const TLineInfo& info)
{
    TMediaState next = state;
    if (info.Kind == TLineKind::Command && info.Command == TCommand::Cg)
        next.Cg = TSetting{TSetting::Known, info.Arg};
    if (info.Kind == TLineKind::Command && info.Command == TCommand::Midi)
        next.Midi = TSetting{TSetting::Known, info.Arg};
    return next;
}

}  // namespace

TOutline::TOutline(std::vector<std::string> table) : Table(std::move(table))
{
    if (Table.empty() || Table.back() != "#End")
        Table.push_back("#End");  // as the loader closes every table
    Infos.reserve(Table.size());
    for (size_t i = 0; i < Table.size(); ++i)
        if (UnitRK::IsLabelMark(Table[i], 1))
            LabelLines[Table[i]].push_back(static_cast<int>(i));
    for (const std::string& line : Table) {
        try {
            Infos.push_back(Describe(line));
        } catch (const ERangeError&) {
            // More than 16 words: the loader refuses the script; the walk takes the line as text.
            TLineInfo info;
            info.TooManyWords = true;
            Infos.push_back(info);
        }
    }
    Walk();
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

std::vector<int> TOutline::Menu(int line) const
{
    std::vector<int> menu;
    for (int i = line; i < Count() && menu.size() < 6 && Info(i).Kind == TLineKind::Choice; ++i)
        menu.push_back(i);
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
    if (info.Fails)
        return {TStep::Ending(TStep::Stuck, at)};
    if (info.Kind == TLineKind::Command) {
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
    if (info.Kind == TLineKind::Choice) {
        std::vector<TStep> steps;
        const std::vector<int> menu = Menu(at);
        const int last = menu.back();
        for (int choice : menu) {
            int target = FindLabel(Info(choice).Target, last);
            TStep step = target >= 0 ? TStep::JumpTo(target + 1, choice) : TStep::Next(last + 1, choice);
            step.Choice = Info(choice).Caption;
            steps.push_back(step);
        }
        return steps;
    }
    return {TStep::Next(at + 1, at)};
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
        for (int choice : Menu(at))
            ReachedLines[static_cast<size_t>(choice)] = true;
        const TMediaState out = After(in, Info(at));
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
