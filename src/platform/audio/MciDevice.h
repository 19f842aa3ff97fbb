// The media-control command-string interpreter the music unit talks to. It keeps one open
// music device under its alias and answers "open", "play", "stop", "status ... mode|ready" and
// "close" (also "close all"), returning the media interface's error codes.
#pragma once

#include "platform/audio/MciCommand.h"
#include "platform/audio/MusicOutput.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Audio {

class TMciInterpreter {
public:
    using TOutputFactory = std::function<std::unique_ptr<TMusicOutput>()>;
    explicit TMciInterpreter(TOutputFactory factory) : MakeOutput(std::move(factory)) {}

    // Runs one command. A reply (only "status" has one) is copied into `reply` when it is not
    // null: at most `replyLength` - 1 characters and a terminating zero; a longer reply is cut
    // and reported as ParamOverflow. A failed command leaves an empty reply.
    uint32_t Send(const std::string& command, char* reply, uint32_t replyLength);

    bool HasOpenDevice() const { return Output != nullptr; }

private:
    uint32_t Open(const TMciCommand& cmd);
    uint32_t Play(const TMciCommand& cmd);
    uint32_t Status(const TMciCommand& cmd, std::string& text);
    uint32_t Close(const TMciCommand& cmd);
    bool Addresses(const TMciCommand& cmd) const;

    TOutputFactory MakeOutput;
    std::unique_ptr<TMusicOutput> Output;
    std::string Alias;
};

// The process's interpreter, playing through SDL2_mixer; paths in "open" are Windows-style and
// go through NativePath().
uint32_t MciSendString(const std::string& command, char* reply, uint32_t replyLength);

}  // namespace Audio
