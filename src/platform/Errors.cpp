#include "platform/Errors.h"

#include "platform/ShiftJis.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {

struct IoText {
    int Code;
    const char* Utf8;
};

// The runtime's texts for the input/output error codes.
constexpr IoText IoTexts[] = {
    {IoCode::FileNotFound, "ファイルが見つかりません"},
    {IoCode::InvalidFileName, "不正なファイル名です"},
    {IoCode::TooManyOpenFiles, "オープンしたファイルが多すぎます"},
    {IoCode::AccessDenied, "ファイルへのアクセスが拒否されました"},
    {IoCode::ReadBeyondEnd, "ファイルの末尾以降を読み込みました"},
    {IoCode::DiskFull, "ディスクがいっぱいです"},
    {IoCode::InvalidNumber, "入力値が数値ではありません"},
};

constexpr const char* OtherIoText = "I/O エラー (%d)";
constexpr const char* RangeText = "範囲チェックエラー";
constexpr const char* JpegText = "JPEG エラー #%d";
constexpr const char* ExtensionText = "拡張子 .%s の画像形式は処理できません";
constexpr const char* BitmapText = "ビットマップが無効です";
constexpr const char* IconText = "アイコンが無効です";
constexpr const char* MetafileText = "メタファイルが無効です";
constexpr const char* LibraryText = "cannot draw %s: %s (Debian package %s)";

std::string Format(const char* utf8Pattern, int value)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, utf8Pattern, value);
    return Sjis::FromUtf8(buffer);
}

bool FolderOfExists(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return true;
    struct stat st {};
    return stat(path.substr(0, slash == 0 ? 1 : slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

ERangeError::ERangeError() : Exception(Sjis::FromUtf8(RangeText)) {}

EInOutError::EInOutError(int code) : Exception(InOutErrorText(code)), ErrorCode(code) {}

std::string InOutErrorText(int code)
{
    for (const IoText& t : IoTexts)
        if (t.Code == code)
            return Sjis::FromUtf8(t.Utf8);
    return Format(OtherIoText, code);
}

int InOutCodeFromErrno(int err, const std::string& nativePath)
{
    switch (err) {
    case ENOENT:
        return FolderOfExists(nativePath) ? IoCode::FileNotFound : IoCode::InvalidFileName;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return IoCode::InvalidFileName;
    case EMFILE:
    case ENFILE:
        return IoCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return IoCode::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return IoCode::DiskFull;
    case EIO:
        return 1117;  // the code Windows gives a device I/O error; errno 5 would read "access denied"
    default:
        return err;
    }
}

void RaiseInOutError(int err, const std::string& nativePath) { throw EInOutError(InOutCodeFromErrno(err, nativePath)); }

EInvalidGraphic JpegError(int messageCode) { return EInvalidGraphic(Format(JpegText, messageCode)); }

EInvalidGraphic UnknownExtensionError(const std::string& extensionSjis)
{
    std::string pattern = Sjis::FromUtf8(ExtensionText);
    size_t at = pattern.find("%s");
    return EInvalidGraphic(pattern.substr(0, at) + extensionSjis + pattern.substr(at + 2));
}

EInvalidGraphic InvalidBitmapError() { return EInvalidGraphic(Sjis::FromUtf8(BitmapText)); }
EInvalidGraphic InvalidIconError() { return EInvalidGraphic(Sjis::FromUtf8(IconText)); }
EInvalidGraphic InvalidMetafileError() { return EInvalidGraphic(Sjis::FromUtf8(MetafileText)); }

EMissingLibrary MissingLibraryError(const std::string& pictures, const std::string& reason, const std::string& package)
{
    std::string text = LibraryText;
    size_t at = 0;
    for (const std::string* part : {&pictures, &reason, &package}) {
        at = text.find("%s", at);
        text.replace(at, 2, *part);
        at += part->size();
    }
    return EMissingLibrary(Sjis::FromUtf8(text));
}

std::string Printable(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return text;
}

std::string TerminalMessage(const std::exception& error)
{
    return dynamic_cast<const Exception*>(&error) ? Sjis::ToUtf8(error.what()) : std::string(error.what());
}
