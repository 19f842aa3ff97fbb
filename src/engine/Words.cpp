#include "engine/UnitRK.h"
#include "platform/ShiftJis.h"

namespace UnitRK {

namespace {

// Removes the bytes of 0x20 and below from both ends.
std::string TrimBlanks(const std::string& s)
{
    size_t first = 0, last = s.size();
    while (first < last && static_cast<unsigned char>(s[first]) <= 0x20)
        ++first;
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= 0x20)
        --last;
    return s.substr(first, last - first);
}

}  // namespace

void SplitWords(const std::string& line, TFields& words, int high)
{
    std::string s = Sjis::ReplaceAll(line, "\x81\x40", " ");  // full-width space
    s = Sjis::ReplaceAll(s, "\t", " ");
    while (Sjis::Find(s, "  ") != std::string::npos)
        s = Sjis::ReplaceAll(s, "  ", " ");
    Split(TrimBlanks(s), " ", words, high);
}

bool WordIs(const std::string& line, const std::string& name, TFields& words, int high)
{
    SplitWords(line, words, high);
    return !words[0].empty() && Sjis::SameTextAscii(words[0], name);
}

bool IsLabelMark(const std::string& s, int64_t i)
{
    if (i < 1 || static_cast<uint64_t>(i) > s.size())
        return false;
    size_t pos = static_cast<size_t>(i - 1);
    if (s[pos] != '@')
        return false;
    // Single-byte only when it does not sit in the trail position of a double-byte character.
    size_t c = 0;
    while (c < pos)
        c = Sjis::NextChar(s, c);
    return c == pos;
}

bool IsBreakLine(const std::string& line) { return line.empty() || IsLabelMark(line, 1); }

}  // namespace UnitRK
