#include "ui/AuthorCommands.h"

#include "author/StartPoint.h"
#include "author/StoryCheck.h"
#include "author/StoryMap.h"
#include "author/StoryOutline.h"
#include "engine/UnitRK.h"
#include "platform/Errors.h"

#include <cstdlib>

int RunCheck(std::ostream& out)
{
    // Sounds are decoded to be checked, never played.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const Author::TCheckReport report = Author::CheckStory();
    Author::PrintReport(report, out);
    return report.Diagnostics.empty() ? 0 : 1;
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
