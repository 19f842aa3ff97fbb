#include "platform/sdl/SdlFonts.h"

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

#include <fontconfig/fontconfig.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace {

struct TKnownFont {
    const char* Family;
    const char* File;
};

// The files fontconfig gives for these names on Debian (fonts-ipafont-gothic). Opened directly, the
// face costs the start no fontconfig (its configuration and cache, several milliseconds); a name
// not listed here, a file that is missing or holds another face, goes through fontconfig.
constexpr TKnownFont KnownFonts[] = {
    {"IPAPGothic", "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"},
};

std::string KnownFontFile(const std::string& family)
{
    for (const TKnownFont& known : KnownFonts) {
        struct stat st {};
        if (family == known.Family && stat(known.File, &st) == 0 && S_ISREG(st.st_mode))
            return known.File;
    }
    return "";
}

// A 12-pixel face of `path`, when that file holds the face `family`; nullptr otherwise.
TTF_Font* OpenKnownFace(const std::string& path, const std::string& family)
{
    TTF_Font* font = path.empty() ? nullptr : TTF_OpenFont(path.c_str(), 12);
    const char* name = font ? TTF_FontFaceFamilyName(font) : nullptr;
    if (font && (!name || family != name)) {
        TTF_CloseFont(font);
        return nullptr;
    }
    return font;
}

}  // namespace

std::string MatchFontFile(const std::string& family)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
    if (!pattern)
        return "";
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string path;
    FcChar8* file = nullptr;
    FcChar8* matchedFamily = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<const char*>(file);
    // fontconfig always answers with something; Japanese text in a Latin face is unreadable.
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
        family != reinterpret_cast<const char*>(matchedFamily))
        std::fprintf(stderr, "zv_rk: font %s not found, drawing with %s (Debian: fonts-ipafont-gothic)\n",
                     family.c_str(), reinterpret_cast<const char*>(matchedFamily));
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return path;
}

TFontCache::TFontCache(const std::string& family)
{
    if (TTF_Init() != 0)
        throw Exception(Sjis::FromUtf8(std::string("TTF_Init: ") + TTF_GetError()));
    Path = KnownFontFile(family);
    TTF_Font* probe = OpenKnownFace(Path, family);
    if (!probe) {
        Path = MatchFontFile(family);
        probe = Path.empty() ? nullptr : TTF_OpenFont(Path.c_str(), 12);
    }
    if (!probe) {
        std::string why =
            Path.empty() ? "no font found for " + family : "cannot open font " + Path + ": " + TTF_GetError();
        TTF_Quit();
        throw Exception(Sjis::FromUtf8(why));
    }
    TTF_CloseFont(probe);
}

TFontCache::~TFontCache()
{
    for (auto& [key, font] : Fonts)
        TTF_CloseFont(font);
    TTF_Quit();
}

TTF_Font* TFontCache::Open(int pixelHeight, bool bold) const
{
    // SDL_ttf sizes are points at 72 dpi, which need not give the same character height:
    // take the size whose height matches, or the nearest below.
    TTF_Font* best = nullptr;
    int bestHeight = 0;
    for (int size = pixelHeight + 3; size >= std::max(1, pixelHeight - 3); --size) {
        TTF_Font* font = TTF_OpenFont(Path.c_str(), size);
        if (!font)
            continue;
        int height = TTF_FontHeight(font);
        bool better = !best || (height <= pixelHeight && (bestHeight > pixelHeight || height > bestHeight));
        if (better) {
            if (best)
                TTF_CloseFont(best);
            best = font;
            bestHeight = height;
        } else {
            TTF_CloseFont(font);
        }
        if (height == pixelHeight)
            break;
    }
    if (!best)
        throw Exception(Sjis::FromUtf8("cannot open font " + Path + ": " + TTF_GetError()));
    // One-bit drawing wants mono hinting for crisp one-pixel strokes, but at 13 pixels it breaks
    // strokes of a few kana (the left stroke of に, the bend of ち); unhinted outlines keep them.
    TTF_SetFontHinting(best, pixelHeight == 13 ? TTF_HINTING_NONE : TTF_HINTING_MONO);
    TTF_SetFontStyle(best, bold ? TTF_STYLE_BOLD : TTF_STYLE_NORMAL);
    TTF_SetFontKerning(best, 0);
    return best;
}

TTF_Font* TFontCache::Get(int pixelHeight, bool bold)
{
    auto key = std::make_pair(pixelHeight, bold);
    auto found = Fonts.find(key);
    if (found != Fonts.end())
        return found->second;
    TTF_Font* font = Open(pixelHeight, bold);
    Fonts.emplace(key, font);
    return font;
}

int TFontCache::AverageCharWidth(int pixelHeight, bool bold)
{
    static const char* letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    int width = 0, height = 0;
    if (TTF_SizeUTF8(Get(pixelHeight, bold), letters, &width, &height) != 0)
        return pixelHeight / 2;
    return (width / 26 + 1) / 2;
}
