#include "EngineFixture.h"
#include "engine/SaveRecord.h"
#include "platform/FifoWatch.h"
#include "platform/RecordFile.h"
#include "platform/ShiftJis.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

using namespace UnitRK;
namespace fs = std::filesystem;

namespace {

class SaveSlotTest : public EngineTest {
protected:
    static std::string Bytes(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Plays on from a fresh start of the same script, then loads slot `n`.
    void RestartAndLoad(int n)
    {
        ASSERT_TRUE(Start());
        Calls.clear();
        LoadSlot(n);
    }
    std::string ErrorShownBy(void (*action)(int), int n)
    {
        Backend.Boxes.clear();
        Application().Guard([&] { action(n); });
        return Backend.Boxes.empty() ? "" : Backend.Boxes.back().Text;
    }
    void MakeReadOnly(const std::string& file) { fs::permissions(file, fs::perms::owner_read | fs::perms::group_read); }
    // Replaces `slot` in a child process, as another user when we are the administrator (who may
    // write anything). 0: refused with code 5, 1: written, 2: another error, 3: could not change
    // user, -1: the child did not end normally.
    static int ReplaceAsAnotherUser(const std::string& slot, const std::string& bytes)
    {
        pid_t child = fork();
        if (child < 0)
            return -1;
        if (child == 0) {
            if (geteuid() == 0 && setuid(65534) != 0)
                _exit(3);
            try {
                ReplaceFile(slot, bytes.data(), bytes.size());
                _exit(1);
            } catch (const EInOutError& e) {
                _exit(e.ErrorCode == IoCode::AccessDenied ? 0 : 2);
            } catch (...) {
                _exit(4);
            }
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// A folder beside the story's, as the target of links a story's archive may carry.
struct TOutsideFolder {
    TOutsideFolder()
    {
        char pattern[] = "/tmp/rk-outside-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("cannot make a temporary folder");
        Path = pattern;
    }
    ~TOutsideFolder()
    {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    TOutsideFolder(const TOutsideFolder&) = delete;
    TOutsideFolder& operator=(const TOutsideFolder&) = delete;
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream((Path / name).string(), std::ios::binary) << bytes;
        return (Path / name).string();
    }
    fs::path Path;
};

}  // namespace

TEST_F(SaveSlotTest, AThreeLinePageComesBack)
{
    WriteScript({"一行目", "二行目", "三行目", "四行目"});
    ASSERT_TRUE(Start());
    Advance();
    Advance();
    OpenDataMenu();
    EXPECT_FALSE(Page1.Visible);
    EXPECT_TRUE(Page2.Visible);
    SaveSlot(1);
    EXPECT_TRUE(Page1.Visible) << "saving closes the data menu";
    EXPECT_EQ(fs::file_size("save1.dat"), 2776u);

    Advance();
    EXPECT_EQ(Shown(), "四行目|");
    LoadSlot(1);
    EXPECT_EQ(Shown(), "一行目|二行目|三行目|");
    EXPECT_EQ(Rk.MsgLines, 3);
    EXPECT_FALSE(Rk.AutoNext);
    Advance();
    EXPECT_EQ(Shown(), "四行目|");
}

TEST_F(SaveSlotTest, AHaltedStoryStaysHalted)
{
    WriteScript({"A", "#Stop", "B"});
    ASSERT_TRUE(Start());
    Advance();
    SaveSlot(0);
    RestartAndLoad(0);
    EXPECT_TRUE(Rk.Stopped);
    Advance();
    EXPECT_EQ(Shown(), "A|");
}

TEST_F(SaveSlotTest, AnOpenMenuComesBackWithItsColumnsAndTargets)
{
    WriteScript({"a@1", "b@2", "c@3", "d@4", "@1", "one", "@4", "four"});
    ASSERT_TRUE(Start());
    HighlightChoice(1);
    OpenDataMenu();
    SaveSlot(2);

    ASSERT_TRUE(Start());
    EXPECT_TRUE(Rk.Choosing);
    SelectChoice(0);
    Tick();
    EXPECT_EQ(Shown(), "one|");

    LoadSlot(2);
    EXPECT_TRUE(Rk.Choosing);
    EXPECT_EQ(Rk.HotChoice, -1) << "no choice is highlighted after a load";
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Choices[static_cast<size_t>(i)]->Visible, i < 4) << i;
        EXPECT_TRUE(Choices[static_cast<size_t>(i)]->Color == Colors::Black) << i;
    }
    EXPECT_EQ(Choices[0]->Width, 72);
    EXPECT_EQ(ChoiceCaption(3), "d");
    SelectChoice(3);
    Tick();
    EXPECT_EQ(Shown(), "four|");
}

TEST_F(SaveSlotTest, PictureAndMusicComeBack)
{
    WriteScript({"#Cg pic.jpg", "#Midi bgm.mid", "#Wave hit.wav", "text"});
    ASSERT_TRUE(Start());
    Tick();
    Tick();
    Tick();
    SaveSlot(0);
    RestartAndLoad(0);
    EXPECT_EQ((std::vector<std::string>{"WaveStop", "MidiClose", "LoadPictureFile dat\\pic.jpg",
                                        "MidiPlay dat\\bgm.mid loop"}),
              Calls)
        << "the sound effect is not restarted";
    EXPECT_TRUE(Image1.Visible);
    EXPECT_EQ(Image1.Left, 28);
    EXPECT_EQ(Rk.CgName, "pic.jpg");
}

TEST_F(SaveSlotTest, TheRecordHasTheFixedLayout)
{
    WriteScriptBytes("line\r\nGo@there\r\n");
    ASSERT_TRUE(Start());
    Rk.CgName = "a.jpg";
    Rk.MidiName = "b.mid";
    Advance();  // the menu: one choice
    // Values no field starts with, so that each offset is proved by what is found there.
    Rk.MsgText = "ab\r\n";
    Rk.MsgLines = 0x01020304;
    Rk.Stopped = true;
    SaveSlot(0);
    const std::string b = Bytes("save0.dat");
    ASSERT_EQ(b.size(), 2776u);
    auto at = [&](size_t offset, size_t n) { return b.substr(offset, n); };
    EXPECT_EQ(at(0, 4), std::string("\x02\0\0\0", 4)) << "current line, past the menu";
    EXPECT_EQ(at(4, 6), std::string("\x04"
                                    "ab\r\n\0",
                                    6));
    EXPECT_EQ(at(260, 4), "\x04\x03\x02\x01");
    EXPECT_EQ(at(264, 1), "\x01");
    EXPECT_EQ(at(265, 6), std::string("\x01\0\0\0\0\0", 6));
    EXPECT_EQ(at(280, 3), "\x02Go");
    EXPECT_EQ(at(280 + 64, 1), std::string(1, '\0'));
    EXPECT_EQ(at(1240, 8), std::string("\x94\0\0\0\x94\0\0\0", 8)) << "widths 148";
    EXPECT_EQ(at(1240 + 3 * 4, 4), std::string("\x48\0\0\0", 4)) << "label 3 keeps its 72";
    EXPECT_EQ(at(1240 + 6 * 4, 4), std::string(4, '\0')) << "entries past the sixth are zero";
    EXPECT_EQ(at(1300, 7), "\x06@there");
    EXPECT_EQ(at(2260, 1), "\x01");
    EXPECT_EQ(at(2261, 6), "\x05"
                           "a.jpg");
    EXPECT_EQ(at(2517, 6), "\x05"
                           "b.mid");
    EXPECT_EQ(at(2773, 3), std::string(3, '\0'));
}

TEST_F(SaveSlotTest, LongTextsAreCutBetweenCharacters)
{
    // 3 lines of 43 double-byte characters: 264 bytes with the line ends.
    std::string line;
    for (int i = 0; i < 43; ++i)
        line += "\x82\xA0";
    WriteScriptBytes(line + "\r\n" + line + "\r\n" + line + "\r\n");
    ASSERT_TRUE(Start());
    Advance();
    Advance();
    SaveSlot(0);
    const std::string b = Bytes("save0.dat");
    EXPECT_EQ(static_cast<unsigned char>(b[4]), 254u) << "255 bytes would end in half a character";
    RestartAndLoad(0);
    EXPECT_EQ(Rk.MsgText.size(), 254u);
    EXPECT_EQ(Sjis::ToUtf8(Rk.MsgText).find("\xEF\xBF\xBD"), std::string::npos);
}

TEST_F(SaveSlotTest, TheDataMenuOffersOnlySlotsThatExist)
{
    WriteScript({"A"});
    ASSERT_TRUE(Start());
    OpenDataMenu();
    for (auto& b : LoadButtons)
        EXPECT_FALSE(b->Visible);
    SaveSlot(1);
    fs::create_directory("save2.dat");
    OpenDataMenu();
    EXPECT_FALSE(LoadButtons[0]->Visible);
    EXPECT_TRUE(LoadButtons[1]->Visible);
    EXPECT_FALSE(LoadButtons[2]->Visible) << "a folder is no slot";
    CloseDataMenu();
    EXPECT_TRUE(Page1.Visible);
    EXPECT_FALSE(Page2.Visible);

    WriteScript({"#Cg a.jpg", "B"});
    ASSERT_TRUE(Start());
    OpenDataMenu();
    EXPECT_FALSE(Page2.Visible) << "not while a step is pending";
}

TEST_F(SaveSlotTest, UnreadableSlotsLeaveTheStoryAlone)
{
    WriteScript({"A", "B"});
    ASSERT_TRUE(Start());
    OpenDataMenu();
    EXPECT_EQ(ErrorShownBy(LoadSlot, 0), "ファイルが見つかりません.");

    Folder->Write("save0.dat", std::string(2775, '\0'));
    EXPECT_EQ(ErrorShownBy(LoadSlot, 0), "ファイルの末尾以降を読み込みました.");

    SaveSlot(1);
    OpenDataMenu();
    MakeReadOnly("save1.dat");
    EXPECT_EQ(ErrorShownBy(LoadSlot, 1), "ファイルへのアクセスが拒否されました.");

    EXPECT_TRUE(Page2.Visible) << "the data menu stays open";
    EXPECT_EQ(Shown(), "A|");
    EXPECT_TRUE(Calls.empty()) << "nothing was restarted";
}

TEST_F(SaveSlotTest, AFifoSlotIsRefusedAsAFolderIsWithoutWaiting)
{
    WriteScript({"A", "B"});
    ASSERT_TRUE(Start());
    OpenDataMenu();
    {
        TFifoWatch fifo("save0.dat");
        EXPECT_EQ(ErrorShownBy(LoadSlot, 0), "ファイルへのアクセスが拒否されました.");
        EXPECT_EQ(ErrorShownBy(SaveSlot, 0), "ファイルへのアクセスが拒否されました.");
        EXPECT_FALSE(fifo.Waited());
        EXPECT_TRUE(fs::is_fifo("save0.dat")) << "nothing written in its place";
    }
    EXPECT_TRUE(Page2.Visible);
    EXPECT_EQ(Shown(), "A|");
}

TEST_F(SaveSlotTest, ALongerSlotFileLoadsFromItsFirstRecord)
{
    WriteScript({"A", "B", "C"});
    ASSERT_TRUE(Start());
    Advance();
    SaveSlot(0);
    std::ofstream("save0.dat", std::ios::binary | std::ios::app) << "trailing junk";
    RestartAndLoad(0);
    EXPECT_EQ(Shown(), "A|B|");
}

TEST_F(SaveSlotTest, ReadOnlySlotsAreNotOverwritten)
{
    WriteScript({"A", "B"});
    ASSERT_TRUE(Start());
    SaveSlot(0);
    const std::string before = Bytes("save0.dat");
    MakeReadOnly("save0.dat");
    Advance();
    OpenDataMenu();
    EXPECT_EQ(ErrorShownBy(SaveSlot, 0), "ファイルへのアクセスが拒否されました.");
    EXPECT_EQ(Bytes("save0.dat"), before);
    EXPECT_TRUE(Page2.Visible);
}

namespace {
ssize_t DiskFullAfter100(int fd, const void* data, size_t size)
{
    static size_t written = 0;
    if (written >= 100) {
        written = 0;
        return 0;
    }
    size_t n = std::min<size_t>(size, 100);
    written += n;
    return ::write(fd, data, n);
}
ssize_t IoError(int, const void*, size_t)
{
    errno = EIO;
    return -1;
}
}  // namespace

TEST_F(SaveSlotTest, AFailedWriteKeepsTheOldSlot)
{
    WriteScript({"A", "B"});
    ASSERT_TRUE(Start());
    SaveSlot(0);
    const std::string before = Bytes("save0.dat");
    Advance();
    OpenDataMenu();

    SetWriteCall(DiskFullAfter100);
    EXPECT_EQ(ErrorShownBy(SaveSlot, 0), "ディスクがいっぱいです.");
    SetWriteCall(IoError);
    EXPECT_EQ(ErrorShownBy(SaveSlot, 0), "I/O エラー (1117)");
    SetWriteCall(nullptr);

    EXPECT_EQ(Bytes("save0.dat"), before);
    EXPECT_TRUE(Page2.Visible);
    std::vector<std::string> left;
    for (auto& e : fs::directory_iterator("."))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left.size(), 2u) << "no temporary file is left behind (dat and save0.dat only)";
}

TEST_F(SaveSlotTest, ARemovedScriptEndsTheProgramOnLoad)
{
    WriteScript({"A"});
    ASSERT_TRUE(Start());
    SaveSlot(0);
    fs::remove("dat/1.txt");
    LoadSlot(0);
    ASSERT_EQ(Backend.Boxes.size(), 1u);
    EXPECT_EQ(Backend.Boxes[0].Caption, "RK");
    Pump();
    EXPECT_TRUE(Application().Terminated());
}

TEST_F(SaveSlotTest, CorruptRecordsCannotHurtThePlayer)
{
    WriteScript({"A", "B", "x@y"});
    ASSERT_TRUE(Start());

    // Lengths of 255 in every 63-byte field, a current line past the script.
    TSaveBytes b{};
    b.fill(0xFF);
    b[0] = 50;
    b[1] = b[2] = b[3] = 0;
    Folder->Write("save0.dat", std::string(b.begin(), b.end()));
    LoadSlot(0);
    EXPECT_EQ(Rk.ChoiceTargets[0].size(), 63u) << "a length byte is held to its field";
    EXPECT_EQ(Rk.MsgText.size(), 255u);
    EXPECT_TRUE(Rk.Choosing);
    EXPECT_EQ(Choices[0]->Width, -1);
    Rk.Choosing = false;
    Rk.Stopped = false;
    Advance();
    Pump();
    EXPECT_TRUE(Application().Terminated()) << "a line past the script ends at the next click";

    // A negative current line: the range error at every click, nothing worse.
    Application().Reset();
    Application().Title = "zv_rk";
    b.fill(0);
    b[0] = b[1] = b[2] = b[3] = 0xFF;
    Folder->Write("save0.dat", std::string(b.begin(), b.end()));
    LoadSlot(0);
    EXPECT_EQ(ErrorShownBy([](int) { Advance(); }, 0), "範囲チェックエラー.");
    EXPECT_EQ(ErrorShownBy([](int) { Advance(); }, 0), "範囲チェックエラー.");

    // The lowest current line with an open menu: picking a choice steps below it.
    b.fill(0);
    b[0] = b[1] = b[2] = 0;
    b[3] = 0x80;
    b[SaveLayout::Choosing] = 1;
    Folder->Write("save0.dat", std::string(b.begin(), b.end()));
    LoadSlot(0);
    Application().Guard([] { SelectChoice(0); });
    Tick();
    Pump();
    EXPECT_TRUE(Application().Terminated()) << "it wraps round past the script's end, which ends the story";
    Application().Reset();

    // Random records, some of them cut short. A whole record loads with every text held to its
    // field; a short one fails and changes nothing; stepping on fails only with the range error,
    // and only from a current line outside the table.
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        for (uint8_t& byte : b)
            byte = static_cast<uint8_t>(random());
        const bool cut = round % 4 == 3;
        Folder->Write("save0.dat", std::string(b.begin(), cut ? b.begin() + random() % b.size() : b.end()));
        const std::string stateBefore = std::to_string(Rk.CurLine) + "/" + Rk.MsgText + "/" + Rk.CgName + "/" +
                                        Rk.MidiName + "/" + std::to_string(Rk.Choosing) + std::to_string(Rk.Stopped);
        std::string error = ErrorShownBy(LoadSlot, 0);
        if (cut) {
            EXPECT_EQ(error, "ファイルの末尾以降を読み込みました.");
            EXPECT_EQ(std::to_string(Rk.CurLine) + "/" + Rk.MsgText + "/" + Rk.CgName + "/" + Rk.MidiName + "/" +
                          std::to_string(Rk.Choosing) + std::to_string(Rk.Stopped),
                      stateBefore);
        } else {
            EXPECT_EQ(error, "");
            EXPECT_LE(Rk.MsgText.size(), 255u);
            EXPECT_LE(Rk.CgName.size(), 255u);
            EXPECT_LE(Rk.MidiName.size(), 255u);
            for (int i = 0; i < 6; ++i) {
                EXPECT_LE(Choices[size_t(i)]->Caption.size(), 63u);
                EXPECT_LE(Rk.ChoiceTargets[i].size(), 64u);  // "@" and up to 63 bytes
            }
        }
        for (int i = 0; i < 5; ++i) {
            for (void (*step)(int) :
                 {+[](int) { Advance(); }, +[](int k) { SelectChoice(k); }, +[](int) { AutoTick(); }}) {
                const int32_t line = Rk.CurLine;
                error = ErrorShownBy(step, i);
                if (!error.empty()) {
                    EXPECT_EQ(error, "範囲チェックエラー.");
                    EXPECT_TRUE(line < 0 || line >= ScriptCapacity || Rk.CurLine < 0) << line;
                }
            }
        }
        Application().Reset();
        Application().Title = "zv_rk";
    }
}

