#include "platform/RecordFile.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

TWriteCall WriteCall = ::write;

// Closes a descriptor on every way out of a routine.
class TFd {
public:
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return Fd; }
    // Closes now, reporting a failure (a delayed write error shows up here).
    void Close(const std::string& path)
    {
        int fd = Fd;
        Fd = -1;
        if (::close(fd) != 0)
            RaiseInOutError(errno, path);
    }

private:
    int Fd;
};

bool StatPath(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

void WriteAll(int fd, const uint8_t* data, size_t size, const std::string& path)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = WriteCall(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseInOutError(errno, path);
        if (n == 0)
            throw EInOutError(IoCode::DiskFull);
        done += static_cast<size_t>(n);
    }
}

void CheckWritable(const std::string& path)
{
    struct stat st {};
    if (!StatPath(path, st) || !S_ISREG(st.st_mode))
        return;
    if ((st.st_mode & 0222) == 0)
        throw EInOutError(IoCode::AccessDenied);
    if (::access(path.c_str(), W_OK) != 0)
        RaiseInOutError(errno, path);
}

// The file a link points to is the one to replace; the link stays.
std::string ResolveLink(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target = resolved;
    ::free(resolved);
    return target;
}

void WriteInPlace(const std::string& path, const void* data, size_t size)
{
    TFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        RaiseInOutError(errno, path);
    WriteAll(fd.Get(), static_cast<const uint8_t*>(data), size, path);
    if (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0 || ::fsync(fd.Get()) != 0)
        RaiseInOutError(errno, path);
    fd.Close(path);
}

}  // namespace

std::vector<uint8_t> ReadRecord(const std::string& windowsPath, size_t size)
{
    const std::string path = NativePath(windowsPath);
    CheckWritable(path);
    TFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.Get() < 0)
        RaiseInOutError(errno, path);
    std::vector<uint8_t> bytes(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd.Get(), bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseInOutError(errno, path);
        if (n == 0)
            throw EInOutError(IoCode::ReadBeyondEnd);
        done += static_cast<size_t>(n);
    }
    fd.Close(path);
    return bytes;
}

void ReplaceFile(const std::string& windowsPath, const void* data, size_t size)
{
    const std::string path = ResolveLink(NativePath(windowsPath));
    CheckWritable(path);
    struct stat st {};
    const bool exists = StatPath(path, st);
    if (exists && !S_ISREG(st.st_mode))
        throw EInOutError(IoCode::AccessDenied);

    const std::string temp = path + ".new";
    TFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.Get() < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(path, data, size);
        RaiseInOutError(errno, path);
    }
    try {
        if (exists && ::fchmod(fd.Get(), st.st_mode & 07777) != 0)
            RaiseInOutError(errno, path);
        WriteAll(fd.Get(), static_cast<const uint8_t*>(data), size, path);
        if (::fsync(fd.Get()) != 0)
            RaiseInOutError(errno, path);
        fd.Close(path);
        if (::rename(temp.c_str(), path.c_str()) != 0)
            RaiseInOutError(errno, path);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

void SetWriteCall(TWriteCall call) { WriteCall = call ? call : ::write; }
