// Archives made by the tests themselves, with member names exactly as given: ZIP as DOS-era tools
// wrote it (Shift-JIS names, no UTF-8 flag) and LZH with level-0 headers, byte by byte; tar, cpio
// and 7z through libarchive's writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ArchiveBytes {

struct TArchiveMember {
    std::string Name;  // raw bytes
    std::string Data;  // for a link, its target
    enum TKind { File, Folder, Symlink, Hardlink } Kind = File;
    bool Utf8Flag = false;  // ZIP only: the name is flagged as UTF-8
    bool Deflate = false;   // ZIP only
};

std::string ZipArchive(const std::vector<TArchiveMember>& members);
// LZH level-0 headers, stored (-lh0-); no links nor folders.
std::string LzhArchive(const std::vector<TArchiveMember>& members);
// A POSIX tar, links included, compressed with gzip when `gzip` is set.
std::string TarArchive(const std::vector<TArchiveMember>& members, bool gzip = false);
std::string TarXzArchive(const std::vector<TArchiveMember>& members);
std::string TarBzip2Archive(const std::vector<TArchiveMember>& members);
// A 7z (one solid block), written by libarchive.
std::string SevenZipArchive(const std::vector<TArchiveMember>& members);
// A cpio (SVR4) of two names of one file, as cpio stores a hard link: `first` empty, `second`
// with the bytes and marked as a link to the first.
std::string CpioHardLink(const std::string& first, const std::string& second, const std::string& data);

// A ZIP of one member that inflates to `size` zero bytes, made without holding them; its headers
// say it holds `claimed` bytes.
std::string ZipBomb(const std::string& name, uint64_t size, uint32_t claimed);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace ArchiveBytes
