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

constexpr uint16_t FormatPcm = 0x0001;
constexpr uint16_t FormatMsAdpcm = 0x0002;
constexpr uint16_t FormatFloat = 0x0003;
constexpr uint16_t FormatALaw = 0x0006;
constexpr uint16_t FormatMuLaw = 0x0007;
constexpr uint16_t FormatImaAdpcm = 0x0011;
constexpr uint16_t FormatGsm610 = 0x0031;
constexpr uint16_t FormatMpegLayer3 = 0x0055;
constexpr uint16_t FormatExtensible = 0xFFFE;
constexpr size_t GsmBlockBytes = 65;  // two frames of 160 samples, packed as Windows' codec writes them
constexpr size_t GsmBlockSamples = 320;
constexpr uint16_t MaxChannels = 8;

uint32_t Le(std::string_view b, size_t at, int bytes)
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

bool IsRiffWave(std::string_view b) { return b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WAVE"; }

// The first chunk at or after `at` that is not one of a run of empty chunks with a name of zeros,
// as a run of zero bytes reads: hundreds of megabytes of them are passed over at once.
size_t PastEmptyChunks(std::string_view b, size_t at)
{
    if (at >= b.size())
        return at;
    static const char zeros[4096] = {};
    size_t end = at;
    while (b.size() - end >= sizeof zeros && std::memcmp(b.data() + end, zeros, sizeof zeros) == 0)
        end += sizeof zeros;
    end = std::min(b.find_first_not_of('\0', end), b.size());
    return at + (end - at) / 8 * 8;
}

// The format and data chunks of a RIFF WAVE file; chunks follow one another, each padded to an
// even length, and neither the RIFF size nor a data size beyond the end of the file is trusted.
std::optional<TWave> ReadWave(std::string_view b)
{
    if (!IsRiffWave(b))
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
        at = PastEmptyChunks(b, body + size + (size & 1));
        if (at > b.size())
            break;
    }
    if (!haveData || wave.Channels == 0 || wave.Rate == 0)
        return std::nullopt;
    return wave;
}

// The samples as a 16-bit PCM wave file; they are never more than MaxEffectPcmBytes, checked
// before they were decoded, so every size fits its 32-bit field.
std::string PcmWave(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples)
{
    static_assert(MaxEffectPcmBytes < UINT32_MAX - 36);
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

std::optional<std::string> DecodeGsm(std::string_view b, const TWave& wave)
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

std::optional<std::string> ConvertDoubles(std::string_view b, const TWave& wave)
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

// 24-bit samples each held in four bytes under a plain PCM header (24 bits, a block of four bytes
// a channel), as some recorders wrote them; the mixer refuses that block alignment.
bool IsPadded24(const TWave& wave)
{
    return wave.Format == FormatPcm && wave.Bits == 24 && wave.Channels <= MaxChannels &&
           wave.BlockAlign == 4 * wave.Channels;
}

// Each sample is the low three bytes of its four, the fourth zero whatever the sign: such files
// hold a0 ff ff 00 for -96, which read as the high three bytes would be 65535, and none of their
// samples would be negative. Kept to its top 16 bits, all the 16-bit device plays.
std::optional<std::string> UnpadSamples24(std::string_view b, const TWave& wave)
{
    std::vector<int16_t> samples(wave.DataSize / wave.BlockAlign * wave.Channels);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(Le(b, wave.Data + 4 * i + 1, 2));
    return PcmWave(wave.Channels, wave.Rate, samples);
}

// The MP3 stream from its first frame header of layer 3 (or an ID3 tag), since the mixer knows
// an MP3 stream by its first bytes.
std::optional<std::string> Mp3Stream(std::string_view b, const TWave& wave)
{
    std::string_view data = b.substr(wave.Data, wave.DataSize);
    if (data.starts_with("ID3"))
        return std::string(data);
    for (size_t i = data.find('\xFF'); i < data.size() - 1; i = data.find('\xFF', i + 1)) {
        unsigned char b1 = static_cast<unsigned char>(data[i + 1]);
        if ((b1 & 0xE0) == 0xE0 && (b1 & 0x06) == 0x02)
            return std::string(data.substr(i));
    }
    return std::nullopt;
}

// The file with the size of a chunk that runs past its end cut to what is there; nothing when
// no chunk does, or for a file that is no RIFF WAVE file.
std::optional<std::string> CutOverrunningChunk(std::string_view b)
{
    if (!IsRiffWave(b))
        return std::nullopt;
    for (size_t at = 12; at <= b.size() && b.size() - at >= 8;) {
        size_t size = Le(b, at + 4, 4);
        size_t body = at + 8;
        if (size > b.size() - body) {
            std::string cut(b.substr(0, at + 4));
            Put(cut, static_cast<uint32_t>(b.size() - body), 4);
            return cut.append(b.substr(body));
        }
        at = PastEmptyChunks(b, body + size + (size & 1));
    }
    return std::nullopt;
}

// How long a sound lasts, as the bytes of 16-bit PCM the mixer holds for it: `frames` at `rate`
// converted to the device's rate, or at the file's own rate when that is higher, with the more
// channels of the two. In floating point, as the products of hostile headers overflow 64 bits.
double PcmBytes(double frames, uint32_t channels, uint32_t rate)
{
    const double atDevice = frames * SampleRate / rate;
    return std::max(frames, atDevice) * std::max(channels, uint32_t{OutputChannels}) * 2;
}

// An MPEG audio frame: the samples it decodes to for each channel, at what rate.
struct TMpegFrame {
    uint32_t Samples = 0, Rate = 0, Channels = 0;
};

// The frame whose header starts at `at`, when one of any layer does.
std::optional<TMpegFrame> MpegFrameAt(std::string_view b, size_t at)
{
    if (b.size() - at < 4)
        return std::nullopt;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(b[at + i]); };
    const unsigned version = (byte(1) >> 3) & 3, layer = (byte(1) >> 1) & 3;  // version 3 is MPEG-1
    const unsigned bitrate = byte(2) >> 4, rate = (byte(2) >> 2) & 3;
    if (byte(0) != 0xFF || (byte(1) & 0xE0) != 0xE0 || version == 1 || layer == 0 || bitrate == 15 || rate == 3)
        return std::nullopt;
    const uint32_t rates[] = {44100, 48000, 32000};
    TMpegFrame frame;
    frame.Rate = rates[rate] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    frame.Samples = layer == 3 ? 384 : (layer == 2 || version == 3) ? 1152 : 576;
    frame.Channels = (byte(3) >> 6) == 3 ? 1 : 2;
    return frame;
}

