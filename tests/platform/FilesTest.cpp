#include "platform/Files.h"
#include "platform/Errors.h"
#include "platform/FifoWatch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using CodePageNames::TMangling;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rk-files-XXXXXX";
        Dir = mkdtemp(pattern);
        Old = fs::current_path();
        fs::current_path(Dir);
    }
    void TearDown() override
    {
        fs::current_path(Old);
        fs::remove_all(Dir);
    }
    static void Touch(const std::string& path, const std::string& bytes = "x")
    {
        fs::create_directories(fs::path(path).parent_path().empty() ? "." : fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Dir;
    fs::path Old;
};

}  // namespace

TEST_F(FilesTest, BackslashIsASeparatorOnlyAsASingleByte)
{
    EXPECT_EQ(NativePath("dat\\1.txt"), "dat/1.txt");
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C: their second byte stays in the name.
    EXPECT_EQ(NativePath("dat\\\x95\x5C.jpg"), "dat/\x95\x5C.jpg");
    EXPECT_EQ(NativePath("\x83\x5C\\a"), "\x83\x5C/a");
    Touch("dat/\x95\x5C.jpg");
    EXPECT_TRUE(FileExists("dat\\\x95\x5C.jpg"));
}

TEST_F(FilesTest, LetterCaseIsMendedWhereTheExactNameIsMissing)
{
    Touch("Dat/Pic.JPG");
    EXPECT_EQ(NativePath("dat\\pic.jpg"), "Dat/Pic.JPG");
    EXPECT_TRUE(FileExists("DAT\\PIC.jpg"));
    EXPECT_FALSE(FileExists("dat\\other.jpg"));
    EXPECT_EQ(NativePath("dat\\other.jpg"), "dat/other.jpg");

    // The second byte of a double-byte character is no letter: ア (83 41) does not find ャ
    // (83 61), nor does ッ (83 62) find ィ (83 42).
    Touch("Dat/\x83\x61.jpg");
    Touch("Dat/\x83\x42.jpg");
    EXPECT_FALSE(FileExists("dat\\\x83\x41.jpg"));
    EXPECT_EQ(NativePath("dat\\\x83\x41.jpg"), "dat/\x83\x41.jpg");
    EXPECT_FALSE(FileExists("dat\\\x83\x62.jpg"));
    // Single-byte letters after a double-byte character still fold.
    EXPECT_EQ(NativePath("DAT\\\x83\x61.JPG"), "Dat/\x83\x61.jpg");
}

TEST_F(FilesTest, AmongNamesThatDifferOnlyInCaseTheFirstInByteOrderIsTaken)
{
    // Every spelling of abc.x but the exact one, made in both orders: whatever order the folder
    // lists its entries in, the same one is taken.
    std::vector<std::string> names;
    for (int upper = 1; upper < 8; ++upper)
        names.push_back(std::string{upper & 4 ? 'A' : 'a', upper & 2 ? 'B' : 'b', upper & 1 ? 'C' : 'c'} + ".x");
    for (const std::string& name : names)
        Touch("up/" + name);
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        Touch("down/" + *name);
    EXPECT_EQ(NativePath("up\\abc.x"), "up/ABC.x");
    EXPECT_EQ(NativePath("down\\abc.x"), "down/ABC.x");
}

