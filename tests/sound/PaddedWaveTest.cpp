// 24-bit PCM padded to four bytes a sample under a plain PCM header, which the mixer refuses.
#include "audio/SoundTestFiles.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/PlaySound.h"
#include "platform/audio/WaveCodecs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// The samples of the 16-bit PCM wave file the converter writes (after its 44-byte header).
std::vector<int16_t> Samples16(const std::string& wave)
{
    std::vector<int16_t> samples;
    for (size_t at = 44; at + 2 <= wave.size(); at += 2)
        samples.push_back(
            static_cast<int16_t>(static_cast<unsigned char>(wave[at]) | static_cast<unsigned char>(wave[at + 1]) << 8));
    return samples;
}

TEST(PaddedWaveTest, SamplesAreTheLowThreeBytesOfEachFour)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // The bytes of hound's pcmwaveformat-24bit-4byte-48kHz-stereo.wav: two stereo frames of
    // -96, 23052, 8388607 and -8360672, whose fourth bytes are zero whatever the sign.
    const std::string data("\xa0\xff\xff\x00\x0c\x5a\x00\x00\xff\xff\x7f\x00\x20\x6d\x80\x00", 16);
    const std::string file = SoundTest::WaveFile(1, 2, 48000, 8, 24, "", data);
    const Audio::TMixerWave readable = Audio::MixerReadableWave(file);
    ASSERT_EQ(readable.Refusal, "");
    ASSERT_TRUE(readable.Converted);
    EXPECT_EQ(Samples16(*readable.Converted), (std::vector<int16_t>{-1, 90, 32767, -32659}));

    SoundTest::TTempDir dir;
    dir.Write("dat/padded.wav", file);
    EXPECT_EQ(Audio::SoundFileError(dir.Path("dat/padded.wav")), "");
    Audio::CloseAudio();
}

}  // namespace
