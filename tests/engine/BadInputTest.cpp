// Scripts that were never meant for the player: whatever the bytes, it loads or reports an
// error, and steps without a crash. The sanitizer build runs these too.
#include "EngineFixture.h"

#include <random>

using namespace UnitRK;

namespace {

class BadInputTest : public EngineTest {
protected:
    // Clicks, ticks and menu picks until the story ends or `steps` run out.
    void PlayThrough(int steps)
    {
        for (int i = 0; i < steps && !Application().Terminated(); ++i) {
            Application().Guard([] { Advance(); });
            Application().Guard([] { AutoTick(); });
            if (Rk.Choosing)
                Application().Guard([] { SelectChoice(0); });
            Pump();
        }
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
        Backend.Boxes.clear();
        Application().Guard([this] { Start(); });
        PlayThrough(300);
    }
    SUCCEED();
}

TEST_F(BadInputTest, AUtf8ScriptPlaysAsBytes)
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
