#include "author/StoryCheck.h"

#include "author/StoryOutline.h"
#include "engine/UnitRK.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Image.h"
#include "platform/Panel.h"
#include "platform/PictureArea.h"
#include "platform/ShiftJis.h"
#include "platform/StoryBounds.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/MciCommand.h"
#include "platform/audio/PlaySound.h"
#include "platform/audio/SdlMusic.h"
#include "platform/sdl/LabelText.h"
#include "ui/MyCg.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace Author {

namespace {

using UnitRK::TCommand;

// What the window gives the text: the message label and the columns of the choice menu, with
// the faces they are drawn in.
constexpr int MessageWidth = 148;
constexpr int NarrowColumn = 72;
constexpr int WideColumn = 148;
constexpr int MessageFontHeight = 13;
constexpr int ChoiceFontHeight = 12;

std::string Utf8(const std::string& sjis) { return Sjis::ToUtf8(sjis); }
std::string Native(const std::string& windowsPath) { return Sjis::ToUtf8(NativePath(windowsPath)); }

std::string Latin1ToUtf8(const std::string& latin1)
{
    std::string utf8;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80)
            utf8 += static_cast<char>(0xC0 | byte >> 6);
        utf8 += static_cast<char>(byte >= 0x80 ? 0x80 | (byte & 0x3F) : byte);
    }
    return utf8;
}

// A path found as it reads: in UTF-8 as it is, mangled into ISO-8859-1 as what its bytes mean
// there, in Shift-JIS converted.
std::string ShownPath(const TFoundPath& found)
{
    using CodePageNames::TMangling;
    if (found.Mangled == TMangling::Cp850Latin1)
        return Latin1ToUtf8(found.Path);
    return found.Utf8Name || found.Mangled != TMangling::None ? found.Path : Utf8(found.Path);
}

class TChecker {
public:
    TCheckReport Run()
    {
        Report.ScriptName = Native(UnitRK::ScriptPath);
        if (!FileExists(UnitRK::ScriptPath)) {
            Say(0, TSeverity::Error,
                "the script is missing: the player shows 『dat\\1.txt』が見つかりません。終了します。 and ends");
            return Report;
        }
        std::vector<std::string> table;
        try {
            const UnitRK::TScriptBytes file = UnitRK::ReadScriptBytes(UnitRK::ScriptPath);
            CheckScriptEnd(file.End);
            CheckLineEnds(file.Bytes);
            const UnitRK::TScriptText script = UnitRK::DecodeScript(file.Bytes);
            CheckEncoding(script);
            table = LoadTable(script.Lines);
        } catch (const std::exception& e) {
            Say(0, TSeverity::Error, "the script cannot be read: " + TerminalMessage(e));
            return Report;
        }
        TOutline outline(std::move(table));
        CheckLines(outline);
        CheckReach(outline);
        std::stable_sort(Report.Diagnostics.begin(), Report.Diagnostics.end(),
                         [](const TDiagnostic& a, const TDiagnostic& b) { return a.Line < b.Line; });
        return Report;
    }

private:
    void Say(int line, TSeverity severity, const std::string& utf8)
    {
        Report.Diagnostics.push_back({line, severity, utf8});
    }

    // The loader reads no further than the table holds, and the checker no further than the loader.
    void CheckScriptEnd(UnitRK::TScriptEnd end)
    {
        if (end == UnitRK::TScriptEnd::TooManyLines)
            Say(UnitRK::ScriptCapacity, TSeverity::Error,
                "the script has more than 9999 lines; the player holds 9999 and stops loading it (範囲チェックエラー)");
        else if (end == UnitRK::TScriptEnd::TooLarge)
            Say(0, TSeverity::Error,
                "the script is larger than " + Megabytes(StoryBounds::ScriptBytes) +
                    "; the player stops loading it (範囲チェックエラー)");
    }

    // A file whose lines end in CR alone reads as one line, as the old runtime read it.
    void CheckLineEnds(const std::string& bytes)
    {
        bool lf = bytes.find('\n') != std::string::npos;
        bool cr = bytes.find('\r') != std::string::npos;
        if (cr && !lf)
            Say(1, TSeverity::Warning,
                "the lines end in CR alone: the player reads the whole file as one line, as the original did");
    }

