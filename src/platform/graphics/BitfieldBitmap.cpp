#include "BitfieldBitmap.h"

#include "LittleEndian.h"
#include "PictureLimits.h"

#include <bit>
#include <cstdlib>

namespace BitfieldBitmap {
namespace {

constexpr size_t FileHeaderSize = 14;
constexpr size_t MasksAt = FileHeaderSize + 40;  // after the first 40 bytes of the info header
constexpr uint32_t CompressionAt = 30;
constexpr uint32_t BiBitfields = 3;
constexpr uint32_t BiAlphaBitfields = 6;  // the same with an alpha mask after the colour masks
constexpr uint32_t Os2HeaderSize = 64;    // where compression 3 means Huffman coding instead

struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0, Bits = 0;

    // The channel's value widened (or narrowed) to 8 bits: more than 8 bits keep their top 8,
    // then the value scales by 255 / (2^bits - 1), rounded down, as SDL's conversion does for the
    // 5-5-5, 5-6-5, 4-4-4 and 10-10-10 bitmaps it reads itself.
    uint32_t Widened(uint32_t pixel) const
    {
        if (Bits == 0)
            return 0;
        uint32_t value = (pixel & Mask) >> Shift;
        int bits = Bits;
        if (bits > 8) {
            value >>= bits - 8;
            bits = 8;
        }
        return value * 255 / ((1u << bits) - 1);
    }
};

// A mask of one run of set bits (or none) within the pixel's bits.
std::optional<TChannel> ChannelOf(uint32_t mask, int bitCount)
{
    if (mask == 0)
        return TChannel{};
    if (bitCount < 32 && mask >> bitCount != 0)
        return std::nullopt;
    int shift = std::countr_zero(mask);
    uint32_t run = mask >> shift;
    if ((run & (run + 1)) != 0)
        return std::nullopt;
    return TChannel{mask, shift, std::popcount(run)};
}

struct TLayout {
    int Width = 0, Height = 0, BitCount = 0;
    bool TopDown = false;
    size_t PixelsAt = 0, RowBytes = 0;
    TChannel Red, Green, Blue;
};

std::optional<TLayout> ReadLayout(const TLittleEndian& in)
{
    uint32_t headerSize = in.U32(FileHeaderSize);
    uint32_t compression = in.U32(CompressionAt);
    if (headerSize < 40 || headerSize == Os2HeaderSize ||
        (compression != BiBitfields && compression != BiAlphaBitfields))
        return std::nullopt;
    TLayout l;
    int64_t width = in.I32(18), height = in.I32(22);
    l.BitCount = in.U16(28);
    if ((l.BitCount != 16 && l.BitCount != 32) || !PictureLimits::SizeAllowed(width, std::llabs(height)))
        return std::nullopt;
    l.Width = static_cast<int>(width);
    l.Height = static_cast<int>(std::llabs(height));
    l.TopDown = height < 0;
    auto red = ChannelOf(in.U32(MasksAt), l.BitCount), green = ChannelOf(in.U32(MasksAt + 4), l.BitCount),
         blue = ChannelOf(in.U32(MasksAt + 8), l.BitCount);
    if (!red || !green || !blue || (red->Mask & green->Mask) || (red->Mask & blue->Mask) || (green->Mask & blue->Mask))
        return std::nullopt;
    l.Red = *red;
    l.Green = *green;
    l.Blue = *blue;
    l.PixelsAt = in.U32(10);
    l.RowBytes = (static_cast<size_t>(l.Width) * static_cast<size_t>(l.BitCount) + 31) / 32 * 4;
    if (!in.Has(l.PixelsAt, l.RowBytes * static_cast<size_t>(l.Height)))
        return std::nullopt;
    return l;
}

TRgbImage Pixels(const TLittleEndian& in, const TLayout& l)
{
    TRgbImage image{l.Width, l.Height, {}};
    image.Pixels.reserve(static_cast<size_t>(l.Width) * static_cast<size_t>(l.Height));
    for (int y = 0; y < l.Height; ++y) {
        size_t row = l.PixelsAt + static_cast<size_t>(l.TopDown ? y : l.Height - 1 - y) * l.RowBytes;
        for (size_t x = 0; x < static_cast<size_t>(l.Width); ++x) {
            uint32_t pixel = l.BitCount == 16 ? in.U16(row + 2 * x) : in.U32(row + 4 * x);
            image.Pixels.push_back(l.Red.Widened(pixel) << 16 | l.Green.Widened(pixel) << 8 | l.Blue.Widened(pixel));
        }
    }
    return image;
}

struct EDamaged {};

}  // namespace

bool SdlIgnoresMasks(const std::string& file)
{
    return file.size() >= CompressionAt + 4 &&
           TLittleEndian(file, [] { throw EDamaged(); }).U32(CompressionAt) == BiAlphaBitfields;
}

std::optional<TRgbImage> Decode(const std::string& file)
{
    try {
        TLittleEndian in(file, [] { throw EDamaged(); });
        if (auto layout = ReadLayout(in))
            return Pixels(in, *layout);
    } catch (const EDamaged&) {
    }
    return std::nullopt;
}

}  // namespace BitfieldBitmap
