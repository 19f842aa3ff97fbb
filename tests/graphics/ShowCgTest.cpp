// "#Cg" through the real interpreter with the picture loader bound, as the program binds it.
#include "EngineFixture.h"
#include "PictureFiles.h"

#include "platform/ShiftJis.h"
#include "platform/StoryBounds.h"
#include "ui/MyCg.h"

#include <filesystem>

using namespace PictureFiles;
using namespace UnitRK;

namespace {

class ShowCgTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Services.LoadPictureFile = MyCg::LoadPictureFile;
        PanelCg.Color = 0x444444;
        Image1.SetParent(&PanelCg);
    }

    void WritePicture(const std::string& name, int width, int height) const
    {
        TRgbImage image = Gradient(width, height);
        bool jpeg = name.find(".jp") != std::string::npos || name.find(".JP") != std::string::npos;
        Folder->Write("dat/" + name, jpeg ? Jpeg(image, false, false) : Bitmap(image));
    }

    void Click()
    {
        Application().Guard([] { Advance(); });
    }
    std::string Placement() const
    {
        return Image1.Visible ? std::to_string(Image1.Width) + "x" + std::to_string(Image1.Height) + "@" +
                                    std::to_string(Image1.Left) + "," + std::to_string(Image1.Top)
                              : "hidden";
    }
};

}  // namespace

TEST_F(ShowCgTest, PicturesAreCentredAndLargerOnesCutOnBothSides)
{
    WritePicture("full.bmp", 156, 96);
    WritePicture("small.jpg", 100, 50);
    WritePicture("odd.bmp", 157, 97);
    WritePicture("big.jpeg", 200, 120);
    WriteScript({"#Cg full.bmp", "#Cg small.jpg", "#Cg odd.bmp", "#Cg big.jpeg"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Placement(), "156x96@0,0");
    Tick();
    EXPECT_EQ(Placement(), "100x50@28,23");
    Tick();
    EXPECT_EQ(Placement(), "157x97@0,0") << "-1 div 2 truncates to 0";
    Tick();
    EXPECT_EQ(Placement(), "200x120@-22,-12");
    EXPECT_TRUE(Backend.Boxes.empty());
}

TEST_F(ShowCgTest, HidingMissingFilesAndUpperCaseExtensions)
{
    WritePicture("a.JPG", 100, 50);
    WritePicture("b.BMP", 20, 10);
    WriteScript({"#Cg a.JPG", "#Cg", "#Cg b.BMP", "#Cg missing.jpg", "#Cg a.JPG"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Placement(), "100x50@28,23");
    Tick();
    EXPECT_EQ(Placement(), "hidden");
    Tick();
    EXPECT_EQ(Placement(), "20x10@68,43");
    Tick();
    EXPECT_EQ(Placement(), "20x10@68,43") << "a missing file shows the previous picture again";
    Tick();
    EXPECT_EQ(Placement(), "100x50@28,23");
    EXPECT_TRUE(Backend.Boxes.empty());
}

TEST_F(ShowCgTest, PicturesUnpackedUnderUtf8NamesAreFound)
{
    // The script names them in Shift-JIS; the names on disk are UTF-8, as an archive tool on
    // Linux writes them. The second byte of 表 and of ソ is 5C.
    WritePicture("駅.jpg", 100, 50);
    WritePicture("表/ソ.BMP", 20, 10);
    WriteScript({"#Cg 駅.jpg", "#Cg 表\\ソ.bmp"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Placement(), "100x50@28,23");
    Tick();
    EXPECT_EQ(Placement(), "20x10@68,43");
    EXPECT_TRUE(Backend.Boxes.empty());
}

TEST_F(ShowCgTest, UnreadablePicturesReportTheirErrorAndStayHidden)
{
    WritePicture("good.bmp", 30, 30);
    Folder->Write("dat/pic.gif", "GIF89a");
    Folder->Write("dat/noext", "x");
    Folder->Write("dat/bad.bmp", "BM broken");
    Folder->Write("dat/bad.jpg", std::string(100, '\0'));
    Folder->Write("dat/bad.wmf", std::string(100, '\0'));
    // Sound pictures with more bytes after them than a picture may hold: refused, not cut short.
    WritePicture("big.bmp", 30, 30);
    WritePicture("big.jpg", 30, 30);
    for (const char* big : {"dat/big.bmp", "dat/big.jpg"})
        std::filesystem::resize_file(big, StoryBounds::PictureBytes + 1);
    struct {
        const char* Name;
        const char* Text;
    } cases[] = {{"pic.gif", "拡張子 .gif の画像形式は処理できません."},
                 {"noext", "拡張子 . の画像形式は処理できません."},
                 {"bad.bmp", "ビットマップが無効です."},
                 {"bad.jpg", "JPEG エラー #53."},
                 {"bad.wmf", "メタファイルが無効です."},
                 {"big.bmp", "ビットマップが無効です."},
                 {"big.jpg", "JPEG エラー #41."}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Backend.Boxes.clear();
        WriteScript({"#Cg good.bmp", std::string("#Cg ") + c.Name, "end"});
        ASSERT_TRUE(Start());
        Application().Guard([] { AutoTick(); });  // the step after the shown picture
        EXPECT_EQ(Placement(), "hidden");
        EXPECT_EQ(Image1.Width, 30) << "the previous picture stays in the control";
        ASSERT_EQ(Backend.Boxes.size(), 1u);
        EXPECT_EQ(Backend.Boxes[0].Text, c.Text);
    }
}

TEST(PictureExtension, IsTheTextAfterTheLastDotOfTheFileNameOnly)
{
    EXPECT_EQ(MyCg::FileExtension("dat\\a.b.JPEG"), "JPEG");
    EXPECT_EQ(MyCg::FileExtension("dat\\v1.0\\pic"), "");
    EXPECT_EQ(MyCg::FileExtension("dat\\sub.d/pic"), "");
    EXPECT_EQ(MyCg::FileExtension("dat\\pic."), "");
    // 表 is 0x95 0x5C: its second byte is no folder separator.
    EXPECT_EQ(MyCg::FileExtension(Sjis::FromUtf8("dat\\x.表")), Sjis::FromUtf8("表"));
    EXPECT_EQ(MyCg::FileExtension(Sjis::FromUtf8("dat\\表.bmp")), "bmp");
}

TEST(PictureExtension, FileNamesInShiftJisLoadThroughTheSameRule)
{
    TTempFolder folder;
    folder.Write(Sjis::FromUtf8("dat/表示.bmp"), Bitmap(Gradient(12, 8)));
    TImage image("Image1");
    MyCg::LoadPictureFile(image, Sjis::FromUtf8("dat\\表示.bmp"));
    EXPECT_EQ(image.Width, 12);
    EXPECT_EQ(image.Height, 8);
}
