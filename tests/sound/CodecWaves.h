// Wave files of the codecs Windows shipped for its sound call, each holding a second of a 440 Hz
// tone, made with the codecs' own libraries (link gsm and mp3lame).
#pragma once

#include "audio/SoundTestFiles.h"

#include <gsm.h>
#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace SoundTest {

// A second of a 440 Hz sine at half scale.
inline std::vector<int16_t> Sine(uint32_t rate)
{
    std::vector<int16_t> samples(rate);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] =
            static_cast<int16_t>(std::lround(std::sin(2 * M_PI * 440 * static_cast<double>(i) / rate) * 16384));
    return samples;
}

// GSM 6.10 as Windows' codec stores it: blocks of 65 bytes, two frames of 160 samples each.
inline std::string GsmWave()
{
    std::vector<int16_t> samples = Sine(8000);
    gsm encoder = gsm_create();
    int wav49 = 1;
    gsm_option(encoder, GSM_OPT_WAV49, &wav49);
    std::string data;
    for (size_t at = 0; at + 320 <= samples.size(); at += 320) {
        gsm_byte block[65];
        gsm_encode(encoder, samples.data() + at, block);
        gsm_encode(encoder, samples.data() + at + 160, block + 32);
        data.append(reinterpret_cast<char*>(block), sizeof block);
    }
    gsm_destroy(encoder);
    std::string samplesPerBlock;
    Put(samplesPerBlock, 320, 2, false);
    return WaveFile(0x0031, 1, 8000, 65, 0, samplesPerBlock, data);
}

// MPEG layer 3 in a wave file, as Windows' codec writes it (its own fields after the format's).
inline std::string Mp3Wave()
{
    std::vector<int16_t> samples = Sine(22050);
    lame_t encoder = lame_init();
    lame_set_in_samplerate(encoder, 22050);
    lame_set_num_channels(encoder, 1);
    lame_set_mode(encoder, MONO);
    lame_set_brate(encoder, 32);
    lame_set_bWriteVbrTag(encoder, 0);
    lame_init_params(encoder);
    std::vector<unsigned char> mp3(64 * 1024);
    int n = lame_encode_buffer(encoder, samples.data(), samples.data(), static_cast<int>(samples.size()), mp3.data(),
                               static_cast<int>(mp3.size()));
    n += lame_encode_flush(encoder, mp3.data() + n, static_cast<int>(mp3.size()) - n);
    lame_close(encoder);
    std::string layer3;  // id, flags, block size, frames a block, codec delay
    for (uint32_t v : {1u, 2u, 104u, 1u, 1393u})
        Put(layer3, v, v == 2u ? 4 : 2, false);
    return WaveFile(0x0055, 1, 22050, 1, 0, layer3, std::string(reinterpret_cast<char*>(mp3.data()), n));
}

// 64-bit float PCM, with one sample beyond full scale (clipped) and one that is no number.
inline std::string DoubleWave()
{
    std::string data;
    for (int16_t sample : Sine(22050)) {
        double v = sample / 32768.0;
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        Put(data, static_cast<uint32_t>(bits), 4, false);
        Put(data, static_cast<uint32_t>(bits >> 32), 4, false);
    }
    double odd[] = {4.0, std::nan("")};
    for (int i = 0; i < 2; ++i)
        std::memcpy(data.data() + 8 * (100 + i), &odd[i], 8);
    return WaveFile(0x0003, 1, 22050, 8, 64, "", data);
}

}  // namespace SoundTest
