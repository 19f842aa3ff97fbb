#include "IconDirectory.h"

#include "LittleEndian.h"
#include "platform/Errors.h"

namespace IconDirectory {
namespace {

constexpr size_t DirectorySize = 6;
constexpr size_t EntrySize = 16;
constexpr uint16_t IconType = 1;
constexpr int32_t MaxSide = 256;  // icons are at most 256 pixels a side
const std::string PngSignature = "\x89PNG";

struct TEntry {
    size_t At;  // offset of the directory entry
    uint32_t DataSize, DataOffset;
    int64_t Pixels;
    int Depth;
};

std::optional<TEntry> ReadEntry(const TLittleEndian& in, size_t at)
{
    TEntry e{at, in.U32(at + 8), in.U32(at + 12), 0, 0};
    if (e.DataSize < 40 || !in.Has(e.DataOffset, e.DataSize) || in.Slice(e.DataOffset, 4) == PngSignature)
        return std::nullopt;
    int width = in.U8(at) == 0 ? 256 : in.U8(at);
    int height = in.U8(at + 1) == 0 ? 256 : in.U8(at + 1);
    e.Pixels = int64_t{width} * height;
    e.Depth = in.U16(e.DataOffset + 14);  // the image's own bit count
    // The image's own header (colours and mask stacked: twice the height) is what gets decoded;
    // refuse sizes no icon has before the decoder allocates for them.
    int32_t ownWidth = in.I32(e.DataOffset + 4), ownHeight = in.I32(e.DataOffset + 8);
    if (ownWidth < 1 || ownWidth > MaxSide || ownHeight < 2 || ownHeight > 2 * MaxSide)
        return std::nullopt;
    return e;
}

bool Better(const TEntry& a, const TEntry& b) { return a.Pixels != b.Pixels ? a.Pixels > b.Pixels : a.Depth > b.Depth; }

}  // namespace

std::optional<std::string> LargestBitmapImage(const std::string& file)
{
    try {
        TLittleEndian in(file, [] { throw InvalidIconError(); });
        if (in.U16(0) != 0 || in.U16(2) != IconType)
            return std::nullopt;
        size_t count = in.U16(4);
        std::optional<TEntry> best;
        for (size_t i = 0; i < count; ++i)
            if (auto e = ReadEntry(in, DirectorySize + i * EntrySize); e && (!best || Better(*e, *best)))
                best = e;
        if (!best)
            return std::nullopt;
        std::string single = file.substr(0, 4) + '\1' + '\0' + in.Slice(best->At, 12);
        uint32_t offset = DirectorySize + EntrySize;
        for (int i = 0; i < 4; ++i)
            single += static_cast<char>(offset >> (8 * i));
        return single + in.Slice(best->DataOffset, best->DataSize);
    } catch (const EInvalidGraphic&) {
        return std::nullopt;
    }
}

}  // namespace IconDirectory
