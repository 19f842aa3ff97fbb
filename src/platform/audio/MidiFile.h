// Reading how long a Standard MIDI File's events last. The synthesiser keeps reporting a piece
// as playing while the last notes die away (about three seconds with a General MIDI soundfont),
// so the music device takes the end of the piece from the file itself, as a sequencer does.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

// Milliseconds from the start to the last event of the longest track (its end-of-track mark),
// following every tempo change. Nothing when the bytes are not a readable MIDI file.
std::optional<double> MidiEventsLengthMs(const std::string& bytes);

// The same music as a standard MIDI file the synthesiser's own reader takes, for a file that
// reader would refuse although Windows' sequencer plays it: unknown chunks between the tracks
// (left out), fewer tracks than the header counts (those there are), running status kept across
// meta and system-exclusive events (every event gets its status), time-code division (ticks a
// quarter note at a tempo that keeps their length), meta events of a length the synthesiser
// refuses and escape packets (left out), a last track cut short by the end of the file (what there
// is of it). Nothing for a file the synthesiser takes as it is, and for one that is no readable
// MIDI file.
std::optional<std::string> MidiForSynthesiser(const std::string& bytes);

// The Standard MIDI File inside a RIFF MIDI file ("RIFF" ... "RMID", the MIDI file in its "data"
// chunk), as Windows' sequencer plays it. Nothing when the bytes are no RIFF MIDI file.
std::optional<std::string> MidiFromRiff(const std::string& bytes);

// The instruments a MIDI file plays: the General MIDI programs (0-127) of the melodic channels
// that sound a note (program 0 where a channel plays before any program change), and the notes
// of the percussion channel (10), each a drum of its own. Nothing when the bytes are not a
// readable MIDI file.
struct TMidiInstruments {
    std::set<uint32_t> Programs;
    std::set<uint32_t> Drums;
};
std::optional<TMidiInstruments> MidiInstruments(const std::string& bytes);
