// Windows metafiles with the placeable header, drawn at load by our record player.
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"

#include <memory>
#include <string>

// The picture is the placeable header's bounding box at 96 pixels per inch; what the records
// leave undrawn shows `backdrop`. A metafile without the placeable header, with a wrong header
// checksum, or with records that leave the file raises "メタファイルが無効です".
std::shared_ptr<TGraphic> LoadWindowsMetafile(const std::string& file, TColor backdrop);
