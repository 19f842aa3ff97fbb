#include "platform/Cp932.h"

#include <unordered_map>

namespace Cp932 {

namespace {

constexpr char16_t None = 0xFFFD;  // no code of the page decodes to it

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

int Row(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1); }

// The character at `p`, and the bytes it took (0: none converts there).
std::size_t DecodeOne(const unsigned char* p, std::size_t left, char16_t& unicode)
{
    if (!IsLead(p[0])) {
        unicode = SingleBytes[p[0]];
        return unicode == None ? 0 : 1;
    }
    if (left < 2 || p[1] < 0x40 || p[1] > 0xFC)
        return 0;
    unicode = DoubleBytes[Row(p[0])][p[1] - 0x40];
    return unicode == None ? 0 : 2;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The well-formed UTF-8 character at `p` (no overlong form, no surrogate) and its length; 0 when
// there is none.
std::size_t ReadUtf8(const char* p, std::size_t left, char32_t& c)
{
    std::size_t n = Utf8Length(p, left);
    unsigned char b = static_cast<unsigned char>(p[0]);
    if (n == 1) {
        c = b;
        return b < 0x80 ? 1 : 0;
    }
    c = b & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i)
        c = c << 6 | (static_cast<unsigned char>(p[i]) & 0x3F);
    static constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < Least[n] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
        return 0;
    return n;
}

// Unicode to code, built once from the table: the first code that decodes to a character, then
// the exceptions.
const std::unordered_map<char32_t, int>& Codes()
{
    static const std::unordered_map<char32_t, int> codes = [] {
        std::unordered_map<char32_t, int> map;
        for (int b = 0; b < 0x100; ++b)
            if (SingleBytes[b] != None)
                map.emplace(SingleBytes[b], b);
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLead(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                char16_t c = DoubleBytes[Row(static_cast<unsigned char>(lead))][trail - 0x40];
                if (c != None)
                    map.emplace(c, lead << 8 | trail);
            }
        }
        for (std::size_t i = 0; i < EncodeExceptionCount; ++i)
            map[EncodeExceptions[i].Unicode] = EncodeExceptions[i].Code;
        return map;
    }();
    return codes;
}

}  // namespace

bool DecodeText(const std::string& in, std::string& out, const std::string& bad)
{
    out.clear();
    bool clean = true;
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    for (std::size_t i = 0; i < in.size();) {
        char16_t c = 0;
        std::size_t n = DecodeOne(p + i, in.size() - i, c);
        if (n == 0) {
            clean = false;
            out += bad;
            n = 1;
        } else {
            AppendUtf8(out, c);
        }
        i += n;
    }
    return clean;
}

bool EncodeText(const std::string& in, std::string& out, const std::string& bad, std::vector<std::string>* refused)
{
    out.clear();
    bool clean = true;
    const auto& codes = Codes();
    for (std::size_t i = 0; i < in.size();) {
        char32_t c = 0;
        std::size_t n = ReadUtf8(in.data() + i, in.size() - i, c);
        auto found = n == 0 ? codes.end() : codes.find(c);
        if (found == codes.end() || found->second < 0) {
            clean = false;
            out += bad;
            n = Utf8Length(in.data() + i, in.size() - i);
            if (refused)
                refused->emplace_back(in, i, n);
        } else if (found->second >= 0x100) {
            out += static_cast<char>(found->second >> 8);
            out += static_cast<char>(found->second & 0xFF);
        } else {
            out += static_cast<char>(found->second);
        }
        i += n;
    }
    return clean;
}

}  // namespace Cp932
