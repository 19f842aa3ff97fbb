// The files of a story in an archive: found by the lookup files on disk get, read on demand within
// their bounds, and nothing outside the story reached through them.
#include "platform/StoryArchive.h"
#include "ArchiveBytes.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/StoryBounds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace ArchiveBytes;

namespace {

class StoryArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rk-archive-XXXXXX";
        Dir = mkdtemp(pattern);
        Old = fs::current_path();
        fs::current_path(Dir);
    }
    void TearDown() override
    {
        PlayFromArchive(nullptr);
        fs::current_path(Old);
        fs::remove_all(Dir);
    }
    // Plays from the archive of these bytes, from its folder `folder`; the problem when it cannot.
    std::string Play(const std::string& bytes, const std::string& folder = "",
                     uint64_t workBytes = StoryBounds::ArchiveWorkBytes)
    {
        WriteFile("story.arc", bytes);
        TArchiveProblem problem;
        std::unique_ptr<TStoryArchive> archive = TStoryArchive::Open(Dir + "/story.arc", problem, workBytes);
        if (archive)
            archive->EnterFolder(folder);
        PlayFromArchive(std::move(archive));
        return problem.Reason;
    }
    static long PeakKilobytes()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    }
    std::string Dir;
    fs::path Old;
};

}  // namespace

TEST_F(StoryArchiveTest, ZipNamesAreMatchedAsTheirBytesLikeNamesOnDisk)
{
    // 表 (95 5C) written by a DOS-era tool, 駅 flagged as UTF-8, and a Windows tool's backslashes.
    ASSERT_EQ(Play(ZipArchive({{"dat/\x95\x5C.jpg", "sjis", TArchiveMember::File, false, true},
                               {"dat/\xE9\xA7\x85.jpg", "utf8", TArchiveMember::File, true},
                               {"Pics\\Sub\\Pic.JPG", "case"}})),
              "");
    EXPECT_EQ(ReadWholeFile("dat\\\x95\x5C.jpg", 100), "sjis");
    const TFoundPath utf8 = FindDataFile("dat\\\x89\x77.jpg");  // 駅 in Shift-JIS
    EXPECT_TRUE(utf8.Found && utf8.Utf8Name);
    EXPECT_EQ(ReadWholeFile("dat\\\x89\x77.jpg", 100), "utf8");
    EXPECT_EQ(NativePath("pics\\sub\\pic.jpg"), "Pics/Sub/Pic.JPG");
    EXPECT_EQ(ReadWholeFile("pics\\sub\\pic.jpg", 100), "case");
    EXPECT_TRUE(FileExists("pics\\sub\\pic.jpg"));
    EXPECT_FALSE(FileExists("pics\\sub"));  // a folder is no file
    EXPECT_FALSE(FileExists("dat\\missing.jpg"));
    // Missing files carry the codes the system gives for a folder story, whatever is on the disk.
    for (const auto& [name, code] : {std::pair{"dat\\missing.jpg", IoCode::FileNotFound},
                                     std::pair{"nofolder\\missing.jpg", IoCode::InvalidFileName}}) {
        try {
            ReadWholeFile(name, 100);
            ADD_FAILURE() << name << " was read";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, code) << name;
        }
    }
}

TEST_F(StoryArchiveTest, LzhNamesComeAsShiftJisWithTheirBackslashes)
{
    // The folder ソ (83 5C) ends in the byte of "\": it stays one name.
    ASSERT_EQ(Play(LzhArchive({{"st\x83\x5C\\dat\\\x95\x5C.jpg", "sjis"}, {"st\x83\x5C\\dat\\1.txt", "script"}})), "");
    const std::vector<std::string> folders = PlayedArchive()->UpperFolders();
    EXPECT_NE(std::find(folders.begin(), folders.end(), "st\x83\x5C/"), folders.end());
    PlayedArchive()->EnterFolder("st\x83\x5C/");
    const TFoundPath found = FindDataFile("dat\\\x95\x5C.jpg");
    EXPECT_TRUE(found.Found && !found.Utf8Name);
    EXPECT_EQ(ReadWholeFile("dat\\\x95\x5C.jpg", 100), "sjis");
    EXPECT_EQ(ReadWholeFile("DAT\\1.TXT", 100), "script");
}

