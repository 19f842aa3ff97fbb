// Screenshots from the real window, and the bounds on what the reader keeps.
#include "ReaderFixture.h"

#include "platform/ShiftJis.h"
#include "reader/LookBack.h"
#include "reader/Screenshot.h"

#include <SDL_image.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the life of the object.
class TEnvironment {
public:
    TEnvironment(const char* name, const std::string& value) : Name(name)
    {
        if (const char* old = std::getenv(name))
            Old = old;
        setenv(name, value.c_str(), 1);
    }
    ~TEnvironment()
    {
        if (Old)
            setenv(Name, Old->c_str(), 1);
        else
            unsetenv(Name);
    }

private:
    const char* Name;
    std::optional<std::string> Old;
};

std::vector<fs::path> FilesIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST_F(ReaderTest, F12WritesTheWindowAsShownIntoThePicturesFolderAndSaysWhere)
{
    TEnvironment home("HOME", Dir + "/home");
    TEnvironment config("XDG_CONFIG_HOME", Dir + "/home/.config");
    WriteFile("home/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    WriteScript({"一"});
    OpenReader({.StoryName = "物語"});
    Backend->SetView({2, false});
    Pump();
    Tap(SDLK_F12);
    Tap(SDLK_F12);

    std::vector<fs::path> files = FilesIn(Dir + "/home/Bilder/zv_rk");
    ASSERT_EQ(files.size(), 2u);  // the second beside the first, not over it
    EXPECT_EQ(files[0].filename().string().rfind("物語-", 0), 0u) << files[0];
    const std::string saved = "zv_rk \u2014 saved ~/";
    ASSERT_EQ(Title().rfind(saved, 0), 0u) << Title();
    EXPECT_TRUE(fs::is_regular_file(Dir + "/home/" + Title().substr(saved.size()))) << Title();
    SDL_Surface* png = IMG_Load(files[0].c_str());
    ASSERT_NE(png, nullptr) << IMG_GetError();
    TRgbImage written = ReadSurface(png);
    SDL_FreeSurface(png);
    EXPECT_EQ(written.Width, 2 * Form->Width);
    EXPECT_EQ(written.Height, 2 * Form->Height);
    EXPECT_EQ(written.Pixels, Screen().Pixels);

    // A folder that cannot be made is said in the title; the story goes on.
    WriteFile("home/Bilder/zv_rk2", "");
    fs::remove_all(Dir + "/home/Bilder/zv_rk");
    fs::rename(Dir + "/home/Bilder/zv_rk2", Dir + "/home/Bilder/zv_rk");
    Tap(SDLK_F12);
    EXPECT_EQ(Title().rfind("zv_rk \u2014 screenshot not saved: ~/Bilder/zv_rk: ", 0), 0u) << Title();
    EXPECT_EQ(MessageText(), "一|");
}

TEST(ScreenshotName, TheStorysNameIsMadeSafeForAFileName)
{
    EXPECT_EQ(StoryFileName("/stories/My Story.tar.gz", true), "My Story");
    EXPECT_EQ(StoryFileName("../a/.hidden:b*c?.zip", true), "_hidden_b_c_");
    std::string sjisName = Sjis::FromUtf8("物語");
    fs::path folder = fs::temp_directory_path() / ("rk-name-" + std::to_string(getpid())) / sjisName;
    fs::create_directories(folder);
    fs::path old = fs::current_path();
    fs::current_path(folder);
    EXPECT_EQ(StoryFileName("", false), "物語");
    fs::current_path(old);
    fs::remove_all(folder.parent_path());
}

TEST(PageHistory, KeepsTheLast500PagesAndABoundedNumberOfBytes)
{
    auto page = [](const std::string& text) {
        TPageShot shot;
        shot.Area.Visible = true;
        shot.Labels.push_back({});
        shot.Labels[0].Visible = true;
        shot.Labels[0].Caption = text;
        return shot;
    };
    TPageHistory history;
    history.Keep(page(""));  // nothing to look back at
    EXPECT_EQ(history.Count(), 0u);
    for (int i = 0; i < 600; ++i)
        history.Keep(page(std::to_string(i)));
    EXPECT_EQ(history.Count(), TPageHistory::MostPages);
    EXPECT_EQ(history.Back(1).Labels[0].Caption, "599");
    EXPECT_EQ(history.Back(500).Labels[0].Caption, "100");
    // A story that shows a line of megabytes over and over.
    for (int i = 0; i < 40; ++i)
        history.Keep(page(std::string(size_t(1) << 20, 'x')));
    EXPECT_LE(history.Bytes(), TPageHistory::MostBytes);
    EXPECT_GE(history.Count(), 10u);
}
