// Files as the story names them: Windows-style relative paths such as "dat\1.txt".
#pragma once

#include "platform/CodePageNames.h"
#include "platform/StoryArchive.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How FindDataFile found a file. A story unpacked on Linux often has its Japanese names in
// UTF-8 rather than in the Shift-JIS its script writes them in, and stories made on Windows
// name their files without regard to letter case. An unpacker that took a Shift-JIS name for a
// Western code page wrote what its bytes mean there (駅前 as ëwæO).
struct TFoundPath {
    std::string Path;        // the native path found; the path as named when nothing was found
    bool Found = false;      // something (a file, a folder or a link) is there
    bool Utf8Name = false;   // some part of the path exists only under its name in UTF-8
    bool OtherCase = false;  // some part of the path exists only in another letter case
    // Some part of the path exists only under its name as an unpacker mangled it.
    CodePageNames::TMangling Mangled = CodePageNames::TMangling::None;
};

// Plays the story from an archive from now on: every path the story names is looked up and read
// in it, and the story's save slots are kept in a folder of the user's data of its own. nullptr
// goes back to the story in the current folder.
void PlayFromArchive(std::unique_ptr<TStoryArchive> archive);
// The archive played from, or nullptr.
TStoryArchive* PlayedArchive();

// Finds what a Windows-style path names. A single-byte backslash is a folder separator, while
// the byte 0x5C that ends a double-byte character (as in 表 or ソ) stays part of the name. The
// exact bytes are tried first (one look at the disk when they are there), then the whole path
// converted to UTF-8. Failing both, each part of the path is matched in turn, folders too: its
// exact bytes, then its UTF-8 form, then a folder entry that differs from the Shift-JIS name,
// or else from the UTF-8 one, only in the case of single-byte letters (the first such in byte
// order, so that the answer never depends on the order a folder lists its entries in), or else
// that is the Shift-JIS name as such an unpacker wrote it, all in one reading of the folder. The
// second byte of a double-byte character is never folded. Nothing is cached: a file added a
// moment ago is found.
TFoundPath FindDataFile(const std::string& windowsPath);

// The native path for a Windows-style path: FindDataFile's, whether or not anything is there.
std::string NativePath(const std::string& windowsPath);

// True when a regular file (not a folder) exists at the Windows-style path.
bool FileExists(const std::string& windowsPath);

// True when something other than a link to nothing is at a native path of the story.
bool NativePathLeadsSomewhere(const std::string& nativePath);

// The native path of a file the player keeps for the story, a save slot named as "save0.dat":
// beside a story in a folder, as NativePath finds it; for a story in an archive, in its folder
// under the user's data, "saves/NAME-DIGEST/", which `make` makes when it is missing. Raises
// EInOutError (code 3) when the story in an archive has no such folder: no usable HOME nor
// XDG_DATA_HOME, or the folder cannot be made.
std::string KeptFilePath(const std::string& windowsName, bool make);
// True when that file exists and is a regular file.
bool KeptFileExists(const std::string& windowsName);

// Why a file a story names gave no (more) bytes.
enum class TFileRefusal {
    None,        // open, and read so far within its bound
    NotRegular,  // a FIFO, a device, a folder: nothing a story may have read from it
    TooLarge,    // it holds more than its bound
};

// A file a story names (or a save slot beside it), open for reading. Only a regular file is
// read: a FIFO would block the player for good, a device would feed it without end. So the file
// is opened without waiting and judged by what was opened, not by an earlier look at its name,
// which something else may take between the look and the open. This is the one way the player
// opens what a story gives it.
class TStoryFile {
public:
    // Where a file lives: among the story's own files (in its folder or its archive), or among
    // those the player keeps for it (its save slots, always on disk).
    enum class THome { Story, Kept };

    // Opens the file at a native path for reading, to be read up to `maxBytes`. Raises
    // EInOutError when the system refuses to open it (a missing file with code 2); what is opened
    // but no regular file is refused, not raised. For a story in an archive its own file is
    // unpacked here, into memory.
    TStoryFile(const std::string& nativePath, uint64_t maxBytes, THome home = THome::Story);
    ~TStoryFile();
    TStoryFile(const TStoryFile&) = delete;
    TStoryFile& operator=(const TStoryFile&) = delete;

    TFileRefusal Refusal() const { return Refused; }
    // The size the file has now, as the system tells it.
    uint64_t Size() const { return FileSize; }
    // Reads up to `size` bytes; 0 at the end of the file, when refused, and once more than the
    // bound would have been read (the file is then refused as too large: never cut short in
    // silence). Raises EInOutError for a read error.
    size_t Read(char* buffer, size_t size);
    // The rest of the file, or nullopt when it is refused.
    std::optional<std::string> ReadRest();

private:
    std::string Path;
    int Fd = -1;
    std::string Unpacked;  // a member of the archive played from, read from here
    size_t UnpackedAt = 0;
    uint64_t MaxBytes;
    uint64_t Done = 0;
    uint64_t FileSize = 0;
    TFileRefusal Refused = TFileRefusal::None;
};

// Reads a whole file a story names, of at most `maxBytes`: nullopt when it holds more (the caller
// raises what its kind of file raises when damaged). Raises EInOutError when it cannot be read,
// and code 5 (as the system answers for a folder) when it is no regular file.
std::optional<std::string> ReadWholeFile(const std::string& windowsPath, uint64_t maxBytes);

// Splits text into lines the way the runtime's text-file reading does: a line ends at LF or
// CR LF; a lone CR is dropped; a 0x1A byte where a line would begin ends the file; the last
// line counts without a line end; a final line end gives no extra empty line.
std::vector<std::string> SplitTextLines(const std::string& bytes);

// Where those lines begin, told a byte at a time, for text read a piece at a time.
class TTextLineStarts {
public:
    // Takes the next byte of the text; true when it begins a line.
    bool BeginsLine(char byte)
    {
        if (EndOfText)
            return false;
        const bool begins = AtLineStart;
        AtLineStart = byte == '\n';
        EndOfText = begins && byte == '\x1A';
        return begins && !EndOfText;
    }
    // A 0x1A byte began a line: the text ends before it.
    bool Ended() const { return EndOfText; }

private:
    bool AtLineStart = true;
    bool EndOfText = false;
};
