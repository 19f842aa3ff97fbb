#include "EngineFixture.h"

#include "platform/Files.h"
#include "platform/ShiftJis.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <new>
#include <thread>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

using namespace UnitRK;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitized = true;
#elif defined(__has_feature)
constexpr bool AddressSanitized = __has_feature(address_sanitizer);
#else
constexpr bool AddressSanitized = false;
#endif

class LoaderTest : public EngineTest {
protected:
    bool Load() { return LoadScript(ScriptPath); }
    std::string Line(int i) const { return U(Rk.ScriptLines[i]); }

    // Loads the script in a child process whose memory may grow by 64 MB at most, and which is
    // given a second. 0: the load raised the range error, 1: it ended otherwise, 2: the memory
    // ran out, -1: it took too long.
    static int LoadInChild()
    {
        const pid_t child = fork();
        if (child == 0) {
            // AddressSanitizer maps address space as it goes, whatever the program asks for: under
            // it only the time is bounded.
            if (!AddressSanitized) {
                size_t pages = 0;
                std::ifstream("/proc/self/statm") >> pages;
                const rlim_t most = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{64} << 20);
                const rlimit limit{most, most};
                setrlimit(RLIMIT_AS, &limit);
            }
            try {
                LoadScript(ScriptPath);
                _exit(1);
            } catch (const ERangeError&) {
                _exit(0);
            } catch (const std::bad_alloc&) {
                _exit(2);
            } catch (...) {
                _exit(1);
            }
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

}  // namespace

TEST_F(LoaderTest, StripsCommentsAndReducesLabelLines)
{
    WriteScript({"こんにちは // greeting", "// only a comment", "   // note", "abc/", "  @top  the start",
                 "#Cg a.jpg // old b.jpg", "a/b", "\t@x"});
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "こんにちは ");
    EXPECT_EQ(Line(1), "");
    EXPECT_EQ(Line(2), "   ");
    EXPECT_EQ(Line(3), "abc");
    EXPECT_EQ(Line(4), "@top");
    EXPECT_EQ(Line(5), "#Cg a.jpg ");
    EXPECT_EQ(Line(6), "a/b");
    EXPECT_EQ(Line(7), "@x");
    EXPECT_EQ(Line(8), "#End");
    EXPECT_EQ(Rk.LineTotal, 9);
    EXPECT_EQ(Rk.CurLine, 0);
}

TEST_F(LoaderTest, ReadsLinesTheWayTheRuntimeDoes)
{
    WriteScriptBytes("one\r\ntwo\nthr\ree\r\nlast");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "one");
    EXPECT_EQ(Line(1), "two");
    EXPECT_EQ(Line(2), "three") << "a lone CR is dropped and ends nothing";
    EXPECT_EQ(Line(3), "last") << "the last line counts without a line end";
    EXPECT_EQ(Rk.LineTotal, 5);

    WriteScriptBytes("a\rb\rc");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "abc");
    EXPECT_EQ(Rk.LineTotal, 2);

    WriteScriptBytes("a\r\n\x1A"
                     "after\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 2) << "0x1A where a line begins ends the file";

    WriteScriptBytes("a\x1A"
                     "b\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "a\x1A"
                       "b")
        << "inside a line it is an ordinary byte";

    WriteScriptBytes("\xEF\xBB\xBF"
                     "\x89\x77\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.ScriptLines[0], "\xEF\xBB\xBF"
                                 "\x89\x77")
        << "a Shift-JIS script keeps what looks like a byte-order mark";

    WriteScriptBytes("x\n\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 3);
    EXPECT_EQ(Line(1), "");

    WriteScriptBytes(std::string("text\0more\r\nab//c\0d\r\n", 20));
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "") << "a NUL byte before any // leaves nothing of the line";
    EXPECT_TRUE(IsBreakLine(Rk.ScriptLines[0]));
    EXPECT_EQ(Line(1), "ab");
}

TEST_F(LoaderTest, EmptyFileAndLongLines)
{
    WriteScriptBytes("");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 1);
    EXPECT_EQ(Line(0), "#End");

    const std::string longLine(200000, 'x');
    WriteScriptBytes(longLine + "\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.ScriptLines[0], longLine);
}