// A story's archive may carry links, at a slot's name or at a name the save might use beside
// it: a save replaces them with a file of its own and leaves what they point to alone.
TEST_F(SaveSlotTest, ASaveKeepsTheSlotsModeAndNeverWritesThroughALink)
{
    WriteScript({"A", "B"});
    ASSERT_TRUE(Start());
    const TOutsideFolder outside;
    const std::string bashrc = outside.Write("bashrc", "outside");
    const std::string real = outside.Write("real.dat", "old");
    fs::create_symlink(bashrc, "save0.dat.new");
    fs::create_symlink(real, "save1.dat");
    Folder->Write("save2.dat", "old");
    fs::permissions("save2.dat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                                     fs::perms::others_write | fs::perms::set_gid);
    fs::create_directory("save2.dat.new");
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(ErrorShownBy(SaveSlot, n), "") << "slot " << n;

    EXPECT_TRUE(Bytes(bashrc) == "outside") << "the file a link beside the slot points to keeps every byte";
    EXPECT_TRUE(Bytes(real) == "old") << "the file a slot's link points to keeps every byte";
    for (const char* slot : {"save0.dat", "save1.dat", "save2.dat"}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(slot))) << slot << " is a file of its own";
        EXPECT_EQ(Bytes(slot).size(), 2776u) << slot;
    }
    EXPECT_EQ(fs::status("save2.dat").permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read | fs::perms::others_write);
    std::vector<std::string> left;
    for (auto& e : fs::directory_iterator("."))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left.size(), 6u) << "no temporary file is left behind";
}

