// The part of fontconfig's interface the player uses, for the web page, which carries one face
// and no fontconfig (OneFont.cpp answers every question with that face).
#pragma once

typedef unsigned char FcChar8;
typedef unsigned int FcChar32;
typedef int FcBool;
typedef struct _FcPattern FcPattern;
typedef struct _FcCharSet FcCharSet;
typedef struct _FcConfig FcConfig;

typedef enum { FcResultMatch, FcResultNoMatch, FcResultTypeMismatch, FcResultNoId, FcResultOutOfMemory } FcResult;
typedef enum { FcMatchPattern, FcMatchFont, FcMatchScan } FcMatchKind;

#define FC_FAMILY "family"
#define FC_FILE "file"
#define FC_WEIGHT "weight"
#define FC_SLANT "slant"
#define FC_CHARSET "charset"
#define FC_WEIGHT_REGULAR 80
#define FC_WEIGHT_BOLD 200
#define FC_SLANT_ROMAN 0
#define FC_SLANT_ITALIC 100

extern "C" {
FcPattern* FcPatternCreate(void);
FcPattern* FcNameParse(const FcChar8* name);
void FcPatternDestroy(FcPattern* p);
FcBool FcPatternAddString(FcPattern* p, const char* object, const FcChar8* s);
FcBool FcPatternAddInteger(FcPattern* p, const char* object, int i);
FcBool FcConfigSubstitute(FcConfig* config, FcPattern* p, FcMatchKind kind);
void FcDefaultSubstitute(FcPattern* pattern);
FcPattern* FcFontMatch(FcConfig* config, FcPattern* p, FcResult* result);
FcResult FcPatternGetString(const FcPattern* p, const char* object, int n, FcChar8** s);
FcResult FcPatternGetCharSet(const FcPattern* p, const char* object, int n, FcCharSet** c);
FcCharSet* FcCharSetCopy(FcCharSet* src);
FcBool FcCharSetHasChar(const FcCharSet* fcs, FcChar32 ucs4);
}
