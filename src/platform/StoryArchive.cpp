#include "platform/StoryArchive.h"

#include "platform/Errors.h"
#include "platform/ShiftJis.h"
#include "platform/StoryBounds.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Names are turned into text in the UTF-8 locale while an archive is read: in the "C" locale
// libarchive gives no name at all for a ZIP member flagged as UTF-8, nor reads an LZH header
// whose name is Japanese. The locale is set for this thread only, and only meanwhile.
class TUtf8Names {
public:
    TUtf8Names() : Locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr)))
    {
        if (Locale)
            Old = uselocale(Locale);
    }
    ~TUtf8Names()
    {
        if (Locale) {
            uselocale(Old);
            freelocale(Locale);
        }
    }
    TUtf8Names(const TUtf8Names&) = delete;
    TUtf8Names& operator=(const TUtf8Names&) = delete;

private:
    locale_t Locale;
    locale_t Old = LC_GLOBAL_LOCALE;
};

// The archive's bytes as libarchive asks for them: from the descriptor opened at start, so that
// every pass reads the same file, at an offset of its own.
struct TSource {
    int Fd;
    int64_t Offset = 0;
    int64_t Size = 0;
    char Buffer[65536];
};

la_ssize_t ReadSource(archive* a, void* data, const void** block)
{
    TSource& s = *static_cast<TSource*>(data);
    *block = s.Buffer;
    for (;;) {
        const ssize_t n = pread(s.Fd, s.Buffer, sizeof s.Buffer, s.Offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            archive_set_error(a, errno, "cannot read the archive");
        else
            s.Offset += n;
        return n;
    }
}

la_int64_t SeekSource(archive*, void* data, la_int64_t offset, int whence)
{
    TSource& s = *static_cast<TSource*>(data);
    const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s.Offset : s.Size;
    if (offset < -base || offset > s.Size - base)
        return ARCHIVE_FATAL;
    s.Offset = base + offset;
    return s.Offset;
}

la_int64_t SkipSource(archive*, void* data, la_int64_t request)
{
    TSource& s = *static_cast<TSource*>(data);
    const int64_t skip = std::clamp<int64_t>(request, 0, s.Size - s.Offset);
    s.Offset += skip;
    return skip;
}

using TSupport = int (*)(archive*);

// The filters libarchive runs in this process. Built without one codec, it answers ARCHIVE_WARN and
// would run another program (such as "zstd -d") on the story's bytes: that filter is left out.
const std::vector<TSupport>& InProcessFilters()
{
    static const std::vector<TSupport> filters = [] {
        std::vector<TSupport> found;
        for (TSupport support :
             {archive_read_support_filter_gzip, archive_read_support_filter_bzip2, archive_read_support_filter_xz,
              archive_read_support_filter_lzma, archive_read_support_filter_zstd, archive_read_support_filter_lz4,
              archive_read_support_filter_lzip, archive_read_support_filter_compress}) {
            archive* trial = archive_read_new();
            if (trial && support(trial) == ARCHIVE_OK)
                found.push_back(support);
            archive_read_free(trial);
        }
        return found;
    }();
    return filters;
}

// One pass over the archive, from its first entry on, with a count of the bytes it unpacked.
class TPass {
public:
    TPass(int fd, int64_t size, uint64_t workBytes) : Handle(archive_read_new()), WorkBytes(workBytes)
    {
        Source.Fd = fd;
        Source.Size = size;
        if (!Handle)
            throw std::bad_alloc();
        // The formats a story comes in, named one by one: "all" would take in mtree, whose
        // entries are read from files elsewhere on the disk, and filters run as other programs.
        for (auto support :
             {archive_read_support_format_zip_seekable, archive_read_support_format_lha,
              archive_read_support_format_7zip, archive_read_support_format_tar, archive_read_support_format_cpio,
              archive_read_support_format_iso9660, archive_read_support_format_rar, archive_read_support_format_rar5,
              archive_read_support_format_cab})
            support(Handle);
        for (TSupport support : InProcessFilters())
            support(Handle);
        // LZH headers carry no mark of their names' code page: those of the stories are Shift-JIS.
        archive_read_set_options(Handle, "lha:hdrcharset=CP932");
        archive_read_set_callback_data(Handle, &Source);
        archive_read_set_read_callback(Handle, ReadSource);
        archive_read_set_seek_callback(Handle, SeekSource);
        archive_read_set_skip_callback(Handle, SkipSource);
        Opened = archive_read_open1(Handle) == ARCHIVE_OK;
    }
    ~TPass() { archive_read_free(Handle); }
    TPass(const TPass&) = delete;
    TPass& operator=(const TPass&) = delete;

    bool Opened;
    archive* Get() const { return Handle; }
    std::string Error() const
    {
        const char* text = archive_error_string(Handle);
        return text ? text : "not an archive the player reads";
    }

    // The next entry; nullptr at the end (`failed` tells a damaged archive from its end).
    archive_entry* Next(bool& failed)
    {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(Handle, &entry);
        failed = r < ARCHIVE_WARN;
        return r == ARCHIVE_OK || r == ARCHIVE_WARN ? entry : nullptr;
    }

    // Unpacks up to `size` bytes of the current entry; -1 when it fails or the pass has unpacked
    // all it may.
    la_ssize_t Data(char* buffer, size_t size)
    {
        if (OverBudget())
            return -1;
        const la_ssize_t n = archive_read_data(Handle, buffer, size);
        if (n > 0)
            Unpacked += static_cast<uint64_t>(n);
        return n;
    }

    // Passes over the current entry. Where the format knows where the next entry begins and no
    // filter stands between (a compressed tar's skip unpacks the whole entry before any bound is
    // looked at), that costs no unpacking; elsewhere the entry is unpacked, and counted as it goes.
    bool Skip()
    {
        const int format = archive_format(Handle) & ARCHIVE_FORMAT_BASE_MASK;
        const bool seekable = format == ARCHIVE_FORMAT_ZIP || format == ARCHIVE_FORMAT_LHA ||
                              format == ARCHIVE_FORMAT_TAR || format == ARCHIVE_FORMAT_CPIO ||
                              format == ARCHIVE_FORMAT_ISO9660;
        if (seekable && archive_filter_count(Handle) == 1)
            return archive_read_data_skip(Handle) == ARCHIVE_OK && !OverBudget();
        char scratch[65536];
        la_ssize_t n = 0;
        while ((n = Data(scratch, sizeof scratch)) > 0) {
        }
        return n == 0;
    }

    // A compressed tar is unpacked as a whole to pass over its entries: the filter's output counts.
    // The entries' bytes read are among that output, so the larger count is the work done.
    bool OverBudget() const
    {
        return std::max(Unpacked, static_cast<uint64_t>(archive_filter_bytes(Handle, 0))) > WorkBytes;
    }

private:
    TUtf8Names Names;
    archive* Handle;
    TSource Source;
    uint64_t WorkBytes;
    uint64_t Unpacked = 0;
};

bool IsUtf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        const size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

// The member's name as the story's lookup sees it: its raw bytes, "/" between its parts. An LZH
// name, made UTF-8 by libarchive, is given back its Shift-JIS bytes. A single-byte "\" separates
// parts as in the story's own paths; in a Shift-JIS name the second byte of 表 or ソ does not.
std::string MemberName(archive_entry* entry, bool lzh)
{
    const char* raw = archive_entry_pathname(entry);
    std::string name = raw ? raw : "";
    if (lzh) {
        std::vector<std::string> refused;
        std::string sjis = Sjis::FromUtf8(name, "?", refused);
        if (refused.empty())
            name = std::move(sjis);
    }
    const bool utf8 = IsUtf8(name);
    for (size_t i = 0; i < name.size(); i = utf8 ? i + 1 : Sjis::NextChar(name, i))
        if (name[i] == '\\')
            name[i] = '/';
    return name;
}

// The name's parts from the top, without "." and empty parts; nullopt for a name that starts at
// "/" or climbs with "..": such a member is never reachable, so nothing can be read from outside
// the story through it.
std::optional<std::vector<std::string>> CleanParts(const std::string& name)
{
    if (name.empty() || name[0] == '/')
        return std::nullopt;
    std::vector<std::string> parts;
    for (size_t start = 0; start <= name.size();) {
        size_t slash = name.find('/', start);
        if (slash == std::string::npos)
            slash = name.size();
        std::string part = name.substr(start, slash - start);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".")
            parts.push_back(std::move(part));
        start = slash + 1;
    }
    return parts;
}