TEST_F(LoaderTest, SlashRulersAndWordCountsHitTheFieldLimit)
{
    WriteScriptBytes(std::string(31, '/') + "\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "");

    Rk.CurLine = 1;
    WriteScriptBytes("first\r\n" + std::string(32, '/') + "\r\n");
    EXPECT_THROW(Load(), ERangeError);
    EXPECT_EQ(Rk.LineTotal, 2) << "a failed load keeps the old counts";
    EXPECT_EQ(Rk.CurLine, 1) << "a failed load keeps the old counts";
    EXPECT_EQ(Line(0), "") << "and the old script, not the lines read before the failing one";

    WriteScriptBytes("a b c d e f g h i j k l m n o p\r\n");
    EXPECT_NO_THROW(Load());
    WriteScriptBytes("a b c d e f g h i j k l m n o p q\r\n");
    EXPECT_THROW(Load(), ERangeError);
}

TEST_F(LoaderTest, HoldsAtMost9999Lines)
{
    std::string bytes;
    for (int i = 0; i < 9999; ++i)
        bytes += "line\r\n";
    WriteScriptBytes(bytes);
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 10000);
    EXPECT_EQ(Line(9999), "#End");

    WriteScriptBytes(bytes + "one too many\r\n");
    Rk.LineTotal = 0;
    Rk.CurLine = 7;
    EXPECT_THROW(Load(), ERangeError);
    EXPECT_EQ(Rk.LineTotal, 0);
    EXPECT_EQ(Rk.CurLine, 7);
}

TEST_F(LoaderTest, AHugeScriptFailsAtItsFirstLineTooManyAndReadsNoFurther)
{
    // 10001 lines and then a gigabyte more, a hole that costs the disk nothing.
    std::string bytes;
    for (int i = 0; i < 10001; ++i)
        bytes += "x\n";
    WriteScriptBytes(bytes);
    fs::resize_file("dat/1.txt", uintmax_t{1} << 30);
    EXPECT_EQ(LoadInChild(), 0);

    // What follows an end-of-file mark is no line of the script, however many lines it holds.
    WriteScriptBytes(bytes.substr(0, 9999 * 2) + "\x1A" + bytes);
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 10000);

    // One line of 4 GB: read no further than a script may hold.
    WriteScriptBytes("");
    fs::resize_file("dat/1.txt", uintmax_t{4} << 30);
    EXPECT_EQ(LoadInChild(), 0);
}

TEST_F(LoaderTest, AReloadGoesOnFromTheSameLineAndAFailedOneKeepsTheOldScript)
{
    WriteScript({"A", "B", "C", "D"});
    ASSERT_TRUE(Start());
    Advance();
    EXPECT_EQ(Shown(), "A|B|");
    WriteScript({"a", "b", "c", "d"});
    ReloadScript();
    EXPECT_EQ(Shown(), "A|B|") << "what is on screen stays";
    Advance();
    EXPECT_EQ(Shown(), "A|B|c|");

    WriteScript({"x", std::string(32, '/')});
    EXPECT_THROW(ReloadScript(), ERangeError);
    EXPECT_EQ(Line(0), "a");
    fs::remove(fs::path(Folder->Path()) / "dat" / "1.txt");
    EXPECT_THROW(ReloadScript(), EInOutError);
    EXPECT_EQ(Rk.LineTotal, 5);
    Advance();
    EXPECT_EQ(Shown(), "d|");

    WriteScript({"only"});  // shorter than where the story is: it goes on at the closing #End
    ReloadScript();
    EXPECT_EQ(Rk.CurLine, 1);
    Advance();
    Pump();
    EXPECT_TRUE(Application().Terminated());
    EXPECT_TRUE(Backend.Boxes.empty());
}

TEST_F(LoaderTest, MissingScriptSaysSoAndEnds)
{
    EXPECT_FALSE(Load());
    ASSERT_EQ(Backend.Boxes.size(), 1u);
    EXPECT_EQ(Backend.Boxes[0].Text, "『dat\\1.txt』が見つかりません。終了します。");
    EXPECT_EQ(Backend.Boxes[0].Caption, "RK");
    EXPECT_FALSE(Application().Terminated()) << "the request only queues a quit message";
    Pump();
    EXPECT_TRUE(Application().Terminated());

    // A folder of that name is no script either.
    Application().Reset();
    Folder->Write("dat/1.txt/inner", "x");
    EXPECT_FALSE(Load());
}

