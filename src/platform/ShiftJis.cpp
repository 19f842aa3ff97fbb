#include "platform/ShiftJis.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <stdexcept>

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
            size_t n = skip != 0 ? skip : Utf8Length(src, left);
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
    // Bytes of the UTF-8 character at `p` that iconv refused: the whole character when it is
    // well formed (it has no Shift-JIS form), else the one bad byte.
    static size_t Utf8Length(const char* p, size_t left)
    {
        unsigned char b = static_cast<unsigned char>(p[0]);
        size_t n = (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 1;
        if (n > left)
            return 1;
        for (size_t i = 1; i < n; ++i)
            if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
                return 1;
        return n;
    }

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

}  // namespace

std::string ToUtf8(const std::string& sjis)
{
    std::string utf8;
    ToUtf8Converter().Run(sjis, utf8, "\xEF\xBF\xBD", 1);
    return utf8;
}

bool ToUtf8Exact(const std::string& sjis, std::string& utf8) { return ToUtf8Converter().Run(sjis, utf8, "", 1); }

std::string FromUtf8(const std::string& utf8)
{
    std::string sjis;
    FromUtf8Converter().Run(utf8, sjis, "?", 0);
    return sjis;
}

std::string FromUtf8(const std::string& utf8, const std::string& mark, std::vector<std::string>& refused)
{
    std::string sjis;
    FromUtf8Converter().Run(utf8, sjis, mark, 0, &refused);
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
