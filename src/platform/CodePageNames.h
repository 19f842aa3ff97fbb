// File names as an unpacker writes them when it takes the bytes of a Shift-JIS name for a Western
// code page. Most write each byte as the UTF-8 of the character it stands for there: unzip's own
// reading and Python's is code page 437 (駅前.bmp, 89 77 91 4F, comes out as ëwæO.bmp), others
// read 850 (DOS Latin-1) or 1252 (Windows Latin-1). Info-ZIP's unzip as Debian ships it reads 850
// and writes ISO-8859-1 bytes, with look-alikes for what Latin-1 lacks (EB 77 E6 4F.bmp).
#pragma once

#include <string>

namespace CodePageNames {

// How a name was mangled, in the order a mangled name is looked for.
enum class TMangling {
    None,
    Cp437,        // code page 437, in UTF-8
    Cp850,        // code page 850, in UTF-8
    Cp1252,       // code page 1252, in UTF-8
    Cp850Latin1,  // code page 850, in ISO-8859-1 bytes
};
inline constexpr TMangling Manglings[] = {TMangling::Cp437, TMangling::Cp850, TMangling::Cp1252,
                                          TMangling::Cp850Latin1};

// What such an unpacker writes for one byte of a name; bytes below 0x80 stay as they are. The
// five bytes code page 1252 leaves undefined (81, 8D, 8F, 90 and 9D, and 81 leads most Shift-JIS
// punctuation) come out as the C1 controls of the same number, as Windows converts them; Debian's
// unzip drops 98.
std::string MangledByte(TMangling mangling, unsigned char byte);

// How a name is a mangled form of a Shift-JIS name.
struct TMangledMatch {
    TMangling Mangling = TMangling::None;  // the first of Manglings that gives the name
    bool OtherCase = false;                // some single-byte letter differs in case
};

// Whether `entry` is the Shift-JIS name `sjis` mangled in one of the ways of Manglings, but for
// the case of its single-byte letters (the second byte of a double-byte character is never
// folded: it is no letter). A name of ASCII alone has no mangled form, and "." and ".." are no
// name's mangled form.
TMangledMatch MatchMangled(const std::string& sjis, const std::string& entry);

}  // namespace CodePageNames