TEST_F(FilesTest, NamesUnpackedInUtf8AreFoundAndSaySo)
{
    // 駅 is 89 77 in Shift-JIS, 表 ends in 5C; the names on disk are UTF-8 (this file's own).
    const std::string eki = "\x89\x77", hyo = "\x95\x5C";
    EXPECT_FALSE(FindDataFile("dat\\" + eki + ".jpg").Found);
    EXPECT_EQ(FindDataFile("dat\\" + eki + ".jpg").Path, "dat/" + eki + ".jpg") << "as named when missing";
    Touch("dat/駅.jpg");
    TFoundPath found = FindDataFile("dat\\" + eki + ".jpg");
    EXPECT_EQ(found.Path, "dat/駅.jpg") << "no stale answer after the file was added";
    EXPECT_TRUE(found.Found && found.Utf8Name && !found.OtherCase);
    EXPECT_TRUE(FileExists("dat\\" + eki + ".jpg"));

    // Folders on the way too, each part by itself: a folder in another case, a Japanese folder
    // and file in UTF-8, the file's letters in another case.
    Touch("CG/表/Gate.JPG");
    found = FindDataFile("cg\\" + hyo + "\\gate.jpg");
    EXPECT_EQ(found.Path, "CG/表/Gate.JPG");
    EXPECT_TRUE(found.Found && found.Utf8Name && found.OtherCase);
    Touch("dat/" + hyo + "/x.bmp");
    found = FindDataFile("dat\\" + hyo + "\\x.bmp");
    EXPECT_EQ(found.Path, "dat/" + hyo + "/x.bmp");
    EXPECT_TRUE(found.Found && !found.Utf8Name && !found.OtherCase);

    // The exact bytes first, then the UTF-8 name, then another case in Shift-JIS, then in
    // UTF-8; among names of one kind the first in byte order ("X..." comes before "x...").
    Touch("a/" + eki + ".x");
    Touch("a/駅.x");
    EXPECT_EQ(NativePath("a\\" + eki + ".x"), "a/" + eki + ".x");
    Touch("b/" + eki + ".X");
    Touch("b/駅.x");
    EXPECT_EQ(NativePath("b\\" + eki + ".x"), "b/駅.x");
    Touch("c/x" + eki + ".X");
    Touch("c/X駅.x");
    EXPECT_EQ(NativePath("c\\x" + eki + ".x"), "c/x" + eki + ".X");
    Touch("d/x駅.X");
    Touch("d/X駅.x");
    EXPECT_EQ(NativePath("d\\x" + eki + ".x"), "d/X駅.x");

    // A name that is no Shift-JIS has no UTF-8 form to look for.
    EXPECT_FALSE(FindDataFile("dat\\\x80\x89").Found);
}

TEST_F(FilesTest, NamesUnpackedThroughAWesternCodePageAreFoundAndSaySo)
{
    // 駅前 is 89 77 91 4F: unzip writes it as ëwæO (code page 437).
    const std::string ekimae = "\x89\x77\x91\x4F";
    Touch("dat/ëwæO.bmp");
    TFoundPath found = FindDataFile("dat\\" + ekimae + ".bmp");
    EXPECT_EQ(found.Path, "dat/ëwæO.bmp");
    EXPECT_TRUE(found.Found && found.Mangled == TMangling::Cp437 && !found.Utf8Name && !found.OtherCase);

    // A mangled folder, and a file in it in another case.
    Touch("ëwæO/PIC.BMP");
    found = FindDataFile(ekimae + "\\pic.bmp");
    EXPECT_EQ(found.Path, "ëwæO/PIC.BMP");
    EXPECT_TRUE(found.Found && found.Mangled == TMangling::Cp437 && found.OtherCase);
    // 77 ("w") is the second byte of 駅, no letter: ëWæO is another name.
    Touch("c/ëWæO.bmp");
    EXPECT_FALSE(FindDataFile("c\\" + ekimae + ".bmp").Found);

    // Code page 850 (9B is ø there, ¢ in 437) and 1252 (「 is 81 75; 81 is undefined there and
    // comes out as the C1 control U+0081).
    Touch("dat/øA.wav");
    EXPECT_EQ(FindDataFile("dat\\\x9B\x41.wav").Mangled, TMangling::Cp850);
    Touch("dat/\xC2\x81u.mid");
    EXPECT_EQ(FindDataFile("dat\\\x81\x75.mid").Mangled, TMangling::Cp1252);
    // Debian's unzip: 850 in ISO-8859-1 bytes.
    Touch("deb/\xEBw\xE6O.bmp");
    EXPECT_EQ(FindDataFile("deb\\" + ekimae + ".bmp").Mangled, TMangling::Cp850Latin1);
    // It drops 98: the name 98 2E 2E would be "..", but no mangled name leaves its folder.
    EXPECT_FALSE(FindDataFile("deb\\\x98..\\dat\\" + ekimae + ".bmp").Found);

    // The Shift-JIS name in another case, then its own mangled form, then one in another case;
    // (".BMP" comes before ".bmp" in byte order).
    Touch("a/" + ekimae + ".BMP");
    Touch("a/ëwæO.bmp");
    EXPECT_EQ(NativePath("a\\" + ekimae + ".bmp"), "a/" + ekimae + ".BMP");
    Touch("b/ëwæO.BMP");
    Touch("b/ëwæO.bmp");
    EXPECT_EQ(NativePath("b\\" + ekimae + ".bmp"), "b/ëwæO.bmp");
}

