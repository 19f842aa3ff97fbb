// The program's start: its command line, the story folder it names, and the settings it remembers.
#include "engine/UnitRK.h"
#include "platform/ShiftJis.h"
#include "platform/UserFolders.h"
#include "ui/AuthorCommands.h"
#include "ui/CommandLine.h"
#include "ui/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TRun {
    std::optional<int> Status;
    TCommandLine Line;
    std::string Out, Err;
};

TRun Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "zv_rk");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    TRun run;
    std::ostringstream out, err;
    run.Status = ParseCommandLine(int(argv.size()), argv.data(), run.Line, out, err);
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

// A temporary folder, removed with everything in it; the current folder is put back too.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rk-program-XXXXXX";
        Dir = mkdtemp(pattern);
        OldDir = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(OldDir);
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    void Write(const std::string& relative, const std::string& bytes)
    {
        fs::path p = fs::path(Dir) / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string Dir;
    fs::path OldDir;
};

using StoryFolder = TempFolder;
using AuthorTools = TempFolder;
using SettingsFile = TempFolder;

}  // namespace

TEST(CommandLine, OptionsHelpVersionAndUsageErrors)
{
    TRun run = Parse({});
    EXPECT_FALSE(run.Status);
    EXPECT_EQ(run.Line.Story, "");
    EXPECT_FALSE(run.Line.Scale);
    EXPECT_FALSE(run.Line.FullScreen);

    run = Parse({"--scale", "3", "some/story"});
    EXPECT_FALSE(run.Status);
    EXPECT_EQ(run.Line.Scale, 3);
    EXPECT_EQ(run.Line.Story, "some/story");
    EXPECT_EQ(Parse({"-s", "auto"}).Line.Scale, 0);
    EXPECT_EQ(Parse({"--scale=8", "-f"}).Line.FullScreen, true);
    EXPECT_EQ(Parse({"--window"}).Line.FullScreen, false);
    EXPECT_EQ(Parse({"-w", "-f"}).Line.FullScreen, true) << "the last one wins";
    EXPECT_EQ(Parse({"--", "--odd-name"}).Line.Story, "--odd-name");

    run = Parse({"--help"});
    EXPECT_EQ(run.Status, 0);
    for (const char* word : {"--scale", "--fullscreen", "--window", "--version", "STORY"})
        EXPECT_NE(run.Out.find(word), std::string::npos) << word;
    EXPECT_EQ(run.Err, "");
    run = Parse({"--version"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, "zv_rk " RK_VERSION "\n");

    // Each usage error: status 2 and one line that names the problem.
    for (auto [args, named] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{{{"--bogus"}, "--bogus"},
                                                                       {{"--scale", "9"}, "1 to 8"},
                                                                       {{"--scale", "0"}, "1 to 8"},
                                                                       {{"--scale", "2x"}, "1 to 8"},
                                                                       {{"--scale"}, "scale"},
                                                                       {{"a", "b"}, "b"}}) {
        run = Parse(args);
        SCOPED_TRACE(args.front());
        EXPECT_EQ(run.Status, 2);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err.rfind("zv_rk: ", 0), 0u) << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
        EXPECT_NE(run.Err.find(named), std::string::npos) << run.Err;
    }
}

TEST_F(StoryFolder, TheFolderItsDatFolderOrItsScriptNameTheStory)
{
    Write("night train/dat/1.txt", "x\r\n");
    Write("night train/readme.txt", "x");
    Write("empty/.keep", "");
    std::string story = fs::canonical(Dir + "/night train").string();
    for (std::string given : {Dir + "/night train", Dir + "/night train/", Dir + "/night train/dat",
                              Dir + "/night train/dat/", Dir + "/night train/dat/1.txt"}) {
        fs::current_path("/");
        EXPECT_EQ(EnterStoryFolder(given), "") << given;
        EXPECT_EQ(fs::current_path(), story) << given;
    }
    // A script that is a link to a file elsewhere still names the folder it is in.
    Write("elsewhere/script.txt", "x\r\n");
    fs::create_directories(Dir + "/linked/dat");
    fs::create_symlink(Dir + "/elsewhere/script.txt", Dir + "/linked/dat/1.txt");
    EXPECT_EQ(EnterStoryFolder(Dir + "/linked/dat/1.txt"), "");
    EXPECT_EQ(fs::current_path(), fs::canonical(Dir + "/linked"));
    // Relative to the folder the program starts in.
    fs::current_path(Dir);
    EXPECT_EQ(EnterStoryFolder("night train/dat"), "");
    EXPECT_EQ(fs::current_path(), story);

    // Anything else is refused, naming what was given, and the current folder stays.
    fs::current_path(Dir);
    for (std::string given : {Dir + "/empty", Dir + "/missing", Dir + "/night train/readme.txt", Dir}) {
        std::string problem = EnterStoryFolder(given);
        EXPECT_EQ(problem.rfind(given + ": ", 0), 0u) << problem;
        EXPECT_EQ(fs::current_path(), fs::path(Dir)) << given;
    }
    EXPECT_NE(EnterStoryFolder(Dir + "/missing").find("no such file"), std::string::npos);
    EXPECT_NE(EnterStoryFolder(Dir + "/empty").find("no dat/1.txt"), std::string::npos);
}

