#include "platform/audio/MciCommand.h"

#include <charconv>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits the command into words; false when a quote is not closed.
bool SplitMciWords(const std::string& text, std::vector<std::string>& words)
{
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        std::string word;
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos)
                return false;
            word = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            while (i < text.size() && !IsBlank(text[i]))
                word += text[i++];
        }
        words.push_back(word);
    }
    return true;
}

bool ParseInteger(const std::string& word, int64_t& value)
{
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && value >= 0;
}

std::optional<TMciVerb> VerbOf(const std::string& word)
{
    if (MciSameWord(word, "open"))
        return TMciVerb::Open;
    if (MciSameWord(word, "play"))
        return TMciVerb::Play;
    if (MciSameWord(word, "stop"))
        return TMciVerb::Stop;
    if (MciSameWord(word, "status"))
        return TMciVerb::Status;
    if (MciSameWord(word, "close"))
        return TMciVerb::Close;
    return std::nullopt;
}

// Reads the keywords after the device name. Each verb accepts its own set; anything else is
// an unrecognised keyword, as the media interface reports it.
uint32_t ParseKeywords(const std::vector<std::string>& words, TMciCommand& cmd)
{
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& w = words[i];
        bool hasNext = i + 1 < words.size();
        if (MciSameWord(w, "notify") && cmd.Verb != TMciVerb::Status) {
            cmd.Notify = true;
        } else if (MciSameWord(w, "wait")) {
            cmd.Wait = true;
        } else if (cmd.Verb == TMciVerb::Open && (MciSameWord(w, "alias") || MciSameWord(w, "type"))) {
            if (!hasNext)
                return MciError::MissingStringArgument;
            if (MciSameWord(w, "alias"))
                cmd.Alias = words[i + 1];
            ++i;
        } else if (cmd.Verb == TMciVerb::Open && MciSameWord(w, "shareable")) {
        } else if (cmd.Verb == TMciVerb::Play && (MciSameWord(w, "from") || MciSameWord(w, "to"))) {
            int64_t value = 0;
            if (!hasNext)
                return MciError::MissingParameter;
            if (!ParseInteger(words[i + 1], value))
                return MciError::BadInteger;
            (MciSameWord(w, "from") ? cmd.From : cmd.To) = value;
            ++i;
        } else if (cmd.Verb == TMciVerb::Status && cmd.Item == TMciStatusItem::None &&
                   (MciSameWord(w, "mode") || MciSameWord(w, "ready"))) {
            cmd.Item = MciSameWord(w, "mode") ? TMciStatusItem::Mode : TMciStatusItem::Ready;
        } else {
            return MciError::UnrecognizedKeyword;
        }
    }
    if (cmd.Verb == TMciVerb::Status && cmd.Item == TMciStatusItem::None)
        return MciError::MissingParameter;
    return MciError::None;
}

}  // namespace

bool MciSameWord(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

TMciParse ParseMciCommand(const std::string& text)
{
    TMciParse result;
    std::vector<std::string> words;
    if (!SplitMciWords(text, words)) {
        result.Error = MciError::NoClosingQuote;
        return result;
    }
    if (words.empty()) {
        result.Error = MciError::MissingCommandString;
        return result;
    }
    std::optional<TMciVerb> verb = VerbOf(words[0]);
    if (!verb) {
        result.Error = MciError::UnrecognizedCommand;
        return result;
    }
    result.Command.Verb = *verb;
    if (words.size() < 2 || words[1].empty()) {
        result.Error = MciError::MissingDeviceName;
        return result;
    }
    result.Command.Device = words[1];
    result.Error = ParseKeywords(words, result.Command);
    return result;
}