TEST_F(FilesTest, FoldersAreNotFiles)
{
    fs::create_directories("dat/sub");
    EXPECT_FALSE(FileExists("dat\\sub"));
    EXPECT_FALSE(FileExists(""));
}

TEST_F(FilesTest, ReadErrorsCarryTheRuntimeCodes)
{
    try {
        ReadWholeFile("missing.txt", 1);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 2);
    }
    try {
        ReadWholeFile("nofolder\\missing.txt", 1);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 3) << "a missing folder is a bad file name";
    }
    EXPECT_EQ(InOutCodeFromErrno(EACCES), 5);
    EXPECT_EQ(InOutCodeFromErrno(ENOSPC), 101);
    EXPECT_EQ(InOutCodeFromErrno(EMFILE), 4);
    EXPECT_NE(InOutCodeFromErrno(EIO), 5) << "errno 5 is no access error";
}

TEST_F(FilesTest, AStoryFileIsReadOnlyWhenRegularAndWithinItsBound)
{
    {
        TFifoWatch fifo("pipe.jpg");
        try {
            ReadWholeFile("pipe.jpg", 100);
            ADD_FAILURE() << "a FIFO was read";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, IoCode::AccessDenied) << "refused as a folder is";
        }
        EXPECT_FALSE(fifo.Waited());
    }
    fs::create_directory("folder");
    EXPECT_EQ(TStoryFile("folder", 100).Refusal(), TFileRefusal::NotRegular);

    Touch("ten.bin", "0123456789");
    EXPECT_EQ(ReadWholeFile("ten.bin", 10), "0123456789");
    EXPECT_EQ(ReadWholeFile("ten.bin", 9), std::nullopt) << "refused whole, never cut short";
    // A file whose size the system does not tell (as in /proc) is bounded by what is read.
    TStoryFile file("ten.bin", 9);
    char buffer[4];
    size_t read = 0;
    while (const size_t n = file.Read(buffer, sizeof buffer))
        read += n;
    EXPECT_EQ(read, 8u);
    EXPECT_EQ(file.Refusal(), TFileRefusal::TooLarge);
}

TEST(Errors, TextsForEveryCode)
{
    EXPECT_EQ(EInOutError(2).Message(),
              "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1");
    EXPECT_EQ(EInOutError(100).ErrorCode, 100);
    EXPECT_EQ(InOutErrorText(1117), "I/O \x83\x47\x83\x89\x81\x5B (1117)");
    EXPECT_EQ(JpegError(53).Message(), "JPEG \x83\x47\x83\x89\x81\x5B #53");
    EXPECT_EQ(
        UnknownExtensionError("gif").Message(),
        "\x8A\x67\x92\xA3\x8E\x71 .gif "
        "\x82\xCC\x89\xE6\x91\x9C\x8C\x60\x8E\xAE\x82\xCD\x8F\x88\x97\x9D\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1");
}