TEST_F(StoryArchiveTest, TheOtherFormatsLibarchiveReadsServeTheirFilesToo)
{
    // In a solid 7z the way to a file passes through the others, unpacked and counted.
    const std::vector<TArchiveMember> members = {
        {"s/dat/a.jpg", std::string(100000, 'a')}, {"s/dat/1.txt", "script"}, {"s/dat/b.jpg", "b"}};
    for (const std::string& bytes : {TarArchive(members, true), TarXzArchive(members), SevenZipArchive(members)}) {
        ASSERT_EQ(Play(bytes, "s/"), "");
        EXPECT_EQ(ReadWholeFile("dat\\1.txt", 100), "script");
        EXPECT_EQ(ReadWholeFile("DAT\\B.JPG", 100), "b");
        EXPECT_EQ(ReadWholeFile("dat\\a.jpg", 99999), std::nullopt);
        PlayFromArchive(nullptr);
    }
}

TEST_F(StoryArchiveTest, NamesThatClimbOrStartAtTheRootAreNeverReached)
{
    // A file beside the archive on disk, that a story folder could name as "..\secret".
    WriteFile("secret", "on disk");
    ASSERT_EQ(Play(ZipArchive({{"story/dat/1.txt", "script"},
                               {"secret", "beside the story"},
                               {"story/../secret", "climbed"},
                               {"story/dat/../../../x", "climbed"},
                               {"/story/dat/abs.jpg", "absolute"}}),
                   "story/"),
              "");
    EXPECT_EQ(ReadWholeFile("dat\\1.txt", 100), "script");
    for (const char* name : {"..\\secret", "dat\\..\\..\\secret", "..\\x", "\\story\\dat\\abs.jpg", "dat\\abs.jpg"}) {
        EXPECT_FALSE(FileExists(name)) << name;
        EXPECT_THROW(ReadWholeFile(name, 100), EInOutError) << name;
    }
    // Within the story, ".." is taken away as a folder on disk would take it.
    EXPECT_EQ(ReadWholeFile("dat\\..\\dat\\1.txt", 100), "script");
}

TEST_F(StoryArchiveTest, LinksAreNoRegularFilesAndAreNeverFollowed)
{
    for (const std::string& bytes :
         {ZipArchive({{"dat/1.txt", "script"}, {"dat/a.jpg", "/etc/passwd", TArchiveMember::Symlink}}),
          TarArchive({{"dat/1.txt", "script"},
                      {"dat/a.jpg", "/etc/passwd", TArchiveMember::Symlink},
                      {"dat/b.jpg", "dat/1.txt", TArchiveMember::Hardlink}}),
          CpioHardLink("dat/1.txt", "dat/b.jpg", "bytes of both")}) {
        ASSERT_EQ(Play(bytes), "");
        for (const char* name : {"dat\\a.jpg", "dat\\b.jpg"}) {
            EXPECT_FALSE(FileExists(name)) << name;
            if (!FindDataFile(name).Found)
                continue;  // only tar and cpio have a b.jpg, only tar an a.jpg
            TStoryFile file(NativePath(name), 100);
            EXPECT_EQ(file.Refusal(), TFileRefusal::NotRegular) << name;
            try {
                ReadWholeFile(name, 100);
                ADD_FAILURE() << name << " was read";
            } catch (const EInOutError& e) {
                EXPECT_EQ(e.ErrorCode, IoCode::AccessDenied) << name;
            }
        }
        PlayFromArchive(nullptr);
    }
}

TEST_F(StoryArchiveTest, AMemberThatInflatesPastItsBoundIsRefusedInBoundedMemoryAndTime)
{
    const uint64_t inflated = 8 * StoryBounds::PictureBytes;
    // Once with its true size in the headers, once with a size that lies.
    for (const uint32_t claimed : {static_cast<uint32_t>(inflated), 10u}) {
        SCOPED_TRACE(claimed);
        ASSERT_EQ(Play(ZipBomb("dat/bomb.jpg", inflated, claimed)), "");
        const long peakBefore = PeakKilobytes();
        const auto start = std::chrono::steady_clock::now();
        TStoryFile file(NativePath("dat\\bomb.jpg"), StoryBounds::PictureBytes);
        EXPECT_EQ(file.Refusal(), TFileRefusal::TooLarge);
        EXPECT_EQ(file.ReadRest(), std::nullopt);
        EXPECT_EQ(ReadWholeFile("dat\\bomb.jpg", StoryBounds::PictureBytes), std::nullopt);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        // Never more held than the bound, far from the whole member.
        EXPECT_LT(PeakKilobytes() - peakBefore, static_cast<long>(3 * StoryBounds::PictureBytes / 1024));
        PlayFromArchive(nullptr);
    }
}

