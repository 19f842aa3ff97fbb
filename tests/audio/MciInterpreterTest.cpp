#include "audio/SoundTestFiles.h"
#include "platform/ShiftJis.h"
#include "platform/audio/MciDevice.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Audio;

namespace {

// A player whose piece ends when the test says so; it logs what was asked of it.
struct TFakeLog {
    std::vector<std::string> Loaded;
    int Plays = 0;
    bool Ended = false;
};

class TFakeMusic : public TMusicOutput {
public:
    explicit TFakeMusic(TFakeLog& log) : Log(log) {}
    uint32_t Load(const std::string& path) override
    {
        Log.Loaded.push_back(path);
        return path.find("broken") != std::string::npos ? MciError::InvalidFile : MciError::None;
    }
    void Play() override { ++Log.Plays, Log.Ended = false, Active = true; }
    void Stop() override { Active = false; }
    bool Playing() override { return Active && !Log.Ended; }

private:
    TFakeLog& Log;
    bool Active = false;
};

class MciInterpreterTest : public ::testing::Test {
protected:
    // Asks the mode as the music poll does: a 32-byte buffer, length 31.
    std::string Mode(uint32_t* error = nullptr)
    {
        char reply[32];
        std::memset(reply, 'x', sizeof reply);
        uint32_t e = Mci.Send("status Midi1 mode", reply, 31);
        if (error)
            *error = e;
        return reply;
    }
    uint32_t Send(const std::string& command) { return Mci.Send(command, nullptr, 0); }

    TFakeLog Log;
    TMciInterpreter Mci{[this] { return std::make_unique<TFakeMusic>(Log); }};
};

TEST_F(MciInterpreterTest, PlaysRestartsAndClosesUnderTheAlias)
{
    EXPECT_EQ(Send("open bgm.mid alias Midi1"), MciError::None);
    EXPECT_EQ(Mode(), "stopped");
    EXPECT_EQ(Send("play Midi1 notify"), MciError::None);
    EXPECT_EQ(Mode(), "playing");
    Send("play Midi1 notify");  // goes on, does not start over
    EXPECT_EQ(Log.Plays, 1);
    Log.Ended = true;
    EXPECT_EQ(Mode(), "stopped");
    EXPECT_EQ(Send("play midi1 from 0"), MciError::None);
    EXPECT_EQ(Log.Plays, 2);
    EXPECT_EQ(Send("play Midi1 from 500"), MciError::UnsupportedFunction);
    // One device at a time.
    EXPECT_EQ(Send("open b.mid alias MIDI1"), MciError::DuplicateAlias);
    EXPECT_EQ(Send("open b.mid alias Other"), MciError::DeviceOpen);
    EXPECT_EQ(Send("close Midi1"), MciError::None);
    EXPECT_FALSE(Mci.HasOpenDevice());
}

TEST_F(MciInterpreterTest, NothingOpenOrAFailedOpenAnswersWithAnEmptyReply)
{
    // Start-up closes music that was never opened.
    EXPECT_EQ(Send("close Midi1"), MciError::InvalidDeviceName);
    uint32_t error = 0;
    EXPECT_EQ(Mode(&error), "");
    EXPECT_EQ(error, MciError::InvalidDeviceName);

    EXPECT_EQ(Send("open broken.mid alias Midi1"), MciError::InvalidFile);
    EXPECT_EQ(Send("play Midi1 notify"), MciError::InvalidDeviceName);
    EXPECT_EQ(Mode(), "");
    EXPECT_EQ(Send("open good.mid alias Midi1"), MciError::None);  // the alias stayed free
}

TEST_F(MciInterpreterTest, ReplyIsCutToTheBufferAndAlwaysTerminated)
{
    Send("open a.mid alias Midi1");
    char reply[8];
    std::memset(reply, 'x', sizeof reply);
    EXPECT_EQ(Mci.Send("status Midi1 mode", reply, 5), MciError::ParamOverflow);
    EXPECT_STREQ(reply, "stop");
    EXPECT_EQ(reply[5], 'x');  // nothing written past the given length
    EXPECT_EQ(Mci.Send("status Midi1", reply, 8), MciError::MissingParameter);
    EXPECT_STREQ(reply, "");
}

TEST_F(MciInterpreterTest, WindowsPathsAreOpenedThroughTheNativePath)
{
    SoundTest::TTempDir dir;
    dir.Write("dat/bgm.mid", SoundTest::PianoMidi(1));
    ASSERT_EQ(Send("open dat\\BGM.MID alias Midi1"), MciError::None);
    EXPECT_EQ(Log.Loaded, (std::vector<std::string>{"dat/bgm.mid"}));
    Send("close Midi1");
    dir.Write("dat/汽車.mid", SoundTest::PianoMidi(1));
    ASSERT_EQ(Send(Sjis::FromUtf8("open dat\\汽車.mid alias Midi1")), MciError::None);
    EXPECT_EQ(Log.Loaded.back(), "dat/汽車.mid") << "found under its UTF-8 name";
}

}  // namespace
