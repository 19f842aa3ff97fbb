// Scripts that were never meant for the player: whatever the bytes, it loads or reports an
// error, and steps without a crash. The sanitizer build runs these too.
#include "EngineFixture.h"

#include <random>

using namespace UnitRK;

namespace {

class BadInputTest : public EngineTest {
protected:
    // Clicks, ticks and menu picks until the story ends or `steps` run out. The only error a
    // loaded script can raise is the range error of a line with 16 or more "@", and the current
    // line never leaves the script.
    void PlayThrough(int steps)
    {
        for (int i = 0; i < steps && !Application().Terminated(); ++i) {
            Application().Guard([] { Advance(); });
            Application().Guard([] { AutoTick(); });
            if (Rk.Choosing)
                Application().Guard([] { SelectChoice(0); });
            Pump();
            ExpectOnlyRangeErrors();
            ASSERT_GE(Rk.CurLine, 0);
            ASSERT_LE(Rk.CurLine, Rk.LineTotal);
        }
    }
    void ExpectOnlyRangeErrors()
    {
        for (const TShownBox& box : Backend.Boxes)
            EXPECT_EQ(box.Text, "範囲チェックエラー.");
        Backend.Boxes.clear();
    }
};

}  // namespace

TEST_F(BadInputTest, RandomBytesLoadOrFailCleanly)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        std::string bytes(1 + random() % 4000, '\0');
        for (char& c : bytes) {
            // Lean towards the bytes that mean something to the engine.
            static const char special[] = {'@', '/', ' ', '\t', '\r', '\n', '#', '\x81', '\x40', '\x1A', '\0'};
            c = (random() % 3 == 0) ? special[random() % sizeof special] : static_cast<char>(random());
        }
        WriteScriptBytes(bytes);
        Application().Reset();
        Application().Title = "zv_rk";
        Backend.Boxes.clear();
        Rk.LineTotal = Rk.CurLine = 0;
        Application().Guard([this] { Start(); });
        // Loaded, or refused by the range error with nothing loaded: then the first click ends.
        ExpectOnlyRangeErrors();
        ASSERT_LE(Rk.LineTotal, ScriptCapacity);
        ASSERT_TRUE(Rk.LineTotal == 0 || Rk.ScriptLines[Rk.LineTotal - 1] == "#End");
        PlayThrough(300);
        if (Rk.LineTotal == 0) {
            EXPECT_TRUE(Application().Terminated());
        }
    }
}

TEST_F(BadInputTest, AUtf8ScriptPlaysToItsEnd)
{
    std::string utf8 = "こんにちは\n選ぶ@右\n戻る@左\n@右\n#Cg 絵.jpg\n右です\n#End\n@左\n左です\n";
    WriteScriptBytes(utf8);
    ASSERT_TRUE(Start());
    PlayThrough(50);
    EXPECT_TRUE(Application().Terminated());
}

TEST_F(BadInputTest, TablesNeverReadOutsideTheirBounds)
{
    WriteScript({"a", "b"});
    ASSERT_TRUE(Start());
    Rk.CurLine = -1;  // as a damaged save slot can leave it
    EXPECT_THROW(Advance(), ERangeError);
    Rk.CurLine = 9999;
    Rk.ScriptLines[9999] = "last";
    Rk.LineTotal = 20000;
    EXPECT_NO_THROW(Advance()) << "the last entry of the table is still inside it";
    Rk.CurLine = 10000;
    EXPECT_THROW(Advance(), ERangeError);
}
