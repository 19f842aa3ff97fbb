#include "platform/audio/MciCommand.h"

#include <gtest/gtest.h>

namespace {

TEST(MciCommand, ReadsTheMusicUnitsCommandsWhateverTheCaseOfKeywords)
{
    TMciParse open = ParseMciCommand("  OPEN\tdat\\Bgm.MID   alias  Midi1 ");
    ASSERT_EQ(open.Error, MciError::None);
    EXPECT_EQ(open.Command.Verb, TMciVerb::Open);
    EXPECT_EQ(open.Command.Device, "dat\\Bgm.MID");
    EXPECT_EQ(open.Command.Alias, "Midi1");

    TMciParse play = ParseMciCommand("play Midi1 notify");
    EXPECT_TRUE(play.Command.Notify);
    EXPECT_FALSE(play.Command.From.has_value());
    TMciParse restart = ParseMciCommand("Play Midi1 FROM 0");
    ASSERT_EQ(restart.Error, MciError::None);
    EXPECT_EQ(restart.Command.From.value_or(-1), 0);

    EXPECT_EQ(ParseMciCommand("status Midi1 MODE").Command.Item, TMciStatusItem::Mode);
    EXPECT_EQ(ParseMciCommand("close Midi1").Command.Verb, TMciVerb::Close);
    EXPECT_TRUE(MciSameWord("Midi1", "MIDI1"));
}

TEST(MciCommand, PathsWithBlanksNeedQuotes)
{
    // Unquoted, the part after the blank reads as a keyword, and the open fails.
    EXPECT_EQ(ParseMciCommand("open dat\\no such.mid alias Midi1").Error, MciError::UnrecognizedKeyword);
    EXPECT_EQ(ParseMciCommand("open \"dat\\no such.mid\" alias Midi1").Command.Device, "dat\\no such.mid");
    EXPECT_EQ(ParseMciCommand("open \"dat\\no such.mid alias Midi1").Error, MciError::NoClosingQuote);
}

TEST(MciCommand, MalformedCommandsGiveTheirErrorCodes)
{
    EXPECT_EQ(ParseMciCommand("   ").Error, MciError::MissingCommandString);
    EXPECT_EQ(ParseMciCommand("rewind Midi1").Error, MciError::UnrecognizedCommand);
    EXPECT_EQ(ParseMciCommand("play").Error, MciError::MissingDeviceName);
    EXPECT_EQ(ParseMciCommand("status Midi1").Error, MciError::MissingParameter);
    EXPECT_EQ(ParseMciCommand("status Midi1 mode notify").Error, MciError::UnrecognizedKeyword);
    EXPECT_EQ(ParseMciCommand("play Midi1 from").Error, MciError::MissingParameter);
    EXPECT_EQ(ParseMciCommand("play Midi1 from -5").Error, MciError::BadInteger);
    EXPECT_EQ(ParseMciCommand("open a.mid alias").Error, MciError::MissingStringArgument);
    EXPECT_EQ(ParseMciCommand("close Midi1 from 0").Error, MciError::UnrecognizedKeyword);
}

}  // namespace