    void CheckEncoding(const UnitRK::TScriptText& script)
    {
        if (script.Encoding != UnitRK::TScriptEncoding::ShiftJis)
            Say(0, TSeverity::Note,
                std::string("the script is saved as UTF-8") +
                    (script.Encoding == UnitRK::TScriptEncoding::Utf8WithBom ? " with a byte-order mark" : "") +
                    ": it plays here as if saved in Shift-JIS, but the original player shows it as garbage");
        else if (script.AlsoUtf8)
            Say(0, TSeverity::Note,
                "the script reads as Shift-JIS, though it is also valid UTF-8: if it was saved as UTF-8, save it "
                "with a byte-order mark");
        for (const UnitRK::TRefusedChar& refused : script.Refused)
            Say(refused.Line, TSeverity::Warning, refused.Char + " has no Shift-JIS form: the player shows ？");
    }

    // The table as the loader makes it, with every line the loader would refuse reported (the
    // loader stops at the first; the checker goes on to find them all).
    std::vector<std::string> LoadTable(const std::vector<std::string>& fileLines)
    {
        std::vector<std::string> table;
        for (size_t i = 0; i < fileLines.size(); ++i) {
            const int line = static_cast<int>(i) + 1;
            std::string text, label;
            try {
                text = UnitRK::ScriptText(fileLines[i]);
            } catch (const ERangeError&) {
                Say(line, TSeverity::Error,
                    "more than 16 pieces between \"//\": the player stops loading the script (範囲チェックエラー)");
            }
            try {
                label = UnitRK::LabelOf(text);
            } catch (const ERangeError&) {
                Say(line, TSeverity::Error,
                    "more than 16 words: the player stops loading the script (範囲チェックエラー)");
            }
            table.push_back(label.empty() ? text : label);
        }
        return table;
    }

    void CheckLines(const TOutline& outline)
    {
        std::map<std::string, int> labels;
        const int fileLines = outline.Count() - 1;  // the last entry is the loader's own "#End"
        for (int i = 0; i < fileLines; ++i) {
            const int line = i + 1;
            const std::string& text = outline.Lines()[static_cast<size_t>(i)];
            const TLineInfo& info = outline.Info(i);
            if (UnitRK::IsLabelMark(text, 1)) {
                auto [first, added] = labels.emplace(text, line);
                if (!added)
                    Say(line, TSeverity::Warning,
                        "label " + Utf8(text) + " is defined again (first on line " + std::to_string(first->second) +
                            "): a jump reaches whichever comes next after the jumping line, wrapping round");
            }
            if (info.TooManyWords)
                continue;  // reported as the loader refuses it
            if (info.Fails)
                Say(line, TSeverity::Error,
                    "16 or more \"@\": the player stops with 範囲チェックエラー when it reaches this line");
            switch (info.Kind) {
            case TLineKind::Command:
                CheckCommand(outline, i, info);
                break;
            case TLineKind::Choice:
                CheckChoice(outline, i, info);
                break;
            case TLineKind::Message:
                if (!info.Fails)
                    CheckMessage(text, line);
                break;
            case TLineKind::Break:
                break;
            }
        }
    }

    void CheckCommand(const TOutline& outline, int i, const TLineInfo& info)
    {
        const int line = i + 1;
        switch (info.Command) {
        case TCommand::Goto:
            if (!UnitRK::IsLabelMark(info.Arg, 1))
                Say(line, TSeverity::Warning,
                    "#Goto without a label (a word beginning with \"@\"): the player goes on with the next line");
            else if (outline.FindLabel(info.Arg, i) < 0)
                Say(line, TSeverity::Error, "#Goto target " + Utf8(info.Arg) + " has no label line");
            break;
        case TCommand::Cg:
            if (!info.Arg.empty())
                CheckFile(line, "picture", info.Arg);
            break;
        case TCommand::Midi:
            if (!info.Arg.empty())
                CheckFile(line, "music", info.Arg);
            break;
        case TCommand::Wave:
            if (!info.Arg.empty())
                CheckFile(line, "sound", info.Arg);
            break;
        default:
            break;
        }
    }

    void CheckChoice(const TOutline& outline, int i, const TLineInfo& info)
    {
        const int line = i + 1;
        if (info.Menu == i)
            CheckMenu(outline, i);
        if (info.Command != TCommand::None)
            Say(line, TSeverity::Warning,
                "the player shows this command as the choice \"" + Utf8(info.Caption) +
                    "\" and does not run it: after a menu's first choice, every line with an \"@\" is a choice");
        if (outline.FindLabel(info.Target, i) < 0)
            Say(line, TSeverity::Error,
                "choice " + Utf8(info.Caption) + " targets " + Utf8(info.Target) +
                    ", which has no label line: the player goes on after the menu");
    }

