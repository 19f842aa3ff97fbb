#include "author/StartPoint.h"

#include "author/StoryOutline.h"
#include "engine/UnitRK.h"
#include "platform/ShiftJis.h"

namespace Author {

namespace {

// The name a setting gives, or "" with a note saying why there is none.
std::string Decided(const TSetting& setting, const char* what, const std::string& label,
                    std::vector<std::string>& notes)
{
    if (setting.Kind == TSetting::Known)
        return setting.Name;
    if (setting.Kind == TSetting::Ambiguous)
        notes.push_back(std::string("the ") + what + " differs on the ways to " + label + ": starting without one");
    return "";
}

}  // namespace

std::optional<TStartPoint> FindStartPoint(const std::string& label)
{
    const std::string wanted = Sjis::FromUtf8(label.rfind('@', 0) == 0 ? label : "@" + label);
    const TOutline outline(UnitRK::ScriptTable(UnitRK::ReadScriptFile(UnitRK::ScriptPath)));
    TStartPoint start;
    start.LabelLine = outline.FirstLabel(wanted);
    if (start.LabelLine < 0)
        return std::nullopt;
    const std::string shown = Sjis::ToUtf8(wanted);
    const TMediaState& media = outline.MediaAt(start.LabelLine + 1);
    if (media.Cg.Kind == TSetting::Unknown)
        start.Notes.push_back("no path from the start reaches " + shown + ": starting without picture or music");
    start.Cg = Decided(media.Cg, "picture", shown, start.Notes);
    start.Midi = Decided(media.Midi, "music", shown, start.Notes);
    return start;
}

}  // namespace Author
