#include "JpegGraphic.h"

#include "JpegDecoder.h"
#include "PictureLimits.h"

#include "platform/Errors.h"

#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

TJpegGraphic::TJpegGraphic(std::string file) : File(std::move(file))
{
    int width = 0, height = 0;
    if (JpegDecoder::TResult code = JpegDecoder::ReadSize(File, width, height))
        throw JpegError(code);
    // The library refuses larger headers itself with the same message; we hold pixels it does not.
    if (!PictureLimits::SizeAllowed(width, height))
        throw JpegError(JERR_IMAGE_TOO_BIG);
    Image.Width = width;
    Image.Height = height;
}

const TRgbImage& TJpegGraphic::Render()
{
    if (Decoded)
        return Image;
    Image.Pixels.assign(static_cast<size_t>(Image.Width) * static_cast<size_t>(Image.Height), 0);
    Decoded = true;  // from here on, whatever happens, a decoding error is reported once
    JpegDecoder::TResult code = JpegDecoder::Decode(File, Image);
    File = std::string();  // the decoded pixels are all that is needed from now on
    if (code != 0)
        throw JpegError(code);
    return Image;
}
