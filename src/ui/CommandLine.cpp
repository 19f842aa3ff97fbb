#include "ui/CommandLine.h"

#include "engine/UnitRK.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "platform/StoryArchive.h"
#include "ui/KeyHelp.h"
#include "ui/Settings.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The options, in one table: each one's names, what it sets, and its line of --help. Flags are
// given their meaning after parsing, in the order they were given (see TakeFlags).
void DeclareOptions(CLI::App& app, TCommandLine& line, std::string& scale)
{
    app.set_version_flag("--version", "zv_rk " RK_VERSION, "Print the version and exit");
    app.add_option("STORY", line.Story,
                   "The story to play: the folder that holds its dat folder, that dat folder, dat/1.txt, or the "
                   "archive it came in (.zip, .lzh, .7z, .tar.*) (default: the current folder; with no story "
                   "there, a window to drop one on)")
        ->type_name("");
    app.add_option("-s,--scale", scale,
                   "Draw the window N times larger, or as large as fits in half the display's height (auto); Ctrl++ "
                   "and Ctrl+- change it while playing")
        ->type_name("N|auto")
        ->check(CLI::Validator(
            [](std::string& value) {
                return ParseScale(value) ? std::string() : "must be a whole number from 1 to 8, or auto";
            },
            "", "scale"));
    app.add_flag("-f,--fullscreen")->description("Play full screen (F11 and Alt+Enter toggle it while playing)");
    app.add_flag("-w,--window")->description("Play in a window");
    app.add_flag("--copy-text", line.CopyText,
                 "Put the text of each new page on the clipboard as it appears (for dictionaries and speech); "
                 "Ctrl+C copies the page shown");
    // For authors: two terminal tools that open no window, and a start in the middle of the story.
    CLI::Option* check =
        app.add_flag("--check", line.Check,
                     "Report everything the player would trip on in the story, one line each "
                     "(file:line: error|warning|note: text), and exit: 0 when there is no error or warning, 1 "
                     "otherwise");
    CLI::Option* map = app.add_flag("--map", line.Map,
                                    "Print the story's structure as a Graphviz graph and exit "
                                    "(zv_rk --map STORY | dot -Tsvg > story.svg)");
    check->excludes(map);
    app.add_option("--start", line.StartLabel,
                   "Start play at a label, as a #Goto to it would, with the picture and music set on the way to it; "
                   "F5 reads the script again while playing")
        ->type_name("@LABEL")
        ->excludes(check)
        ->excludes(map);
}

// The story played last instead of one named.
void DeclareLastOption(CLI::App& app, TCommandLine& line)
{
    app.add_flag("--last", line.Last,
                 "Play the story played last (started with no STORY outside a story's folder, the window offers it "
                 "too: Enter plays it)")
        ->excludes(app.get_option("STORY"));
}

// The flags as given: of --fullscreen and --window, the last one wins, as a later option overrides
// an earlier one from a shell alias.
void TakeFlags(const CLI::App& app, TCommandLine& line)
{
    for (const CLI::Option* option : app.parse_order()) {
        if (option->check_lname("fullscreen"))
            line.FullScreen = true;
        else if (option->check_lname("window"))
            line.FullScreen = false;
    }
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, const char* const* argv, TCommandLine& line, std::ostream& out,
                                    std::ostream& err)
{
    CLI::App app("Plays a picture-and-text story: its script dat/1.txt with pictures, music and sound "
                 "effects.\nKeys, settings and more: man zv_rk",
                 "zv_rk");
    app.footer("Keys while playing:\n" + KeyHelpText(true));
    std::string scale;
    DeclareOptions(app, line, scale);
    DeclareLastOption(app, line);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (dynamic_cast<const CLI::CallForVersion*>(&e)) {
            out << e.what() << '\n';
            return 0;
        }
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return app.exit(e, out, err);
        std::string what = e.what();
        for (char& c : what)
            if (c == '\n')
                c = ' ';
        err << "zv_rk: " << what << " (zv_rk --help lists the options)\n";
        return 2;
    }
    if (!scale.empty())
        line.Scale = ParseScale(scale);
    TakeFlags(app, line);
    return std::nullopt;
}

namespace {

// Whether the current folder holds the script, and `path` (absolute) is the file or folder of it
// named by `inStory` (a Windows-style path inside the story, "" for the story folder itself).
bool HoldsStory(const fs::path& path, const std::string& inStory)
{
    if (!FileExists(UnitRK::ScriptPath))
        return false;
    if (inStory.empty())
        return true;
    std::error_code ec;
    return fs::equivalent(NativePath(inStory), path, ec);
}

// A folder of the archive as the terminal shows it: its name in UTF-8 already, or in Shift-JIS.
std::string Shown(const std::string& folder)
{
    if (folder.empty())
        return "the top";
    std::vector<std::string> refused;
    Sjis::FromUtf8(folder, "?", refused);
    return Printable(refused.empty() ? folder : Sjis::ToUtf8(folder));
}

// The story in an archive: the one folder of it, at the top or up to two folders down, that holds
// the script. Nothing is chosen among several.
std::string EnterStoryArchive(const std::string& story, const fs::path& path)
{
    TArchiveProblem problem;
    std::unique_ptr<TStoryArchive> archive = TStoryArchive::Open(path, problem);
    if (!archive && problem.PastBound)
        return story + ": cannot be played: " + Printable(problem.Reason);
    if (!archive)
        return story + ": not a story: no dat/1.txt in it (" + Printable(problem.Reason) + ")";
    std::vector<std::string> stories;
    PlayFromArchive(std::move(archive));
    TStoryArchive& played = *PlayedArchive();
    for (const std::string& folder : played.UpperFolders()) {
        played.EnterFolder(folder);
        if (FileExists(UnitRK::ScriptPath))
            stories.push_back(folder);
    }
    if (stories.size() == 1) {
        played.EnterFolder(stories.front());
        return "";
    }
    PlayFromArchive(nullptr);
    if (stories.empty())
        return story + ": not a story: no dat/1.txt in it";
    std::string list;
    for (const std::string& folder : stories)
        list += (list.empty() ? "" : ", ") + Shown(folder);
    return story + ": holds " + std::to_string(stories.size()) + " stories, in " + list +
           ": unpack it and name the folder of one";
}

}  // namespace

std::string EnterStoryFolder(const std::string& story)
{
    std::error_code ec;
    // As given, not resolved: a script that is a link to elsewhere still names the folder it is in.
    fs::path path = fs::absolute(story, ec).lexically_normal();
    if (!path.has_filename() && path.has_parent_path() && path != path.root_path())
        path = path.parent_path();
    fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        return story + ": " +
               (!ec || ec == std::errc::no_such_file_or_directory ? "no such file or folder" : ec.message());
    int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // The folder itself, then the folder its dat folder or its script is in.
    struct TCandidate {
        fs::path Folder;
        std::string Names;
    };
    std::vector<TCandidate> candidates;
    if (fs::is_directory(status)) {
        candidates.push_back({path, ""});
        candidates.push_back({path.parent_path(), "dat"});
    } else {
        candidates.push_back({path.parent_path().parent_path(), UnitRK::ScriptPath});
    }
    for (const TCandidate& candidate : candidates) {
        if (chdir(candidate.Folder.c_str()) == 0 && HoldsStory(path, candidate.Names)) {
            if (home >= 0)
                close(home);
            return "";
        }
    }
    if (home >= 0) {
        if (fchdir(home) != 0)
            std::perror("zv_rk");
        close(home);
    }
    if (fs::is_regular_file(status))
        return EnterStoryArchive(story, path);
    return story + ": not a story: no dat/1.txt in it";
}