TEntryKind KindOfEntry(archive_entry* entry)
{
    if (archive_entry_filetype(entry) == AE_IFDIR)
        return TEntryKind::Folder;
    // A hard link is stored as a regular file that names another: no bytes of its own.
    if (archive_entry_filetype(entry) == AE_IFREG && !archive_entry_hardlink(entry))
        return TEntryKind::File;
    return TEntryKind::Other;
}

// A bound as a reason gives it: "1 GB", "16 MB".
std::string SizeText(uint64_t bytes)
{
    const uint64_t gib = 1024 * StoryBounds::MiB;
    return bytes % gib == 0 ? std::to_string(bytes / gib) + " GB" : std::to_string(bytes / StoryBounds::MiB) + " MB";
}

}  // namespace

std::unique_ptr<TStoryArchive> TStoryArchive::Open(const std::string& path, TArchiveProblem& problem,
                                                   uint64_t workBytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem.Reason = fd < 0 ? std::string(std::strerror(errno)) : "not a regular file";
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    std::unique_ptr<TStoryArchive> opened(new TStoryArchive(fd, path, workBytes, st));
    // Its digest reads it all: a file of holes a terabyte long would hold the data menu for an hour.
    if (static_cast<uint64_t>(st.st_size) > workBytes) {
        problem = {"it is larger than the " + SizeText(workBytes) + " the player reads", true};
        return nullptr;
    }
    if (!opened->Index(problem))
        return nullptr;
    return opened;
}

