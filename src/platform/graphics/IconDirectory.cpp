#include "IconDirectory.h"

#include "DibPalette.h"
#include "LittleEndian.h"
#include "PictureLimits.h"
#include "platform/Errors.h"

#include <cstdlib>

namespace IconDirectory {
namespace {

constexpr size_t DirectorySize = 6;
constexpr size_t EntrySize = 16;
constexpr uint16_t IconType = 1;
constexpr int32_t MaxSide = 256;  // icons are at most 256 pixels a side
const std::string PngSignature = "\x89PNG\r\n\x1A\n";
constexpr size_t PngHeaderEnd = 8 + 8 + 13;  // signature, then the IHDR chunk's length, type and fields

constexpr int64_t SystemIconSide = 32;

struct TEntry {
    size_t At;  // offset of the directory entry
    uint32_t DataSize, DataOffset;
    int64_t Width, Height;
    int Depth;
    bool Png;
};

uint32_t BigEndian32(const TLittleEndian& in, size_t at)
{
    return (uint32_t{in.U8(at)} << 24) | (uint32_t{in.U8(at + 1)} << 16) | (uint32_t{in.U8(at + 2)} << 8) |
           in.U8(at + 3);
}

// A PNG image counts by the size its own header gives; one whose header does not read, or
// whose size the picture limits refuse, is passed over.
std::optional<TEntry> ReadPngEntry(const TLittleEndian& in, TEntry e)
{
    if (e.DataSize < PngHeaderEnd || in.Slice(e.DataOffset + 12, 4) != "IHDR")
        return std::nullopt;
    e.Width = BigEndian32(in, e.DataOffset + 16);
    e.Height = BigEndian32(in, e.DataOffset + 20);
    if (!PictureLimits::SizeAllowed(e.Width, e.Height))
        return std::nullopt;
    e.Depth = in.U16(e.At + 6) != 0 ? in.U16(e.At + 6) : 32;  // the directory's bit count
    e.Png = true;
    return e;
}

std::optional<TEntry> ReadEntry(const TLittleEndian& in, size_t at)
{
    TEntry e{at, in.U32(at + 8), in.U32(at + 12), 0, 0, 0, false};
    if (!in.Has(e.DataOffset, e.DataSize))
        return std::nullopt;
    if (e.DataSize >= PngSignature.size() && in.Slice(e.DataOffset, PngSignature.size()) == PngSignature)
        return ReadPngEntry(in, e);
    if (e.DataSize < 40)
        return std::nullopt;
    e.Width = in.U8(at) == 0 ? 256 : in.U8(at);
    e.Height = in.U8(at + 1) == 0 ? 256 : in.U8(at + 1);
    e.Depth = in.U16(e.DataOffset + 14);  // the image's own bit count
    // The image's own header (colours and mask stacked: twice the height) is what gets decoded;
    // refuse sizes no icon has before the decoder allocates for them.
    int32_t ownWidth = in.I32(e.DataOffset + 4), ownHeight = in.I32(e.DataOffset + 8);
    if (ownWidth < 1 || ownWidth > MaxSide || ownHeight < 2 || ownHeight > 2 * MaxSide)
        return std::nullopt;
    return e;
}

int64_t Distance(const TEntry& e) { return std::abs(e.Width - SystemIconSide) + std::abs(e.Height - SystemIconSide); }

// The picture control asks for the system's icon size, 32 x 32, in the most colours the display
// shows (a true-colour display: the deepest); another size only when the file has no 32 x 32
// image: the nearest, the larger of two as near, then the deepest.
bool Better(const TEntry& a, const TEntry& b)
{
    if (Distance(a) != Distance(b))
        return Distance(a) < Distance(b);
    if (a.Width * a.Height != b.Width * b.Height)
        return a.Width * a.Height > b.Width * b.Height;
    return a.Depth > b.Depth;
}

}  // namespace

bool IsPng(const std::string& image) { return image.compare(0, PngSignature.size(), PngSignature) == 0; }

std::optional<std::string> ShownImage(const std::string& file, bool withPng)
{
    try {
        TLittleEndian in(file, [] { throw InvalidIconError(); });
        if (in.U16(0) != 0 || in.U16(2) != IconType)
            return std::nullopt;
        size_t count = in.U16(4);
        std::optional<TEntry> best;
        for (size_t i = 0; i < count; ++i)
            if (auto e = ReadEntry(in, DirectorySize + i * EntrySize);
                e && (withPng || !e->Png) && (!best || Better(*e, *best)))
                best = e;
        if (!best)
            return std::nullopt;
        if (best->Png)
            return in.Slice(best->DataOffset, best->DataSize);
        std::string single = file.substr(0, 4) + '\1' + '\0' + in.Slice(best->At, 12);
        uint32_t offset = DirectorySize + EntrySize;
        for (int i = 0; i < 4; ++i)
            single += static_cast<char>(offset >> (8 * i));
        single += in.Slice(best->DataOffset, best->DataSize);
        // SDL_image would read colours the palette never set.
        DibPalette::Complete(single, DirectorySize + EntrySize);
        return single;
    } catch (const EInvalidGraphic&) {
        return std::nullopt;
    }
}

}  // namespace IconDirectory
