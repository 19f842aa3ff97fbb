#include "ui/Settings.h"

#include <ini.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Far more than the few lines the player writes: anything larger is not a settings file.
constexpr off_t MaxSettingsBytes = 64 * 1024;
constexpr const char* Section = "window";

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

int TakeEntry(void* user, const char* section, const char* name, const char* value)
{
    auto& reading = *static_cast<TReading*>(user);
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
    }
    return reading.Problem.empty() ? 1 : 0;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
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

std::string SettingsPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
    if (config && config[0] == '/')
        return std::string(config) + "/zv_rk/settings.ini";
    const char* home = std::getenv("HOME");
    if (home && home[0])
        return std::string(home) + "/.config/zv_rk/settings.ini";
    return "";
}

TSettings LoadSettings(const std::string& path, std::string& problem)
{
    problem.clear();
    if (path.empty())
        return {};
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT)
            problem = path + ": " + std::strerror(errno);
        return {};
    }
    std::string text;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxSettingsBytes) {
        problem = path + ": not a settings file";
    } else {
        text.resize(size_t(st.st_size));
        ssize_t n = read(fd, text.data(), text.size());
        if (n < 0)
            problem = path + ": " + std::strerror(errno);
        text.resize(n < 0 ? 0 : size_t(n));
    }
    close(fd);
    if (!problem.empty())
        return {};
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
        problem = "no place for settings: neither XDG_CONFIG_HOME nor HOME is set";
        return false;
    }
    fs::path file(path);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
        problem = file.parent_path().string() + ": " + ec.message();
        return false;
    }
    int folder = open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        problem = file.parent_path().string() + ": " + (errno == ELOOP ? "is a link" : std::strerror(errno));
        return false;
    }
    std::string text = "# zv_rk remembers here what was last chosen while playing.\n[window]\n";
    if (settings.Scale)
        text += "scale = " + (*settings.Scale == 0 ? std::string("auto") : std::to_string(*settings.Scale)) + "\n";
    if (settings.FullScreen)
        text += std::string("fullscreen = ") + (*settings.FullScreen ? "true" : "false") + "\n";
    std::string name = file.filename().string();
    std::string temporary = "." + name + "." + std::to_string(getpid()) + ".new";
    bool written = false;
    unlinkat(folder, temporary.c_str(), 0);  // left by a run that ended while writing
    int fd = openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
        written = WriteAll(fd, text) && fsync(fd) == 0;
        written = close(fd) == 0 && written;
        written = written && renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
        if (!written) {
            problem = path + ": " + std::strerror(errno);
            unlinkat(folder, temporary.c_str(), 0);
        }
    } else {
        problem = path + ": " + std::strerror(errno);
    }
    close(folder);
    return written;
}
