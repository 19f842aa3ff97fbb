#include "ui/NoStory.h"

#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "ui/CommandLine.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr TColor UpperColor = 0x444444;  // the picture area's
constexpr TColor ProblemColor = 0xFF9090;
// The notice's lines, in bytes of Shift-JIS: a half-width character is about 6 pixels of the
// 148 the notice has, a full-width one (two bytes) about 12.
constexpr size_t NoticeLineBytes = 26;
constexpr size_t NoticeLines = 4;

const char* InviteText = "物語のフォルダか\r\nアーカイブを\r\nここに落としてください\r\n\r\nDrop a story folder\r\nor "
                         "archive here";

// Text from outside (a file name, an error about one) in Shift-JIS, without control characters.
std::string FromOutside(const std::string& utf8)
{
    std::vector<std::string> refused;
    return Sjis::FromUtf8(Printable(utf8), "?", refused);
}

// Shift-JIS text for a label's caption, its "&" drawn as itself.
std::string Literal(const std::string& sjis) { return Sjis::ReplaceAll(sjis, "&", "&&"); }

// One line's worth of `sjis`, cut with "…" when it is longer.
std::string OneLine(const std::string& sjis)
{
    if (sjis.size() <= NoticeLineBytes)
        return sjis;
    return Sjis::CutAtChar(sjis, NoticeLineBytes - 2) + Sjis::FromUtf8("…");
}

// The name of a story's folder or archive, as the window shows it.
std::string StoryName(const std::string& path)
{
    fs::path p = fs::path(path).lexically_normal();
    if (!p.has_filename() && p.has_parent_path())
        p = p.parent_path();
    std::string name = p.filename().string();
    return Literal(OneLine(FromOutside(name.empty() ? path : name)));
}

// Breaks Shift-JIS text into lines of at most NoticeLineBytes at its spaces (a longer word is cut),
// keeping no more than `count` lines; a byte 0x20 is never part of a double-byte character.
std::string Wrap(const std::string& sjis, size_t count)
{
    std::vector<std::string> lines(1);
    size_t at = 0;
    while (at < sjis.size() && lines.size() <= count) {
        size_t end = sjis.find(' ', at);
        std::string word = sjis.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? sjis.size() : end + 1;
        while (!word.empty()) {
            std::string& line = lines.back();
            if (line.size() + (line.empty() ? 0 : 1) + word.size() <= NoticeLineBytes) {
                line += (line.empty() ? "" : " ") + word;
                break;
            }
            if (!line.empty()) {
                lines.emplace_back();
                continue;
            }
            std::string part = Sjis::CutAtChar(word, NoticeLineBytes);
            line = part.empty() ? word.substr(0, 1) : part;
            word.erase(0, line.size());
            lines.emplace_back();
        }
    }
    if (lines.back().empty())
        lines.pop_back();
    std::string text;
    for (size_t n = 0; n < lines.size() && n < count; ++n)
        text += (n ? "\r\n" : "") + lines[n];
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The %XX escapes of an address decoded; nullopt for a broken escape or one that decodes to NUL.
std::optional<std::string> Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1, low = high < 0 ? -1 : HexDigit(text[i + 2]);
        if (low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

// The first line of a list of addresses that is not a comment, without its line end.
std::string FirstAddress(const std::string& text)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] != '#')
            return line;
    }
    return "";
}

}  // namespace

bool HasDataFolder()
{
    std::error_code ec;
    return fs::is_directory(NativePath("dat"), ec);
}

std::optional<std::string> DroppedFilePath(const std::string& text)
{
    std::string address = FirstAddress(text);
    const std::string scheme = "file://";
    if (address.size() <= scheme.size() || !Sjis::SameTextAscii(address.substr(0, scheme.size()), scheme))
        return std::nullopt;
    std::string rest = address.substr(scheme.size());
    size_t slash = rest.find('/');
    std::string host = rest.substr(0, slash);
    if (slash == std::string::npos || !(host.empty() || Sjis::SameTextAscii(host, "localhost")))
        return std::nullopt;
    return Unescape(rest.substr(slash));
}

