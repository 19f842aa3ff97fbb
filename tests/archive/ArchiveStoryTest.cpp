// A story played from the archive it came in: named on the command line, played, and saved in the
// user's data, never beside the archive nor in it.
#include "ArchiveBytes.h"
#include "engine/EngineFixture.h"
#include "engine/SaveRecord.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "ui/CommandLine.h"

#include <cstdlib>
#include <filesystem>

using namespace UnitRK;
namespace fs = std::filesystem;
using namespace ArchiveBytes;

namespace {

class ArchiveStoryTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Data = Folder->Path() + "/data";
        setenv("XDG_DATA_HOME", Data.c_str(), 1);
    }
    void TearDown() override
    {
        PlayFromArchive(nullptr);
        unsetenv("XDG_DATA_HOME");
        EngineTest::TearDown();
    }
    // The script of the night train, in Shift-JIS: its first page, then a second one.
    static std::string Script() { return S("夜汽車の旅\r\n二行目\r\n\r\n次のページ\r\n"); }
    // Plays from the story's first page to its second one, saves in slot 1, and gives the slot's
    // bytes as they were written.
    std::string PlayAndSave(const std::string& slotPath)
    {
        EXPECT_TRUE(Start());
        EXPECT_EQ(Shown(), "夜汽車の旅|");
        Advance();
        Advance();
        EXPECT_EQ(Shown(), "次のページ|");
        OpenDataMenu();
        Application().Guard([] { SaveSlot(1); });
        EXPECT_TRUE(Backend.Boxes.empty()) << Backend.Boxes.front().Text;
        return ReadFile(slotPath);
    }
    std::string Data;
};

}  // namespace

TEST_F(ArchiveStoryTest, ZipAndLzhStoriesPlayAndSaveInTheUsersDataNeverInTheArchive)
{
    // The same story unpacked, as the original player had it: its save is what the others match.
    Folder->Write("folder/dat/1.txt", Script());
    ASSERT_EQ(EnterStoryFolder(Folder->Path() + "/folder"), "");
    const std::string folderSave = PlayAndSave("save1.dat");
    ASSERT_EQ(folderSave.size(), SaveLayout::Size);
    fs::current_path(Folder->Path());

    // Story folders one level down, in Japanese, as an archive of Windows made them.
    const std::string zip = ZipArchive({{S("夜汽車") + "/dat/1.txt", Script(), TArchiveMember::File, false, true}});
    const std::string lzh = LzhArchive({{S("夜汽車") + "\\DAT\\1.TXT", Script()}});
    for (const auto& [name, bytes] : {std::pair{"night-train.zip", zip}, std::pair{"night-train.lzh", lzh}}) {
        SCOPED_TRACE(name);
        WriteFile(name, bytes);
        ASSERT_EQ(EnterStoryFolder(name), "");
        const std::string slots = Data + "/zv_rk/saves/" + PlayedArchive()->NameAndDigest();
        EXPECT_EQ(PlayAndSave(slots + "/save1.dat"), folderSave);
        EXPECT_EQ(ReadFile(name), bytes);
        EXPECT_FALSE(fs::exists("save1.dat"));
        // And loaded from there.
        OpenDataMenu();
        EXPECT_TRUE(LoadButtons[1]->Visible);
        EXPECT_FALSE(LoadButtons[0]->Visible);
        ASSERT_TRUE(Start());
        LoadSlot(1);
        EXPECT_EQ(Shown(), "次のページ|");
        PlayFromArchive(nullptr);
    }
    EXPECT_EQ(fs::directory_iterator(Data + "/zv_rk/saves") == fs::directory_iterator(), false);
}

