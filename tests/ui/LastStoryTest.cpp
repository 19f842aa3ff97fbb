// The last story played: remembered in the settings when a story starts, played again by --last.
#include "ui/LastStory.h"
#include "archive/ArchiveBytes.h"
#include "platform/Files.h"
#include "ui/CommandLine.h"
#include "ui/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A temporary folder as the settings' home and the current folder, both put back afterwards.
class LastStoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rk-last-XXXXXX";
        Dir = mkdtemp(pattern);
        OldDir = fs::current_path();
        const char* config = std::getenv("XDG_CONFIG_HOME");
        OldConfig = config ? std::optional<std::string>(config) : std::nullopt;
        setenv("XDG_CONFIG_HOME", (Dir + "/config").c_str(), 1);
    }
    void TearDown() override
    {
        PlayFromArchive(nullptr);
        fs::current_path(OldDir);
        if (OldConfig)
            setenv("XDG_CONFIG_HOME", OldConfig->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    void Write(const std::string& relative, const std::string& bytes)
    {
        fs::create_directories((fs::path(Dir) / relative).parent_path());
        ArchiveBytes::WriteFile(Dir + "/" + relative, bytes);
    }
    TSettings Load()
    {
        std::string problem;
        TSettings settings = LoadSettings(SettingsPath(), problem);
        EXPECT_EQ(problem, "");
        return settings;
    }
    std::string Dir;
    fs::path OldDir;
    std::optional<std::string> OldConfig;
};

}  // namespace

TEST_F(LastStoryTest, AStoryStartedIsRememberedWithEverythingElseKept)
{
    Write("story/dat/1.txt", "#End\r\n");
    Write("config/zv_rk/settings.ini", "; mine\n[window]\nscale = 3\n[later]\nLastStory = kept\n");
    fs::current_path(Dir + "/story/dat");
    ASSERT_EQ(EnterStoryFolder("1.txt"), "");
    TSettings settings = Load();
    std::string problem;
    ASSERT_TRUE(RememberStory(settings, PlayedStoryPath("1.txt"), problem)) << problem;
    EXPECT_EQ(ArchiveBytes::ReadFile(SettingsPath()),
              "; mine\n[window]\nscale = 3\nLastStory = " + fs::canonical(Dir).string() +
                  "/story\n[later]\nLastStory = kept\n");
    EXPECT_EQ(Load(), settings);
    EXPECT_EQ(*settings.LastStory, fs::canonical(Dir).string() + "/story");

    // The same story again writes nothing; another replaces it.
    fs::remove(SettingsPath());
    ASSERT_TRUE(RememberStory(settings, *settings.LastStory, problem));
    EXPECT_FALSE(fs::exists(SettingsPath()));
    ASSERT_TRUE(RememberStory(settings, "/elsewhere/a b;c=d.zip", problem));
    EXPECT_EQ(Load().LastStory, "/elsewhere/a b;c=d.zip");
}

TEST_F(LastStoryTest, AnArchiveIsRememberedByItsOwnPathNotTheFolderItIsPlayedFrom)
{
    ArchiveBytes::WriteFile(Dir + "/s.zip", ArchiveBytes::ZipArchive({{"dat/1.txt", "#End\r\n"}}));
    fs::create_directories(Dir + "/sub");
    fs::current_path(Dir + "/sub");
    ASSERT_EQ(EnterStoryFolder("../s.zip"), "");
    EXPECT_EQ(PlayedStoryPath("../s.zip"), Dir + "/s.zip");
}

TEST_F(LastStoryTest, APathTheFileCannotGiveBackForgetsTheOneBefore)
{
    TSettings settings;
    std::string problem;
    ASSERT_TRUE(RememberStory(settings, "/first", problem));
    for (const std::string& path : {std::string("/a\nscale = 9"), std::string("/trailing "), std::string("/cut ;here"),
                                    "/" + std::string(190, 'x'), std::string("relative")}) {
        ASSERT_TRUE(RememberStory(settings, "/first", problem));
        ASSERT_TRUE(RememberStory(settings, path, problem)) << problem;
        EXPECT_EQ(Load(), TSettings{}) << path;
    }
    // The longest that fits comes back whole.
    std::string longest = "/" + std::string(185, 'y');
    ASSERT_TRUE(RememberStory(settings, longest, problem));
    EXPECT_EQ(Load().LastStory, longest);
}

TEST_F(LastStoryTest, LastPlaysTheRememberedStoryOrSaysWhyNot)
{
    Write("story/dat/1.txt", "#End\r\n");
    TSettings settings;
    TCommandLine line;
    std::ostringstream err;
    EXPECT_EQ(TakeLastStory(settings, line, err), 2);
    EXPECT_EQ(err.str(), "zv_rk: --last: no story has been played yet\n");

    settings.LastStory = Dir + "/story";
    err.str("");
    EXPECT_EQ(TakeLastStory(settings, line, err), std::nullopt);
    EXPECT_EQ(line.Story, Dir + "/story");
    EXPECT_EQ(err.str(), "");

    fs::remove_all(Dir + "/story");
    line = TCommandLine{};
    EXPECT_EQ(TakeLastStory(settings, line, err), 2);
    EXPECT_EQ(err.str(), "zv_rk: --last: " + Dir + "/story: no longer there\n");
    EXPECT_EQ(line.Story, "");
}
