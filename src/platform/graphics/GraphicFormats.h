// The picture formats the player reads, chosen by file-name extension.
#pragma once

#include "platform/Control.h"
#include "platform/Errors.h"
#include "platform/Graphic.h"
#include "platform/PictureArea.h"

#include <memory>
#include <optional>
#include <string>

// True for the registered extensions (without the dot, ASCII letter case ignored):
// bmp, ico, wmf, emf, jpg, jpeg.
bool IsPictureExtension(const std::string& extension);

// Decodes `file` in the format its extension names. `backdrop` is the colour shown through the
// transparent parts of icons and metafiles. Raises UnknownExtensionError for an unregistered
// extension, and EInvalidGraphic (the format's own text) for a file that does not decode.
// Formats drawn at load (metafiles) draw only what `area` shows when the picture is centred in it;
// without an area, the whole picture.
std::shared_ptr<TGraphic> LoadGraphic(const std::string& extension, std::string file, TColor backdrop,
                                      const std::optional<PictureArea::TSize>& area = std::nullopt);

// What a picture file larger than the player reads raises: the error its format gives for a
// picture too large to hold in pixels, so that both bounds read alike.
EInvalidGraphic TooLargeGraphicError(const std::string& extension);
