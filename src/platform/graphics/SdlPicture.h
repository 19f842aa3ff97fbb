// Windows bitmaps and icons, decoded at load through SDL2_image.
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"

#include <memory>
#include <string>

// A bitmap is opaque: an alpha channel in a 32-bit file is ignored, as a plain blit ignores it.
// Raises "ビットマップが無効です" for a file that does not decode.
std::shared_ptr<TGraphic> LoadBitmapPicture(const std::string& file);

// An icon shows its largest bitmap image (see IconDirectory). The pixels its mask leaves out show
// `backdrop` (the colour of what the picture lies on), as an icon is drawn over its parent's
// background; SDL_image takes transparency from the mask alone, as the systems of this program's
// time did, so a 32-bit icon's alpha channel does not blend. Raises "アイコンが無効です" for a file that does not
// decode.
std::shared_ptr<TGraphic> LoadIconPicture(const std::string& file, TColor backdrop);
