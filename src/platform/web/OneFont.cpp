// fontconfig for the web page: the page carries one face (RK_WEB_FONT_FILE, family
// RK_WEB_FONT_FAMILY), and every question is answered with it, as fontconfig answers with its
// best substitute. Which characters it has comes from the face itself through FreeType.
#include <fontconfig/fontconfig.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

struct _FcPattern {
    std::string Family;
};

struct _FcCharSet {
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
};

namespace {

const FcChar8* Text(const char* s) { return reinterpret_cast<const FcChar8*>(s); }

// The face's characters, opened on the first question and kept for the life of the page.
FcCharSet* FaceCharacters()
{
    static FcCharSet characters = [] {
        FcCharSet opened;
        if (FT_Init_FreeType(&opened.Library) == 0 &&
            FT_New_Face(opened.Library, RK_WEB_FONT_FILE, 0, &opened.Face) != 0)
            opened.Face = nullptr;
        return opened;
    }();
    return &characters;
}

}  // namespace

extern "C" {

FcPattern* FcPatternCreate(void) { return new FcPattern; }

FcPattern* FcNameParse(const FcChar8* name)
{
    auto* p = new FcPattern;
    p->Family = reinterpret_cast<const char*>(name);
    return p;
}

void FcPatternDestroy(FcPattern* p) { delete p; }

FcBool FcPatternAddString(FcPattern* p, const char* object, const FcChar8* s)
{
    if (std::string(object) == FC_FAMILY)
        p->Family = reinterpret_cast<const char*>(s);
    return 1;
}

FcBool FcPatternAddInteger(FcPattern*, const char*, int) { return 1; }

FcBool FcConfigSubstitute(FcConfig*, FcPattern*, FcMatchKind) { return 1; }

void FcDefaultSubstitute(FcPattern*) {}

FcPattern* FcFontMatch(FcConfig*, FcPattern*, FcResult* result)
{
    *result = FcResultMatch;
    auto* match = new FcPattern;
    match->Family = RK_WEB_FONT_FAMILY;
    return match;
}

FcResult FcPatternGetString(const FcPattern* p, const char* object, int n, FcChar8** s)
{
    const std::string asked = object;
    if (n != 0 || (asked != FC_FAMILY && asked != FC_FILE))
        return FcResultNoMatch;
    *s = const_cast<FcChar8*>(asked == FC_FILE ? Text(RK_WEB_FONT_FILE) : Text(p->Family.c_str()));
    return FcResultMatch;
}

FcResult FcPatternGetCharSet(const FcPattern*, const char* object, int n, FcCharSet** c)
{
    if (n != 0 || std::string(object) != FC_CHARSET)
        return FcResultNoMatch;
    *c = FaceCharacters();
    return FcResultMatch;
}

FcCharSet* FcCharSetCopy(FcCharSet* src) { return src; }

FcBool FcCharSetHasChar(const FcCharSet* fcs, FcChar32 ucs4)
{
    return fcs && fcs->Face && FT_Get_Char_Index(fcs->Face, ucs4) != 0;
}
}