    // The menu shown at `first`: its captions in its columns, and choice lines after six.
    void CheckMenu(const TOutline& outline, int first)
    {
        const std::vector<UnitRK::TMenuChoice> choices = outline.Menu(first).Choices;
        const int column = static_cast<int>(choices.size()) > UnitRK::MenuCapacity / 2 ? NarrowColumn : WideColumn;
        for (const UnitRK::TMenuChoice& choice : choices)
            CheckCaption(choice.Caption, static_cast<int>(choice.Line) + 1, column);
        if (first > 0 && outline.Info(first - 1).Kind == TLineKind::Choice)
            return;  // told at the first menu of the run
        int run = 0;
        while (first + run < outline.Count() && outline.Info(first + run).Kind == TLineKind::Choice)
            ++run;
        const int extra = first + UnitRK::MenuCapacity + 1;
        if (run == UnitRK::MenuCapacity + 1)
            Say(extra, TSeverity::Warning, "a menu holds six choices: this line is not part of the menu above");
        else if (run > UnitRK::MenuCapacity)
            Say(extra, TSeverity::Warning,
                "a menu holds six choices: this line and the " + std::to_string(run - UnitRK::MenuCapacity - 1) +
                    " after it are not part of the menu above");
    }

    void CheckMessage(const std::string& text, int line)
    {
        TFields words = MakeFields();
        UnitRK::SplitWords(text, words, 15);
        if (!words[0].empty() && words[0][0] == '#')
            Say(line, TSeverity::Warning, Utf8(words[0]) + " is no command: the player shows this line as text");
        const int width = TextWidth(text, MessageFontHeight);
        if (width > MessageWidth)
            Say(line, TSeverity::Warning,
                "the line is " + std::to_string(width) + " pixels wide; the message area shows " +
                    std::to_string(MessageWidth));
    }

    void CheckCaption(const std::string& caption, int line, int column)
    {
        const int width = TextWidth(caption, ChoiceFontHeight);
        if (width > column)
            Say(line, TSeverity::Warning,
                "the choice is " + std::to_string(width) + " pixels wide; its column shows " + std::to_string(column));
    }

    int TextWidth(const std::string& sjis, int height)
    {
        if (!Fonts)
            Fonts = std::make_unique<TFontCache>();
        TTextPainter painter(*Fonts);
        const std::vector<TTextLine> lines = ParseCaption(sjis);
        return lines.empty() ? 0 : painter.LineWidth(lines.front(), TFont{0, height, false});
    }

    void CheckFile(int line, const std::string& what, const std::string& name)
    {
        const std::string path = UnitRK::DataFolder + name;
        const std::string named = Utf8(SlashPath(path));
        const TFoundPath found = FindDataFile(path);
        const std::string shown = ShownPath(found);
        if (!found.Found || !NativePathLeadsSomewhere(found.Path)) {  // a link to nothing is missing too
            Say(line, TSeverity::Warning, what + " " + named + " is missing");
            return;
        }
        if (!Readable(line, what, found.Path, shown))
            return;
        if (found.Utf8Name)
            Say(line, TSeverity::Warning,
                what + " " + named + " is found only under its name in UTF-8, " + shown +
                    ": it plays here, but the original player looked for the Shift-JIS name and never found it");
        else if (found.Mangled != CodePageNames::TMangling::None)
            Say(line, TSeverity::Note,
                what + " " + named + " is found only as " + shown + ", unpacked with a code page that mangled it");
        else if (found.OtherCase)
            Say(line, TSeverity::Note,
                what + " " + named + " is found only as " + shown + ", in another letter case (Windows finds it too)");
        if (!Tried.insert(found.Path).second)
            return;
        if (what == "picture")
            TryPicture(line, path, shown);
        else if (what == "music")
            TryMusic(line, found.Path, shown);
        else
            TrySound(line, found.Path, shown);
    }

    // What the player refuses to read before it tries the file: anything but a regular file, and
    // more than its kind may hold.
    bool Readable(int line, const std::string& what, const std::string& native, const std::string& shown)
    {
        const bool picture = what == "picture";
        const std::string fails = picture ? " cannot be shown: " : " cannot be played: ";
        const uint64_t bound = picture           ? StoryBounds::PictureBytes
                               : what == "music" ? StoryBounds::MusicBytes
                                                 : StoryBounds::EffectBytes;
        try {
            TStoryFile file(native, bound);
            if (file.Refusal() == TFileRefusal::NotRegular)
                Say(line, TSeverity::Error, what + " " + shown + fails + "it is not a regular file");
            else if (file.Size() > bound)
                Say(line, TSeverity::Error,
                    what + " " + shown + fails + "it is larger than the " + Megabytes(bound) + " the player reads");
            return file.Refusal() == TFileRefusal::None && file.Size() <= bound;
        } catch (const std::exception& e) {
            Say(line, TSeverity::Error, what + " " + shown + fails + TerminalMessage(e));
            return false;
        }
    }

