// How long a sound effect may last, whatever its codec or the size of its file.
#include "audio/SoundTestFiles.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/PlaySound.h"
#include "platform/audio/WaveCodecs.h"
#include "sound/CodecWaves.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include <sys/mman.h>

namespace {

// `size` bytes, all zero after `head`, of which only the head takes memory: what a zip of zeros
// unpacks to, without unpacking it.
class TZeroTail {
public:
    TZeroTail(const std::string& head, size_t size) : Size(size)
    {
        Memory = mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (Memory != MAP_FAILED)
            std::memcpy(Memory, head.data(), head.size());
    }
    ~TZeroTail()
    {
        if (Memory != MAP_FAILED)
            munmap(Memory, Size);
    }
    std::string_view View() const
    {
        return Memory == MAP_FAILED ? std::string_view() : std::string_view(static_cast<const char*>(Memory), Size);
    }

private:
    size_t Size;
    void* Memory;
};

// The header of a wave file whose data chunk claims `dataBytes`, as the codec's own writer puts it.
std::string Header(const std::string& wave, uint32_t dataBytes)
{
    std::string head = wave.substr(0, wave.find("data") + 4);
    SoundTest::Put(head, dataBytes, 4, false);
    return head;
}

class WaveLengthTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Audio::CloseAudio();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override { Audio::CloseAudio(); }
    // Why the sound call would not play `file` ("" when it would), as the story checker asks.
    std::string Why(const std::string& file)
    {
        Dir.Write("dat/effect.wav", file);
        return Audio::SoundFileError(Dir.Path("dat/effect.wav"));
    }
    SoundTest::TTempDir Dir;
};

TEST_F(WaveLengthTest, GsmOfZerosDecodingPastFourGigabytesIsRefusedBeforeDecoding)
{
    // 6.7 million blocks decode to 4 GB and 384 bytes: a count in 32 bits kept only the 384.
    const uint32_t dataBytes = 436'207'655;
    const std::string head = Header(SoundTest::GsmWave(), dataBytes);
    TZeroTail file(head, head.size() + dataBytes);
    ASSERT_FALSE(file.View().empty());
    const Audio::TMixerWave readable = Audio::MixerReadableWave(file.View());
    EXPECT_NE(readable.Refusal, "");
    EXPECT_FALSE(readable.Converted);
}

TEST_F(WaveLengthTest, EffectsPlayingLongerThanTheBoundAreRefusedWhateverTheirCodec)
{
    // 8-bit mono at 8 kHz grows 22-fold at the device: a file of 3 MB would play for 6 minutes.
    const auto bytePcm = [](int seconds) {
        return SoundTest::WaveFile(1, 1, 8000, 1, 8, "", std::string(size_t(seconds) * 8000, '\x80'));
    };
    EXPECT_EQ(Why(bytePcm(4 * 60)), "");
    EXPECT_NE(Why(bytePcm(6 * 60)), "");

    // 24-bit samples padded to four bytes: a frame is the whole block, not three bytes a channel.
    const auto padded = [](int seconds) {
        return SoundTest::WaveFile(1, 1, 8000, 4, 24, "", std::string(size_t(seconds) * 8000 * 4, '\0'));
    };
    EXPECT_EQ(Why(padded(4 * 60 + 30)), "");
    EXPECT_NE(Why(padded(6 * 60)), "");

    // MP3 frames of 26 ms each: 15,000 of them play for six and a half minutes.
    const std::string mp3 = Audio::MixerReadableWave(SoundTest::Mp3Wave()).Converted.value_or("");
    ASSERT_GT(mp3.size(), 200u);
    std::string frames;
    for (int i = 0; i < 15'000; ++i)
        frames += mp3.substr(0, 104);
    EXPECT_NE(Audio::MixerReadableWave(SoundTest::WaveFile(0x55, 1, 22050, 1, 0, "", frames)).Refusal, "");

    for (const std::string& wave : {SoundTest::GsmWave(), SoundTest::Mp3Wave(), SoundTest::DoubleWave()})
        EXPECT_EQ(Why(wave), "") << "a second of each codec plays";
}

TEST_F(WaveLengthTest, OnlyRiffWaveFilesAreEffects)
{
    // The mixer would decode any music format it knows, however long, as Windows' call never did.
    const std::string mp3 = Audio::MixerReadableWave(SoundTest::Mp3Wave()).Converted.value_or("");
    EXPECT_NE(Why(mp3), "");
}

}  // namespace
