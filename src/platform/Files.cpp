#include "platform/Files.h"

#include "platform/CodePageNames.h"
#include "platform/Errors.h"
#include "platform/ShiftJis.h"
#include "platform/StoryArchive.h"
#include "platform/UserFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

using CodePageNames::TMangling;

std::unique_ptr<TStoryArchive> Archive;

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
    if (Archive)
        return Archive->KindOf(path) != TEntryKind::Missing;
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Calls `take` with the name of each entry of a folder of the story.
void ForEachEntry(const std::string& folder, const std::function<void(std::string)>& take)
{
    if (Archive) {
        for (const std::string& name : Archive->EntriesOf(folder))
            take(name);
        return;
    }
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    while (dirent* e = readdir(dir))
        take(e->d_name);
    closedir(dir);
}

// The name in UTF-8, or "" when it is plain ASCII (the same in both) or holds a byte that is no
// Shift-JIS.
std::string Utf8Form(const std::string& sjis)
{
    bool ascii = true;
    for (char c : sjis)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    std::string utf8;
    if (ascii || !Sjis::ToUtf8Exact(sjis, utf8))
        return "";
    return utf8;
}

// No byte of a multi-byte UTF-8 character is an ASCII letter, so folding bytes folds only
// single-byte letters.
bool SameUtf8Ascii(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Sjis::FoldAscii(a[i]) != Sjis::FoldAscii(b[i]))
            return false;
    return true;
}

// The entry of a folder that stands for a part of a path missing as named, and how it does.
struct TStandIn {
    std::string Entry;  // "" when none
    bool AsUtf8 = false;
    bool OtherCase = false;
    TMangling Mangled = TMangling::None;
};

// Better stand-ins first: the Shift-JIS name in another case, then the UTF-8 one, then a mangled
// name in its own case and in another.
int Rank(const TStandIn& s)
{
    if (s.Mangled != TMangling::None)
        return s.OtherCase ? 3 : 2;
    return s.AsUtf8 ? 1 : 0;
}

// How the folder entry `entry` stands for `name`, whose UTF-8 form is `utf8`.
TStandIn StandInFor(const std::string& name, const std::string& utf8, const std::string& entry)
{
    if (Sjis::SameTextAscii(name, entry))
        return {entry, false, true};
    if (!utf8.empty() && SameUtf8Ascii(utf8, entry))
        return {entry, true, true};
    // Last, as it is least likely: the name as an unpacker that misread it wrote it.
    if (const CodePageNames::TMangledMatch mangled = CodePageNames::MatchMangled(name, entry);
        mangled.Mangling != TMangling::None)
        return {entry, false, mangled.OtherCase, mangled.Mangling};
    return {};
}

// The entry of `folder` that stands best for `name` (with UTF-8 form `utf8`): one that equals it
// but for the case of single-byte letters, or failing that its UTF-8 form so, or failing that a
// mangled form of it (CodePageNames); "" when none does. Of several as good, the first in byte
// order is taken, so that the file used never depends on the order the folder lists them in.
TStandIn StandInEntry(const std::string& folder, const std::string& name, const std::string& utf8)
{
    TStandIn best;
    ForEachEntry(folder, [&](std::string entry) {
        TStandIn candidate = StandInFor(name, utf8, entry);
        if (candidate.Entry.empty())
            return;
        if (best.Entry.empty() || Rank(candidate) < Rank(best) ||
            (Rank(candidate) == Rank(best) && candidate.Entry < best.Entry))
            best = std::move(candidate);
    });
    return best;
}

// Appends to `found.Path` (the folder reached so far, "" or ending in "/") the entry that
// stands for `part`, noting how it was found; false when there is none.
bool AppendPart(TFoundPath& found, const std::string& part)
{
    std::string& built = found.Path;
    if (part.empty() || part == "." || part == ".." || Exists(built + part)) {
        built += part;
        return true;
    }
    const std::string utf8 = Utf8Form(part);
    if (!utf8.empty() && Exists(built + utf8)) {
        built += utf8;
        found.Utf8Name = true;
        return true;
    }
    const TStandIn standIn = StandInEntry(built, part, utf8);
    if (standIn.Entry.empty())
        return false;
    built += standIn.Entry;
    found.OtherCase = found.OtherCase || standIn.OtherCase;
    found.Utf8Name = found.Utf8Name || standIn.AsUtf8;
    if (found.Mangled == TMangling::None)
        found.Mangled = standIn.Mangled;
    return true;
}

// The save fails as one into a missing folder does; the terminal is told why, which the
// message box of that failure cannot say.
[[noreturn]] void NoSaveFolder(const std::string& why)
{
    std::fprintf(stderr, "zv_rk: cannot save: %s\n", why.c_str());
    throw EInOutError(IoCode::InvalidFileName);
}

}  // namespace

void PlayFromArchive(std::unique_ptr<TStoryArchive> archive) { Archive = std::move(archive); }

TStoryArchive* PlayedArchive() { return Archive.get(); }

TFoundPath FindDataFile(const std::string& windowsPath)
{
    TFoundPath asNamed{SlashPath(windowsPath)};
    const std::string& path = asNamed.Path;
    if (path.empty())
        return asNamed;
    if (Exists(path)) {
        asNamed.Found = true;
        return asNamed;
    }
    const std::string utf8 = Utf8Form(path);
    if (!utf8.empty() && Exists(utf8))
        return {utf8, true, true, false};

    // Part by part, mending only the parts that are missing as named.
    TFoundPath found{path[0] == '/' ? "/" : "", true};
    for (size_t start = found.Path.size();;) {
        const size_t slash = path.find('/', start);
        if (!AppendPart(found, path.substr(start, slash == std::string::npos ? slash : slash - start)))
            return asNamed;
        if (slash == std::string::npos)
            return found;
        found.Path += '/';
        start = slash + 1;
    }
}

