// File names as an unpacker writes them when it takes the bytes of a Shift-JIS name for a Western
// code page: each byte becomes the character it stands for there, written in UTF-8. unzip reads a
// name that carries no UTF-8 flag as code page 437 (駅前.bmp, 89 77 91 4F, comes out as ëwæO.bmp);
// other tools take it for 850 (DOS Latin-1) or 1252 (Windows Latin-1).
#pragma once

#include <string>

namespace CodePageNames {

// The code pages a mangled name is looked for in, in this order.
inline constexpr int CodePages[] = {437, 850, 1252};

// The character the byte stands for in the code page (one of CodePages; U+FFFD for another);
// bytes below 0x80 are ASCII in all three. The five bytes code page 1252 leaves undefined (81, 8D,
// 8F, 90 and 9D) stand for the C1 controls of the same number, as Windows converts them, and 81
// leads most Shift-JIS punctuation.
char32_t ToUnicode(int codePage, unsigned char byte);

// How a name is a mangled form of a Shift-JIS name.
struct TMangledMatch {
    int CodePage = 0;        // the first of CodePages that mangles the name so; 0 when none does
    bool OtherCase = false;  // some single-byte letter differs in case
};

// Whether `entry` is the Shift-JIS name `sjis` mangled through one of CodePages, but for the case
// of its single-byte letters (the second byte of a double-byte character is never folded: it is
// no letter). A name of ASCII alone has no mangled form.
TMangledMatch MatchMangled(const std::string& sjis, const std::string& entry);

}  // namespace CodePageNames