TStoryArchive::TStoryArchive(int fd, std::string path, uint64_t workBytes, const struct stat& st)
    : Fd(fd), Path(std::move(path)), WorkBytes(workBytes), Size(st.st_size), Changed(st.st_mtim)
{
    Children[""];
}

TStoryArchive::~TStoryArchive() { close(Fd); }

bool TStoryArchive::Index(TArchiveProblem& problem)
{
    TPass pass(Fd, Size, WorkBytes);
    ++PassCount;
    if (!pass.Opened) {
        problem.Reason = pass.Error();
        return false;
    }
    bool failed = false;
    int64_t count = 0;
    for (archive_entry* entry; (entry = pass.Next(failed)); ++count) {
        if (static_cast<uint64_t>(count) >= StoryBounds::ArchiveEntries) {
            problem = {"it holds more than " + std::to_string(StoryBounds::ArchiveEntries) + " files", true};
            return false;
        }
        const bool lzh = (archive_format(pass.Get()) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_LHA;
        std::string name = MemberName(entry, lzh);
        if (name.size() <= StoryBounds::ArchiveNameBytes && !Add(std::move(name), KindOfEntry(entry), count)) {
            problem = {"its names take more than " + SizeText(StoryBounds::ArchiveIndexBytes), true};
            return false;
        }
        if (!pass.Skip()) {
            failed = true;
            break;
        }
    }
    if (failed) {
        problem = pass.OverBudget() ? TArchiveProblem{"it unpacks to more than the player reads", true}
                                    : TArchiveProblem{pass.Error()};
        return false;
    }
    return true;
}

// Indexes a member under its clean path, and every folder on the way to it. A later member of the
// same name takes the place of an earlier one, as it would when the archive is unpacked. False
// when the index would hold more than its bound.
bool TStoryArchive::Add(std::string name, TEntryKind kind, int64_t entry)
{
    std::optional<std::vector<std::string>> parts = CleanParts(name);
    if (!parts || parts->empty())
        return true;
    std::string path;
    for (size_t i = 0; i < parts->size(); ++i) {
        const bool last = i + 1 == parts->size();
        const std::string folder = path;
        path += (*parts)[i];
        auto [member, added] = Members.try_emplace(path);
        if (added) {
            Children[folder].push_back((*parts)[i]);
            IndexBytes += path.size() + (*parts)[i].size();
            if (IndexBytes > StoryBounds::ArchiveIndexBytes)
                return false;
        }
        if (last)
            member->second = TMember{kind, kind == TEntryKind::File ? entry : -1};
        else if (member->second.Kind != TEntryKind::Folder)
            member->second = TMember{TEntryKind::Folder, -1};
        if (!last)
            Children[path + "/"];
        path += '/';
    }
    return true;
}

std::vector<std::string> TStoryArchive::UpperFolders() const
{
    std::vector<std::string> folders;
    for (const auto& [folder, names] : Children)
        if (std::count(folder.begin(), folder.end(), '/') <= 2)
            folders.push_back(folder);
    std::sort(folders.begin(), folders.end());
    return folders;
}

// The path from the archive's top of a path of the story, its "." and ".." taken away; nullopt
// when it leads out of the story's folder.
std::optional<std::string> TStoryArchive::InStory(const std::string& path) const
{
    if (!path.empty() && path[0] == '/')
        return std::nullopt;
    std::vector<std::string> parts;
    for (size_t start = 0; start <= path.size();) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string clean = Root;
    for (const std::string& part : parts)
        clean += part + "/";
    if (!clean.empty())
        clean.pop_back();
    return clean;
}

TEntryKind TStoryArchive::KindOf(const std::string& path) const
{
    const std::optional<std::string> clean = InStory(path);
    if (!clean)
        return TEntryKind::Missing;
    if (clean->empty())
        return TEntryKind::Folder;
    const auto member = Members.find(*clean);
    return member == Members.end() ? TEntryKind::Missing : member->second.Kind;
}

std::vector<std::string> TStoryArchive::EntriesOf(const std::string& folder) const
{
    const std::optional<std::string> clean = InStory(folder);
    if (!clean)
        return {};
    const auto names = Children.find(clean->empty() ? "" : *clean + "/");
    return names == Children.end() ? std::vector<std::string>{} : names->second;
}

TMemberBytes TStoryArchive::Read(const std::string& path, uint64_t maxBytes) const
{
    const std::optional<std::string> clean = InStory(path);
    const auto member = clean ? Members.find(*clean) : Members.end();
    if (member == Members.end() || member->second.Kind != TEntryKind::File)
        throw EInOutError(IoCode::FileNotFound);
    const int64_t entry = member->second.Entry;
    if (const std::string* kept = Cached(entry))
        return kept->size() > maxBytes ? TMemberBytes{"", true} : TMemberBytes{*kept, false};
    CheckUnchanged();
    const uint64_t workBytes = std::min(WorkBytes, StoryBounds::ArchiveMemberWorkBytes);
    TPass pass(Fd, Size, workBytes);
    ++PassCount;
    bool damaged = false;
    bool failed = !pass.Opened;
    for (int64_t n = 0; !failed && n < entry; ++n)
        failed = !pass.Next(damaged) || !pass.Skip();
    failed = failed || !pass.Next(damaged);
    if (failed && pass.OverBudget())
        return TMemberBytes{"", true};
    if (failed)
        RaiseInOutError(EIO, path);
    TMemberBytes read;
    // Room for all it may hold, taken from the system as it is filled: growing the string as it
    // comes would touch up to three times the bound while its bytes are moved along.
    read.Bytes.reserve(static_cast<size_t>(std::min(maxBytes, workBytes)) + 1);
    char buffer[65536];
    la_ssize_t n = 0;
    // Read as it unpacks, whatever size the header gives, and one byte past the bound at most.
    while (read.Bytes.size() <= maxBytes &&
           (n = pass.Data(buffer, std::min<uint64_t>(sizeof buffer, maxBytes + 1 - read.Bytes.size()))) > 0)
        read.Bytes.append(buffer, static_cast<size_t>(n));
    read.TooLarge = read.Bytes.size() > maxBytes || (n < 0 && pass.OverBudget());
    if (n < 0 && !read.TooLarge)
        RaiseInOutError(EIO, path);
    if (read.TooLarge)
        read.Bytes = std::string();  // nothing of it is read
    else
        Keep(entry, read.Bytes);
    return read;
}

// The entries' numbers of the index hold only for the archive as it was opened: replaced or
// rewritten since, it is a file the player cannot read.
void TStoryArchive::CheckUnchanged() const
{
    struct stat st {};
    if (fstat(Fd, &st) != 0 || st.st_size != Size || st.st_mtim.tv_sec != Changed.tv_sec ||
        st.st_mtim.tv_nsec != Changed.tv_nsec)
        RaiseInOutError(EIO, Path);
}

// A member's bytes kept from an earlier read, now the most recently used; nullptr when none are.
const std::string* TStoryArchive::Cached(int64_t entry) const
{
    const auto kept = std::find_if(Recent.begin(), Recent.end(), [entry](const auto& k) { return k.first == entry; });
    if (kept == Recent.end())
        return nullptr;
    Recent.splice(Recent.begin(), Recent, kept);
    return &Recent.front().second;
}

// Keeps a member's bytes, giving up the least recently used past the bound.
void TStoryArchive::Keep(int64_t entry, const std::string& bytes) const
{
    if (bytes.size() > StoryBounds::ArchiveCacheMemberBytes)
        return;
    Recent.emplace_front(entry, bytes);
    RecentBytes += bytes.size();
    while (RecentBytes > StoryBounds::ArchiveCacheBytes) {
        RecentBytes -= Recent.back().second.size();
        Recent.pop_back();
    }
}

// FNV-1a over every byte of the archive: two archives of one name keep their saves apart, and the
// same archive copied elsewhere finds its own. It is reckoned at the first save or look at the
// slots, not at start, where reading all of a large archive would delay the first picture.
std::string TStoryArchive::NameAndDigest() const
{
    if (!Digest) {
        CheckUnchanged();  // another archive's bytes would take another's saves
        uint64_t hash = 0xcbf29ce484222325u;
        char buffer[65536];
        ssize_t n = 0;
        // Up to the size seen at start, which Open bounds.
        for (off_t at = 0; at < Size && (n = pread(Fd, buffer, std::min<off_t>(sizeof buffer, Size - at), at)) > 0;
             at += n)
            for (ssize_t i = 0; i < n; ++i)
                hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 0x100000001b3u;
        if (n < 0)
            RaiseInOutError(errno, Path);
        Digest = hash;
    }
    const size_t slash = Path.find_last_of('/');
    // Room in a folder name (255 bytes) for the digest after the name.
    std::string name = Sjis::CutAtChar(Path.substr(slash == std::string::npos ? 0 : slash + 1), 200);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(*Digest));
    return name + "-" + hex;
}