TEST_F(StoryArchiveTest, EachPassIsBoundedInEntriesNameLengthAndUnpacking)
{
    std::vector<TArchiveMember> members;
    for (uint64_t i = 0; i <= StoryBounds::ArchiveEntries; ++i)
        members.push_back({"f" + std::to_string(i), ""});
    EXPECT_NE(Play(ZipArchive(members)).find("more than 100000 files"), std::string::npos);
    EXPECT_EQ(PlayedArchive(), nullptr);

    const std::string longName(StoryBounds::ArchiveNameBytes + 1, 'a');
    ASSERT_EQ(Play(ZipArchive({{"dat/" + longName, "long"}, {"dat/1.txt", "script"}})), "");
    EXPECT_FALSE(FileExists("dat\\" + longName));
    EXPECT_TRUE(FileExists("dat\\1.txt"));

    // Names of many short parts, each name with folders of its own: the index would hold every one.
    members.clear();
    std::string deep;
    for (int i = 0; i < 250; ++i)
        deep += "/a";
    for (int i = 0; i < 1000; ++i)
        members.push_back({std::to_string(i) + deep, ""});
    EXPECT_NE(Play(ZipArchive(members)).find("names take more than 16 MB"), std::string::npos);

    // What a pass may unpack: here a compressed tar, unpacked as a whole to pass over its files.
    const std::string tar =
        TarArchive({{"big.wav", std::string(4 * StoryBounds::MiB, '\0')}, {"dat/1.txt", "x"}}, true);
    EXPECT_NE(Play(tar, "", 2 * StoryBounds::MiB).find("unpacks to more"), std::string::npos);
    ASSERT_EQ(Play(tar, "", 8 * StoryBounds::MiB), "");
    EXPECT_EQ(ReadWholeFile("dat\\1.txt", 100), "x");
}

TEST_F(StoryArchiveTest, ACompressedTarIsPassedOverEntryByEntryWithinItsBound)
{
    const uint64_t bound = 4 * StoryBounds::MiB;
    // A member of zeros packed to a few hundred bytes, far past the bound, before the story.
    const std::string bomb = TarBzip2Archive({{"pad", std::string(32 * StoryBounds::MiB, '\0')}, {"dat/1.txt", "x"}});
    EXPECT_NE(Play(bomb, "", bound).find("unpacks to more"), std::string::npos);
    EXPECT_EQ(PlayedArchive(), nullptr);
    // A member near the bound is unpacked once: its bytes count once, not as member and stream both.
    ASSERT_EQ(
        Play(TarBzip2Archive({{"big.wav", std::string(3 * StoryBounds::MiB, '\0')}, {"dat/1.txt", "x"}}), "", bound),
        "");
    EXPECT_EQ(ReadWholeFile("dat\\1.txt", 100), "x");
}

TEST_F(StoryArchiveTest, AMemberReadAgainComesFromWhatWasKeptWithoutUnpackingAgain)
{
    ASSERT_EQ(Play(TarArchive({{"dat/back.bmp", "picture"}, {"dat/1.txt", "script"}}, true)), "");
    const uint64_t indexed = PlayedArchive()->Passes();
    EXPECT_EQ(ReadWholeFile("dat\\back.bmp", 100), "picture");
    EXPECT_EQ(ReadWholeFile("dat\\back.bmp", 100), "picture");
    EXPECT_EQ(PlayedArchive()->Passes(), indexed + 1);
    // Kept, it is still refused past a smaller bound.
    EXPECT_EQ(ReadWholeFile("dat\\back.bmp", 3), std::nullopt);
    EXPECT_EQ(PlayedArchive()->Passes(), indexed + 1);
}

TEST_F(StoryArchiveTest, AnArchiveChangedOnDiskSinceItWasOpenedIsAFileThatCannotBeRead)
{
    ASSERT_EQ(Play(TarArchive({{"dat/1.txt", "script"}, {"dat/back.bmp", "picture"}})), "");
    WriteFile("story.arc", TarArchive({{"dat/back.bmp", "other"}, {"dat/1.txt", "script"}, {"dat/2.txt", "more"}}));
    EXPECT_THROW(ReadWholeFile("dat\\back.bmp", 100), EInOutError);
}
