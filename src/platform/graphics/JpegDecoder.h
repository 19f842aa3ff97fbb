// libjpeg driven from an in-memory copy of a file. The library reports fatal errors through a
// longjmp out of its own C frames; these functions keep that jump inside themselves and hand back
// the library's message code instead, so no C++ exception ever crosses libjpeg.
#pragma once

#include "platform/Graphic.h"

#include <string>

namespace JpegDecoder {

// 0 when the call succeeded, else the library's message code (J_MESSAGE_CODE).
using TResult = int;

// Reads only the header: the picture's pixel size.
TResult ReadSize(const std::string& file, int& width, int& height);

// Decodes at full size with the floating-point IDCT, fancy upsampling and block smoothing into
// `image`, which the caller has sized to the header's width and height. Grayscale pictures are
// quantised to 236 grey levels with the library's default dithering. Rows decoded before an error
// stay written; rows after it keep what `image` held.
TResult Decode(const std::string& file, TRgbImage& image);

}  // namespace JpegDecoder
