#include "reader/Screenshot.h"

#include "platform/ShiftJis.h"
#include "platform/UserFolders.h"

#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int MostSameNames = 1000;
constexpr size_t MostNameBytes = 80;

// Well-formed UTF-8 (overlong forms and surrogates are not told apart: a file name only needs
// whole characters).
bool IsUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

std::string Home()
{
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? std::string(home) : std::string();
}

// The pictures folder user-dirs.dirs names: XDG_PICTURES_DIR="$HOME/..." or an absolute path.
std::string PicturesDir()
{
    std::string config = UserFolder(TUserFolder::Config);
    if (config.empty())
        return "";
    std::ifstream file(fs::path(config).parent_path() / "user-dirs.dirs");
    std::string line, found;
    const std::string key = "XDG_PICTURES_DIR=\"";
    while (std::getline(file, line)) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME/", 0) == 0 && !Home().empty())
            found = Home() + value.substr(5);
        else if (value.rfind("/", 0) == 0)
            found = value;
    }
    return found;
}

void PutBig32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(v >> shift);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBig32(out, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    PutBig32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// The PNG file's bytes for RGB rows; "" when they cannot be compressed.
std::string EncodePng(const std::vector<uint8_t>& rows, int width, int height)
{
    std::vector<uint8_t> packed(compressBound(uLong(rows.size())));
    uLongf packedSize = uLongf(packed.size());
    if (compress2(packed.data(), &packedSize, rows.data(), uLong(rows.size()), Z_BEST_SPEED) != Z_OK)
        return "";
    std::string header;
    PutBig32(header, uint32_t(width));
    PutBig32(header, uint32_t(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
    std::string out = "\x89PNG\r\n\x1a\n";
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    PutChunk(out, "IEND", "");
    return out;
}

// The rows of `area`, each after its filter byte (none).
std::vector<uint8_t> RgbRows(SDL_Surface* surface, const SDL_Rect& area)
{
    std::vector<uint8_t> rows;
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGB24, 0);
    if (!rgb)
        return rows;
    rows.reserve(size_t(area.h) * (size_t(area.w) * 3 + 1));
    for (int y = area.y; y < area.y + area.h; ++y) {
        rows.push_back(0);
        const uint8_t* row = static_cast<const uint8_t*>(rgb->pixels) + size_t(y) * size_t(rgb->pitch);
        rows.insert(rows.end(), row + size_t(area.x) * 3, row + size_t(area.x + area.w) * 3);
    }
    SDL_FreeSurface(rgb);
    return rows;
}

}  // namespace

std::string ScreenshotFolder()
{
    std::string pictures = PicturesDir();
    if (pictures.empty() && !Home().empty())
        pictures = Home() + "/Pictures";
    return pictures.empty() ? "" : pictures + "/zv_rk";
}

std::string StoryFileName(const std::string& story, bool archive)
{
    fs::path path = archive ? fs::path(story) : fs::current_path();
    std::string name = path.lexically_normal().filename().string();
    if (name.empty())
        name = path.lexically_normal().parent_path().filename().string();
    if (archive) {
        // "story.tar.gz" and "story.zip" both name "story".
        for (int i = 0; i < 2; ++i) {
            size_t dot = name.rfind('.');
            if (dot != std::string::npos && dot > 0 && name.size() - dot <= 4)
                name.erase(dot);
        }
    }
    // Folder names of old stories are often Shift-JIS.
    std::string utf8;
    if (!IsUtf8(name) && Sjis::ToUtf8Exact(name, utf8))
        name = utf8;
    bool utf8Name = IsUtf8(name);
    std::string safe;
    for (unsigned char c : name) {
        bool bad = c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) || (c >= 0x80 && !utf8Name);
        safe += bad ? '_' : char(c);
    }
    while (!safe.empty() && (safe[0] == '.' || safe[0] == '-'))
        safe[0] = '_';
    if (safe.size() > MostNameBytes) {
        size_t cut = MostNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80)
            --cut;
        safe.resize(cut);
    }
    return safe.empty() ? "story" : safe;
}

std::string HomeShortened(const std::string& path)
{
    std::string home = Home();
    if (!home.empty() && home != "/" && path.rfind(home + "/", 0) == 0)
        return "~" + path.substr(home.size());
    return path;
}

std::string WritePng(SDL_Surface* surface, const SDL_Rect& area, const std::string& path)
{
    std::string png = EncodePng(RgbRows(surface, area), area.w, area.h);
    if (png.empty())
        return "the picture cannot be encoded";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return std::strerror(errno);
    bool written = WriteAll(fd, png);
    int error = written ? 0 : (errno ? errno : ENOSPC);
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(path.c_str());
        return std::strerror(error);
    }
    return "";
}

TScreenshot SaveScreenshot(SDL_Surface* surface, const SDL_Rect& area, const std::string& folder,
                           const std::string& name, std::time_t when)
{
    if (folder.empty())
        return {"", "no home folder to put it in"};
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return {"", folder + ": " + ec.message()};
    char stamp[32] = "";
    std::tm local{};
    if (localtime_r(&when, &local))
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = folder + "/" + name + "-" + stamp;
    for (int n = 1; n <= MostSameNames; ++n) {
        std::string path = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".png";
        std::string problem = WritePng(surface, area, path);
        if (problem.empty())
            return {path, ""};
        if (errno != EEXIST || problem != std::strerror(EEXIST))
            return {"", path + ": " + problem};
    }
    return {"", base + ".png: too many screenshots of that name"};
}