TNoStoryForm::TNoStoryForm(const std::optional<std::string>& lastStory) : TForm("NoStoryForm")
{
    std::error_code ec;
    if (lastStory && fs::exists(*lastStory, ec))
        Offered = lastStory;
    Build();
    OnKeyDown = [this](TControl&, int key, bool repeat) {
        if (!repeat)
            KeyDown(key);
    };
    OfferLastStory();
}

// The player's own look: the picture area's grey above the message area's black, in its font.
void TNoStoryForm::Build()
{
    Caption = "zv_rk";
    Width = 154;
    Height = 142;
    WindowLeft = 220;
    WindowTop = 142;
    Color = Colors::ButtonFace;
    Font = TFont{Colors::Black, 12, false};
    Place(Upper, *this, 0, 0, 154, 84);
    Upper.Color = UpperColor;
    Place(Invite, Upper, 2, 6, 150, 74);
    Invite.Color = UpperColor;
    Invite.Font = TFont{Colors::White, 12, false};
    Invite.Alignment = TAlignment::Center;
    Invite.Caption = Sjis::FromUtf8(InviteText);
    Place(Lower, *this, 0, 84, 154, 58);
    Lower.Color = Colors::Black;
    Place(Notice, Lower, 3, 4, 148, 50);
    Notice.Color = Colors::Black;
    Notice.Alignment = TAlignment::Center;
}

void TNoStoryForm::Listen(TSdlBackend& backend)
{
    backend.Dropped = [this](const std::string& dropped, bool isText) { Dropped(dropped, isText); };
}

void TNoStoryForm::Dropped(const std::string& dropped, bool isText)
{
    if (Entered)
        return;  // several dropped at once: the first story is played
    if (!isText) {
        TryStory(dropped);
    } else if (std::optional<std::string> path = DroppedFilePath(dropped)) {
        TryStory(*path);
    }
}

void TNoStoryForm::KeyDown(int key)
{
    if (key == Keys::Return && Offered && !Entered)
        TryStory(*Offered);
}

void TNoStoryForm::TryStory(const std::string& path)
{
    // Called from the window's events, outside any handler's guard: whatever goes wrong with this
    // story leaves the window waiting for another.
    std::string problem;
    try {
        problem = EnterStoryFolder(path);
    } catch (const std::exception& e) {
        problem = TerminalMessage(e);
    }
    if (problem.empty()) {
        Entered = path;
        return;
    }
    // The name was not typed at this terminal: it may hold what would work the terminal.
    std::fprintf(stderr, "zv_rk: %s\n", Printable(problem).c_str());
    ShowProblem(path, problem);
}

void TNoStoryForm::OfferLastStory()
{
    Notice.Font = TFont{Colors::White, 12, false};
    Notice.Caption = Offered ? Sjis::FromUtf8("前回の物語 / Last story\r\n") + StoryName(*Offered) +
                                   Sjis::FromUtf8("\r\nEnter: 遊ぶ / play")
                             : "";
}

// The problem as the command line words it, less the path it starts with, under the story's name.
void TNoStoryForm::ShowProblem(const std::string& path, const std::string& problem)
{
    std::string reason =
        problem.compare(0, path.size() + 2, path + ": ") == 0 ? problem.substr(path.size() + 2) : problem;
    Notice.Font = TFont{ProblemColor, 12, false};
    Notice.Caption = StoryName(path) + "\r\n" + Literal(Wrap(FromOutside(reason), NoticeLines - 1));
}

std::optional<std::string> ChooseStory(TSdlBackend& backend, TView& view, const std::optional<std::string>& lastStory)
{
    TApplication& app = Application();
    TNoStoryForm form(lastStory);
    form.Listen(backend);
    backend.OpenWindow(form, view);
    while (!app.Terminated() && !form.Chosen()) {
        app.ProcessMessages();
        if (!app.Terminated() && !form.Chosen())
            app.WaitForEvent(100);
    }
    backend.Dropped = nullptr;
    view = backend.View();
    backend.CloseWindow();
    return form.Chosen();
}
