#include "ui/Settings.h"

#include "platform/UserFolders.h"
#include "reader/AutoPlay.h"

#include <ini.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Far more than the few lines the player writes: anything larger is not a settings file.
constexpr off_t MaxSettingsBytes = 64 * 1024;
constexpr const char* Section = "window";
constexpr const char* LastStoryKey = "LastStory";
// The reader takes lines of at most 199 characters: a longer one would come back cut in two.
constexpr size_t MaxLineLength = 199;

struct TReading {
    TSettings Settings;
    std::string Problem;
};

std::optional<bool> ParseBool(const std::string& text)
{
    for (const char* yes : {"true", "yes", "on", "1"})
        if (text == yes)
            return true;
    for (const char* no : {"false", "no", "off", "0"})
        if (text == no)
            return false;
    return std::nullopt;
}

void TakeStoryEntry(TReading& reading, const char* value)
{
    reading.Settings.LastStory = value;
    if (value[0] != '/')
        reading.Problem = std::string(LastStoryKey) + " = " + value + " is not an absolute path";
}

// A whole number of milliseconds from 0 to `most`; nullopt for anything else.
std::optional<int> ParseMs(const std::string& text, int most)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int value = std::stoi(text);
    return value <= most ? std::optional<int>(value) : std::nullopt;
}

// The [reader] section: skipping, auto play, copying each page.
void TakeReaderEntry(TReading& reading, const char* name, const char* value)
{
    if (std::strcmp(name, "SkipUnseen") == 0) {
        reading.Settings.SkipUnseen = ParseBool(value);
        if (!reading.Settings.SkipUnseen)
            reading.Problem = std::string("SkipUnseen = ") + value + " is not true or false";
    } else if (std::strcmp(name, "AutoDelay") == 0) {
        reading.Settings.AutoDelay = ParseMs(value, TAutoPlay::MaxDelayMs);
        if (!reading.Settings.AutoDelay)
            reading.Problem = std::string("AutoDelay = ") + value + " is not 0 to " +
                              std::to_string(TAutoPlay::MaxDelayMs) + " (milliseconds)";
    } else if (std::strcmp(name, "AutoPerChar") == 0) {
        reading.Settings.AutoPerChar = ParseMs(value, TAutoPlay::MaxPerCharMs);
        if (!reading.Settings.AutoPerChar)
            reading.Problem = std::string("AutoPerChar = ") + value + " is not 0 to " +
                              std::to_string(TAutoPlay::MaxPerCharMs) + " (milliseconds)";
    } else if (std::strcmp(name, "CopyEveryPage") == 0) {
        reading.Settings.CopyEveryPage = ParseBool(value);
        if (!reading.Settings.CopyEveryPage)
            reading.Problem = std::string("CopyEveryPage = ") + value + " is not true or false";
    }
}

int TakeEntry(void* user, const char* section, const char* name, const char* value)
{
    auto& reading = *static_cast<TReading*>(user);
    if (std::strcmp(section, "reader") == 0) {
        TakeReaderEntry(reading, name, value);
        return reading.Problem.empty() ? 1 : 0;
    }
    // Other sections and names may come from a later version: they are left alone.
    if (std::strcmp(section, Section) != 0)
        return 1;
    if (std::strcmp(name, "scale") == 0) {
        reading.Settings.Scale = ParseScale(value);
        if (!reading.Settings.Scale)
            reading.Problem = std::string("scale = ") + value + " is not 1 to 8 or auto";
    } else if (std::strcmp(name, "fullscreen") == 0) {
        reading.Settings.FullScreen = ParseBool(value);
        if (!reading.Settings.FullScreen)
            reading.Problem = std::string("fullscreen = ") + value + " is not true or false";
    } else if (std::strcmp(name, LastStoryKey) == 0) {
        TakeStoryEntry(reading, value);
    }
    return reading.Problem.empty() ? 1 : 0;
}

// Reads the settings file at `path` (relative to `folder`) into `text`. False when there is none
// to read: no file (no problem), or one that cannot be read or is not a settings file (`problem`
// says why, without the path).
bool ReadSettingsText(int folder, const std::string& path, int flags, std::string& text, std::string& problem)
{
    int fd = openat(folder, path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | flags);
    if (fd < 0) {
        // No file, or (when links are not followed) a link where the file would be: none to read.
        if (errno != ENOENT && !(errno == ELOOP && (flags & O_NOFOLLOW)))
            problem = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxSettingsBytes) {
        problem = "not a settings file";
    } else {
        text.resize(size_t(st.st_size));
        ssize_t n = read(fd, text.data(), text.size());
        if (n < 0)
            problem = std::strerror(errno);
        text.resize(n < 0 ? 0 : size_t(n));
    }
    close(fd);
    return problem.empty();
}

// The lines of the [window] section the player writes.
std::string WindowLines(const TSettings& settings)
{
    std::string text;
    if (settings.Scale)
        text += "scale = " + (*settings.Scale == 0 ? std::string("auto") : std::to_string(*settings.Scale)) + "\n";
    if (settings.FullScreen)
        text += std::string("fullscreen = ") + (*settings.FullScreen ? "true" : "false") + "\n";
    if (settings.LastStory && StorableStoryPath(*settings.LastStory))
        text += std::string(LastStoryKey) + " = " + *settings.LastStory + "\n";
    return text;
}

