// Enhanced metafiles, drawn at load: libemf2svg turns the records into SVG and librsvg draws
// that onto cairo, at the size the file's frame declares.
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"
#include "platform/PictureArea.h"

#include <memory>
#include <optional>
#include <string>

// The most records, and bytes of records, an enhanced metafile may hold. The converter holds the
// whole drawing as SVG text and the SVG library a tree of it, both growing with every record and
// every point: some 3 KB and 10 microseconds a record between them (100,000 records took 1.1 s
// and 380 MB), and some 30 bytes and half a microsecond a byte of points (14 MB of polygons took
// 7 s and 460 MB). These bounds keep the largest picture's conversion near two seconds and under
// 140 MB; a picture the panel's 156 x 96 pixels show needs far less.
constexpr size_t MaxEmfRecords = 10000;
constexpr size_t MaxEmfBytes = size_t{4} << 20;

// True when `file` starts with an enhanced-metafile header.
bool IsEnhancedMetafile(const std::string& file);

// The picture is the frame's size at 96 pixels per inch; what the records leave undrawn shows
// `backdrop`, as a metafile is drawn over its parent's background. Raises "メタファイルが無効です"
// for a file that does not decode, and for one past MaxEmfRecords or MaxEmfBytes. Given the
// `area` the picture is centred in, only what it shows is drawn.
std::shared_ptr<TGraphic> LoadEnhancedMetafile(const std::string& file, TColor backdrop,
                                               const std::optional<PictureArea::TSize>& area);
