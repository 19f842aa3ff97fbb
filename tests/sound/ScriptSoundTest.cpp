// The sound commands of a script, followed down to the command strings and sound calls they
// produce (recorded at the sinks, no audio).
#include "engine/UnitRK.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Strings = std::vector<std::string>;

class ScriptSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UnitRK::Rk = UnitRK::TEngineState{};
        UnitRK::Services = {nullptr, MyMidi::MidiPlay, MyMidi::MidiClose, MyWave::WavePlay, MyWave::WaveStop};
        MyMidi::MidiState = 0;
        MyMidi::SetMciSink([this](const std::string& command, char* reply, uint32_t length) -> uint32_t {
            Sent.push_back(command + (reply ? " [" + std::to_string(length) + "]" : ""));
            if (reply)
                std::strncpy(reply, Reply.c_str(), length);
            return 0;
        });
        MyWave::SetSoundSink([this](const std::string& path, unsigned flags) {
            Sounds.push_back(path + " " + std::to_string(flags));
            return true;
        });
    }
    void TearDown() override
    {
        MyMidi::SetMciSink(nullptr);
        MyWave::SetSoundSink(nullptr);
        UnitRK::Services = UnitRK::IdleServices();
    }
    void Run(const std::string& line) { ASSERT_TRUE(UnitRK::DoCommand(line)); }
    Strings Take() { return std::exchange(Sent, {}); }

    Strings Sent, Sounds;
    std::string Reply;
};

TEST_F(ScriptSoundTest, MidiRestartsFromTheTopAndMidiAloneCloses)
{
    const Strings start{"close Midi1", "open dat\\bgm.mid alias Midi1", "play Midi1 notify"};
    Run("#Midi bgm.mid");
    EXPECT_EQ(Take(), start);
    EXPECT_EQ(MyMidi::MidiState, 1);
    EXPECT_TRUE(MyMidi::MidiLoop);
    EXPECT_EQ(MyMidi::MidiPath, "dat\\bgm.mid");
    Run("#midi bgm.mid");
    EXPECT_EQ(Take(), start);
    Run("#Midi");
    EXPECT_EQ(Take(), Strings{"close Midi1"});
    EXPECT_EQ(MyMidi::MidiState, 0);
    Reply = "stopped";
    MyMidi::MidiPoll();
    EXPECT_TRUE(Sent.empty());
    // Only the first word names the file; the open fails silently.
    Run("#Midi no such.mid");
    EXPECT_EQ(Take().at(1), "open dat\\no alias Midi1");
    EXPECT_EQ(MyMidi::MidiState, 1);
}

TEST_F(ScriptSoundTest, PollActsOnlyOnAnExactStopped)
{
    MyMidi::MidiPlay("dat\\bgm.mid", true);
    Take();
    for (const char* reply : {"playing", "", "not ready", "Stopped", "stoppe"}) {
        Reply = reply;
        MyMidi::MidiPoll();
        EXPECT_EQ(Take(), Strings{"status Midi1 mode [31]"}) << reply;
    }
    Reply = "stopped";
    MyMidi::MidiPoll();
    EXPECT_EQ(Take(), (Strings{"status Midi1 mode [31]", "play Midi1 from 0"}));
    // Music that does not loop is closed instead.
    MyMidi::MidiPlay("dat\\jingle.mid", false);
    Take();
    MyMidi::MidiPoll();
    EXPECT_EQ(Take(), (Strings{"status Midi1 mode [31]", "close Midi1"}));
    EXPECT_EQ(MyMidi::MidiState, 0);
}

TEST_F(ScriptSoundTest, WaveFlagsForOnceLoopingAndSilence)
{
    Run("#Wave a.wav");
    Run("#Wave");
    EXPECT_EQ(MyWave::WaveName, "");
    MyWave::WavePlay("dat\\rain.wav", true);
    EXPECT_TRUE(MyWave::WaveLoop);
    MyWave::WaveStop();
    EXPECT_FALSE(MyWave::WaveLoop);
    EXPECT_EQ(Sounds, (Strings{"dat\\a.wav 3", " 3", "dat\\rain.wav 11", " 3"}));
    EXPECT_TRUE(Sent.empty());  // effects never touch the music
}

}  // namespace
