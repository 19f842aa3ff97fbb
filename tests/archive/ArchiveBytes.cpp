#include "ArchiveBytes.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void Put16(std::string& out, uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::string RawDeflate(const std::string& data)
{
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct TZipEntry {
    std::string Name;
    std::string Packed;
    uint32_t Crc, Size, Flags, Method, Attributes;
};

std::string ZipOf(const std::vector<TZipEntry>& entries)
{
    std::string out, central;
    for (const TZipEntry& e : entries) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        for (std::string* part : {&out, &central}) {
            const bool local = part == &out;
            Put32(*part, local ? 0x04034b50 : 0x02014b50);
            if (!local)
                Put16(*part, 0x031E);  // made on Unix, so the mode in the attributes counts
            Put16(*part, 20);
            Put16(*part, e.Flags);
            Put16(*part, e.Method);
            Put32(*part, 0x5A210000);  // a date in 2025
            Put32(*part, e.Crc);
            Put32(*part, static_cast<uint32_t>(e.Packed.size()));
            Put32(*part, e.Size);
            Put16(*part, static_cast<uint32_t>(e.Name.size()));
            Put16(*part, 0);
            if (!local) {
                Put16(*part, 0);
                Put16(*part, 0);
                Put16(*part, 0);
                Put32(*part, e.Attributes);
                Put32(*part, offset);
            }
            *part += e.Name;
        }
        out += e.Packed;
    }
    const uint32_t centralAt = static_cast<uint32_t>(out.size());
    out += central;
    Put32(out, 0x06054b50);
    Put32(out, 0);
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralAt);
    Put16(out, 0);
    return out;
}

uint32_t Crc32(const std::string& data)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The CRC-16 of LZH headers (polynomial 0xA001, reflected).
uint16_t Crc16(const std::string& data)
{
    uint16_t crc = 0;
    for (unsigned char b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

}  // namespace

namespace ArchiveBytes {

std::string ZipArchive(const std::vector<TArchiveMember>& members)
{
    std::vector<TZipEntry> entries;
    for (const TArchiveMember& m : members) {
        const uint32_t mode = m.Kind == TArchiveMember::Symlink  ? 0120777
                              : m.Kind == TArchiveMember::Folder ? 040755
                                                                 : 0100644;
        const bool deflate = m.Deflate && m.Kind == TArchiveMember::File;
        entries.push_back({m.Name, deflate ? RawDeflate(m.Data) : m.Data, Crc32(m.Data),
                           static_cast<uint32_t>(m.Data.size()), m.Utf8Flag ? 0x0800u : 0u, deflate ? 8u : 0u,
                           mode << 16});
    }
    return ZipOf(entries);
}

std::string ZipBomb(const std::string& name, uint64_t size, uint32_t claimed)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    const std::string zeros(1 << 20, '\0');
    std::string packed;
    char out[65536];
    uLong crc = crc32(0, nullptr, 0);
    for (uint64_t left = size; left > 0 || z.avail_in > 0;) {
        if (z.avail_in == 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
            z.avail_in = static_cast<uInt>(n);
            crc = crc32(crc, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(n));
            left -= n;
        }
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = sizeof out;
        deflate(&z, Z_NO_FLUSH);
        packed.append(out, sizeof out - z.avail_out);
    }
    int r = Z_OK;
    while (r != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = sizeof out;
        r = deflate(&z, Z_FINISH);
        packed.append(out, sizeof out - z.avail_out);
    }
    deflateEnd(&z);
    return ZipOf({{name, packed, static_cast<uint32_t>(crc), claimed, 0, 8, 0100644u << 16}});
}

std::string LzhArchive(const std::vector<TArchiveMember>& members)
{
    std::string out;
    for (const TArchiveMember& m : members) {
        std::string header = "-lh0-";
        Put32(header, static_cast<uint32_t>(m.Data.size()));
        Put32(header, static_cast<uint32_t>(m.Data.size()));
        Put32(header, 0x5A210000);
        header += '\x20';  // attribute: an archived file
        header += '\0';    // level 0
        header += static_cast<char>(m.Name.size());
        header += m.Name;
        Put16(header, Crc16(m.Data));
        unsigned sum = 0;
        for (unsigned char b : header)
            sum += b;
        out += static_cast<char>(header.size());
        out += static_cast<char>(sum & 0xFF);
        out += header + m.Data;
    }
    return out + '\0';
}

namespace {

// The members written by libarchive in `format`, through `filter` when given.
std::string Written(const std::vector<TArchiveMember>& members, int (*format)(archive*), int (*filter)(archive*))
{
    archive* a = archive_write_new();
    format(a);
    if (filter)
        filter(a);
    std::vector<char> buffer(8 << 20);
    size_t used = 0;
    archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
    for (const TArchiveMember& m : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.Name.c_str());
        archive_entry_set_perm(e, 0644);
        if (m.Kind == TArchiveMember::Hardlink) {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_hardlink(e, m.Data.c_str());
        } else if (m.Kind == TArchiveMember::Symlink) {
            archive_entry_set_filetype(e, AE_IFLNK);
            archive_entry_set_symlink(e, m.Data.c_str());
        } else {
            archive_entry_set_filetype(e, m.Kind == TArchiveMember::Folder ? AE_IFDIR : AE_IFREG);
            archive_entry_set_size(e, static_cast<la_int64_t>(m.Data.size()));
        }
        archive_write_header(a, e);
        if (m.Kind == TArchiveMember::File)
            archive_write_data(a, m.Data.data(), m.Data.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return std::string(buffer.data(), used);
}

}  // namespace

std::string TarArchive(const std::vector<TArchiveMember>& members, bool gzip)
{
    return Written(members, archive_write_set_format_pax_restricted, gzip ? archive_write_add_filter_gzip : nullptr);
}

std::string TarXzArchive(const std::vector<TArchiveMember>& members)
{
    return Written(members, archive_write_set_format_pax_restricted, archive_write_add_filter_xz);
}

std::string TarBzip2Archive(const std::vector<TArchiveMember>& members)
{
    return Written(members, archive_write_set_format_pax_restricted, archive_write_add_filter_bzip2);
}

std::string SevenZipArchive(const std::vector<TArchiveMember>& members)
{
    return Written(members, archive_write_set_format_7zip, nullptr);
}

std::string CpioHardLink(const std::string& first, const std::string& second, const std::string& data)
{
    archive* a = archive_write_new();
    archive_write_set_format_cpio_newc(a);
    std::vector<char> buffer(1 << 16);
    size_t used = 0;
    archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
    for (const std::string* name : {&first, &second}) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name->c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_ino(e, 7);
        archive_entry_set_nlink(e, 2);
        const std::string& bytes = name == &second ? data : std::string();
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return std::string(buffer.data(), used);
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace ArchiveBytes
