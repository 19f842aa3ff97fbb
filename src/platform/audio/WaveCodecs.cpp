#include "platform/audio/WaveCodecs.h"

#include <gsm.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace Audio {

namespace {

constexpr uint16_t FormatFloat = 0x0003;
constexpr uint16_t FormatGsm610 = 0x0031;
constexpr uint16_t FormatMpegLayer3 = 0x0055;
constexpr uint16_t FormatExtensible = 0xFFFE;
constexpr size_t GsmBlockBytes = 65;  // two frames of 160 samples, packed as Windows' codec writes them
constexpr size_t GsmBlockSamples = 320;
constexpr uint16_t MaxChannels = 8;

uint32_t Le(const std::string& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}

void Put(std::string& s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct TWave {
    uint16_t Format = 0;  // the sub-format's code for an extensible header
    uint16_t Channels = 0;
    uint32_t Rate = 0;
    uint16_t BlockAlign = 0;
    uint16_t Bits = 0;
    size_t Data = 0, DataSize = 0;  // the data chunk, cut to what the file holds
};

// The format and data chunks of a RIFF WAVE file; chunks follow one another, each padded to an
// even length, and neither the RIFF size nor a data size beyond the end of the file is trusted.
std::optional<TWave> ReadWave(const std::string& b)
{
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    TWave wave;
    bool haveFormat = false, haveData = false;
    size_t at = 12;
    while (!haveData && b.size() - at >= 8) {
        size_t size = Le(b, at + 4, 4);
        size_t body = at + 8;
        size_t available = std::min(size, b.size() - body);
        if (b.compare(at, 4, "fmt ") == 0 && available >= 16) {
            wave.Format = static_cast<uint16_t>(Le(b, body, 2));
            wave.Channels = static_cast<uint16_t>(Le(b, body + 2, 2));
            wave.Rate = Le(b, body + 4, 4);
            wave.BlockAlign = static_cast<uint16_t>(Le(b, body + 12, 2));
            wave.Bits = static_cast<uint16_t>(Le(b, body + 14, 2));
            if (wave.Format == FormatExtensible && available >= 26)
                wave.Format = static_cast<uint16_t>(Le(b, body + 24, 2));  // the sub-format GUID's first word
            haveFormat = true;
        } else if (b.compare(at, 4, "data") == 0 && haveFormat) {
            wave.Data = body;
            wave.DataSize = available;
            haveData = true;
        }
        if (size > b.size() - body)
            break;
        at = body + size + (size & 1);
        if (at > b.size())
            break;
    }
    if (!haveData || wave.Channels == 0 || wave.Rate == 0)
        return std::nullopt;
    return wave;
}

std::string PcmWave(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples)
{
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string f = "RIFF";
    Put(f, 36 + dataBytes, 4);
    f += "WAVEfmt ";
    Put(f, 16, 4);
    Put(f, 1, 2);  // PCM
    Put(f, channels, 2);
    Put(f, rate, 4);
    Put(f, rate * channels * 2, 4);
    Put(f, channels * 2u, 2);
    Put(f, 16, 2);
    f += "data";
    Put(f, dataBytes, 4);
    size_t at = f.size();
    f.resize(at + dataBytes);
    for (size_t i = 0; i < samples.size(); ++i) {
        f[at + 2 * i] = static_cast<char>(samples[i] & 0xFF);
        f[at + 2 * i + 1] = static_cast<char>((samples[i] >> 8) & 0xFF);
    }
    return f;
}

std::optional<std::string> DecodeGsm(const std::string& b, const TWave& wave)
{
    if (wave.Channels != 1 || wave.BlockAlign != GsmBlockBytes)
        return std::nullopt;
    std::unique_ptr<gsm_state, void (*)(gsm)> decoder(gsm_create(), gsm_destroy);
    if (!decoder)
        return std::nullopt;
    int wav49 = 1;
    gsm_option(decoder.get(), GSM_OPT_WAV49, &wav49);
    size_t blocks = wave.DataSize / GsmBlockBytes;
    std::vector<int16_t> samples(blocks * GsmBlockSamples);
    gsm_byte block[GsmBlockBytes];
    for (size_t i = 0; i < blocks; ++i) {
        std::memcpy(block, b.data() + wave.Data + i * GsmBlockBytes, GsmBlockBytes);
        // The first frame of a block takes 32.5 bytes and the second the rest; the decoder in
        // this mode keeps track of which half it reads.
        gsm_signal* out = samples.data() + i * GsmBlockSamples;
        if (gsm_decode(decoder.get(), block, out) < 0 || gsm_decode(decoder.get(), block + 33, out + 160) < 0)
            return std::nullopt;
    }
    return PcmWave(1, wave.Rate, samples);
}

std::optional<std::string> ConvertDoubles(const std::string& b, const TWave& wave)
{
    if (wave.Channels > MaxChannels)
        return std::nullopt;
    size_t frames = wave.DataSize / (8 * size_t{wave.Channels});
    std::vector<int16_t> samples(frames * wave.Channels);
    for (size_t i = 0; i < samples.size(); ++i) {
        uint64_t bits = 0;
        for (int k = 7; k >= 0; --k)
            bits = (bits << 8) | static_cast<unsigned char>(b[wave.Data + i * 8 + static_cast<size_t>(k)]);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        // Full scale is +-1; beyond it the sound clips, and a value that is no number is silence.
        v = std::isnan(v) ? 0 : std::clamp(v, -1.0, 1.0);
        samples[i] = static_cast<int16_t>(std::lround(v * 32767));
    }
    return PcmWave(wave.Channels, wave.Rate, samples);
}

// The MP3 stream from its first frame header of layer 3 (or an ID3 tag), since the mixer knows
// an MP3 stream by its first bytes.
std::optional<std::string> Mp3Stream(const std::string& b, const TWave& wave)
{
    std::string data = b.substr(wave.Data, wave.DataSize);
    if (data.compare(0, 3, "ID3") == 0)
        return data;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        unsigned char b0 = static_cast<unsigned char>(data[i]), b1 = static_cast<unsigned char>(data[i + 1]);
        if (b0 == 0xFF && (b1 & 0xE0) == 0xE0 && (b1 & 0x06) == 0x02)
            return data.substr(i);
    }
    return std::nullopt;
}

// The file with the size of a chunk that runs past its end cut to what is there; nothing when
// no chunk does, or for a file that is no RIFF WAVE file.
std::optional<std::string> CutOverrunningChunk(const std::string& b)
{
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    for (size_t at = 12; at <= b.size() && b.size() - at >= 8;) {
        size_t size = Le(b, at + 4, 4);
        size_t body = at + 8;
        if (size > b.size() - body) {
            std::string cut = b.substr(0, at + 4);
            Put(cut, static_cast<uint32_t>(b.size() - body), 4);
            return cut + b.substr(body);
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> MixerReadableWave(const std::string& bytes)
{
    if (std::optional<TWave> wave = ReadWave(bytes)) {
        switch (wave->Format) {
        case FormatGsm610:
            return DecodeGsm(bytes, *wave);
        case FormatMpegLayer3:
            return Mp3Stream(bytes, *wave);
        case FormatFloat:
            if (wave->Bits == 64)
                return ConvertDoubles(bytes, *wave);
            break;
        default:
            break;
        }
    }
    return CutOverrunningChunk(bytes);
}

}  // namespace Audio
