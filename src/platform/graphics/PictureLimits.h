// Bounds every decoder applies before it allocates pixels, so that a damaged or hostile header
// cannot make the player reserve gigabytes for a picture the 154 x 142 window would never show.
#pragma once

#include <cstdint>

namespace PictureLimits {

// 64 megapixels (256 MB of 0x00RRGGBB), room for 8192 x 8192.
constexpr int64_t MaxPixels = int64_t{64} * 1024 * 1024;

inline bool SizeAllowed(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= MaxPixels && height <= MaxPixels && width * height <= MaxPixels;
}

}  // namespace PictureLimits