// Someone else's slot that this user may not write: refused like a read-only one. Run as
// another user, since the administrator may write anything.
TEST_F(SaveSlotTest, ASlotThisUserMayNotWriteIsRefused)
{
    WriteScript({"A"});
    ASSERT_TRUE(Start());
    SaveSlot(0);
    const std::string before = Bytes("save0.dat");
    fs::permissions(Folder->Path(), fs::perms::all);
    fs::permissions("save0.dat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    if (geteuid() != 0)
        fs::permissions("save0.dat", fs::perms::group_write | fs::perms::owner_read | fs::perms::others_read);
    EXPECT_EQ(ReplaceAsAnotherUser("save0.dat", "x"), 0) << "1: written, 2: another error, 3: could not change user";
    EXPECT_EQ(Bytes("save0.dat"), before);
}

// In a folder this user may not write nothing can be made beside a slot: a slot file is written
// in place, while a link there, or a file with another name too, is refused rather than written
// through.
TEST_F(SaveSlotTest, WhereNothingCanBeMadeBesideASlotItIsWrittenInPlaceButNeverThroughALink)
{
    WriteScript({"A"});
    ASSERT_TRUE(Start());
    const TOutsideFolder outside;
    const std::string real = outside.Write("real.dat", "outside");
    const fs::perms everyoneReadsAndWrites = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                             fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
    fs::permissions(outside.Path, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(real, everyoneReadsAndWrites);
    fs::create_symlink(real, "save0.dat");
    Folder->Write("save1.dat", "old");
    fs::permissions("save1.dat", everyoneReadsAndWrites);
    const std::string shared = outside.Write("shared.dat", "outside");
    fs::permissions(shared, everyoneReadsAndWrites);
    fs::create_hard_link(shared, "save2.dat");
    fs::permissions(Folder->Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const int throughLink = ReplaceAsAnotherUser("save0.dat", "new");
    const int inPlace = ReplaceAsAnotherUser("save1.dat", "new");
    const int throughHardLink = ReplaceAsAnotherUser("save2.dat", "new");

    EXPECT_EQ(throughLink, 0) << "1: written, 2: another error, 3: could not change user";
    EXPECT_TRUE(Bytes(real) == "outside") << "the file the slot's link points to keeps every byte";
    EXPECT_TRUE(fs::is_symlink("save0.dat"));
    EXPECT_EQ(inPlace, 1) << "0: refused, 2: another error, 3: could not change user";
    EXPECT_EQ(Bytes("save1.dat"), "new");
    EXPECT_EQ(throughHardLink, 0) << "1: written, 2: another error, 3: could not change user";
    EXPECT_TRUE(Bytes(shared) == "outside") << "a file the slot shares with another name keeps every byte";
}

TEST_F(SaveSlotTest, APictureThatFailsOnLoadLeavesTheDataMenuOpen)
{
    WriteScript({"#Cg pic.jpg", "#Midi bgm.mid", "text"});
    ASSERT_TRUE(Start());
    Tick();
    Tick();
    SaveSlot(0);
    Services.LoadPictureFile = [](TImage&, const std::string&) { throw EInvalidGraphic("broken"); };
    OpenDataMenu();
    Calls.clear();
    EXPECT_EQ(ErrorShownBy(LoadSlot, 0), "broken.");
    EXPECT_EQ(Shown(), "text|") << "the state was put back before the picture failed";
    EXPECT_EQ(Rk.CgName, "pic.jpg");
    EXPECT_FALSE(Image1.Visible);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "MidiPlay dat\\bgm.mid loop"), 0) << "no music";
    EXPECT_TRUE(Page2.Visible);
    CloseDataMenu();
    EXPECT_TRUE(Page1.Visible);
}