// The XDG rule for each of the player's folders: the variable when absolute, else HOME's default
// place when HOME is absolute, else none; a relative path would be the story's folder.
TEST_F(SettingsFile, ThePathFollowsXdgConfigHomeThenHome)
{
    const std::vector<const char*> names = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME",
                                            "HOME"};
    std::vector<std::optional<std::string>> kept;
    for (const char* name : names) {
        const char* v = std::getenv(name);
        kept.push_back(v ? std::optional<std::string>(v) : std::nullopt);
        unsetenv(name);
    }
    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(SettingsPath(), "/x/config/zv_rk/settings.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // to be ignored
    setenv("HOME", "/home/reader", 1);
    EXPECT_EQ(SettingsPath(), "/home/reader/.config/zv_rk/settings.ini");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsPath(), "/home/reader/.config/zv_rk/settings.ini");
    EXPECT_EQ(UserFolder(TUserFolder::Data), "/home/reader/.local/share/zv_rk");
    EXPECT_EQ(UserFolder(TUserFolder::State), "/home/reader/.local/state/zv_rk");
    EXPECT_EQ(UserFolder(TUserFolder::Cache), "/home/reader/.cache/zv_rk");
    setenv("XDG_STATE_HOME", "/x/state", 1);
    EXPECT_EQ(UserFolder(TUserFolder::State), "/x/state/zv_rk");
    for (const char* home : {"relative-home", ""}) {
        setenv("HOME", home, 1);
        EXPECT_EQ(SettingsPath(), "") << "HOME=" << home;
        EXPECT_EQ(UserFolder(TUserFolder::Cache), "") << "HOME=" << home;
    }
    EXPECT_EQ(UserFolder(TUserFolder::State), "/x/state/zv_rk");
    for (size_t i = 0; i < names.size(); ++i) {
        if (kept[i])
            setenv(names[i], kept[i]->c_str(), 1);
        else
            unsetenv(names[i]);
    }
}

TEST_F(SettingsFile, WrittenWholeThroughNoLinkAndReadBack)
{
    std::string path = Dir + "/config/zv_rk/settings.ini";
    std::string problem;
    EXPECT_EQ(LoadSettings(path, problem), TSettings{});
    EXPECT_EQ(problem, "") << "no file yet is no problem";

    // The folders are made as needed; what was not set is not written.
    ASSERT_TRUE(SaveSettings(path, TSettings{3, std::nullopt}, problem)) << problem;
    EXPECT_EQ(LoadSettings(path, problem), (TSettings{3, std::nullopt}));
    EXPECT_EQ(Read(path).find("fullscreen"), std::string::npos);
    ASSERT_TRUE(SaveSettings(path, TSettings{0, true}, problem)) << problem;
    EXPECT_EQ(LoadSettings(path, problem), (TSettings{0, true}));
    EXPECT_EQ(problem, "");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir + "/config/zv_rk"), fs::directory_iterator()), 1)
        << "no temporary file is left";

    // A link in the file's place is replaced; the file it pointed to is not written.
    Write("elsewhere.ini", "keep");
    fs::remove(path);
    fs::create_symlink(Dir + "/elsewhere.ini", path);
    ASSERT_TRUE(SaveSettings(path, TSettings{2, false}, problem)) << problem;
    EXPECT_EQ(Read(Dir + "/elsewhere.ini"), "keep");
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(LoadSettings(path, problem), (TSettings{2, false}));

    // The settings folder is the user's own: a link there (into a repository of dotfiles) is
    // followed, and the file lands where it points.
    fs::create_directories(Dir + "/dotfiles");
    fs::create_directories(Dir + "/linked");
    fs::create_directory_symlink(Dir + "/dotfiles", Dir + "/linked/zv_rk");
    EXPECT_TRUE(SaveSettings(Dir + "/linked/zv_rk/settings.ini", TSettings{2, false}, problem)) << problem;
    EXPECT_EQ(LoadSettings(Dir + "/dotfiles/settings.ini", problem), (TSettings{2, false}));
}

