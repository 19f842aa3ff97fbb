// A JPEG picture: the header is read when the file loads, the pixels on first use.
#pragma once

#include "platform/Errors.h"
#include "platform/Graphic.h"

#include <string>

class TJpegGraphic : public TGraphic {
public:
    // Keeps a copy of the file and reads its header. Raises "JPEG エラー #n" when the header is
    // damaged or the picture is too large to hold.
    explicit TJpegGraphic(std::string file);

    int Width() const override { return Image.Width; }
    int Height() const override { return Image.Height; }

    // Decodes on the first call. An error in the body is raised from that call only; later calls
    // give the rows decoded before it, the rest black.
    const TRgbImage& Render() override;

private:
    std::string File;
    TRgbImage Image;
    bool Decoded = false;
};
