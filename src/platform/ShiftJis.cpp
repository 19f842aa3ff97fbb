#include "platform/ShiftJis.h"

#include "platform/Cp932.h"

#ifndef RK_CP932_TABLE
#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <stdexcept>
#endif

namespace Sjis {

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

size_t NextChar(const std::string& s, size_t pos)
{
    if (pos + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[pos])) && s[pos + 1] != '\0')
        return pos + 2;
    return pos + 1;
}

size_t Find(const std::string& s, const std::string& pattern, size_t from)
{
    if (pattern.empty())
        return std::string::npos;
    for (size_t i = from; i < s.size(); i = NextChar(s, i)) {
        if (s[i] == '\0')
            return std::string::npos;
        if (s.compare(i, pattern.size(), pattern) == 0)
            return i;
    }
    return std::string::npos;
}

std::string ReplaceAll(const std::string& s, const std::string& pattern, const std::string& with)
{
    std::string out;
    size_t from = 0;
    for (size_t p = Find(s, pattern, from); p != std::string::npos; p = Find(s, pattern, from)) {
        out.append(s, from, p - from);
        out += with;
        from = p + pattern.size();
    }
    out.append(s, from, std::string::npos);
    return out;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextAscii(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    // Equal double-byte characters keep both texts on the same character boundaries.
    for (size_t i = 0, next = 0; i < a.size(); i = next) {
        next = NextChar(a, i);
        if (next - i == 2 ? a.compare(i, 2, b, i, 2) != 0 : FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

#ifdef RK_CP932_TABLE

namespace {

// The page has no CP932 converter in its C library: the player's own table stands in for it.
bool Decode(const std::string& in, std::string& out, const std::string& bad) { return Cp932::DecodeText(in, out, bad); }

bool Encode(const std::string& in, std::string& out, const std::string& bad, std::vector<std::string>* refused)
{
    return Cp932::EncodeText(in, out, bad, refused);
}

}  // namespace

#else

namespace {

// One converter per direction, opened on first use. The program is single-threaded, but the
// tests are not required to be, so the converters are guarded.
class Converter {
public:
    Converter(const char* to, const char* from) : Handle(iconv_open(to, from))
    {
        if (Handle == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(Handle); }

    // Converts `in`; on a byte that does not convert, appends `bad` and skips `skip` bytes (0:
    // the whole UTF-8 character), handing what was skipped to `refused` when there is one.
    // Returns whether every byte converted.
    bool Run(const std::string& in, std::string& out, const std::string& bad, size_t skip,
             std::vector<std::string>* refused = nullptr)
    {
        std::lock_guard<std::mutex> lock(Guard);
        iconv(Handle, nullptr, nullptr, nullptr, nullptr);
        out.clear();
        bool clean = true;
        char buffer[1024];
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        while (left > 0) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            size_t r = iconv(Handle, &src, &left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: an invalid or incomplete sequence at src.
            clean = false;
            out += bad;
            size_t n = skip != 0 ? skip : Cp932::Utf8Length(src, left);
            n = n > left ? left : n;
            if (refused)
                refused->emplace_back(src, n);
            src += n;
            left -= n;
            iconv(Handle, nullptr, nullptr, nullptr, nullptr);
        }
        return clean;
    }

private:
    iconv_t Handle;
    std::mutex Guard;
};

Converter& ToUtf8Converter()
{
    static Converter toUtf8("UTF-8", "CP932");
    return toUtf8;
}

Converter& FromUtf8Converter()
{
    static Converter fromUtf8("CP932", "UTF-8");
    return fromUtf8;
}

bool Decode(const std::string& in, std::string& out, const std::string& bad)
{
    return ToUtf8Converter().Run(in, out, bad, 1);
}

bool Encode(const std::string& in, std::string& out, const std::string& bad, std::vector<std::string>* refused)
{
    return FromUtf8Converter().Run(in, out, bad, 0, refused);
}

}  // namespace

#endif

std::string ToUtf8(const std::string& sjis)
{
    std::string utf8;
    Decode(sjis, utf8, "\xEF\xBF\xBD");
    return utf8;
}

bool ToUtf8Exact(const std::string& sjis, std::string& utf8) { return Decode(sjis, utf8, ""); }

std::string FromUtf8(const std::string& utf8)
{
    std::string sjis;
    Encode(utf8, sjis, "?", nullptr);
    return sjis;
}

std::string FromUtf8(const std::string& utf8, const std::string& mark, std::vector<std::string>& refused)
{
    std::string sjis;
    Encode(utf8, sjis, mark, &refused);
    return sjis;
}

std::string CutAtChar(const std::string& s, size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    size_t end = 0;
    for (size_t i = 0; i < s.size();) {
        size_t next = NextChar(s, i);
        if (next > maxBytes)
            break;
        end = next;
        i = next;
    }
    return s.substr(0, end);
}

}  // namespace Sjis
