#include "EngineFixture.h"

using namespace UnitRK;

TEST_F(EngineTest, MessageLinesFillThreeLinePages)
{
    WriteScript({"一", "二", "三", "四"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Shown(), "一|");
    Advance();
    Advance();
    EXPECT_EQ(Shown(), "一|二|三|");
    Advance();
    EXPECT_EQ(Shown(), "四|");
    EXPECT_EQ(Rk.MsgLines, 1);
}
