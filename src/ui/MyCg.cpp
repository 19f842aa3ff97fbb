#include "ui/MyCg.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/PictureArea.h"
#include "platform/ShiftJis.h"
#include "platform/StoryBounds.h"
#include "platform/graphics/GraphicFormats.h"

namespace MyCg {

std::string FileExtension(const std::string& windowsPath)
{
    size_t dot = std::string::npos;
    // Walk by characters: the second byte of a double-byte character may look like "\" or ".".
    for (size_t i = 0; i < windowsPath.size(); i = Sjis::NextChar(windowsPath, i)) {
        char c = windowsPath[i];
        if (c == '\\' || c == '/' || c == ':')
            dot = std::string::npos;
        else if (c == '.')
            dot = i;
    }
    return dot == std::string::npos ? std::string() : windowsPath.substr(dot + 1);
}

void LoadPictureFile(TImage& image, const std::string& windowsPath)
{
    if (!FileExists(windowsPath))
        return;
    std::string extension = FileExtension(windowsPath);
    if (!IsPictureExtension(extension))
        throw UnknownExtensionError(extension);
    // Transparent parts of icons and metafiles show what the picture control lies on, and that
    // control cuts off what lies beyond its edges.
    TColor backdrop = image.Parent() ? image.Parent()->Color : image.Color;
    std::optional<PictureArea::TSize> area;
    if (image.Parent())
        area = PictureArea::TSize{image.Parent()->Width, image.Parent()->Height};
    std::optional<std::string> file = ReadWholeFile(windowsPath, StoryBounds::PictureBytes);
    if (!file)
        throw TooLargeGraphicError(extension);
    image.SetPicture(LoadGraphic(extension, std::move(*file), backdrop, area));
}

}  // namespace MyCg
