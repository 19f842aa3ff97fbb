// Media files the sound tests write themselves (a small MIDI piece, a sine-wave WAV) and a
// temporary working folder to put them in.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace SoundTest {

inline void Put(std::string& s, uint32_t v, int bytes, bool bigEndian)
{
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>((v >> (8 * (bigEndian ? bytes - 1 - i : i))) & 0xFF);
}

// One MIDI track: events given with their delta times (single-byte deltas are enough here).
struct TTrack {
    std::string Bytes;
    void Event(uint8_t delta, std::initializer_list<int> data)
    {
        Bytes += static_cast<char>(delta);
        for (int b : data)
            Bytes += static_cast<char>(b);
    }
    void Tempo(uint8_t delta, uint32_t microsPerQuarter)
    {
        Event(delta, {0xFF, 0x51, 0x03});
        Put(Bytes, microsPerQuarter, 3, true);
    }
    void End(uint8_t delta) { Event(delta, {0xFF, 0x2F, 0x00}); }
};

inline std::string MidiFile(int format, uint16_t division, const std::vector<TTrack>& tracks)
{
    std::string f = "MThd";
    Put(f, 6, 4, true);
    Put(f, static_cast<uint32_t>(format), 2, true);
    Put(f, static_cast<uint32_t>(tracks.size()), 2, true);
    Put(f, division, 2, true);
    for (const TTrack& t : tracks) {
        f += "MTrk";
        Put(f, static_cast<uint32_t>(t.Bytes.size()), 4, true);
        f += t.Bytes;
    }
    return f;
}

// A piano playing `notes` quarter notes: 0.5 s each at the default tempo, 96 ticks a quarter.
inline std::string PianoMidi(int notes)
{
    TTrack t;
    t.Event(0, {0xC0, 0});
    for (int i = 0; i < notes; ++i) {
        t.Event(0, {0x90, 60 + 2 * i, 100});
        t.Event(96, {0x80, 60 + 2 * i, 0});
    }
    t.End(0);
    return MidiFile(0, 96, {t});
}

// MIDI files that Windows' sequencer plays and the synthesiser's own reader refuses, each of a
// piano playing two half-second notes, by what makes them so.
inline std::vector<std::pair<std::string, std::string>> RefusedMidiFiles()
{
    std::string piano = PianoMidi(2);
    std::string unknownChunk = piano.substr(0, 14) + "XFIH" + std::string("\0\0\0\3abc", 7) + piano.substr(14);
    std::string moreTracks = piano;
    moreTracks[11] = 3;  // the header counts three tracks, the file holds one
    TTrack running;
    running.Event(0, {0xC0, 0});
    running.Event(0, {0x90, 60, 100});
    running.Event(0, {0xFF, 0x01, 0x02, 'p', 'f'});  // a text event, then the note-on's running status
    running.Event(96, {62, 100});
    running.Event(0, {0xF0, 0x03, 0x7E, 0x7F, 0xF7});  // a system-exclusive message, and on again
    running.Event(0, {60, 0});
    running.Event(96, {62, 0});
    running.End(0);
    TTrack timeCode;  // 25 frames of 40 ticks a second: 500 ticks a note
    timeCode.Event(0, {0xC0, 0});
    for (int note : {60, 62}) {
        timeCode.Event(0, {0x90, note, 100});
        for (int i = 0; i < 4; ++i)
            timeCode.Event(125, {0xFF, 0x06, 0x00});  // markers, for deltas of one byte
        timeCode.Event(0, {0x80, note, 0});
    }
    timeCode.End(0);
    std::string cut = piano.substr(0, piano.size() - 4);  // the file ends before the end-of-track event
    return {{"unknown chunk", unknownChunk},
            {"more tracks counted than held", moreTracks},
            {"running status after meta and system-exclusive events", MidiFile(0, 96, {running})},
            {"time-code division", MidiFile(0, static_cast<uint16_t>((0x100 - 25) << 8 | 40), {timeCode})},
            {"a track cut short by the end of the file", cut}};
}

// A RIFF MIDI file (.rmi) wrapping `midi`, after an odd-sized chunk it must skip.
inline std::string RiffMidi(const std::string& midi)
{
    std::string body = "RMIDINFO";
    Put(body, 3, 4, false);
    body += std::string("abc") + '\0';  // padded to an even length
    body += "data";
    Put(body, static_cast<uint32_t>(midi.size()), 4, false);
    body += midi;
    if (midi.size() % 2)
        body += '\0';
    std::string f = "RIFF";
    Put(f, static_cast<uint32_t>(body.size()), 4, false);
    return f + body;
}

// 16-bit mono PCM at 22050 Hz, a sine of `hz` at half scale.
inline std::string SineWav(double hz, int ms)
{
    const uint32_t rate = 22050;
    std::string data;
    for (uint32_t i = 0; i < rate * static_cast<uint32_t>(ms) / 1000; ++i)
        Put(data, static_cast<uint16_t>(static_cast<int16_t>(std::sin(2 * M_PI * hz * i / rate) * 16000)), 2, false);
    std::string f = "RIFF";
    Put(f, static_cast<uint32_t>(36 + data.size()), 4, false);
    f += "WAVEfmt ";
    for (uint32_t v : {16u, 1u | (1u << 16), rate, rate * 2, 2u | (16u << 16)})
        Put(f, v, 4, false);  // PCM, mono, rate, byte rate, block align + bits
    f += "data";
    Put(f, static_cast<uint32_t>(data.size()), 4, false);
    return f + data;
}

// A wave file of any format: its "fmt " chunk's fields (and extra bytes after them, with their
// count, when given) and its samples as stored.
inline std::string WaveFile(uint16_t format, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits,
                            const std::string& extra, const std::string& data)
{
    std::string fmt;
    Put(fmt, format, 2, false);
    Put(fmt, channels, 2, false);
    Put(fmt, rate, 4, false);
    Put(fmt, rate * blockAlign, 4, false);  // bytes a second as for PCM; no reader goes by it
    Put(fmt, blockAlign, 2, false);
    Put(fmt, bits, 2, false);
    if (!extra.empty()) {
        Put(fmt, static_cast<uint32_t>(extra.size()), 2, false);
        fmt += extra;
    }
    std::string body = "WAVEfmt ";
    Put(body, static_cast<uint32_t>(fmt.size()), 4, false);
    body += fmt + "data";
    Put(body, static_cast<uint32_t>(data.size()), 4, false);
    body += data;
    std::string f = "RIFF";
    Put(f, static_cast<uint32_t>(body.size()), 4, false);
    return f + body;
}

// A temporary folder made the current directory while it lives.
class TTempDir {
public:
    TTempDir() : OldDir(std::filesystem::current_path())
    {
        char pattern[] = "/tmp/rk-sound-XXXXXX";
        Dir = mkdtemp(pattern);
        std::filesystem::current_path(Dir);
    }
    ~TTempDir()
    {
        std::error_code ec;
        std::filesystem::current_path(OldDir, ec);
        std::filesystem::remove_all(Dir, ec);
    }
    std::string Path(const std::string& relative) const { return (Dir / relative).string(); }
    void Write(const std::string& relative, const std::string& bytes) const
    {
        std::filesystem::create_directories((Dir / relative).parent_path());
        std::ofstream(Dir / relative, std::ios::binary) << bytes;
    }

private:
    std::filesystem::path OldDir;
    std::filesystem::path Dir;
};

}  // namespace SoundTest