std::string_view Trim(std::string_view text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The name of the section a line opens, as the reader takes it; nullopt for other lines.
std::optional<std::string> SectionName(std::string_view line)
{
    line = Trim(line);
    size_t close = line.find(']');
    if (line.empty() || line[0] != '[' || close == std::string_view::npos)
        return std::nullopt;
    return std::string(Trim(line.substr(1, close - 1)));
}

// The name of the entry on a line; "" for comments, blank lines and anything else.
std::string KeyOf(std::string_view line)
{
    line = Trim(line);
    size_t equals = line.find_first_of("=:");
    if (line.empty() || line[0] == ';' || line[0] == '#' || equals == std::string_view::npos)
        return "";
    return std::string(Trim(line.substr(0, equals)));
}

// The settings folder, made if need be. It is the user's own, so a link there (into a
// repository of dotfiles, say) is followed.
int OpenSettingsFolder(const fs::path& folder, std::string& problem)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        problem = folder.string() + ": " + ec.message();
        return -1;
    }
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        problem = folder.string() + ": " + std::strerror(errno);
    return fd;
}

// Puts `text` in the file `name` of `folder` through a new file renamed over it: a reader never
// sees half a file, and a link in its place is replaced, not followed.
bool ReplaceFile(int folder, const std::string& name, const std::string& text, std::string& problem)
{
    std::string temporary = "." + name + "." + std::to_string(getpid()) + ".new";
    unlinkat(folder, temporary.c_str(), 0);  // left by a run that ended while writing
    int fd = openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        problem = std::strerror(errno);
        return false;
    }
    bool written = WriteAll(fd, text) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    written = written && renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
    if (!written) {
        problem = std::strerror(errno);
        unlinkat(folder, temporary.c_str(), 0);
    }
    return written;
}

// The file as it was with the player's own entries in place: everything else in it, other sections
// and names a later version or the person added, comments too, stays as it was.
std::string MergeSettings(const std::string& old, const TSettings& settings)
{
    if (old.empty())
        return "# zv_rk remembers here what was last chosen while playing.\n[" + std::string(Section) + "]\n" +
               WindowLines(settings);
    std::string out, section;
    bool inserted = false, dropping = false;
    size_t start = 0;
    while (start < old.size()) {
        size_t end = old.find('\n', start);
        end = end == std::string::npos ? old.size() : end + 1;
        std::string_view line(old.data() + start, end - start);
        start = end;
        // The indented lines after an entry continue its value: they go with it.
        if (dropping && !Trim(line).empty() && (line[0] == ' ' || line[0] == '\t'))
            continue;
        dropping = false;
        if (std::optional<std::string> name = SectionName(line)) {
            section = *name;
            out += line;
            if (out.back() != '\n')
                out += '\n';
            if (section == Section && !inserted) {
                out += WindowLines(settings);
                inserted = true;
            }
            continue;
        }
        std::string key = KeyOf(line);
        if (section == Section && (key == "scale" || key == "fullscreen" || key == LastStoryKey)) {
            dropping = true;
            continue;
        }
        out += line;
    }
    if (!inserted) {
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += "[" + std::string(Section) + "]\n" + WindowLines(settings);
    }
    return out;
}

}  // namespace

std::optional<int> ParseScale(const std::string& text)
{
    if (text == "auto")
        return 0;
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '8')
        return text[0] - '0';
    return std::nullopt;
}

bool StorableStoryPath(const std::string& path)
{
    if (path.empty() || path[0] != '/' || path.back() == ' ' ||
        std::string(LastStoryKey).size() + 3 + path.size() > MaxLineLength)
        return false;
    // " ;" starts a comment that the reader would cut off.
    if (path.find(" ;") != std::string::npos)
        return false;
    return std::none_of(path.begin(), path.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; });
}

std::string SettingsPath()
{
    std::string folder = UserFolder(TUserFolder::Config);
    return folder.empty() ? folder : folder + "/settings.ini";
}

TSettings LoadSettings(const std::string& path, std::string& problem)
{
    problem.clear();
    std::string text;
    if (path.empty())
        return {};
    if (!ReadSettingsText(AT_FDCWD, path, 0, text, problem)) {
        if (!problem.empty())
            problem = path + ": " + problem;
        return {};
    }
    TReading reading;
    int line = ini_parse_string(text.c_str(), TakeEntry, &reading);
    if (line != 0) {
        problem = path + ":" + std::to_string(line) + ": " +
                  (reading.Problem.empty() ? std::string("not a setting") : reading.Problem);
        return {};
    }
    return reading.Settings;
}

bool SaveSettings(const std::string& path, const TSettings& settings, std::string& problem)
{
    problem.clear();
    if (path.empty()) {
        problem = "no place for settings: neither XDG_CONFIG_HOME nor HOME is an absolute path";
        return false;
    }
    fs::path file(path);
    int folder = OpenSettingsFolder(file.parent_path(), problem);
    if (folder < 0)
        return false;
    std::string name = file.filename().string(), old;
    // A link in the file's place is neither read nor followed: the new file replaces it. A file
    // that is there but cannot be read is left alone rather than replaced by one without its lines.
    bool written = (ReadSettingsText(folder, name, O_NOFOLLOW, old, problem) || problem.empty()) &&
                   ReplaceFile(folder, name, MergeSettings(old, settings), problem);
    if (!written)
        problem = path + ": " + problem;
    close(folder);
    return written;
}
