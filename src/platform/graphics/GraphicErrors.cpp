#include "GraphicErrors.h"

#include "platform/ShiftJis.h"

EInvalidGraphic InvalidBitmapError() { return EInvalidGraphic(Sjis::FromUtf8("ビットマップが無効です")); }
EInvalidGraphic InvalidIconError() { return EInvalidGraphic(Sjis::FromUtf8("アイコンが無効です")); }
EInvalidGraphic InvalidMetafileError() { return EInvalidGraphic(Sjis::FromUtf8("メタファイルが無効です")); }
