// A story played straight from the archive it came in (.zip, .lzh, .7z, .tar.*): an index of its
// members' names, made at start without unpacking anything, and each member read into memory
// when the story names it. Nothing is ever written beside the archive nor into it.
#pragma once

#include "platform/StoryBounds.h"

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// What a path of the story names.
enum class TEntryKind {
    Missing,
    File,    // a regular file
    Folder,  // a folder, named in the archive or holding a member
    Other,   // a link or a device: never read, refused as a FIFO on disk is
};

// A member's bytes, read up to a bound.
struct TMemberBytes {
    std::string Bytes;
    bool TooLarge = false;  // it unpacks to more than the bound: no bytes are given
};

// Why an archive was not opened.
struct TArchiveProblem {
    std::string Reason;
    bool PastBound = false;  // it is an archive, but larger than the player reads
};

class TStoryArchive {
public:
    // Opens and indexes the archive at `path`; nullptr with `problem` set when it is no archive
    // the player reads (or one past its bounds). No pass over it unpacks more than `workBytes`, nor
    // the pass to one member more than ArchiveMemberWorkBytes.
    static std::unique_ptr<TStoryArchive> Open(const std::string& path, TArchiveProblem& problem,
                                               uint64_t workBytes = StoryBounds::ArchiveWorkBytes);
    ~TStoryArchive();
    TStoryArchive(const TStoryArchive&) = delete;
    TStoryArchive& operator=(const TStoryArchive&) = delete;

    // The folders at the top and up to two levels down ("" for the top, else "a/" or "a/b/"): where
    // a story may begin.
    std::vector<std::string> UpperFolders() const;
    // Makes `folder` (one of UpperFolders) the story's own: every path below is taken from there.
    void EnterFolder(const std::string& folder) { Root = folder; }
    const std::string& Folder() const { return Root; }

    // What a "/"-separated path of the story names. Paths that lead above the story's folder or
    // start at "/" name nothing.
    TEntryKind KindOf(const std::string& path) const;
    // The names in a folder of the story, in no particular order.
    std::vector<std::string> EntriesOf(const std::string& folder) const;
    // Unpacks a file of the story, at most `maxBytes` of it. Raises EInOutError when it cannot be
    // unpacked (a damaged archive, or one changed on disk since it was opened).
    TMemberBytes Read(const std::string& path, uint64_t maxBytes) const;
    // The passes made over the archive so far, the index's included.
    uint64_t Passes() const { return PassCount; }

    // The archive's file name and a digest of all its bytes, for a folder name of its own.
    std::string NameAndDigest() const;

private:
    struct TMember {
        TEntryKind Kind = TEntryKind::Missing;
        int64_t Entry = -1;  // its place among the archive's entries, for a file
    };

    TStoryArchive(int fd, std::string path, uint64_t workBytes, const struct stat& st);
    bool Index(TArchiveProblem& problem);
    void CheckUnchanged() const;
    const std::string* Cached(int64_t entry) const;
    void Keep(int64_t entry, const std::string& bytes) const;
    bool Add(std::string name, TEntryKind kind, int64_t entry);
    std::optional<std::string> InStory(const std::string& path) const;

    int Fd;
    std::string Path;
    uint64_t WorkBytes;
    int64_t Size;  // and its time of change: as they were at Open, for the entries' numbers to hold
    timespec Changed;
    std::string Root;
    std::unordered_map<std::string, TMember> Members;                    // by path from the top
    std::unordered_map<std::string, std::vector<std::string>> Children;  // folder ("" or "a/") -> names
    uint64_t IndexBytes = 0;
    mutable std::optional<uint64_t> Digest;
    mutable uint64_t PassCount = 0;
    mutable std::list<std::pair<int64_t, std::string>> Recent;  // by entry, most recently used first
    mutable uint64_t RecentBytes = 0;
};
