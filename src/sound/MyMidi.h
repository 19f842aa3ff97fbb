// Background music: one music device at a time, under the alias Midi1, driven by media-control
// command strings. The main loop polls it (MidiPoll) and restarts it when it has stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace MyMidi {

// 1 while music has been opened and started, 0 after closing.
extern int MidiState;
// Whether the current music restarts when it stops.
extern bool MidiLoop;
// The path last opened (Windows-style, as the script gave it).
extern std::string MidiPath;

// Where command strings go: the media-control interpreter, or a recorder in tests. `reply` may
// be null; see Audio::MciSendString for its meaning.
using TMciSink = std::function<uint32_t(const std::string& command, char* reply, uint32_t replyLength)>;
// An empty sink puts the real interpreter back.
void SetMciSink(TMciSink sink);

// Sends one command string without a reply; returns the error code (every caller ignores it).
int MidiSend(const std::string& command);
// Closes whatever plays, then opens `windowsPath` and starts it. The path goes in unquoted, so
// a path with a blank cannot be opened; no failure is reported.
void MidiPlay(const std::string& windowsPath, bool loop);
void MidiClose();
// Timer work: when the music has stopped, restart it (looping) or close it.
void MidiPoll();

}  // namespace MyMidi
