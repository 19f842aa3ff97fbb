// The window shown with no story: what it says, and a story dropped on it or offered to Enter.
#include "UiFixture.h"

#include "archive/ArchiveBytes.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "ui/NoStory.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Grey = 0x444444;
constexpr uint32_t Problem = 0xFF9090;

class NoStoryTest : public UiTest {
protected:
    void TearDown() override
    {
        if (Backend)
            Backend->CloseWindow();
        Chooser.reset();
        PlayFromArchive(nullptr);
        UiTest::TearDown();
    }
    // The window as the program opens it with no story, `last` offered.
    void OpenChooser(const std::optional<std::string>& last = std::nullopt, const TView& view = {})
    {
        Chooser = std::make_unique<TNoStoryForm>(last);
        Chooser->Listen(*Backend);
        Backend->OpenWindow(*Chooser, view);
        Pump();
    }
    // What the window manager sends for a file dropped on the window (SDL frees it after).
    void Drop(const std::string& what, Uint32 type = SDL_DROPFILE)
    {
        SDL_Event e{};
        e.type = type;
        e.drop.file = SDL_strdup(what.c_str());
        e.drop.windowID = SDL_GetWindowID(Backend->Window());
        SDL_PushEvent(&e);
        Pump();
    }
    // A story whose first line is `line`, in a folder of its own.
    void WriteStory(const std::string& folder, const std::string& line)
    {
        WriteFile(folder + "/dat/1.txt", Sjis::FromUtf8(line) + "\r\n#End\r\n");
    }
    // The story entered is played as from the command line: its window, its first line.
    void PlayChosen()
    {
        Backend->CloseWindow();
        Open();
    }
    std::string Notice() const { return Sjis::ToUtf8(Sjis::ReplaceAll(Chooser->Notice.Caption, "\r\n", "|")); }
    std::unique_ptr<TNoStoryForm> Chooser;
};

}  // namespace

TEST_F(NoStoryTest, AsksForAStoryAtTheScaleItIsGiven)
{
    OpenChooser();
    TRgbImage one = Screen();
    ASSERT_EQ(one.Width, 154);
    ASSERT_EQ(one.Height, 142);
    EXPECT_EQ(At(1, 1), Grey);
    int upper = Count(0, 0, 154, 84, White);
    EXPECT_GT(upper, 300);                        // five lines of text
    EXPECT_EQ(Count(0, 84, 154, 58, White), 0);   // nothing offered
    EXPECT_GT(Count(0, 0, 154, 14, White), 40);   // 物語のフォルダか
    EXPECT_GT(Count(0, 60, 154, 24, White), 60);  // Drop a story folder / or archive here
    EXPECT_EQ(Count(0, 44, 154, 8, White), 0);    // the blank line between the languages

    Backend->CloseWindow();
    OpenChooser(std::nullopt, TView{2, false});
    TRgbImage two = Screen();
    ASSERT_EQ(two.Width, 308);
    ASSERT_EQ(two.Height, 284);
    EXPECT_EQ(Count(0, 0, 308, 168, White), 4 * upper);
}

TEST_F(NoStoryTest, ADroppedFolderIsPlayed)
{
    WriteStory("story", "はじめの行です。");
    OpenChooser();
    Drop(Dir + "/story");
    ASSERT_EQ(Chooser->Chosen(), Dir + "/story");
    // A second story dropped with it is not entered over the first.
    WriteStory("other", "ほかの行");
    Drop(Dir + "/other");
    EXPECT_EQ(Chooser->Chosen(), Dir + "/story");
    PlayChosen();
    EXPECT_EQ(MessageText(), "はじめの行です。|");
}

TEST_F(NoStoryTest, ADroppedArchiveIsPlayedAlsoFromAnAddress)
{
    using ArchiveBytes::TArchiveMember;
    ArchiveBytes::WriteFile(Dir + "/my story.zip",
                            ArchiveBytes::ZipArchive({{"dat/1.txt", Sjis::FromUtf8("書庫の行") + "\r\n#End\r\n"}}));
    OpenChooser();
    Drop("http://example.com/x.zip\r\n", SDL_DROPTEXT);  // not a file: nothing happens
    EXPECT_FALSE(Chooser->Chosen());
    Drop("# a comment\r\nfile://" + Dir + "/my%20story.zip\r\n", SDL_DROPTEXT);
    ASSERT_EQ(Chooser->Chosen(), Dir + "/my story.zip");
    EXPECT_EQ(fs::current_path(), fs::path(Dir));  // played from the archive, where it lies
    PlayChosen();
    EXPECT_EQ(MessageText(), "書庫の行|");
}

TEST_F(NoStoryTest, WhatIsNoStoryIsRefusedInTheWindowWhichWaitsForAnother)
{
    WriteFile("empty/readme.txt", "x");
    WriteStory("story", "はじめの行です。");
    OpenChooser();
    Drop(Dir + "/empty");
    EXPECT_FALSE(Chooser->Chosen());
    EXPECT_EQ(Notice(), "empty|not a story: no dat/1.txt|in it");
    EXPECT_GT(Count(0, 84, 154, 58, Problem), 50);
    EXPECT_EQ(fs::current_path(), fs::path(Dir));
    Drop(Dir + "/missing & gone");
    EXPECT_EQ(Notice(), "missing && gone|no such file or folder");
    // Whatever the name, the notice keeps to its lines.
    Drop(Dir + "/" + std::string(300, 'x') + "\n" + std::string(400, 'y'));
    EXPECT_LE(std::count(Chooser->Notice.Caption.begin(), Chooser->Notice.Caption.end(), '\n'), 3);
    Drop(Dir + "/story");
    EXPECT_EQ(Chooser->Chosen(), Dir + "/story");
}

TEST_F(NoStoryTest, TheLastStoryIsOfferedToEnterWhileItIsThere)
{
    WriteStory("last", "前の物語");
    OpenChooser(Dir + "/last");
    EXPECT_EQ(Notice(), "前回の物語 / Last story|last|Enter: 遊ぶ / play");
    EXPECT_GT(Count(0, 84, 154, 58, White), 100);
    Tap(SDLK_RETURN);
    ASSERT_EQ(Chooser->Chosen(), Dir + "/last");
    PlayChosen();
    EXPECT_EQ(MessageText(), "前の物語|");
}

TEST_F(NoStoryTest, AVanishedLastStoryIsNotOffered)
{
    OpenChooser(Dir + "/gone");
    EXPECT_EQ(Notice(), "");
    Tap(SDLK_RETURN);
    EXPECT_FALSE(Chooser->Chosen());
}

TEST(DroppedText, OnlyALocalFileAddressNamesAFile)
{
    EXPECT_EQ(DroppedFilePath("file:///home/a%20b/%E7%89%A9.zip"), "/home/a b/物.zip");
    EXPECT_EQ(DroppedFilePath("FILE://localhost/x\r\nfile:///y\r\n"), "/x");
    EXPECT_EQ(DroppedFilePath("#c\nfile:///z"), "/z");
    for (const char* other : {"", "/plain/path", "file://", "file://host/x", "https://x/y.zip", "file:///a%0",
                              "file:///a%zz", "file:///a%00b"})
        EXPECT_EQ(DroppedFilePath(other), std::nullopt) << other;
}
