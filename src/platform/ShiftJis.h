// Shift-JIS (code page 932) byte-string helpers. Text stays Shift-JIS everywhere inside the
// program; it becomes UTF-8 only where it is drawn or shown.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Sjis {

// Lead bytes of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
bool IsLeadByte(unsigned char b);

// Byte offset just past the character that starts at `pos` (one or two bytes).
size_t NextChar(const std::string& s, size_t pos);

// Leftmost occurrence of `pattern` in `s` at or after `from` that starts on a character
// boundary (boundaries counted from `from`, which must itself be one). A 0x00 byte ends the
// text: nothing at or after it is found. Returns std::string::npos when there is none.
size_t Find(const std::string& s, const std::string& pattern, size_t from = 0);

// Replaces every occurrence found by Find, scanning left to right and resuming after each
// replacement (inserted text is not scanned again).
std::string ReplaceAll(const std::string& s, const std::string& pattern, const std::string& with);

// The lower-case form of an ASCII letter; any other byte unchanged.
char FoldAscii(char c);

// ASCII-only case folding: A-Z compare equal to a-z in single-byte characters only; the second
// byte of a double-byte character (ア is 83 41, ャ is 83 61) and full-width forms stay different.
bool SameTextAscii(const std::string& a, const std::string& b);

// Converts to UTF-8 for display; every byte that does not convert becomes U+FFFD.
std::string ToUtf8(const std::string& sjis);

// Converts to UTF-8 only when every byte belongs to a code page 932 character; false (and
// `utf8` unspecified) otherwise.
bool ToUtf8Exact(const std::string& sjis, std::string& utf8);

// Converts UTF-8 text (our own literals) to Shift-JIS. Characters that have no Shift-JIS
// form become "?".
std::string FromUtf8(const std::string& utf8);

// Converts UTF-8 text that comes from outside: a character with no Shift-JIS form, or a byte
// that is no UTF-8, becomes `mark`, and what it replaced is appended to `refused` (one entry a
// mark).
std::string FromUtf8(const std::string& utf8, const std::string& mark, std::vector<std::string>& refused);

// Cuts `s` to at most `maxBytes` bytes without leaving half a double-byte character at the end.
std::string CutAtChar(const std::string& s, size_t maxBytes);

}  // namespace Sjis
