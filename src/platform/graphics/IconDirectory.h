// Picks the one image of an icon file that the picture control shows.
#pragma once

#include <optional>
#include <string>

namespace IconDirectory {

// The largest image of the icon file (ties: the deepest colour): a bitmap image as an icon file
// of its own with that single image, a PNG image (as later systems store their large sizes) as
// the PNG file it is. Nothing when the directory is damaged or holds no image that could be read.
// Without `withPng`, the largest bitmap image.
std::optional<std::string> LargestImage(const std::string& file, bool withPng);

// True when `image` (from LargestImage) is a PNG file.
bool IsPng(const std::string& image);

}  // namespace IconDirectory
