// When the audio device opens, and what a missing or replaced effect does (dummy driver).
#include "audio/SoundTestFiles.h"
#include "platform/FifoWatch.h"
#include "platform/ShiftJis.h"
#include "platform/StoryBounds.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/MciCommand.h"
#include "platform/audio/MciDevice.h"
#include "platform/audio/PlaySound.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

class DeviceUseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Audio::CloseAudio();
        // The silent driver that still plays in real time; the machine may have no sound card.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override { Audio::CloseAudio(); }
    SoundTest::TTempDir Dir;
};

TEST_F(DeviceUseTest, SilencingAtStartUpDoesNotOpenTheDevice)
{
    MyMidi::MidiClose();
    MyWave::WaveStop();
    MyMidi::MidiPoll();
    EXPECT_FALSE(Audio::AudioIsOpen());
    // Neither does music or an effect that is not there.
    MyMidi::MidiPlay("dat\\missing.mid", true);
    MyWave::WavePlay("dat\\missing.wav", false);
    MyMidi::MidiPoll();
    EXPECT_FALSE(Audio::AudioIsOpen());
    MyMidi::MidiClose();
}

TEST_F(DeviceUseTest, AnEffectReplacesTheOneBefore)
{
    Dir.Write("dat/a.wav", SoundTest::SineWav(440, 3000));
    Dir.Write("dat/b.wav", SoundTest::SineWav(660, 3000));
    MyWave::WavePlay("dat\\a.wav", false);
    EXPECT_EQ(Audio::PlayingSoundPath(), "dat/a.wav");
    MyWave::WavePlay("dat\\B.WAV", false);  // the case of the name does not matter
    EXPECT_EQ(Audio::PlayingSoundPath(), "dat/b.wav");
    Dir.Write("dat/汽笛.wav", SoundTest::SineWav(880, 3000));
    MyWave::WavePlay(Sjis::FromUtf8("dat\\汽笛.wav"), false);
    EXPECT_EQ(Audio::PlayingSoundPath(), "dat/汽笛.wav") << "nor whether it came in UTF-8";
    // A missing file plays nothing, and the old effect does not go on under it.
    MyWave::WavePlay("dat\\gone.wav", false);
    EXPECT_EQ(Audio::PlayingSoundPath(), "");
    EXPECT_EQ(MyWave::WaveName, "dat\\gone.wav");
}

TEST_F(DeviceUseTest, UnplayableFilesStayQuiet)
{
    Dir.Write("dat/text.wav", "this is no wave file");
    Dir.Write("dat/text.mid", "nor a MIDI file");
    EXPECT_FALSE(Audio::SndPlaySound("dat\\text.wav", 3));
    EXPECT_EQ(Audio::PlayingSoundPath(), "");
    // Nor does one too short for the mixer to tell its kind, however often it is played.
    Dir.Write("dat/short.wav", "no wave");
    const auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFiles();
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(Audio::SndPlaySound("dat\\short.wav", 3));
    EXPECT_EQ(openFiles(), before) << "every file the sound call opened is closed again";
    // A file named .mid that holds no MIDI is refused at open, as the sequencer refuses it.
    EXPECT_NE(Audio::MciSendString("open dat\\text.mid alias Midi1", nullptr, 0), 0u);

    // Music of another kind fails only on its own loading thread; from then on the alias
    // answers like a device that never opened (an empty reply), so the poll restarts nothing.
    Dir.Write("dat/noise.ogg", "neither is this any music");
    MyMidi::MidiPlay("dat\\noise.ogg", true);
    char reply[32] = "x";
    for (int i = 0; i < 300 && reply[0]; ++i) {
        std::memset(reply, 0, sizeof reply);
        Audio::MciSendString("status Midi1 mode", reply, 31);
        if (reply[0])
            SDL_Delay(10);
    }
    EXPECT_STREQ(reply, "");
    MyMidi::MidiPoll();
    MyMidi::MidiClose();
    EXPECT_EQ(Audio::MciSendString("open dat\\noise.ogg alias Midi1", nullptr, 0), 0u)
        << "the alias is free for the next piece";
    MyMidi::MidiClose();
}

TEST_F(DeviceUseTest, MusicAndEffectsThePlayerWillNotReadAreSilentAsIfMissing)
{
    fs::create_directory("dat");
    {
        TFifoWatch fifo("dat/bgm.mid");
        EXPECT_EQ(Audio::MciSendString("open dat\\bgm.mid alias Midi1", nullptr, 0), MciError::FileNotFound);
        EXPECT_FALSE(fifo.Waited());
    }
    Dir.Write("dat/big.mid", "MThd");
    fs::resize_file("dat/big.mid", StoryBounds::MusicBytes + 1);
    EXPECT_EQ(Audio::MciSendString("open dat\\big.mid alias Midi1", nullptr, 0), MciError::FileNotFound)
        << "missing, not damaged";
    // A sound MIDI file, but with more events than the synthesiser is given to hold.
    SoundTest::TTrack changes;
    while (changes.Bytes.size() <= StoryBounds::MidiBytes)
        changes.Event(0, {0xC0, 1});
    changes.End(0);
    Dir.Write("dat/long.mid", SoundTest::MidiFile(0, 96, {changes}));
    EXPECT_EQ(Audio::MciSendString("open dat\\long.mid alias Midi1", nullptr, 0), MciError::InvalidFile);

    Dir.Write("dat/big.wav", SoundTest::SineWav(440, 100));
    fs::resize_file("dat/big.wav", StoryBounds::EffectBytes + 1);
    EXPECT_FALSE(Audio::SndPlaySound("dat\\big.wav", 3));
    EXPECT_EQ(Audio::SoundFileError("dat/big.wav"), "it is larger than the 64 MB a sound may be");
}

// The most address space the process has held, in kB.
long PeakVirtualKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmPeak:", 0) == 0)
            return std::atol(line.c_str() + 7);
    return -1;
}

TEST_F(DeviceUseTest, AWaveFileClaimingMoreThanItHoldsPlaysWhatItHolds)
{
    std::string wave = SoundTest::SineWav(440, 200);
    for (size_t i = 40; i < 44; ++i)
        wave[i] = '\xF0';  // a data chunk of almost 4 GB
    Dir.Write("dat/claims.wav", wave);
    const long before = PeakVirtualKb();
    EXPECT_TRUE(Audio::SndPlaySound("dat\\claims.wav", 1));
    EXPECT_EQ(Audio::PlayingSoundPath(), "dat/claims.wav");
    EXPECT_LT(PeakVirtualKb() - before, 1024 * 1024) << "nothing is reserved for what the file only claims";
}

// Music loads on a thread of its own: closing it, replacing it or ending the program while
// it loads must neither crash nor leave it playing.
TEST_F(DeviceUseTest, MusicClosedWhileItLoadsStaysClosed)
{
    Dir.Write("dat/a.mid", SoundTest::PianoMidi(3));
    for (int i = 0; i < 5; ++i) {
        MyMidi::MidiPlay("dat\\a.mid", true);
        if (i % 2)
            MyMidi::MidiPlay("dat\\a.mid", true);
        MyMidi::MidiClose();
    }
    MyMidi::MidiPlay("dat\\a.mid", true);
    Audio::CloseAudio();
    EXPECT_FALSE(Audio::AudioIsOpen());
    char reply[32] = {};
    Audio::MciSendString("status Midi1 mode", reply, 31);
    EXPECT_STREQ(reply, "") << "nothing is left open";
}

}  // namespace
