// The picture control's texts for files it cannot read, one per kind of picture.
#pragma once

#include "platform/Errors.h"

EInvalidGraphic InvalidBitmapError();    // "ビットマップが無効です"
EInvalidGraphic InvalidIconError();      // "アイコンが無効です"
EInvalidGraphic InvalidMetafileError();  // "メタファイルが無効です"
