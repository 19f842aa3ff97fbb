// Windows metafiles with the placeable header, drawn at load by our record player.
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"
#include "platform/PictureArea.h"

#include <memory>
#include <optional>
#include <string>

// The picture is the placeable header's bounding box at 96 pixels per inch; what the records
// leave undrawn shows `backdrop`. A metafile without the placeable header, with a wrong header
// checksum, or with records that leave the file raises "メタファイルが無効です". Given the `area`
// the picture is centred in, only what it shows is drawn.
std::shared_ptr<TGraphic> LoadWindowsMetafile(const std::string& file, TColor backdrop,
                                              const std::optional<PictureArea::TSize>& area);
