// Picks the one image of an icon file that the picture control shows.
#pragma once

#include <optional>
#include <string>

namespace IconDirectory {

// The largest bitmap image of the icon file (ties: the deepest colour), as a file of its own
// with that single image; nothing when the directory is damaged or holds no bitmap image.
// PNG-compressed images (the 256 x 256 ones of later systems) are passed over, since the decoder
// cannot read them and a file that also holds bitmap sizes should still show.
std::optional<std::string> LargestBitmapImage(const std::string& file);

}  // namespace IconDirectory
