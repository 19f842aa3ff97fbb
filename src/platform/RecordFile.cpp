#include "platform/RecordFile.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

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

// The letters of a new file's name that make it one of its own (the clock stands in should
// the system have no random bytes to give yet).
uint64_t RandomBits()
{
    uint64_t bits = 0;
#ifdef __EMSCRIPTEN__
    // The web page's C library declares getrandom but has only getentropy.
    if (::getentropy(&bits, sizeof bits) == 0)
        return bits;
#else
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
#endif
    static uint64_t count = 0;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<uint64_t>(now.tv_sec) * 1000000007u + static_cast<uint64_t>(now.tv_nsec)) ^
           (static_cast<uint64_t>(::getpid()) << 32) ^ (++count * 0x9E3779B97F4A7C15u);
}

// Creates the file that is to replace `path`, under a new name in the same folder, and returns
// its descriptor (or -1 with errno set). Stories come as archives, which may carry links: a
// name that is already taken, by a link, a folder or a file left from an earlier save, is
// never opened, only passed over for another.
int CreateBeside(const std::string& path, std::string& temp)
{
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t bits = RandomBits();
        temp = path + ".";
        for (int k = 0; k < 6; ++k, bits /= 62)
            temp += Letters[bits % 62];
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void WriteInPlace(const std::string& path, const void* data, size_t size)
{
    // Never through a link: one that cannot be replaced is refused like a read-only slot.
    // Nor into what is no file: a FIFO put there since the look would wait for a reader for ever.
    TFd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0 && (errno == ELOOP || errno == ENXIO))
        throw EInOutError(IoCode::AccessDenied);
    if (fd.Get() < 0)
        RaiseInOutError(errno, path);
    // Nor into a file with other names, which may lie outside the story.
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1)
        throw EInOutError(IoCode::AccessDenied);
    WriteAll(fd.Get(), static_cast<const uint8_t*>(data), size, path);
    if (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0 || ::fsync(fd.Get()) != 0)
        RaiseInOutError(errno, path);
    fd.Close(path);
}

}  // namespace

std::vector<uint8_t> ReadRecord(const std::string& windowsPath, size_t size)
{
    const std::string path = KeptFilePath(windowsPath, false);
    CheckWritable(path);
    // The runtime opens a record file for writing too, which CheckWritable stands in for; opened
    // for reading only, a slot linked to a device cannot act on it.
    TStoryFile file(path, size, TStoryFile::THome::Kept);
    // What is no file (a FIFO would wait for a writer for ever) is refused as a folder is.
    if (file.Refusal() == TFileRefusal::NotRegular)
        throw EInOutError(IoCode::AccessDenied);
    std::vector<uint8_t> bytes(size);
    size_t done = 0;
    while (done < size) {
        const size_t n = file.Read(reinterpret_cast<char*>(bytes.data()) + done, size - done);
        if (n == 0)
            throw EInOutError(IoCode::ReadBeyondEnd);
        done += n;
    }
    return bytes;
}

void ReplaceFile(const std::string& windowsPath, const void* data, size_t size)
{
    const std::string path = KeptFilePath(windowsPath, true);
    // A slot that is a link is read through it, so what it points to tells whether the slot is
    // read-only and gives the new file its mode; the link itself is what the rename replaces.
    CheckWritable(path);
    struct stat st {};
    const bool exists = StatPath(path, st);
    if (exists && !S_ISREG(st.st_mode))
        throw EInOutError(IoCode::AccessDenied);

    std::string temp;
    TFd fd(CreateBeside(path, temp));
    if (fd.Get() < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(path, data, size);
        RaiseInOutError(errno, path);
    }
    try {
        // Permissions only: a set-user-ID bit on what a slot's link points to is no save's.
        if (exists && ::fchmod(fd.Get(), st.st_mode & 0777) != 0)
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