TEST_F(LoaderTest, NamesWrittenInAnotherLetterCaseAreFound)
{
    Folder->Write("Dat/1.TXT", "hello\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "hello");
}

TEST_F(LoaderTest, ScriptsSavedAsUtf8PlayAsIfSavedInShiftJis)
{
    // The first line ends in 。 (E3 80 82 in UTF-8), whose last byte is a Shift-JIS lead byte.
    const std::vector<std::string> lines = {"駅に着いた。", "「どこへ？」 // 迷う", "北へ@north", "南へ@north",
                                            "@north",       "#Cg 駅.jpg",           "〜①ⅰ髙ｶﾅ"};
    auto table = [] { return std::vector<std::string>(&Rk.ScriptLines[0], &Rk.ScriptLines[0] + Rk.LineTotal); };
    WriteScript(lines);
    ASSERT_TRUE(Load());
    const std::vector<std::string> asShiftJis = table();

    fs::remove_all(fs::path(Folder->Path()) / "dat");
    std::string utf8;
    for (const std::string& line : lines)
        utf8 += line + "\r\n";
    Folder->Write("DAT/1.TXT", utf8);
    ASSERT_TRUE(Start());
    EXPECT_EQ(table(), asShiftJis);
    EXPECT_EQ(Shown(), "駅に着いた。|");
    EXPECT_EQ(DecodeScript(utf8).Encoding, TScriptEncoding::Utf8);

    const std::string bom = "\xEF\xBB\xBF";
    Folder->Write("DAT/1.TXT", bom + utf8);
    ASSERT_TRUE(Load());
    EXPECT_EQ(table(), asShiftJis);
    EXPECT_EQ(DecodeScript(bom + utf8).Encoding, TScriptEncoding::Utf8WithBom);
    EXPECT_EQ(DecodeScript(bom + "x\n").Lines, std::vector<std::string>{"x"}) << "with a mark, ASCII is UTF-8 too";

    // What has no Shift-JIS form shows as ？, and the checker learns what and where.
    const TScriptText script = DecodeScript("一行目\n😀と한\r\n\n€");
    EXPECT_EQ(U(script.Lines[1]), "？と？");
    EXPECT_EQ(U(script.Lines[3]), "？");
    ASSERT_EQ(script.Refused.size(), 3u);
    EXPECT_EQ(script.Refused[0].Line, 2);
    EXPECT_EQ(script.Refused[0].Char, "😀");
    EXPECT_EQ(script.Refused[1].Char, "한");
    EXPECT_EQ(script.Refused[2].Line, 4);
    EXPECT_EQ(script.Refused[2].Char, "€");
}

TEST_F(LoaderTest, ShiftJisScriptsAreNeverTakenForUtf8)
{
    auto keptAsShiftJis = [](const std::string& bytes) {
        const TScriptText script = DecodeScript(bytes);
        return script.Encoding == TScriptEncoding::ShiftJis && script.Lines == SplitTextLines(bytes) &&
               script.Refused.empty();
    };
    // Every JIS X 0208 character, alone, before a common character (a level-2 kanji and ア can
    // make valid UTF-8 holding a kanji) and before a line end, then all of them in one file.
    std::string all;
    int count = 0;
    for (int lead = 0x81; lead <= 0xEA; ++lead) {
        if (lead >= 0x85 && lead <= 0x87)
            lead = 0x88;
        if (lead == 0xA0)
            lead = 0xE0;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string c{static_cast<char>(lead), static_cast<char>(trail)};
            std::string utf8;
            if (trail == 0x7F || !Sjis::ToUtf8Exact(c, utf8))
                continue;
            ++count;
            EXPECT_TRUE(keptAsShiftJis(c)) << U(c);
            EXPECT_TRUE(keptAsShiftJis(c + "\x83\x41")) << U(c);
            EXPECT_TRUE(keptAsShiftJis(c + "\x81\x42\r\n")) << U(c);
            all += c;
        }
        all += "\r\n";
    }
    EXPECT_EQ(count, 6879);
    EXPECT_TRUE(keptAsShiftJis(all));

    // Half-width kana: ﾃｱ (C3 B1) is valid UTF-8, and so are runs of such pairs.
    for (int a = 0xA1; a <= 0xDF; ++a) {
        for (int b = 0xA1; b <= 0xDF; ++b) {
            const std::string pair{static_cast<char>(a), static_cast<char>(b)};
            EXPECT_TRUE(keptAsShiftJis(pair)) << U(pair);
            EXPECT_TRUE(keptAsShiftJis(pair + pair + pair + "\x83\x41\r\n" + pair)) << U(pair);
        }
    }
    EXPECT_TRUE(keptAsShiftJis("plain ASCII\r\n")) << "nothing to convert";
    EXPECT_TRUE(keptAsShiftJis("a \xE2\x80\x94\r\n")) << "UTF-8 (an em dash), but without Japanese text";
}
