// 16- and 32-bit bitmaps whose colour masks SDL has no pixel format for, or does not read.
#pragma once

#include "platform/Graphic.h"

#include <optional>
#include <string>

namespace BitfieldBitmap {

// True for a BI_ALPHABITFIELDS bitmap, which SDL reads with its default masks whatever the
// file's masks say.
bool SdlIgnoresMasks(const std::string& file);

// The pixels of a BI_BITFIELDS or BI_ALPHABITFIELDS bitmap file of 16 or 32 bits a pixel with
// any contiguous, non-overlapping red, green and blue masks (a zero mask gives that channel 0;
// an alpha mask is ignored, as a plain blit ignores it). Each channel widens to 8 bits as SDL
// widens the masks it knows. Nothing when the file is not such a bitmap, its masks overlap or
// have gaps, its size passes the picture limits or its pixels are cut short.
std::optional<TRgbImage> Decode(const std::string& file);

}  // namespace BitfieldBitmap
