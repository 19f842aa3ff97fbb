// Files of fixed-size records (the save slots), where KeptFilePath puts them. Every operation is
// checked and fails with the runtime's input/output error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// A read-only file is one that this user may not write, or one whose write permission bits
// are all clear: the counterpart of the read-only attribute on Windows, which stops every user
// alike, the administrator too.

// Opens the file for reading and writing, as the runtime opens a record file, and reads the
// first `size` bytes. A read-only file fails with code 5, a shorter file with code 100.
std::vector<uint8_t> ReadRecord(const std::string& windowsPath, size_t size);

// Replaces the file's content with `size` bytes. The bytes go to a new file under a name of its
// own beside it, which is flushed and then renamed over the file, keeping its mode, so a failed
// write (code 101 when fewer bytes were written, or the system's error) leaves the old file as
// it was. A read-only file fails with code 5 and keeps its content. Nothing is ever written
// through a symbolic link: a link at the file's name is replaced by a file of its own, and what
// it points to is left alone. Only where no file can be made beside it (a folder we may not
// write) is an existing file written in place, and a link there is refused with code 5.
void ReplaceFile(const std::string& windowsPath, const void* data, size_t size);

// The call that writes to a file descriptor; tests put a failing one in its place.
using TWriteCall = ssize_t (*)(int fd, const void* data, size_t size);
void SetWriteCall(TWriteCall call);  // nullptr restores the system's write
