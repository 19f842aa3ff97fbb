// Bounds every decoder applies before it allocates pixels, so that a damaged or hostile header
// cannot make the player reserve gigabytes for a picture the 154 x 142 window would never show.
#pragma once

#include "platform/StoryBounds.h"

#include <cstdint>

namespace PictureLimits {

inline bool SizeAllowed(int64_t width, int64_t height)
{
    constexpr int64_t most = StoryBounds::PicturePixels;
    return width > 0 && height > 0 && width <= most && height <= most && width * height <= most;
}

}  // namespace PictureLimits
