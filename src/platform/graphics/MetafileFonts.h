// The faces a metafile's logical font is drawn with, and how its bytes become characters. Both
// Windows and enhanced metafiles name their fonts the same way: a face name, a character set, a
// weight and a slant.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace MetafileFonts {

constexpr int SymbolCharset = 2;   // SYMBOL_CHARSET
constexpr int DefaultCharset = 1;  // DEFAULT_CHARSET
constexpr int BoldWeight = 600;    // FW_SEMIBOLD and above draw bold

// What the logical font asks for.
struct TRequest {
    std::string Face;  // UTF-8 (a Windows metafile's Shift-JIS or ANSI bytes converted)
    int Charset = DefaultCharset;
    int Weight = 400;
    bool Italic = false;
    bool FixedPitch = false;
};

// A face as cairo's font selection and fontconfig name it.
struct TFace {
    std::string Family;
    bool Bold = false;
    bool Italic = false;
};

// The faces to draw with, best first: each character is drawn with the first face that has it,
// the last face draws whatever is left. A symbol font's single bytes are read through the Adobe
// Symbol encoding instead of as Shift-JIS.
struct TChoice {
    std::vector<TFace> Faces;
    bool Symbol = false;
};

TChoice Choose(const TRequest& font);

// The font file fontconfig draws `face` with, or "" when it has no face of that family.
std::string InstalledFile(const TFace& face);

// The character the Symbol font draws for `byte`, or 0 where it draws nothing.
char32_t SymbolCharacter(uint8_t byte);

// A piece of text one face draws: its characters in UTF-8 and the bytes of the metafile's text
// they came from.
struct TRun {
    size_t Face;  // index into TChoice::Faces
    std::string Utf8;
    size_t FirstByte, EndByte;
};

// Splits the metafile's text bytes into characters, each with the face that draws it, merging
// neighbours of the same face into one run. With `perCharacter`, every character is its own run.
std::vector<TRun> SplitRuns(const std::string& bytes, const TChoice& choice, bool perCharacter);

}  // namespace MetafileFonts
