// Picks the one image of an icon file that the picture control shows.
#pragma once

#include <optional>
#include <string>

namespace IconDirectory {

// The image of the icon file the picture control shows: the 32 x 32 image of the deepest colour,
// or with none of that size the nearest size. A bitmap image comes as an icon file of its own
// with that single image (its palette completed with black when its pixels index past it), a PNG
// image (as later systems store their large sizes) as the PNG file it is. Nothing when the
// directory is damaged or holds no image that could be read. Without `withPng`, the bitmap image
// the control would show were there no PNG images.
std::optional<std::string> ShownImage(const std::string& file, bool withPng);

// True when `image` (from ShownImage) is a PNG file.
bool IsPng(const std::string& image);

}  // namespace IconDirectory
