// Picture files made byte by byte for the tests, and the reference JPEG decoder's output.
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace PictureFiles {

std::string ReadFile(const std::string& path);
std::string TestImage(const std::string& name);  // a file of the JPEG library's test pictures

// A 24-bit bottom-up Windows bitmap.
std::string Bitmap(const TRgbImage& image);
// A bitmap of 16 or 32 bits a pixel with BI_BITFIELDS masks (red, green, blue, then alpha,
// which only a header of 56 bytes or more holds); `pixels` are the raw values row by row from the
// top, stored bottom-up, or top-down when `topDown`.
struct TMasks {
    uint32_t Red, Green, Blue, Alpha = 0;
};
std::string BitfieldBitmap(int width, int height, int bitCount, const TMasks& masks,
                           const std::vector<uint32_t>& pixels, uint32_t headerSize = 40, bool topDown = false);
// An uncompressed bitmap of 1 to 8 bits a pixel with this palette (0x00RRGGBB, as many colours as
// given) and these indices row by row from the top; `gap` bytes lie between palette and pixels.
std::string PaletteBitmap(int width, int height, int bitCount, const std::vector<uint32_t>& palette,
                          const std::vector<uint8_t>& indices, size_t gap = 0);
// An icon image of 1 to 8 bits a pixel: palette entries as stored (0xXXRRGGBB, XX the reserved
// byte), indices row by row from the top, and the AND mask's set pixels.
std::string PaletteIconImage(int width, int height, int bitCount, const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& indices, const std::vector<bool>& masked);
// A 32-bit icon image (header, colours, mask); `argb` is 0xAARRGGBB row by row from the top.
// The AND mask marks the fully transparent pixels, as icon editors write it, or those `masked`
// names when given.
std::string IconImage(int width, int height, const std::vector<uint32_t>& argb,
                      const std::vector<bool>* masked = nullptr);
// A PNG file of 0xAARRGGBB pixels, as later systems store the images of an icon.
std::string Png(int width, int height, const std::vector<uint32_t>& argb);
// An icon file of these images (a PNG image's entry says 256 x 256).
std::string IconFile(const std::vector<std::string>& images);
inline std::string Icon(int width, int height, const std::vector<uint32_t>& argb)
{
    return IconFile({IconImage(width, height, argb)});
}
// A JPEG made with the library's compressor.
std::string Jpeg(const TRgbImage& image, bool grayscale, bool progressive, int quality = 90);
// A smooth colourful test picture.
TRgbImage Gradient(int width, int height);

// `djpeg -dct float <options>` of `jpeg` (run in a temporary file), as 0x00RRGGBB.
TRgbImage Djpeg(const std::string& jpeg, const std::string& options = "");

// Little-endian record writing.
struct TBytes {
    std::string Data;
    TBytes& U16(int v);
    TBytes& U32(uint32_t v);
    TBytes& Raw(const std::string& s);
};

// A placeable Windows metafile with bounding box (0, 0, right, bottom) in units of 1/inch inch.
// Each record is its function and 16-bit parameters.
struct TWmfRecord {
    uint16_t Function;
    std::vector<int> Params;
};
std::string Wmf(int right, int bottom, int inch, int objects, const std::vector<TWmfRecord>& records);
// A text record parameter list: the Shift-JIS bytes padded to whole words.
std::vector<int> WmfTextOut(int x, int y, const std::string& sjis);

// An enhanced metafile at 96 pixels per inch whose frame is width x height pixels; each record
// is its type and 32-bit parameters. The bounds (the drawn pixels' box, inclusive) default to
// the whole frame.
struct TEmfRecord {
    uint32_t Type;
    std::vector<uint32_t> Params;
};
struct TEmfBounds {
    int Left, Top, Right, Bottom;
};
std::string Emf(int width, int height, const std::vector<TEmfRecord>& records, const TEmfBounds* bounds = nullptr);

// A loaded picture, asked for its pixels.
struct TPicture {
    std::shared_ptr<TGraphic> Graphic;
    uint32_t At(int x, int y) const { return Graphic->Render().Pixels[size_t(y * Graphic->Width() + x)]; }
    int Count(TColor colour, int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += At(x, y) == colour;
        return n;
    }
};

}  // namespace PictureFiles
