#include "MetafileFonts.h"

#include "platform/ShiftJis.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>

namespace MetafileFonts {

namespace {

// Fonts named in a story's metafiles that we do not know (MS Gothic and the like) are drawn with
// the IPA Gothic faces, fixed or proportional as the font asks. They also draw what a Latin face
// lacks, as Windows links a Japanese face to its Latin ones.
constexpr const char* FixedFace = "IPAGothic";
constexpr const char* ProportionalFace = "IPAPGothic";

struct TKnownFace {
    const char* Windows;
    const char* Family;  // metric-compatible (Debian: fonts-liberation2)
};
constexpr TKnownFace LatinFaces[] = {
    {"Times New Roman", "Liberation Serif"},
    {"Arial", "Liberation Sans"},
    {"Courier New", "Liberation Mono"},
};

// The faces that draw the Symbol font's characters, the first one closest to its look.
constexpr const char* SymbolFaces[] = {"Liberation Serif", "DejaVu Serif", "DejaVu Sans"};

// The Adobe Symbol encoding from 0x20: the Greek letters, mathematical signs and the pieces of
// tall brackets. Where the encoding has only a private-use code (the serif and sans-serif marks,
// the rule and arrow extenders) the nearest standard character stands in; 0 draws nothing.
constexpr char32_t SymbolTable[0xFF - 0x20] = {
    // 0x20
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212,
    0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D,
    0x003E, 0x003F,
    // 0x40
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C,
    0x039D, 0x039F,
    // 0x50
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D,
    0x22A5, 0x005F,
    // 0x60
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC,
    0x03BD, 0x03BF,
    // 0x70
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D,
    0x223C, 0,
    // 0x80, 0x90: nothing
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191,
    0x2192, 0x2193,
    // 0xB0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0,
    0x23AF, 0x21B5,
    // 0xC0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286,
    0x2208, 0x2209,
    // 0xD0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1,
    0x21D2, 0x21D3,
    // 0xE0
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8,
    0x23A9, 0x23AA,
    // 0xF0
    0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD};

bool SameName(const std::string& a, const char* b) { return Sjis::SameTextAscii(a, b); }

// What fontconfig holds for one face: the file it chose and the characters that file has.
struct TInstalled {
    std::string File;  // "" when fontconfig has no face of that family
    FcCharSet* Characters = nullptr;
};

// fontconfig always answers with some font; only one of the family asked for counts.
TInstalled Lookup(const TFace& face)
{
    TInstalled found;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.Family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, face.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, face.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8 *family = nullptr, *file = nullptr;
    FcCharSet* characters = nullptr;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
        SameName(face.Family, reinterpret_cast<const char*>(family)) &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetCharSet(match, FC_CHARSET, 0, &characters) == FcResultMatch) {
        found.File = reinterpret_cast<const char*>(file);
        found.Characters = FcCharSetCopy(characters);
    }
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return found;
}

// Asked once a face for the life of the program.
const TInstalled& Installed(const TFace& face)
{
    static std::mutex guard;
    static std::map<std::tuple<std::string, bool, bool>, TInstalled> known;
    std::lock_guard<std::mutex> lock(guard);
    auto key = std::make_tuple(face.Family, face.Bold, face.Italic);
    auto found = known.find(key);
    if (found == known.end())
        found = known.emplace(key, Lookup(face)).first;
    return found->second;
}

bool Has(const TFace& face, char32_t c)
{
    const TInstalled& installed = Installed(face);
    return installed.Characters && FcCharSetHasChar(installed.Characters, c);
}

// The first character of UTF-8 text.
char32_t FirstCharacter(const std::string& utf8)
{
    auto byte = [&](size_t i) { return i < utf8.size() ? static_cast<unsigned char>(utf8[i]) : 0u; };
    unsigned lead = byte(0);
    if (lead < 0x80)
        return lead;
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t c = lead & (0x3Fu >> more);
    for (int i = 1; i <= more; ++i)
        c = (c << 6) | (byte(size_t(i)) & 0x3F);
    return c;
}

// A character cairo would refuse as text (a surrogate, a noncharacter) becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t c)
{
    if ((c >= 0xD800 && c < 0xE000) || (c & 0xFFFE) == 0xFFFE || (c >= 0xFDD0 && c <= 0xFDEF) || c > 0x10FFFF)
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AddCharacter(std::vector<TCharacter>& characters, char32_t c, size_t first, size_t end)
{
    TCharacter character{"", first, end};
    AppendUtf8(character.Utf8, c);
    characters.push_back(std::move(character));
}

void AddSymbol(std::vector<TCharacter>& characters, uint8_t byte, size_t at)
{
    if (char32_t c = SymbolCharacter(byte))
        AddCharacter(characters, c, at, at + 1);
}

std::vector<TCharacter> ShiftJisCharacters(const std::string& bytes, bool symbol)
{
    std::vector<TCharacter> characters;
    for (size_t i = 0; i < bytes.size();) {
        if (symbol) {
            AddSymbol(characters, static_cast<uint8_t>(bytes[i]), i);
            ++i;
            continue;
        }
        size_t next = std::min(Sjis::NextChar(bytes, i), bytes.size());
        characters.push_back(TCharacter{Sjis::ToUtf8(bytes.substr(i, next - i)), i, next});
        i = next;
    }
    return characters;
}

bool IsSymbolUnit(char16_t unit) { return unit < 0x100 || (unit >= 0xF000 && unit < 0xF100); }

std::vector<TCharacter> Utf16Characters(const std::u16string& units, bool symbol)
{
    std::vector<TCharacter> characters;
    for (size_t i = 0; i < units.size();) {
        if (symbol && IsSymbolUnit(units[i])) {
            AddSymbol(characters, static_cast<uint8_t>(units[i] & 0xFF), i);
            ++i;
            continue;
        }
        char32_t c = units[i];
        size_t next = i + 1;
        if (c >= 0xD800 && c < 0xDC00 && next < units.size() && units[next] >= 0xDC00 && units[next] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[next++] - 0xDC00);
        AddCharacter(characters, c, i, next);
        i = next;
    }
    return characters;
}

size_t FaceFor(const TChoice& choice, char32_t c)
{
    for (size_t i = 0; i + 1 < choice.Faces.size(); ++i)
        if (Has(choice.Faces[i], c))
            return i;
    return choice.Faces.size() - 1;
}

void AddToRuns(std::vector<TRun>& runs, size_t face, const TCharacter& character, bool perCharacter)
{
    if (!perCharacter && !runs.empty() && runs.back().Face == face) {
        runs.back().Utf8 += character.Utf8;
        runs.back().EndUnit = character.EndUnit;
    } else {
        runs.push_back(TRun{face, character.Utf8, character.FirstUnit, character.EndUnit});
    }
}

bool IsSymbolFont(const TRequest& font)
{
    if (SameName(font.Face, "Symbol"))
        return true;
    // Other symbol fonts have their own pictures at these codes; the Symbol font's would mislead.
    for (std::string other : {"Wingdings", "Webdings", "Marlett"})
        if (SameName(font.Face.substr(0, other.size()), other.c_str()))
            return false;
    return font.Charset == SymbolCharset;
}

}  // namespace

char32_t SymbolCharacter(uint8_t byte) { return byte < 0x20 || byte == 0xFF ? 0 : SymbolTable[byte - 0x20]; }

TChoice Choose(const TRequest& font)
{
    bool bold = font.Weight >= BoldWeight, italic = font.Italic;
    TChoice choice;
    auto offer = [&](const char* family) {
        TFace face{family, bold, italic};
        if (!Installed(face).File.empty())
            choice.Faces.push_back(face);
    };
    if (IsSymbolFont(font)) {
        choice.Symbol = true;
        for (const char* family : SymbolFaces)
            offer(family);
    }
    for (const TKnownFace& known : LatinFaces)
        if (SameName(font.Face, known.Windows))
            offer(known.Family);
    choice.Faces.push_back(TFace{font.FixedPitch ? FixedFace : ProportionalFace, bold, italic});
    return choice;
}

std::string InstalledFile(const TFace& face) { return Installed(face).File; }

std::vector<TCharacter> Characters(const TText& text, bool symbol)
{
    return text.Wide ? Utf16Characters(text.Utf16, symbol) : ShiftJisCharacters(text.ShiftJis, symbol);
}

std::string Utf8FromUtf16(const std::u16string& units)
{
    std::string utf8;
    for (const TCharacter& character : Utf16Characters(units, false))
        utf8 += character.Utf8;
    return utf8;
}

std::vector<TRun> SplitRuns(const std::vector<TCharacter>& characters, const TChoice& choice, bool perCharacter)
{
    std::vector<TRun> runs;
    for (const TCharacter& character : characters)
        AddToRuns(runs, FaceFor(choice, FirstCharacter(character.Utf8)), character, perCharacter);
    return runs;
}

}  // namespace MetafileFonts
