#include "platform/Files.h"

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

std::string SlashPath(const std::string& windowsPath)
{
    std::string out = windowsPath;
    for (size_t i = 0; i < out.size(); i = Sjis::NextChar(out, i))
        if (out[i] == '\\')
            out[i] = '/';
    return out;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// The case-folded match: the entry of `folder` whose name equals `name` but for the case of
// single-byte letters, or "" when none does. Of several such entries the first in byte order
// is taken, so that the file used never depends on the order the folder lists them in.
std::string CaseFoldedEntry(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return "";
    std::string found;
    while (dirent* e = readdir(dir)) {
        std::string entry = e->d_name;
        if (Sjis::SameTextAscii(entry, name) && (found.empty() || entry < found))
            found = std::move(entry);
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string NativePath(const std::string& windowsPath)
{
    std::string path = SlashPath(windowsPath);
    if (path.empty() || Exists(path))
        return path;

    // Walk the components, mending letter case only where the exact name is missing.
    std::string built = path[0] == '/' ? "/" : "";
    size_t start = path[0] == '/' ? 1 : 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        std::string candidate = built + part;
        if (!part.empty() && part != "." && part != ".." && !Exists(candidate)) {
            std::string folded = CaseFoldedEntry(built, part);
            if (folded.empty())
                return path;
            candidate = built + folded;
        }
        if (slash == std::string::npos)
            return candidate;
        built = candidate + "/";
        start = slash + 1;
    }
    return path;
}

bool FileExists(const std::string& windowsPath)
{
    struct stat st {};
    return stat(NativePath(windowsPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadWholeFile(const std::string& windowsPath)
{
    std::string path = NativePath(windowsPath);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        RaiseInOutError(errno, path);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            close(fd);
            RaiseInOutError(err, path);
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return bytes;
}

std::vector<std::string> SplitTextLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        if (bytes[i] == '\x1A')
            break;
        std::string line;
        size_t lineStart = i;
        while (i < n && bytes[i] != '\n')
            ++i;
        // Copy the line without its CR bytes: CR LF ends it, a lone CR is dropped.
        line.reserve(i - lineStart);
        for (size_t k = lineStart; k < i; ++k)
            if (bytes[k] != '\r')
                line += bytes[k];
        lines.push_back(std::move(line));
        if (i < n)
            ++i;  // the LF
    }
    return lines;
}

std::vector<std::string> ReadTextLines(const std::string& windowsPath)
{
    return SplitTextLines(ReadWholeFile(windowsPath));
}
