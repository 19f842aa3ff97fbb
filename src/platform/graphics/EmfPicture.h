// Enhanced metafiles, drawn at load by our own record player on cairo, at the size the file's
// frame declares.
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"
#include "platform/PictureArea.h"

#include <memory>
#include <optional>
#include <string>

// True when `file` starts with an enhanced-metafile header.
bool IsEnhancedMetafile(const std::string& file);

// The picture is the frame's size at 96 pixels per inch; what the records leave undrawn shows
// `backdrop`, as a metafile is drawn over its parent's background. Raises "メタファイルが無効です"
// for a file that does not decode, or one past the drawing model's bounds. Given the `area` the
// picture is centred in, only what it shows is drawn; a picture too large to keep whole is drawn
// as far as the panel shows it even without one.
std::shared_ptr<TGraphic> LoadEnhancedMetafile(const std::string& file, TColor backdrop,
                                               const std::optional<PictureArea::TSize>& area);
