#include "reader/SeenLines.h"

#include "engine/UnitRK.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

namespace SeenLines {

namespace {

constexpr const char* Header = "zv_rk seen lines 1";
constexpr int KeyDigits = 16;
// The lines that name a story without labels.
constexpr int64_t OpeningLines = 8;
// The header and every key on a line of its own: anything larger is no record of ours.
constexpr uintmax_t MaxFileBytes = (TSeenRecord::MaxLines + 1) * (KeyDigits + 1) + 64;

// 64-bit FNV-1a: quick, and a collision only ever counts one unseen line as seen.
uint64_t Digest(std::string_view text, uint64_t hash = 14695981039346656037ull)
{
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

bool IsLabel(const std::string& line) { return UnitRK::IsLabelMark(line, 1); }

std::string Hex(uint64_t value)
{
    char text[KeyDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

bool ParseHex(std::string_view text, uint64_t& value)
{
    if (text.size() != KeyDigits)
        return false;
    value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return false;
        value = value << 4 | uint64_t(digit);
    }
    return true;
}

}  // namespace

uint64_t StoryKey(const TLineAt& lineAt, int64_t total)
{
    uint64_t hash = Digest("story");
    bool labelled = false;
    for (int64_t i = 0; i < total; ++i) {
        if (IsLabel(lineAt(i))) {
            hash = Digest(lineAt(i) + "\n", hash);
            labelled = true;
        }
    }
    // A story without labels is known by its opening instead, so that two such stories do not
    // share one record (an edit of its first lines then starts a new one).
    for (int64_t i = 0; !labelled && i < std::min<int64_t>(total, OpeningLines); ++i)
        hash = Digest(lineAt(i) + "\n", hash);
    return hash;
}

uint64_t LineKey(const TLineAt& lineAt, int64_t line)
{
    const std::string& text = lineAt(line);
    int64_t same = 0, at = line - 1;
    for (; at >= 0 && !IsLabel(lineAt(at)); --at)
        same += lineAt(at) == text;
    std::string section = at >= 0 ? lineAt(at) : std::string();
    return Digest(section + "\n" + text + "\n" + std::to_string(same));
}

std::string RecordPath(const std::string& folder, uint64_t storyKey)
{
    if (folder.empty())
        return "";
    return (fs::path(folder) / (Hex(storyKey) + ".seen")).string();
}

TSeenRecord::TSeenRecord(std::string path) : Path(std::move(path))
{
    if (Path.empty())
        return;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(Path, ec)))
        return;
    if (!Read()) {
        std::fprintf(stderr, "zv_rk: %s is damaged: what was seen starts afresh\n", Path.c_str());
        Keys.clear();
    }
}

bool TSeenRecord::Read()
{
    std::error_code ec;
    if (!fs::is_regular_file(Path, ec) || fs::file_size(Path, ec) > MaxFileBytes || ec)
        return false;
    std::ifstream in(Path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != Header)
        return false;
    while (std::getline(in, line)) {
        uint64_t key = 0;
        if (!ParseHex(line, key) || Keys.size() >= MaxLines)
            return false;
        Keys.insert(key);
    }
    return in.eof();
}

bool TSeenRecord::Add(uint64_t key)
{
    if (Keys.size() >= MaxLines || !Keys.insert(key).second)
        return false;
    Changed = true;
    return true;
}

bool TSeenRecord::Save(std::string& problem)
{
    if (Path.empty())
        return true;
    fs::path file(Path);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::string text = std::string(Header) + "\n";
    text.reserve(text.size() + Keys.size() * (KeyDigits + 1));
    for (uint64_t key : Keys)
        text += Hex(key) + "\n";
    fs::path temporary = file.parent_path() / ("." + file.filename().string() + "." + std::to_string(getpid()));
    fs::remove(temporary, ec);  // left by a run that ended while writing
    // No flush to the disk: it could stall the story for a moment, and a record cut short by a
    // crash of the system is only read as damaged and started afresh.
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            problem = temporary.string() + ": " + std::strerror(errno);
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, file, ec);
    if (ec) {
        problem = Path + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    Changed = false;
    return true;
}

}  // namespace SeenLines
