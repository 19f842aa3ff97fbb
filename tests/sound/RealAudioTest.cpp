// Sound that can be heard: SDL's disk driver writes the mixed output to a file in real time.
// The pieces are short, so each test takes a second or two.
#include "audio/SoundTestFiles.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/MciDevice.h"
#include "platform/audio/PlaySound.h"
#include "sound/CodecWaves.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int Rate = Audio::SampleRate;

class RealAudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Audio::CloseAudio();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", Dir.Path("out.raw").c_str(), 1);
        Dir.Write("dat/bgm.mid", SoundTest::PianoMidi(2));
        Dir.Write("dat/tone.wav", SoundTest::SineWav(440, 2000));
    }
    void TearDown() override
    {
        Audio::CloseAudio();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    // The disk driver writes in real time, or later on a busy machine, and music starts only once
    // its soundfont has loaded on a thread of its own: a test waits for what it needs to have been
    // written, for a minute at most, never for a fixed time.
    std::string Output() const
    {
        std::ifstream in(Dir.Path("out.raw"), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // The file may still be empty, and memcpy takes no null pointer even for no bytes.
    static std::vector<int16_t> SamplesOf(const std::string& bytes)
    {
        std::vector<int16_t> samples(bytes.size() / 2);
        if (!samples.empty())
            std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }
    template <class F>
    static void WaitFor(const char* what, F done)
    {
        for (auto start = std::chrono::steady_clock::now(); !done();) {
            if (std::chrono::steady_clock::now() - start > 60s) {
                ADD_FAILURE() << "a minute passed without " << what;
                return;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    // Until the output holds sound above the dither.
    void WaitUntilHeard()
    {
        WaitFor("sound", [this] {
            std::vector<int16_t> samples = SamplesOf(Output());
            return Heard(samples, 0, samples.size());
        });
    }
    // Until `ms` more milliseconds of output have been written.
    void WaitForOutput(int ms)
    {
        const size_t target = Output().size() + static_cast<size_t>(Rate) * 4 * static_cast<size_t>(ms) / 1000;
        WaitFor("output", [&] { return Output().size() >= target; });
    }

    // Closes the device (flushing the file) and returns its 16-bit stereo samples.
    std::vector<int16_t> Written()
    {
        int freq = 0, channels = 0;
        Uint16 format = 0;
        EXPECT_TRUE(Mix_QuerySpec(&freq, &format, &channels));
        EXPECT_EQ(format, AUDIO_S16SYS);
        EXPECT_EQ(channels, 2);
        Audio::CloseAudio();
        return SamplesOf(Output());
    }
    static bool Silent(const std::vector<int16_t>& s, size_t from, size_t to)
    {
        for (size_t i = from; i < to && i < s.size(); ++i)
            if (s[i] != 0)
                return false;
        return true;
    }
    // Sound above the synthesiser's dither (samples of +-1 while it plays nothing).
    static bool Heard(const std::vector<int16_t>& s, size_t from, size_t to)
    {
        for (size_t i = from; i < to && i < s.size(); ++i)
            if (std::abs(int{s[i]}) > 64)
                return true;
        return false;
    }
    // Checks that sound was written and that the last `tailMs` are silence.
    static void ExpectSoundThenSilence(const std::vector<int16_t>& s, int tailMs)
    {
        size_t tail = static_cast<size_t>(Rate * 2 * tailMs / 1000);
        ASSERT_GT(s.size(), 2 * tail);
        EXPECT_TRUE(Heard(s, 0, s.size() - tail)) << "nothing was heard";
        EXPECT_TRUE(Silent(s, s.size() - tail, s.size())) << "still sounding after the stop";
    }

    SoundTest::TTempDir Dir;
};

TEST_F(RealAudioTest, MidiMusicSoundsUntilClosed)
{
    MyMidi::MidiPlay("dat\\bgm.mid", true);
    ASSERT_TRUE(Audio::AudioIsOpen());
    WaitUntilHeard();
    MyMidi::MidiClose();
    WaitForOutput(400);
    ExpectSoundThenSilence(Written(), 200);
}

TEST_F(RealAudioTest, RiffMidiMusicSoundsWhateverItsName)
{
    for (const char* name : {"song.rmi", "song.mid"}) {
        Dir.Write(std::string("dat/") + name, SoundTest::RiffMidi(SoundTest::PianoMidi(2)));
        MyMidi::MidiPlay(std::string("dat\\") + name, true);
        WaitUntilHeard();
        MyMidi::MidiClose();
        WaitForOutput(400);
        SCOPED_TRACE(name);
        ExpectSoundThenSilence(Written(), 200);
    }
}

TEST_F(RealAudioTest, WaveEffectSoundsUntilStopped)
{
    MyWave::WavePlay("dat\\tone.wav", false);
    ASSERT_EQ(Audio::PlayingSoundPath(), "dat/tone.wav");
    WaitUntilHeard();
    MyWave::WaveStop();
    EXPECT_EQ(Audio::PlayingSoundPath(), "");
    WaitForOutput(400);
    ExpectSoundThenSilence(Written(), 200);
}

TEST_F(RealAudioTest, MidiFilesTheSynthesiserWouldRefuseSoundAsTheSequencerPlaysThem)
{
    for (const auto& [kind, file] : SoundTest::RefusedMidiFiles()) {
        SCOPED_TRACE(kind);
        Dir.Write("dat/odd.mid", file);
        MyMidi::MidiPlay("dat\\odd.mid", true);
        WaitUntilHeard();
        MyMidi::MidiClose();
        WaitForOutput(400);
        ExpectSoundThenSilence(Written(), 200);
    }
}

TEST_F(RealAudioTest, WaveCodecsWindowsShippedSoundThroughTheSameCall)
{
    for (const auto& [name, file] : {std::pair{"gsm.wav", SoundTest::GsmWave()},
                                     {"mp3.wav", SoundTest::Mp3Wave()},
                                     {"double.wav", SoundTest::DoubleWave()}}) {
        SCOPED_TRACE(name);
        Dir.Write(std::string("dat/") + name, file);
        MyWave::WavePlay(std::string("dat\\") + name, false);
        EXPECT_EQ(Audio::PlayingSoundPath(), std::string("dat/") + name);
        WaitUntilHeard();
        WaitForOutput(400);  // enough of the tone to measure
        MyWave::WaveStop();
        WaitForOutput(300);
        std::vector<int16_t> s = Written();
        ExpectSoundThenSilence(s, 200);
        // The tone as it was recorded: its pitch from the rising zero crossings of the left
        // channel, its loudness from its root mean square between the first and the last.
        std::vector<size_t> rising;
        bool high = false;
        for (size_t i = 0; i < s.size(); i += 2) {
            if (!high && s[i] > 2000)
                rising.push_back(i / 2);
            if (s[i] > 2000 || s[i] < -2000)
                high = s[i] > 2000;
        }
        if (rising.size() < 10) {
            ADD_FAILURE() << "no tone";
            continue;
        }
        double seconds = static_cast<double>(rising.back() - rising.front()) / Rate;
        EXPECT_NEAR((static_cast<double>(rising.size()) - 1) / seconds, 440, 10);
        double sum = 0;
        for (size_t i = rising.front(); i < rising.back(); ++i)
            sum += static_cast<double>(s[2 * i]) * s[2 * i];
        EXPECT_NEAR(std::sqrt(sum / static_cast<double>(rising.back() - rising.front())), 16384 / std::sqrt(2.0), 2000);
    }
}

TEST_F(RealAudioTest, MusicEndsWithItsEventsNotWithTheSynthesisersTail)
{
    Dir.Write("dat/short.mid", SoundTest::PianoMidi(1));  // half a second of notes
    MyMidi::MidiPlay("dat\\short.mid", true);
    char reply[32] = {};
    WaitFor("the end of the piece", [&] {
        Audio::MciSendString("status Midi1 mode", reply, 31);
        return std::string(reply) != "playing";
    });
    EXPECT_STREQ(reply, "stopped");
    // The synthesiser still lets the last note ring, for seconds; a loop need not wait for it.
    EXPECT_TRUE(Mix_PlayingMusic());
    // The restart plays the piece again.
    MyMidi::MidiPoll();
    Audio::MciSendString("status Midi1 mode", reply, 31);
    EXPECT_STREQ(reply, "playing");
}

// Muted, music and effect go on unheard: the effect is still the one playing, the music is still
// playing where it was, and both are heard again once unmuted.
TEST_F(RealAudioTest, MutedMusicAndEffectsGoOnSilently)
{
    Dir.Write("dat/long.mid", SoundTest::PianoMidi(8));  // four seconds of notes
    Dir.Write("dat/long.wav", SoundTest::SineWav(440, 4000));
    MyMidi::MidiPlay("dat\\long.mid", true);
    MyWave::WavePlay("dat\\long.wav", false);
    ASSERT_TRUE(Audio::AudioIsOpen());
    WaitUntilHeard();
    WaitForOutput(300);
    Audio::SetMuted(true);
    WaitForOutput(800);
    EXPECT_EQ(Audio::PlayingSoundPath(), "dat/long.wav");
    char reply[32] = {};
    Audio::MciSendString("status Midi1 mode", reply, 31);
    EXPECT_STREQ(reply, "playing");
    Audio::SetMuted(false);
    WaitForOutput(500);
    std::vector<int16_t> s = Written();
    // Music and a tone never fall silent by themselves: the longest silence is the muting (which
    // the audio thread may have lived through in less than real time, on a busy machine).
    size_t longest = 0, end = 0;
    for (size_t i = 0, run = 0; i < s.size(); ++i) {
        run = s[i] == 0 ? run + 1 : 0;
        if (run > longest) {
            longest = run;
            end = i + 1;
        }
    }
    const size_t ms = Rate * 2 / 1000;
    EXPECT_GT(longest, 200 * ms) << "no silence while muted";
    EXPECT_FALSE(Silent(s, 0, end - longest)) << "nothing heard before muting";
    EXPECT_FALSE(Silent(s, end, s.size())) << "nothing heard after unmuting";
}

}  // namespace