std::string NativePath(const std::string& windowsPath) { return FindDataFile(windowsPath).Path; }

bool FileExists(const std::string& windowsPath)
{
    if (Archive)
        return Archive->KindOf(NativePath(windowsPath)) == TEntryKind::File;
    struct stat st {};
    return stat(NativePath(windowsPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool NativePathLeadsSomewhere(const std::string& nativePath)
{
    if (Archive)
        return Archive->KindOf(nativePath) != TEntryKind::Missing;
    struct stat st {};
    return stat(nativePath.c_str(), &st) == 0;
}

std::string KeptFilePath(const std::string& windowsName, bool make)
{
    if (!Archive)
        return NativePath(windowsName);
    const std::string data = UserFolder(TUserFolder::Data);
    if (data.empty()) {
        if (make)
            NoSaveFolder("a story in an archive is saved under XDG_DATA_HOME or HOME, and neither is an absolute path");
        throw EInOutError(IoCode::InvalidFileName);
    }
    const std::string folder = data + "/saves/" + Archive->NameAndDigest();
    std::error_code ec;
    if (make && !std::filesystem::is_directory(folder, ec) && !std::filesystem::create_directories(folder, ec))
        NoSaveFolder(folder + ": " + ec.message());
    return folder + "/" + SlashPath(windowsName);
}

bool KeptFileExists(const std::string& windowsName)
{
    if (!Archive)
        return FileExists(windowsName);
    try {
        struct stat st {};
        return stat(KeptFilePath(windowsName, false).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    } catch (const EInOutError&) {
        return false;
    }
}

TStoryFile::TStoryFile(const std::string& nativePath, uint64_t maxBytes, THome home)
    : Path(nativePath), MaxBytes(maxBytes)
{
    if (Archive && home == THome::Story) {
        const TEntryKind kind = Archive->KindOf(Path);
        if (kind == TEntryKind::Missing) {
            // As the system answers: a missing file in a folder that is there, or a missing folder.
            const size_t slash = Path.find_last_of('/');
            const bool inFolder =
                slash == std::string::npos || Archive->KindOf(Path.substr(0, slash)) == TEntryKind::Folder;
            throw EInOutError(inFolder ? IoCode::FileNotFound : IoCode::InvalidFileName);
        }
        if (kind != TEntryKind::File) {
            Refused = TFileRefusal::NotRegular;
            return;
        }
        TMemberBytes member = Archive->Read(Path, MaxBytes);
        Unpacked = std::move(member.Bytes);
        FileSize = member.TooLarge ? MaxBytes + 1 : Unpacked.size();
        if (member.TooLarge)
            Refused = TFileRefusal::TooLarge;
        return;
    }
    // Without O_NONBLOCK opening a FIFO waits for a writer; what it is, is asked of what was opened.
    Fd = open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (Fd < 0)
        RaiseInOutError(errno, Path);
    struct stat st {};
    if (fstat(Fd, &st) != 0) {
        const int err = errno;
        close(Fd);
        Fd = -1;
        RaiseInOutError(err, Path);
    }
    if (!S_ISREG(st.st_mode))
        Refused = TFileRefusal::NotRegular;
    FileSize = static_cast<uint64_t>(st.st_size);
}

TStoryFile::~TStoryFile()
{
    if (Fd >= 0)
        close(Fd);
}

size_t TStoryFile::Read(char* buffer, size_t size)
{
    if (Refused != TFileRefusal::None || size == 0)
        return 0;
    if (Fd < 0) {
        const size_t n = std::min(size, Unpacked.size() - UnpackedAt);
        Unpacked.copy(buffer, n, UnpackedAt);
        UnpackedAt += n;
        return n;
    }
    // One byte past the bound is asked for, to tell a file of exactly the bound from a larger one.
    const uint64_t left = MaxBytes - Done;
    const size_t want = left < size ? static_cast<size_t>(left + 1) : size;
    for (;;) {
        const ssize_t n = read(Fd, buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseInOutError(errno, Path);
        Done += static_cast<uint64_t>(n);
        if (Done > MaxBytes) {
            Refused = TFileRefusal::TooLarge;
            return 0;
        }
        return static_cast<size_t>(n);
    }
}

std::optional<std::string> TStoryFile::ReadRest()
{
    if (Refused == TFileRefusal::None && FileSize > MaxBytes)
        Refused = TFileRefusal::TooLarge;  // no need to read it to know
    if (Fd < 0 && Refused == TFileRefusal::None && UnpackedAt == 0) {
        std::string bytes = std::move(Unpacked);  // held once, not copied
        Unpacked.clear();
        return bytes;
    }
    std::string bytes;
    char buffer[65536];
    while (const size_t n = Read(buffer, sizeof buffer))
        bytes.append(buffer, n);
    if (Refused != TFileRefusal::None)
        return std::nullopt;
    return bytes;
}

std::optional<std::string> ReadWholeFile(const std::string& windowsPath, uint64_t maxBytes)
{
    TStoryFile file(NativePath(windowsPath), maxBytes);
    std::optional<std::string> bytes = file.ReadRest();
    if (file.Refusal() == TFileRefusal::NotRegular)
        throw EInOutError(IoCode::AccessDenied);
    return bytes;
}

std::vector<std::string> SplitTextLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    TTextLineStarts starts;
    for (const char c : bytes) {
        if (starts.BeginsLine(c))
            lines.emplace_back();
        if (starts.Ended())
            break;
        // CR LF ends a line as LF does, and a lone CR is dropped.
        if (c != '\r' && c != '\n')
            lines.back() += c;
    }
    return lines;
}
