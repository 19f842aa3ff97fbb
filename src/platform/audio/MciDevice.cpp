#include "platform/audio/MciDevice.h"

#include "platform/Files.h"
#include "platform/audio/SdlMusic.h"

#include <cstring>

namespace Audio {

namespace {

void CopyReply(const std::string& text, char* reply, uint32_t replyLength, uint32_t& error)
{
    if (!reply || replyLength == 0)
        return;
    size_t n = text.size();
    if (n + 1 > replyLength) {
        n = replyLength - 1;
        if (error == MciError::None)
            error = MciError::ParamOverflow;
    }
    std::memcpy(reply, text.data(), n);
    reply[n] = '\0';
}

}  // namespace

uint32_t TMciInterpreter::Send(const std::string& command, char* reply, uint32_t replyLength)
{
    TMciParse parsed = ParseMciCommand(command);
    uint32_t error = parsed.Error;
    std::string text;
    if (error == MciError::None) {
        const TMciCommand& cmd = parsed.Command;
        switch (cmd.Verb) {
        case TMciVerb::Open:
            error = Open(cmd);
            break;
        case TMciVerb::Play:
            error = Play(cmd);
            break;
        case TMciVerb::Stop:
            error = Addresses(cmd) ? MciError::None : MciError::InvalidDeviceName;
            if (error == MciError::None)
                Output->Stop();
            break;
        case TMciVerb::Status:
            error = Status(cmd, text);
            break;
        case TMciVerb::Close:
            error = Close(cmd);
            break;
        }
    }
    if (error != MciError::None)
        text.clear();
    CopyReply(text, reply, replyLength, error);
    return error;
}

bool TMciInterpreter::Addresses(const TMciCommand& cmd) const
{
    // A file that turned out unplayable after "open" answered is no device, as if the open had
    // failed: the poll then gets an empty reply instead of "stopped" for ever.
    return Output && !Output->LoadFailed() && MciSameWord(cmd.Device, Alias);
}

uint32_t TMciInterpreter::Open(const TMciCommand& cmd)
{
    std::string alias = cmd.Alias.empty() ? cmd.Device : cmd.Alias;
    if (Output && Output->LoadFailed())
        Output.reset();
    if (Output)
        return MciSameWord(alias, Alias) ? MciError::DuplicateAlias : MciError::DeviceOpen;
    std::unique_ptr<TMusicOutput> output = MakeOutput();
    uint32_t error = output->Load(NativePath(cmd.Device));
    if (error != MciError::None)
        return error;
    Output = std::move(output);
    Alias = alias;
    return MciError::None;
}

uint32_t TMciInterpreter::Play(const TMciCommand& cmd)
{
    if (!Addresses(cmd))
        return MciError::InvalidDeviceName;
    // Only whole-piece playing is supported: there is no seeking inside a synthesised piece.
    if ((cmd.From && *cmd.From != 0) || cmd.To)
        return MciError::UnsupportedFunction;
    // "play" alone goes on when already playing; "from 0" always starts over.
    if (cmd.From || !Output->Playing())
        Output->Play();
    return MciError::None;
}

uint32_t TMciInterpreter::Status(const TMciCommand& cmd, std::string& text)
{
    if (!Addresses(cmd))
        return MciError::InvalidDeviceName;
    if (cmd.Item == TMciStatusItem::Mode)
        text = Output->Playing() ? "playing" : "stopped";
    else
        text = "true";
    return MciError::None;
}

uint32_t TMciInterpreter::Close(const TMciCommand& cmd)
{
    bool all = MciSameWord(cmd.Device, "all");
    bool named = Output && MciSameWord(cmd.Device, Alias);
    if (!all && !named)
        return MciError::InvalidDeviceName;
    if (Output)
        Output->Stop();
    Output.reset();
    Alias.clear();
    return MciError::None;
}

uint32_t MciSendString(const std::string& command, char* reply, uint32_t replyLength)
{
    // Never destroyed: freeing music after the program's SDL_Quit would touch a closed mixer.
    // CloseAudio() is the orderly way out.
    static TMciInterpreter& interpreter = *new TMciInterpreter([] { return std::make_unique<TSdlMusic>(); });
    return interpreter.Send(command, reply, replyLength);
}

}  // namespace Audio
