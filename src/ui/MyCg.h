// Picture file loading for the picture control.
#pragma once

#include "platform/Image.h"

#include <string>

namespace MyCg {

// The extension of a Windows-style path: the text after the last "." of the file name (the part
// after the last folder separator), without the dot; "" when the name has no dot.
std::string FileExtension(const std::string& windowsPath);

// Loads the picture file at `windowsPath` into `image`. A missing file leaves `image` as it was.
// Raises UnknownExtensionError for an unregistered extension, EInOutError when the file cannot
// be read and EInvalidGraphic when it does not decode; `image` then keeps its picture as well.
void LoadPictureFile(TImage& image, const std::string& windowsPath);

}  // namespace MyCg
