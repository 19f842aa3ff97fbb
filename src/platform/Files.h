// Files as the story names them: Windows-style relative paths such as "dat\1.txt".
#pragma once

#include <string>
#include <vector>

// How FindDataFile found a file. A story unpacked on Linux often has its Japanese names in
// UTF-8 rather than in the Shift-JIS its script writes them in, and stories made on Windows
// name their files without regard to letter case.
struct TFoundPath {
    std::string Path;        // the native path found; the path as named when nothing was found
    bool Found = false;      // something (a file, a folder or a link) is there
    bool Utf8Name = false;   // some part of the path exists only under its name in UTF-8
    bool OtherCase = false;  // some part of the path exists only in another letter case
};

// Finds what a Windows-style path names. A single-byte backslash is a folder separator, while
// the byte 0x5C that ends a double-byte character (as in 表 or ソ) stays part of the name. The
// exact bytes are tried first (one look at the disk when they are there), then the whole path
// converted to UTF-8. Failing both, each part of the path is matched in turn, folders too: its
// exact bytes, then its UTF-8 form, then a folder entry that differs from the Shift-JIS name,
// or else from the UTF-8 one, only in the case of single-byte letters (the first such in byte
// order, so that the answer never depends on the order a folder lists its entries in). The
// second byte of a double-byte character is never folded. Nothing is cached: a file added a
// moment ago is found.
TFoundPath FindDataFile(const std::string& windowsPath);

// The native path for a Windows-style path: FindDataFile's, whether or not anything is there.
std::string NativePath(const std::string& windowsPath);

// True when a regular file (not a folder) exists at the Windows-style path.
bool FileExists(const std::string& windowsPath);

// Reads a whole file. Raises EInOutError on failure.
std::string ReadWholeFile(const std::string& windowsPath);

// Splits text into lines the way the runtime's text-file reading does: a line ends at LF or
// CR LF; a lone CR is dropped; a 0x1A byte where a line would begin ends the file; the last
// line counts without a line end; a final line end gives no extra empty line.
std::vector<std::string> SplitTextLines(const std::string& bytes);
