#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "platform/StoryBounds.h"

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

namespace {

const std::string ByteOrderMark = "\xEF\xBB\xBF";

// Kana, kanji, Japanese punctuation and full- and half-width forms.
bool IsJapanese(uint32_t c)
{
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Whether `bytes` from `from` on are well-formed UTF-8 (no overlong forms, no surrogates), and
// whether they hold a Japanese character.
bool IsUtf8(const std::string& bytes, size_t from, bool& japanese)
{
    japanese = false;
    for (size_t i = from; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        if (length == 0 || length > bytes.size() - i)
            return false;
        uint32_t c = b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = c << 6 | (next & 0x3F);
        }
        if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF))
            return false;
        japanese = japanese || IsJapanese(c);
        i += length;
    }
    return true;
}

}  // namespace

TScriptText DecodeScript(const std::string& bytes)
{
    TScriptText script;
    const bool bom = bytes.starts_with(ByteOrderMark);
    bool japanese = false;
    const bool utf8 = IsUtf8(bytes, bom ? ByteOrderMark.size() : 0, japanese);
    // A Shift-JIS script must never be taken for UTF-8, and a short one can be valid UTF-8 by
    // chance; a UTF-8 script of more than a few lines almost never reads as Shift-JIS.
    std::string unused;
    script.AlsoUtf8 = utf8 && !bom && japanese && Sjis::ToUtf8Exact(bytes, unused);
    if (!utf8 || (!bom && (!japanese || script.AlsoUtf8))) {
        script.Lines = SplitTextLines(bytes);
        return script;
    }

    script.Encoding = bom ? TScriptEncoding::Utf8WithBom : TScriptEncoding::Utf8;
    script.Lines = SplitTextLines(bom ? bytes.substr(ByteOrderMark.size()) : bytes);
    const std::string mark = Sjis::FromUtf8("？");
    std::vector<std::string> refused;
    for (size_t i = 0; i < script.Lines.size(); ++i) {
        refused.clear();
        script.Lines[i] = Sjis::FromUtf8(script.Lines[i], mark, refused);
        for (std::string& c : refused)
            script.Refused.push_back({static_cast<int>(i + 1), std::move(c)});
    }
    return script;
}

namespace {

// Where a line that finds no room in the table begins, if one does; counted as the loader splits
// the file, after a byte-order mark. (A file that turns out to be no UTF-8 counts its mark as part
// of its first line; that can only make one line fewer, which the table itself then refuses.)
class TLineLimit {
public:
    // Takes the next byte of the file, at offset `at`; true when it begins the line too many.
    bool Overflows(const std::string& bytes, size_t at)
    {
        if (at < ByteOrderMark.size() && bytes.starts_with(ByteOrderMark.substr(0, at + 1)))
            return false;
        if (Starts.BeginsLine(bytes[at]))
            ++Lines;
        return Lines >= static_cast<size_t>(ScriptCapacity);
    }

private:
    TTextLineStarts Starts;
    size_t Lines = 0;
};

}  // namespace

TScriptBytes ReadScriptBytes(const std::string& windowsPath)
{
    TStoryFile file(NativePath(windowsPath), StoryBounds::ScriptBytes);
    if (file.Refusal() == TFileRefusal::NotRegular)
        throw EInOutError(IoCode::AccessDenied);
    TScriptBytes script;
    TLineLimit limit;
    char buffer[65536];
    while (const size_t n = file.Read(buffer, sizeof buffer)) {
        const size_t from = script.Bytes.size();
        script.Bytes.append(buffer, n);
        for (size_t at = from; at < script.Bytes.size(); ++at)
            if (limit.Overflows(script.Bytes, at)) {
                script.Bytes.resize(at);
                script.End = TScriptEnd::TooManyLines;
                return script;
            }
    }
    if (file.Refusal() == TFileRefusal::TooLarge)
        script.End = TScriptEnd::TooLarge;
    return script;
}

std::vector<std::string> ReadScriptFile(const std::string& path)
{
    TScriptBytes script = ReadScriptBytes(path);
    if (script.End != TScriptEnd::Whole)
        throw ERangeError();  // the line, or the byte, the table has no room for
    return DecodeScript(script.Bytes).Lines;
}

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