// A save changes the player's own entries and nothing else: other sections, other names in its
// own section and comments are there afterwards, where they were.
TEST_F(SettingsFile, ASaveKeepsWhatElseTheFileHolds)
{
    std::string path = Dir + "/zv_rk/settings.ini";
    Write("zv_rk/settings.ini", "; mine\n[sound]\nvolume = 7\n[window]\nscale = 2\nposition = 10,20\n"
                                "fullscreen = true\n  continued\n[later]\nkey: value\n");
    std::string problem;
    ASSERT_TRUE(SaveSettings(path, TSettings{4, std::nullopt}, problem)) << problem;
    EXPECT_EQ(Read(path), "; mine\n[sound]\nvolume = 7\n[window]\nscale = 4\nposition = 10,20\n[later]\nkey: value\n");
    EXPECT_EQ(LoadSettings(path, problem), (TSettings{4, std::nullopt}));

    // No [window] section yet: one is added at the end.
    Write("zv_rk/settings.ini", "[sound]\nvolume = 7");
    ASSERT_TRUE(SaveSettings(path, TSettings{std::nullopt, true}, problem)) << problem;
    EXPECT_EQ(Read(path), "[sound]\nvolume = 7\n[window]\nfullscreen = true\n");

    // A file that is there but cannot be read as one is left as it is.
    Write("zv_rk/settings.ini", std::string(100 * 1024, '#'));
    EXPECT_FALSE(SaveSettings(path, TSettings{3, std::nullopt}, problem));
    EXPECT_NE(problem, "");
    EXPECT_EQ(Read(path).size(), 100u * 1024);
}

TEST_F(SettingsFile, ADamagedOrUnreadableFileIsIgnoredWithItsReason)
{
    std::string path = Dir + "/settings.ini";
    std::string problem;
    // Other sections and names, as a later version may write, are no damage.
    Write("settings.ini", "; note\n[window]\nscale=4\nfullscreen = yes\ncolour = blue\n[later]\nx = 1\n");
    EXPECT_EQ(LoadSettings(path, problem), (TSettings{4, true}));
    EXPECT_EQ(problem, "");
    for (const char* text : {"[window]\nscale = 12\n", "[window]\nscale = -1\n", "[window]\nfullscreen = maybe\n",
                             "[window\nscale = 2\n", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR", "[window]\nscale 2\n"}) {
        Write("settings.ini", text);
        EXPECT_EQ(LoadSettings(path, problem), TSettings{}) << text;
        EXPECT_EQ(problem.rfind(path + ":", 0), 0u) << problem;
        EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
    }
    Write("settings.ini", std::string(100000, '#'));
    EXPECT_EQ(LoadSettings(path, problem), TSettings{});
    EXPECT_NE(problem, "");
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(LoadSettings(path, problem), TSettings{});
    EXPECT_NE(problem, "");
    if (geteuid() != 0) {  // root reads whatever the mode says
        fs::remove(path);
        Write("settings.ini", "[window]\nscale = 2\n");
        chmod(path.c_str(), 0);
        EXPECT_EQ(LoadSettings(path, problem), TSettings{});
        EXPECT_NE(problem, "");
    }
}

// The author's tools as the command line runs them, each with its exit status: 0 clean, 1 with
// something to report, 2 for a usage error.
TEST_F(AuthorTools, CheckMapAndStartAnswerWithTheirStatus)
{
    EXPECT_EQ(Parse({"--check", "--map"}).Status, 2);
    EXPECT_EQ(Parse({"--start", "@a", "--check"}).Status, 2);
    TRun run = Parse({"--start", "@a", "story"});
    EXPECT_FALSE(run.Status);
    EXPECT_EQ(run.Line.StartLabel, "@a");
    EXPECT_TRUE(Parse({"--check"}).Line.Check);
    EXPECT_TRUE(Parse({"--map"}).Line.Map);

    Write("dat/1.txt", Sjis::FromUtf8("はじめ\r\n#Goto @nowhere\r\n@a\r\n#Cg a.jpg\r\n@b\r\nおわり\r\n"));
    fs::current_path(Dir);
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(out), 1);
    EXPECT_EQ(out.str(), "dat/1.txt:2: error: #Goto target @nowhere has no label line\n"
                         "dat/1.txt:4: warning: picture dat/a.jpg is missing\n");
    out.str("");
    EXPECT_EQ(RunMap(out, err), 0);
    EXPECT_EQ(out.str().rfind("digraph story {", 0), 0u);

    // Notes only inform: a script saved as UTF-8 plays.
    Write("dat/1.txt", "はじめ\r\n");
    out.str("");
    EXPECT_EQ(RunCheck(out), 0);
    EXPECT_NE(out.str().find("dat/1.txt: note: "), std::string::npos) << out.str();
    Write("dat/1.txt", Sjis::FromUtf8("はじめ\r\n#Goto @nowhere\r\n@a\r\n#Cg a.jpg\r\n@b\r\nおわり\r\n"));

    std::function<void()> first;
    EXPECT_EQ(PrepareStart("@nowhere", first, err), 2);
    EXPECT_NE(err.str().find("no such label"), std::string::npos) << err.str();
    EXPECT_FALSE(first);
    err.str("");
    EXPECT_EQ(PrepareStart("b", first, err), std::nullopt);
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(first);

    Write("dat/1.txt", "a b c d e f g h i j k l m n o p q\r\n");
    EXPECT_EQ(RunMap(out, err), 1);
    EXPECT_NE(err.str().find("--check"), std::string::npos) << err.str();
}
