#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"

namespace UnitRK {

namespace {

const char* MissingScriptText = "『dat\\1.txt』が見つかりません。終了します。";
const char* MissingScriptCaption = "RK";

}  // namespace

bool LoadScript(const std::string& path)
{
    if (!FileExists(path)) {
        Application().MessageBox(Sjis::FromUtf8(MissingScriptText), MissingScriptCaption);
        Application().Terminate();
        return false;
    }

    const std::vector<std::string> lines = ReadTextLines(path);
    TFields fields = MakeFields();
    TFields words = MakeFields();
    int64_t i = 0;
    for (const std::string& line : lines) {
        Split(line, "//", fields, 15);
        Rk.ScriptLines[i] = fields[0];
        SplitWords(fields[0], words, 15);
        if (IsLabelMark(words[0], 1))
            Rk.ScriptLines[i] = words[0];
        ++i;
    }
    Rk.ScriptLines[i] = "#End";
    Rk.CurLine = 0;
    Rk.LineTotal = static_cast<int32_t>(i + 1);
    return true;
}

}  // namespace UnitRK
