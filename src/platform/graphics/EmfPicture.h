// Enhanced metafiles, drawn at load: libemf2svg turns the records into SVG and librsvg draws
// that onto cairo, at the size the file's frame declares.
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"

#include <memory>
#include <string>

// True when `file` starts with an enhanced-metafile header.
bool IsEnhancedMetafile(const std::string& file);

// The picture is the frame's size at 96 pixels per inch; what the records leave undrawn shows
// `backdrop`, as a metafile is drawn over its parent's background. Raises "メタファイルが無効です"
// for a file that does not decode.
std::shared_ptr<TGraphic> LoadEnhancedMetafile(const std::string& file, TColor backdrop);
