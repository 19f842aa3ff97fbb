#include "ui/AuthorCommands.h"

#include "author/StartPoint.h"
#include "author/StoryCheck.h"
#include "author/StoryMap.h"
#include "author/StoryOutline.h"
#include "engine/UnitRK.h"
#include "platform/Errors.h"

#include <algorithm>
#include <cstdlib>

int RunCheck(std::ostream& out)
{
    // Sounds are decoded to be checked, never played.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const Author::TCheckReport report = Author::CheckStory();
    Author::PrintReport(report, out);
    // Notes only inform (a name found in another letter case, a script read as UTF-8).
    const bool problems =
        std::any_of(report.Diagnostics.begin(), report.Diagnostics.end(),
                    [](const Author::TDiagnostic& d) { return d.Severity != Author::TSeverity::Note; });
    return problems ? 1 : 0;
}

int RunMap(std::ostream& out, std::ostream& err)
{
    try {
        out << Author::StoryGraph(Author::TOutline(UnitRK::ScriptTable(UnitRK::ReadScriptFile(UnitRK::ScriptPath))));
        return 0;
    } catch (const std::exception& e) {
        err << "zv_rk: the script does not load (" << TerminalMessage(e) << "); zv_rk --check tells why\n";
        return 1;
    }
}

std::optional<int> PrepareStart(const std::string& label, std::function<void()>& firstStep, std::ostream& err)
{
    std::optional<Author::TStartPoint> start;
    try {
        start = Author::FindStartPoint(label);
    } catch (const std::exception& e) {
        err << "zv_rk: --start " << label << ": the script does not load (" << TerminalMessage(e) << ")\n";
        return 2;
    }
    if (!start) {
        err << "zv_rk: --start " << label << ": the story has no such label\n";
        return 2;
    }
    for (const std::string& note : start->Notes)
        err << "zv_rk: " << note << '\n';
    firstStep = [at = *start] { UnitRK::StartAt(at.LabelLine, at.Cg, at.Midi); };
    return std::nullopt;
}
