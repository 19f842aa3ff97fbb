#include "sound/MyMidi.h"

#include "platform/audio/MciDevice.h"

#include <cstring>

namespace MyMidi {

int MidiState = 0;
bool MidiLoop = false;
std::string MidiPath;

namespace {

TMciSink Sink;

uint32_t Send(const std::string& command, char* reply, uint32_t replyLength)
{
    if (Sink)
        return Sink(command, reply, replyLength);
    return Audio::MciSendString(command, reply, replyLength);
}

}  // namespace

void SetMciSink(TMciSink sink) { Sink = std::move(sink); }

int MidiSend(const std::string& command) { return static_cast<int>(Send(command, nullptr, 0)); }

void MidiPlay(const std::string& windowsPath, bool loop)
{
    MidiClose();
    MidiPath = windowsPath;
    MidiLoop = loop;
    MidiSend("open " + windowsPath + " alias Midi1");
    MidiSend("play Midi1 notify");
    // Set whatever the commands answered: a file that would not open leaves nothing behind the
    // alias, and the poll then simply gets no "stopped".
    MidiState = 1;
}

void MidiClose()
{
    MidiSend("close Midi1");
    MidiState = 0;
}

void MidiPoll()
{
    if (MidiState != 1)
        return;
    char reply[32] = {};
    Send("status Midi1 mode", reply, 31);
    if (std::memcmp(reply, "stopped", 7) != 0)
        return;
    if (MidiLoop)
        MidiSend("play Midi1 from 0");
    else
        MidiClose();
}

}  // namespace MyMidi
