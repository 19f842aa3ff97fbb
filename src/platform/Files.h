// Files as the story names them: Windows-style relative paths such as "dat\1.txt".
#pragma once

#include <string>
#include <vector>

// Turns a Windows-style path into a native one: a single-byte backslash is a folder separator,
// while the byte 0x5C that ends a double-byte character (as in 表 or ソ) stays part of the name.
// Stories made on Windows name their files without regard to letter case; when the exact path
// does not exist, a folder entry that differs only in the case of single-byte letters is used
// instead (the first such in byte order). The second byte of a double-byte character is never
// folded.
std::string NativePath(const std::string& windowsPath);

// True when a regular file (not a folder) exists at the Windows-style path.
bool FileExists(const std::string& windowsPath);

// Reads a whole file. Raises EInOutError on failure.
std::string ReadWholeFile(const std::string& windowsPath);

// Splits text into lines the way the runtime's text-file reading does: a line ends at LF or
// CR LF; a lone CR is dropped; a 0x1A byte where a line would begin ends the file; the last
// line counts without a line end; a final line end gives no extra empty line.
std::vector<std::string> SplitTextLines(const std::string& bytes);

// Reads a text file line by line (ReadWholeFile, then SplitTextLines).
std::vector<std::string> ReadTextLines(const std::string& windowsPath);