TEST_F(ArchiveStoryTest, ArchivesOfOneNameKeepTheirSavesApart)
{
    fs::create_directories("a");
    fs::create_directories("b");
    WriteFile("a/story.zip", ZipArchive({{"dat/1.txt", Script()}}));
    WriteFile("b/story.zip", ZipArchive({{"dat/1.txt", Script() + S("終わり\r\n")}}));
    ASSERT_EQ(EnterStoryFolder("a/story.zip"), "");
    const std::string first = PlayedArchive()->NameAndDigest();
    ASSERT_EQ(EnterStoryFolder("b/story.zip"), "");
    const std::string second = PlayedArchive()->NameAndDigest();
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind("story.zip-", 0), 0u);
    EXPECT_EQ(second.rfind("story.zip-", 0), 0u);
}

TEST_F(ArchiveStoryTest, WithNoDataFolderSavingFailsAndWritesNothing)
{
    WriteFile("story.zip", ZipArchive({{"dat/1.txt", Script()}}));
    ASSERT_EQ(EnterStoryFolder("story.zip"), "");
    setenv("XDG_DATA_HOME", "relative", 1);
    const char* home = std::getenv("HOME");
    const std::string oldHome = home ? home : "";
    unsetenv("HOME");
    ASSERT_TRUE(Start());
    OpenDataMenu();
    Application().Guard([] { SaveSlot(0); });
    if (!oldHome.empty())
        setenv("HOME", oldHome.c_str(), 1);
    ASSERT_EQ(Backend.Boxes.size(), 1u);
    EXPECT_EQ(Backend.Boxes[0].Text.rfind(U(InOutErrorText(IoCode::InvalidFileName)), 0), 0u);
    EXPECT_TRUE(Page2.Visible);  // the data menu stays open, as after any failed save
    for (const auto& entry : fs::recursive_directory_iterator(Folder->Path()))
        EXPECT_EQ(entry.path().filename(), "story.zip");
}

TEST_F(ArchiveStoryTest, AnArchiveOfSeveralStoriesIsRefusedNamingThem)
{
    WriteFile("two.zip", ZipArchive({{"top/" + S("一") + "/dat/1.txt", Script()},
                                     {"top/二/dat/1.txt", Script(), TArchiveMember::File, true},
                                     {"top/two/DAT/1.TXT", Script()},
                                     {"deep/er/still/dat/1.txt", Script()}}));
    const std::string problem = EnterStoryFolder("two.zip");
    EXPECT_NE(problem.find("holds 3 stories"), std::string::npos) << problem;
    EXPECT_NE(problem.find("top/一/"), std::string::npos) << problem;
    EXPECT_NE(problem.find("top/二/"), std::string::npos) << problem;
    EXPECT_NE(problem.find("top/two/"), std::string::npos) << problem;
    EXPECT_EQ(PlayedArchive(), nullptr);

    WriteFile("none.zip", ZipArchive({{"deep/er/still/dat/1.txt", Script()}}));
    EXPECT_NE(EnterStoryFolder("none.zip").find("no dat/1.txt"), std::string::npos);
}

TEST_F(ArchiveStoryTest, NamesFromAnArchiveReachTheTerminalWithoutTheirControlCharacters)
{
    // A folder whose name would retitle the terminal and ring its bell.
    WriteFile("two.zip", ZipArchive({{"a\x1b]0;\x7fowned\x07/dat/1.txt", Script()}, {"b/dat/1.txt", Script()}}));
    const std::string problem = EnterStoryFolder("two.zip");
    EXPECT_NE(problem.find("holds 2 stories, in a?]0;?owned?/, b/"), std::string::npos) << problem;
}

TEST_F(ArchiveStoryTest, AnArchivePastWhatThePlayerReadsIsRefusedSayingSo)
{
    // A story followed by a terabyte of holes: reading it all for the saves' digest would take hours.
    WriteFile("huge.tar", TarArchive({{"dat/1.txt", Script()}}));
    fs::resize_file("huge.tar", uint64_t{1} << 40);
    EXPECT_EQ(EnterStoryFolder("huge.tar"), "huge.tar: cannot be played: it is larger than the 1 GB the player reads");
    EXPECT_EQ(PlayedArchive(), nullptr);
}
