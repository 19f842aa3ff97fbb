#include "platform/CodePageNames.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using CodePageNames::MangledByte;
using CodePageNames::TMangling;

namespace {

// The byte in UTF-8 as glibc's iconv reads it in `codePage`; "" when it refuses the byte.
std::string IconvReads(const char* codePage, unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-8", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv knows no " << codePage;
        return "";
    }
    char in[1] = {static_cast<char>(byte)}, out[8];
    char *src = in, *dst = out;
    size_t inLeft = 1, outLeft = sizeof out;
    const bool converted = iconv(cd, &src, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    return converted ? std::string(out, static_cast<size_t>(dst - out)) : "";
}

// A ZIP archive as an MS-DOS archiver writes one: a single empty file, its name in raw bytes.
std::string DosZip(const std::string& name)
{
    std::string zip;
    auto put = [&zip](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            zip += static_cast<char>(value >> (8 * i));
    };
    const uint32_t size = static_cast<uint32_t>(name.size());
    put(0x04034B50, 4), put(10, 2), put(0, 2), put(0, 2), put(0, 2), put(0x21, 2);  // stored, 1980-01-01
    put(0, 4), put(0, 4), put(0, 4), put(size, 2), put(0, 2);                       // no bytes, no CRC
    zip += name;
    const uint32_t central = static_cast<uint32_t>(zip.size());
    put(0x02014B50, 4), put(20, 2), put(10, 2), put(0, 2), put(0, 2), put(0, 2), put(0x21, 2);  // made on MS-DOS
    put(0, 4), put(0, 4), put(0, 4), put(size, 2), put(0, 2), put(0, 2), put(0, 2), put(0, 2), put(0, 4), put(0, 4);
    zip += name;
    const uint32_t centralSize = static_cast<uint32_t>(zip.size()) - central;
    put(0x06054B50, 4), put(0, 2), put(0, 2), put(1, 2), put(1, 2), put(centralSize, 4), put(central, 4), put(0, 2);
    return zip;
}

}  // namespace

TEST(CodePageNames, EveryByteIsWrittenAsIconvReadsIt)
{
    const std::pair<TMangling, const char*> codePages[] = {
        {TMangling::Cp437, "CP437"}, {TMangling::Cp850, "CP850"}, {TMangling::Cp1252, "CP1252"}};
    for (const auto& [mangling, codePage] : codePages)
        for (int byte = 0; byte < 256; ++byte) {
            const std::string ours = MangledByte(mangling, static_cast<unsigned char>(byte));
            const std::string theirs = IconvReads(codePage, static_cast<unsigned char>(byte));
            if (theirs.empty()) {
                // A byte 1252 leaves undefined: the C1 control Windows makes of it.
                EXPECT_EQ(mangling, TMangling::Cp1252) << byte;
                EXPECT_EQ(ours, std::string({'\xC2', static_cast<char>(byte)})) << byte;
            } else {
                EXPECT_EQ(ours, theirs) << codePage << ", byte " << byte;
            }
        }
}

TEST(CodePageNames, EveryByteIsWrittenAsDebiansUnzipWritesIt)
{
    if (std::system("command -v unzip >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no unzip here";
    char pattern[] = "/tmp/rk-unzip-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    std::string name = "a", expected = "a";
    for (int byte = 0x80; byte < 0x100; ++byte) {
        name += static_cast<char>(byte);
        expected += MangledByte(TMangling::Cp850Latin1, static_cast<unsigned char>(byte));
    }
    std::ofstream(dir / "names.zip", std::ios::binary) << DosZip(name + ".x");
    const std::string command =
        "cd '" + dir.string() + "' && mkdir out && LC_ALL=C.UTF-8 unzip -qq names.zip -d out >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir / "out"))
        names.push_back(entry.path().filename().string());
    fs::remove_all(dir);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], expected + ".x");
}
