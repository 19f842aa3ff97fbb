// Media-control command strings ("open dat\bgm.mid alias Midi1", "play Midi1 notify", ...):
// the parser, a pure function of the text, and the error codes a caller reads back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The media interface's error codes (0 is success); callers compare against these numbers.
namespace MciError {
constexpr uint32_t None = 0;
constexpr uint32_t UnrecognizedKeyword = 259;
constexpr uint32_t UnrecognizedCommand = 261;
constexpr uint32_t InvalidDeviceName = 263;
constexpr uint32_t DeviceOpen = 265;
constexpr uint32_t CannotLoadDriver = 266;
constexpr uint32_t MissingCommandString = 267;
constexpr uint32_t ParamOverflow = 268;
constexpr uint32_t MissingStringArgument = 269;
constexpr uint32_t BadInteger = 270;
constexpr uint32_t MissingParameter = 273;
constexpr uint32_t UnsupportedFunction = 274;
constexpr uint32_t FileNotFound = 275;
constexpr uint32_t DuplicateAlias = 289;
constexpr uint32_t MissingDeviceName = 292;
constexpr uint32_t NoClosingQuote = 294;
constexpr uint32_t InvalidFile = 296;
}  // namespace MciError

enum class TMciVerb { Open, Play, Stop, Status, Close };
enum class TMciStatusItem { None, Mode, Ready };

struct TMciCommand {
    TMciVerb Verb = TMciVerb::Close;
    // For "open" the file (Windows-style path, bytes as written); otherwise the alias addressed.
    std::string Device;
    std::string Alias;  // "open ... alias NAME"
    bool Notify = false;
    bool Wait = false;
    std::optional<int64_t> From;  // "play ... from N"
    std::optional<int64_t> To;    // "play ... to N"
    TMciStatusItem Item = TMciStatusItem::None;
};

struct TMciParse {
    uint32_t Error = MciError::None;
    TMciCommand Command;
};

// Keywords and verbs are matched without regard to ASCII case; words are separated by blanks;
// a word in double quotes may contain blanks.
TMciParse ParseMciCommand(const std::string& text);

// ASCII case-insensitive equality (aliases and keywords).
bool MciSameWord(const std::string& a, const std::string& b);
