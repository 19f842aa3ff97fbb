// Windows bitmaps and icons, decoded at load through SDL2_image (opened when first needed).
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"

#include <memory>
#include <string>

// A bitmap is opaque: an alpha channel in a 32-bit file is ignored, as a plain blit ignores it.
// Bit-field masks SDL has no format for and palette indices past the palette (drawn black) show
// as the old platform showed them. Raises "ビットマップが無効です" for a file that does not decode.
std::shared_ptr<TGraphic> LoadBitmapPicture(const std::string& file);

// An icon shows the image the picture control picks (see IconDirectory), bitmap or PNG, drawn
// over `backdrop` (the colour of what the picture lies on), as an icon is drawn over its parent's
// background: a PNG image and a 32-bit image with an alpha channel blend over it by their alpha,
// other images go by their AND mask, which lets the backdrop through a black colour and inverts
// it under a white one (XOR). Raises "アイコンが無効です" for a file that does not decode.
std::shared_ptr<TGraphic> LoadIconPicture(const std::string& file, TColor backdrop);
