#include "GraphicFormats.h"

#include "EmfPicture.h"
#include "JpegGraphic.h"
#include "SdlPicture.h"
#include "WmfPicture.h"

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

namespace {

enum class TFormat { None, Bitmap, Icon, Metafile, Jpeg };

struct TRegistered {
    const char* Extension;
    TFormat Format;
};

constexpr TRegistered Registered[] = {
    {"bmp", TFormat::Bitmap},   {"ico", TFormat::Icon}, {"wmf", TFormat::Metafile},
    {"emf", TFormat::Metafile}, {"jpg", TFormat::Jpeg}, {"jpeg", TFormat::Jpeg},
};

TFormat FormatOf(const std::string& extension)
{
    for (const TRegistered& r : Registered)
        if (Sjis::SameTextAscii(extension, r.Extension))
            return r.Format;
    return TFormat::None;
}

// Both metafile extensions share one reader that goes by the contents, so an enhanced metafile
// named .wmf (or the reverse) still shows.
std::shared_ptr<TGraphic> LoadMetafile(const std::string& file, TColor backdrop,
                                       const std::optional<PictureArea::TSize>& area)
{
    if (IsEnhancedMetafile(file))
        return LoadEnhancedMetafile(file, backdrop, area);
    return LoadWindowsMetafile(file, backdrop, area);
}

}  // namespace

bool IsPictureExtension(const std::string& extension) { return FormatOf(extension) != TFormat::None; }

std::shared_ptr<TGraphic> LoadGraphic(const std::string& extension, std::string file, TColor backdrop,
                                      const std::optional<PictureArea::TSize>& area)
{
    switch (FormatOf(extension)) {
    case TFormat::Bitmap:
        return LoadBitmapPicture(file);
    case TFormat::Icon:
        return LoadIconPicture(file, backdrop);
    case TFormat::Metafile:
        return LoadMetafile(file, backdrop, area);
    case TFormat::Jpeg:
        return std::make_shared<TJpegGraphic>(std::move(file));
    case TFormat::None:
        break;
    }
    throw UnknownExtensionError(extension);
}

EInvalidGraphic TooLargeGraphicError(const std::string& extension)
{
    switch (FormatOf(extension)) {
    case TFormat::Bitmap:
        return InvalidBitmapError();
    case TFormat::Icon:
        return InvalidIconError();
    case TFormat::Metafile:
        return InvalidMetafileError();
    case TFormat::Jpeg:
        return JpegError(JERR_IMAGE_TOO_BIG);
    case TFormat::None:
        break;
    }
    return UnknownExtensionError(extension);
}
