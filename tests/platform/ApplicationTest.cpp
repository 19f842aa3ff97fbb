#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/Panel.h"

#include <gtest/gtest.h>

TEST(ErrorReport, AppendsAFullStopAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(ErrorReportText("abc"), "abc.");
    EXPECT_EQ(ErrorReportText("abc."), "abc.");
    EXPECT_EQ(ErrorReportText("(1117)"), "(1117)") << "')' sorts before '.'";
    EXPECT_EQ(ErrorReportText("x-"), "x-");
    EXPECT_EQ(ErrorReportText("x/"), "x/.");
    EXPECT_EQ(ErrorReportText("\x83\x5C"), "\x83\x5C.") << "a double-byte character";
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST(Application, TerminateTakesEffectWhenTheQuitMessageIsProcessed)
{
    TApplication app;
    TPanel panel("p");
    int clicks = 0;
    panel.OnClick = [&](TControl&) {
        ++clicks;
        throw ERangeError();
    };
    app.Post({TMessageKind::Click, &panel});
    app.Terminate();
    app.Post({TMessageKind::Click, &panel});
    EXPECT_FALSE(app.Terminated());
    app.ProcessMessages();  // errors in handlers are reported, and the queue goes on
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(clicks, 2);
}
