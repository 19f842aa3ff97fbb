// A decoded or decodable picture, independent of any drawing library.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// 32-bit pixels, 0x00RRGGBB, row by row. A picture too large to keep whole keeps only the part
// its panel shows: its pixels then start at Left, Top of the picture.
struct TRgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    int Left = 0, Top = 0;
};

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // The pixels to draw. A format that decodes on first use does so here; an error in that
    // decoding is raised from the first call only, later calls give what was decoded.
    virtual const TRgbImage& Render() = 0;
};

// A graphic that is already decoded, whole or (given the picture's size) in part.
class TBitmapGraphic : public TGraphic {
public:
    explicit TBitmapGraphic(TRgbImage image) : Image(std::move(image)), W(Image.Width), H(Image.Height) {}
    TBitmapGraphic(TRgbImage image, int width, int height) : Image(std::move(image)), W(width), H(height) {}
    int Width() const override { return W; }
    int Height() const override { return H; }
    const TRgbImage& Render() override { return Image; }

private:
    TRgbImage Image;
    int W, H;
};