// The MP3 decoder makes each frame it decodes from a frame header: counting every place a header
// could start gives the longest the stream can last however the decoder resynchronises, and stays
// close to the truth for a real stream, whose frame data seldom looks like a header.
double Mp3PcmBytes(std::string_view b, const TWave& wave)
{
    const std::string_view data = b.substr(wave.Data, wave.DataSize);
    double total = 0;
    for (size_t at = data.find('\xFF'); at < data.size() && total <= static_cast<double>(MaxEffectPcmBytes);
         at = data.find('\xFF', at + 1))
        if (std::optional<TMpegFrame> frame = MpegFrameAt(data, at))
            total += PcmBytes(frame->Samples, frame->Channels, frame->Rate);
    return total;
}

// The most sample frames of an ADPCM data chunk: four bits a sample and channel, besides a header
// of a sample or two in each block (the last block may be cut short).
double AdpcmFrames(const TWave& wave)
{
    const double blockAlign = std::max<uint16_t>(wave.BlockAlign, 1);
    const double blocks = std::floor(static_cast<double>(wave.DataSize) / blockAlign) + 1;
    return blocks * (2 * blockAlign / wave.Channels + 2);
}

// The most sample frames of a data chunk of one of the sample formats the mixer reads itself.
double SampleFrames(const TWave& wave)
{
    const uint32_t sampleBytes = (uint32_t{wave.Bits} + 7) / 8;
    // A frame of samples padded to four bytes is its whole block; otherwise the mixer may go by
    // either size, and the smaller counts more frames.
    const uint32_t frameBytes =
        IsPadded24(wave) ? wave.BlockAlign : std::min<uint32_t>(wave.BlockAlign, sampleBytes * wave.Channels);
    return static_cast<double>(wave.DataSize) / std::max<uint32_t>(frameBytes, 1);
}

// How long the file plays, as PcmBytes counts it; 0 for a format no decoder reads.
double PcmBytes(std::string_view b, const TWave& wave)
{
    switch (wave.Format) {
    case FormatPcm:
    case FormatFloat:
    case FormatALaw:
    case FormatMuLaw:
        return PcmBytes(SampleFrames(wave), wave.Channels, wave.Rate);
    case FormatMsAdpcm:
    case FormatImaAdpcm:
        return PcmBytes(AdpcmFrames(wave), wave.Channels, wave.Rate);
    case FormatGsm610:
        return PcmBytes(static_cast<double>(wave.DataSize / GsmBlockBytes * GsmBlockSamples), 1, wave.Rate);
    case FormatMpegLayer3:
        return Mp3PcmBytes(b, wave);
    default:
        return 0;
    }
}

std::optional<std::string> Converted(std::string_view bytes, const std::optional<TWave>& wave)
{
    if (wave) {
        switch (wave->Format) {
        case FormatGsm610:
            return DecodeGsm(bytes, *wave);
        case FormatMpegLayer3:
            return Mp3Stream(bytes, *wave);
        case FormatPcm:
            if (IsPadded24(*wave))
                return UnpadSamples24(bytes, *wave);
            break;
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

}  // namespace

TMixerWave MixerReadableWave(std::string_view bytes)
{
    // Windows' sound call plays RIFF WAVE files only; the mixer would decode any music format.
    if (!IsRiffWave(bytes))
        return {"it is no RIFF WAVE file", std::nullopt};
    std::optional<TWave> wave = ReadWave(bytes);
    if (wave && PcmBytes(bytes, *wave) > static_cast<double>(MaxEffectPcmBytes))
        return {"it would play for more than " + std::to_string(MaxEffectSeconds / 60) + " minutes", std::nullopt};
    return {"", Converted(bytes, wave)};
}

}  // namespace Audio
