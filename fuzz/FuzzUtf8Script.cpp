// The script's encoding: the input is dat\1.txt's bytes, told apart as Shift-JIS or UTF-8 and
// split into the lines the loader takes. A Shift-JIS script is kept byte for byte; a UTF-8 one
// becomes lines of valid Shift-JIS, each refused character marked on a line that exists.
#include "Fuzz.h"

#include "engine/UnitRK.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const UnitRK::TScriptText script = UnitRK::DecodeScript(bytes);
    if (script.Encoding == UnitRK::TScriptEncoding::ShiftJis) {
        Fuzz::Require(script.Lines == SplitTextLines(bytes), "a Shift-JIS script was not kept as it is");
        Fuzz::Require(script.Refused.empty(), "characters refused in a Shift-JIS script");
        return 0;
    }
    Fuzz::Require(!script.AlsoUtf8, "a script taken as UTF-8 said to be read as Shift-JIS");
    Fuzz::Require((script.Encoding == UnitRK::TScriptEncoding::Utf8WithBom) == bytes.starts_with("\xEF\xBB\xBF"),
                  "a byte-order mark not told");
    std::string utf8;
    for (const std::string& line : script.Lines) {
        Fuzz::Require(Sjis::ToUtf8Exact(line, utf8), "a UTF-8 script's line is no valid Shift-JIS");
        Fuzz::Require(line.find('\n') == std::string::npos, "a line holds a line end");
    }
    for (const UnitRK::TRefusedChar& c : script.Refused)
        Fuzz::Require(c.Line >= 1 && size_t(c.Line) <= script.Lines.size() && !c.Char.empty(),
                      "a refused character on a line that does not exist");
    try {
        (void)UnitRK::ScriptTable(script.Lines);
    } catch (const ERangeError&) {
        // too many lines or pieces: the loader refuses the script, as it should
    }
    return 0;
}
