#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"

#include <algorithm>

namespace UnitRK {

namespace {

const char* MissingScriptText = "『dat\\1.txt』が見つかりません。終了します。";
const char* MissingScriptCaption = "RK";

}  // namespace

std::string ScriptText(const std::string& fileLine)
{
    TFields fields = MakeFields();
    Split(fileLine, "//", fields, 15);
    return fields[0];
}

std::string LabelOf(const std::string& text)
{
    TFields words = MakeFields();
    SplitWords(text, words, 15);
    return IsLabelMark(words[0], 1) ? words[0] : std::string();
}

std::vector<std::string> ReadScriptFile(const std::string& path) { return ReadTextLines(path); }

std::vector<std::string> ScriptTable(const std::vector<std::string>& fileLines)
{
    std::vector<std::string> table;
    table.reserve(fileLines.size() + 1);
    for (const std::string& line : fileLines) {
        std::string text = ScriptText(line);
        std::string label = LabelOf(text);
        table.push_back(label.empty() ? std::move(text) : std::move(label));
    }
    table.push_back("#End");
    if (table.size() > ScriptCapacity)
        throw ERangeError();  // the closing "#End" (or a line before it) finds no room
    return table;
}

namespace {

// A table that loaded whole replaces the engine's; one that failed leaves it as it was.
void StoreTable(const std::vector<std::string>& table)
{
    for (size_t i = 0; i < table.size(); ++i)
        Rk.ScriptLines[static_cast<int64_t>(i)] = table[i];
    Rk.LineTotal = static_cast<int32_t>(table.size());
}

}  // namespace

bool LoadScript(const std::string& path)
{
    if (!FileExists(path)) {
        Application().MessageBox(Sjis::FromUtf8(MissingScriptText), MissingScriptCaption);
        Application().Terminate();
        return false;
    }
    StoreTable(ScriptTable(ReadScriptFile(path)));
    Rk.CurLine = 0;
    return true;
}

void ReloadScript()
{
    if (!FileExists(ScriptPath))
        throw EInOutError(IoCode::FileNotFound);
    StoreTable(ScriptTable(ReadScriptFile(ScriptPath)));
    Rk.CurLine = std::clamp(Rk.CurLine, 0, Rk.LineTotal - 1);
}

}  // namespace UnitRK
