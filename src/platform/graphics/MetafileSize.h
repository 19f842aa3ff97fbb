// How a metafile's declared size becomes pixels: through hundredths of a millimetre at the
// screen's 96 pixels per inch, rounding at each step as the system's MulDiv does.
#pragma once

#include <cstdint>

namespace MetafileSize {

constexpr int64_t ScreenPixelsPerInch = 96;
constexpr int64_t HundredthMmPerInch = 2540;

// a * b / c rounded half away from zero; c must not be 0.
inline int64_t MulDiv(int64_t a, int64_t b, int64_t c)
{
    int64_t product = a * b;
    bool negative = (product < 0) != (c < 0);
    int64_t magnitude = (product < 0 ? -product : product);
    int64_t divisor = c < 0 ? -c : c;
    int64_t q = (magnitude + divisor / 2) / divisor;
    return negative ? -q : q;
}

// Pixels for a length in hundredths of a millimetre.
inline int64_t PixelsFromHundredthMm(int64_t length) { return MulDiv(length, ScreenPixelsPerInch, HundredthMmPerInch); }

}  // namespace MetafileSize