    static std::string Megabytes(uint64_t bytes) { return std::to_string(bytes / StoryBounds::MiB) + " MB"; }

    // Music as the sequencer device opens it, and then as the synthesiser loads it.
    void TryMusic(int line, const std::string& native, const std::string& shown)
    {
        Audio::TSdlMusic music;
        const uint32_t error = music.Load(native);
        if (error == MciError::InvalidFile && music.RefusedForSize())
            Say(line, TSeverity::Error,
                "music " + shown + " cannot be played: it is a MIDI file larger than the " +
                    Megabytes(StoryBounds::MidiBytes) + " the player plays");
        else if (error == MciError::InvalidFile)
            Say(line, TSeverity::Error, "music " + shown + " cannot be played: it is no MIDI file the player opens");
        else if (error == MciError::None && !music.WaitUntilLoaded())
            Say(line, TSeverity::Error, "music " + shown + " cannot be played: the synthesiser refuses it");
    }

    // A sound effect decoded as the sound call decodes it.
    void TrySound(int line, const std::string& native, const std::string& shown)
    {
        if (!Audio::EnsureAudioOpen())
            return;  // nothing here says what the file is worth (told once on standard error)
        const std::string why = Audio::SoundFileError(native);
        if (!why.empty())
            Say(line, TSeverity::Error, "sound " + shown + " cannot be played: " + why);
    }

    // The picture loaders as the player runs them, up to the first paint.
    void TryPicture(int line, const std::string& path, const std::string& shown)
    {
        try {
            // Drawn as the player draws it: in its picture area, which cuts off what lies beyond.
            TPanel panel("PanelCg");
            panel.Width = PictureArea::Width;
            panel.Height = PictureArea::Height;
            TImage image("Image1");
            image.SetParent(&panel);
            MyCg::LoadPictureFile(image, path);
            if (image.Picture())
                image.Picture()->Render();
        } catch (const std::exception& e) {
            Say(line, TSeverity::Error, "picture " + shown + " cannot be shown: " + TerminalMessage(e));
        }
    }

    static std::string SlashPath(const std::string& windowsPath)
    {
        std::string out = windowsPath;
        for (size_t i = 0; i < out.size(); i = Sjis::NextChar(out, i))
            if (out[i] == '\\')
                out[i] = '/';
        return out;
    }

    // Lines no path from the start reaches, one report for each run of them.
    void CheckReach(const TOutline& outline)
    {
        const std::vector<bool>& reached = outline.Reached();
        for (int i = 0; i < outline.Count() - 1; ++i) {
            if (reached[static_cast<size_t>(i)] || outline.Info(i).Kind == TLineKind::Break)
                continue;
            int last = i;
            while (last + 1 < outline.Count() - 1 && !reached[static_cast<size_t>(last + 1)] &&
                   !UnitRK::IsLabelMark(outline.Lines()[static_cast<size_t>(last + 1)], 1))
                ++last;
            const int end = last;
            while (outline.Info(last).Kind == TLineKind::Break)
                --last;
            Say(i + 1, TSeverity::Warning,
                last > i
                    ? "no path from the start reaches lines " + std::to_string(i + 1) + "-" + std::to_string(last + 1)
                    : std::string("no path from the start reaches this line"));
            i = end;
        }
    }

    TCheckReport Report;
    std::unique_ptr<TFontCache> Fonts;
    std::set<std::string> Tried;
};

const char* SeverityWord(TSeverity severity)
{
    switch (severity) {
    case TSeverity::Error:
        return "error";
    case TSeverity::Warning:
        return "warning";
    case TSeverity::Note:
        return "note";
    }
    return "error";
}

}  // namespace

TCheckReport CheckStory() { return TChecker().Run(); }

void PrintReport(const TCheckReport& report, std::ostream& out)
{
    for (const TDiagnostic& d : report.Diagnostics) {
        out << report.ScriptName;
        if (d.Line > 0)
            out << ':' << d.Line;
        out << ": " << SeverityWord(d.Severity) << ": " << Printable(d.Text) << '\n';
    }
}

}  // namespace Author
