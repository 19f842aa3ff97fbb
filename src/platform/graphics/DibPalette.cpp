#include "DibPalette.h"

#include "LittleEndian.h"

namespace DibPalette {
namespace {

constexpr uint32_t BiRgb = 0;
constexpr size_t EntrySize = 4;  // blue, green, red and a reserved byte

struct EShort {};

}  // namespace

std::optional<TInsertion> Complete(std::string& dib, size_t headerAt)
{
    try {
        TLittleEndian in(dib, [] { throw EShort(); });
        uint32_t headerSize = in.U32(headerAt);
        int bitCount = in.U16(headerAt + 14);
        uint32_t used = in.U32(headerAt + 32);
        if (headerSize < 40 || bitCount < 1 || bitCount > 8 || in.U32(headerAt + 16) != BiRgb)
            return std::nullopt;
        uint32_t full = 1u << bitCount;
        if (used == 0 || used >= full || !in.Has(headerAt, headerSize + size_t{used} * EntrySize))
            return std::nullopt;
        TInsertion insertion{headerAt + headerSize + size_t{used} * EntrySize, size_t{full - used} * EntrySize};
        dib.insert(insertion.At, insertion.Bytes, '\0');
        for (size_t i = 0; i < 4; ++i)
            dib[headerAt + 32 + i] = static_cast<char>(full >> (8 * i));
        return insertion;
    } catch (const EShort&) {
        return std::nullopt;
    }
}

}  // namespace DibPalette
