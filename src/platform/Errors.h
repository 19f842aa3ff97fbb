// The runtime's errors. Every message is Shift-JIS text, as the error report shows it.
// The texts themselves live in one table in Errors.cpp.
#pragma once

#include <stdexcept>
#include <string>

// Base of every error the program raises and the error report shows.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& messageSjis) : std::runtime_error(messageSjis) {}
    std::string Message() const { return what(); }
};

// Any error's message as the terminal shows it: ours are Shift-JIS, a library's are UTF-8 already.
std::string TerminalMessage(const std::exception& error);

// Text from a story or an archive, made safe to print: its control characters (which could move
// the cursor, retitle or clear the terminal) shown as "?".
std::string Printable(std::string text);

// A table index out of bounds.
class ERangeError : public Exception {
public:
    ERangeError();
};

// A file operation failed. `ErrorCode` is the code the report's text is chosen by.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
    int ErrorCode;
};

// A picture that cannot be read (format errors, unknown extension).
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// A library a kind of picture is drawn with cannot be opened: not the file's fault, so a picture
// that holds another (a metafile's bitmap) reports it rather than leaving that part out.
class EMissingLibrary : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

// Input/output error codes the program distinguishes.
namespace IoCode {
constexpr int FileNotFound = 2;
constexpr int InvalidFileName = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int AccessDenied = 5;
constexpr int ReadBeyondEnd = 100;
constexpr int DiskFull = 101;
constexpr int InvalidNumber = 106;
}  // namespace IoCode

// The text shown for an input/output error code.
std::string InOutErrorText(int code);

// Maps a system errno to the input/output error code. `nativePath` tells a missing file
// (code 2) from a missing folder on the way to it (code 3).
int InOutCodeFromErrno(int err, const std::string& nativePath = "");

// Throws the EInOutError for `err` (an errno value).
[[noreturn]] void RaiseInOutError(int err, const std::string& nativePath = "");

// Picture errors with their texts: "JPEG エラー #n" and the unknown-extension error.
EInvalidGraphic JpegError(int messageCode);
EInvalidGraphic UnknownExtensionError(const std::string& extensionSjis);
// The picture control's texts for files it cannot read, one per kind of picture.
EInvalidGraphic InvalidBitmapError();
EInvalidGraphic InvalidIconError();
EInvalidGraphic InvalidMetafileError();
// `pictures` names the kind of picture, `reason` is the loader's text, `package` the Debian package
// that brings the library.
EMissingLibrary MissingLibraryError(const std::string& pictures, const std::string& reason, const std::string& package);
