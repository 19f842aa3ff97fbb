// The media-control command parser and the interpreter behind it: the input is a run of command
// strings separated by zero bytes, as a caller hands them over one by one, with reply buffers of
// every kind (none, one byte, too short for "stopped", roomy). The files they open are looked up
// in a story folder as the music device looks them up, and played by a player that makes no
// sound. A reply is always a terminated string inside its buffer, and a failed command leaves it
// empty unless it failed for want of room.
#include "Fuzz.h"

#include "platform/audio/MciDevice.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// Opens the files there are; one named "late" turns out unplayable after "open" answered, as a
// piece the synthesiser refuses on its loading thread does. Playing stops at every other look.
class TQuietMusic : public Audio::TMusicOutput {
public:
    uint32_t Load(const std::string& nativePath) override
    {
        if (!std::ifstream(nativePath))
            return MciError::FileNotFound;
        Late = nativePath.find("late") != std::string::npos;
        return MciError::None;
    }
    void Play() override { Active = true; }
    void Stop() override { Active = false; }
    bool Playing() override { return Active && (++Looks % 2 == 1); }
    bool LoadFailed() override { return Late; }

private:
    bool Late = false, Active = false;
    int Looks = 0;
};

const std::set<uint32_t> Codes = {MciError::None,
                                  MciError::UnrecognizedKeyword,
                                  MciError::UnrecognizedCommand,
                                  MciError::InvalidDeviceName,
                                  MciError::DeviceOpen,
                                  MciError::CannotLoadDriver,
                                  MciError::MissingCommandString,
                                  MciError::ParamOverflow,
                                  MciError::MissingStringArgument,
                                  MciError::BadInteger,
                                  MciError::MissingParameter,
                                  MciError::UnsupportedFunction,
                                  MciError::FileNotFound,
                                  MciError::DuplicateAlias,
                                  MciError::MissingDeviceName,
                                  MciError::NoClosingQuote,
                                  MciError::InvalidFile};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::EnterStoryFolder(argc, argv);
    Fuzz::WriteFile("dat/bgm.mid", "MThd");
    Fuzz::WriteFile("dat/late.mid", "MThd");
    Fuzz::WriteFile("dat/Music Box.mid", "MThd");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Audio::TMciInterpreter mci([] { return std::make_unique<TQuietMusic>(); });
    const std::string input(reinterpret_cast<const char*>(data), size);
    const uint32_t replyLengths[] = {0, 1, 7, 32};
    size_t count = 0;
    for (size_t from = 0; from <= input.size(); ++count) {
        const size_t end = std::min(input.find('\0', from), input.size());
        const std::string command = input.substr(from, end - from);
        from = end + 1;

        const TMciParse parsed = ParseMciCommand(command);
        Fuzz::Require(Codes.count(parsed.Error) == 1, "the parser gave an unknown error code");
        Fuzz::Require(parsed.Error != MciError::None || !parsed.Command.Device.empty(),
                      "a command was parsed without a device name");

        // Exactly the buffer's size, so that a write past it is caught; none at all for length 0.
        const uint32_t length = replyLengths[count % 4];
        std::vector<char> reply(length, 'x');
        const uint32_t error = mci.Send(command, length ? reply.data() : nullptr, length);
        Fuzz::Require(Codes.count(error) == 1, "the interpreter gave an unknown error code");
        if (length == 0)
            continue;
        Fuzz::Require(std::find(reply.begin(), reply.end(), '\0') != reply.end(), "a reply not terminated");
        Fuzz::Require(error == MciError::None || error == MciError::ParamOverflow || reply[0] == '\0',
                      "a failed command left a reply");
    }
    mci.Send("close all", nullptr, 0);
    return 0;
}
