// Palettes of device-independent bitmaps (bitmap files and the images of icons) that list fewer
// colours than their pixels index.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace DibPalette {

struct TInsertion {
    size_t At = 0, Bytes = 0;
};

// When the uncompressed image of 1 to 8 bits a pixel whose info header (40 bytes or more) starts
// at `headerAt` of `dib` lists fewer colours than its pixels can index, completes its palette
// with black entries inserted at its end, as the old platform drew indices past the palette
// black, and tells where and how many bytes went in. Nothing, and `dib` as it was, otherwise.
std::optional<TInsertion> Complete(std::string& dib, size_t headerAt);

}  // namespace DibPalette
