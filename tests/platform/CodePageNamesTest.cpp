#include "platform/CodePageNames.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <string>

namespace {

// The character glibc's iconv reads the byte as in `codePage`; nothing when it refuses the byte.
std::u32string IconvReads(int codePage, unsigned char byte)
{
    const std::string from = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-32LE", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv knows no " << from;
        return {};
    }
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[8] = {};
    char* src = in;
    char* dst = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    const bool converted = iconv(cd, &src, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!converted || outLeft != 4)
        return {};
    return {char32_t{out[0]} | char32_t{out[1]} << 8 | char32_t{out[2]} << 16 | char32_t{out[3]} << 24};
}

}  // namespace

TEST(CodePageNames, EveryByteReadsAsIconvReadsIt)
{
    for (const int codePage : CodePageNames::CodePages)
        for (int byte = 0; byte < 256; ++byte) {
            const char32_t ours = CodePageNames::ToUnicode(codePage, static_cast<unsigned char>(byte));
            const std::u32string theirs = IconvReads(codePage, static_cast<unsigned char>(byte));
            if (theirs.empty()) {
                // The bytes 1252 leaves undefined: what Windows makes of them.
                EXPECT_EQ(codePage, 1252) << byte;
                EXPECT_EQ(ours, static_cast<char32_t>(byte)) << byte;
            } else {
                EXPECT_EQ(ours, theirs[0]) << "code page " << codePage << ", byte " << byte;
            }
        }
}
