// Code page 932 (Shift-JIS as Windows has it) by the player's own table, for systems whose C
// library cannot convert it. The table is glibc's (tools/make-cp932-table.py).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Cp932 {

struct EncodeException {
    char16_t Unicode;
    int Code;  // one byte below 0x100, else lead and trail; -1: no code
};

extern const char16_t SingleBytes[];
extern const char16_t* const DoubleBytes[];
extern const EncodeException EncodeExceptions[];
extern const std::size_t EncodeExceptionCount;

// Bytes of the UTF-8 character at `p` that has no code: the whole character when it is well
// formed, else the one bad byte.
inline std::size_t Utf8Length(const char* p, std::size_t left)
{
    unsigned char b = static_cast<unsigned char>(p[0]);
    std::size_t n = (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 1;
    if (n > left)
        return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

// Converts `in` to UTF-8; a byte that does not begin a character of the page becomes `bad` and
// conversion goes on at the next byte. Returns whether every byte converted.
bool DecodeText(const std::string& in, std::string& out, const std::string& bad);

// Converts UTF-8 `in` to the page; a character with no code, or a byte that is no UTF-8, becomes
// `bad`, and what it replaced is appended to `refused` when there is one. Returns whether every
// character converted.
bool EncodeText(const std::string& in, std::string& out, const std::string& bad,
                std::vector<std::string>* refused = nullptr);

}  // namespace Cp932
