#include "platform/audio/MidiFile.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace {

constexpr uint32_t DefaultTempo = 500000;  // microseconds per quarter note

// A bounds-checked reader over the file's bytes; any read past the end marks it failed.
class TByteReader {
public:
    TByteReader(const std::string& bytes, size_t begin, size_t end) : Bytes(bytes), Pos(begin), End(end) {}

    bool Failed() const { return Bad; }
    bool AtEnd() const { return Pos >= End; }
    size_t Position() const { return Pos; }

    uint32_t Byte()
    {
        if (Pos >= End) {
            Bad = true;
            return 0;
        }
        return static_cast<unsigned char>(Bytes[Pos++]);
    }
    uint32_t BigEndian(int count)
    {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i)
            v = (v << 8) | Byte();
        return v;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    uint32_t VarLength()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            uint32_t b = Byte();
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return v;
        }
        Bad = true;
        return v;
    }
    std::string Slice(size_t from, size_t length) const { return Bytes.substr(from, length); }
    void Skip(uint32_t count)
    {
        if (count > End - Pos) {
            Bad = true;
            Pos = End;
        } else {
            Pos += count;
        }
    }

private:
    const std::string& Bytes;
    size_t Pos;
    size_t End;
    bool Bad = false;
};

// Time-code division: frames per second (negative in the high byte; -29 is 30 frames with drop
// frames, 29.97 a second) and ticks per frame. Read as so many ticks a quarter note at a tempo
// that makes a tick last as long, which is also how the synthesiser is given such a file.
struct TTiming {
    uint32_t TicksPerQuarter;
    uint32_t Tempo;  // microseconds per quarter note until the file's first tempo change
    bool TimeCode;   // tempo changes in the file do not apply
};

std::optional<TTiming> TimingOf(uint32_t division)
{
    if (!(division & 0x8000))
        return division == 0 ? std::nullopt : std::optional<TTiming>(TTiming{division, DefaultTempo, false});
    int fps = -static_cast<int8_t>(division >> 8);
    uint32_t perFrame = division & 0xFF;
    if (fps <= 0 || perFrame == 0)
        return std::nullopt;
    if (fps == 29)
        return TTiming{30 * perFrame, 1001000, true};  // a second of 30 frames lasts 30 / 29.97 s
    return TTiming{static_cast<uint32_t>(fps) * perFrame, 1000000, true};
}

// Writes a standard MIDI track: every event with its own status byte.
class TTrackWriter {
public:
    void Event(uint64_t tick, const std::string& bytes)
    {
        uint64_t delta = tick - Tick;
        Tick = tick;
        // A gap longer than a delta can hold (left by events that were dropped) is bridged by
        // empty text events.
        for (; delta > MaxDelta; delta -= MaxDelta)
            Out += VarLength(MaxDelta) + std::string("\xFF\x01\x00", 3);
        Out += VarLength(static_cast<uint32_t>(delta)) + bytes;
    }
    std::string Chunk(uint64_t endTick)
    {
        Event(std::max(endTick, Tick), std::string("\xFF\x2F\x00", 3));
        std::string chunk = "MTrk";
        for (int i = 3; i >= 0; --i)
            chunk += static_cast<char>((Out.size() >> (8 * i)) & 0xFF);
        return chunk + Out;
    }

private:
    static constexpr uint64_t MaxDelta = 0x0FFFFFFF;
    static std::string VarLength(uint32_t v)
    {
        std::string s(1, static_cast<char>(v & 0x7F));
        while (v >>= 7)
            s.insert(s.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        return s;
    }

    std::string Out;
    uint64_t Tick = 0;
};

struct TTrackScan {
    uint64_t EndTick = 0;
    bool Ok = true;
};

// Meta events the synthesiser's reader checks the length of; one of another length makes it
// refuse the whole file, where a sequencer passes over it.
bool MetaLengthRefused(uint32_t type, uint32_t length)
{
    switch (type) {
    case 0x2F:
        return length != 0;
    case 0x51:
        return length != 3;
    case 0x54:
        return length != 5;
    case 0x58:
        return length != 4;
    case 0x59:
        return length != 2;
    default:
        return false;
    }
}

// What the channel events tell of the instruments played: the program changes, and the notes
// sounded (with the channel's program, or as a drum on the percussion channel). A note that
// sounds before its channel's first program change, in time and not only in the file's order
// (tracks are read one after another), is played with program 0.
struct TInstrumentWatch {
    using TWhen = std::pair<uint64_t, uint64_t>;  // tick, then order read
    TMidiInstruments Used;
    std::map<uint32_t, TWhen> FirstProgram, FirstNote;
    uint64_t Read = 0;

    static void Earliest(std::map<uint32_t, TWhen>& firsts, uint32_t channel, TWhen when)
    {
        auto [at, added] = firsts.try_emplace(channel, when);
        if (!added)
            at->second = std::min(at->second, when);
    }
    void Event(uint64_t tick, uint32_t status, uint32_t first, uint32_t second)
    {
        constexpr uint32_t Percussion = 9;
        uint32_t kind = status & 0xF0, channel = status & 0x0F;
        TWhen when{tick, Read++};
        if (kind == 0xC0 && channel != Percussion) {
            Used.Programs.insert(first & 0x7F);
            Earliest(FirstProgram, channel, when);
        } else if (kind == 0x90 && second != 0) {
            if (channel == Percussion)
                Used.Drums.insert(first & 0x7F);
            else
                Earliest(FirstNote, channel, when);
        }
    }
    TMidiInstruments Instruments() const
    {
        TMidiInstruments used = Used;
        for (const auto& [channel, note] : FirstNote) {
            auto program = FirstProgram.find(channel);
            if (program == FirstProgram.end() || note < program->second)
                used.Programs.insert(0);
        }
        return used;
    }
};

// Walks one track's events, noting tempo changes (tick -> microseconds per quarter note), the
// tick of its last event, and anything the synthesiser's own reader would refuse. With a writer,
// also copies the events in the standard form that reader takes; with a watch, tells it every
// channel event.
TTrackScan ScanTrack(TByteReader r, std::map<uint64_t, uint32_t>& tempos, bool& synthRefuses, TTrackWriter* out,
                     bool timeCode, TInstrumentWatch* instruments = nullptr)
{
    TTrackScan scan;
    uint64_t tick = 0;
    uint32_t running = 0;
    bool afterMetaOrSysEx = false;
    while (!r.AtEnd() && !r.Failed()) {
        tick += r.VarLength();
        scan.EndTick = tick;
        size_t at = r.Position();
        uint32_t status = r.Byte();
        if (status == 0xFF) {
            uint32_t type = r.Byte();
            uint32_t length = r.VarLength();
            if (type == 0x51 && length == 3)
                tempos[tick] = r.BigEndian(3);
            else
                r.Skip(length);
            bool refused = MetaLengthRefused(type, length);
            synthRefuses |= refused;
            if (type == 0x2F)
                break;
            // In a time-code file the tempo of the conversion rules, not the file's own.
            if (out && !r.Failed() && !refused && !(timeCode && type == 0x51))
                out->Event(tick, r.Slice(at, r.Position() - at));
            afterMetaOrSysEx = true;
        } else if (status == 0xF0 || status == 0xF7) {
            r.Skip(r.VarLength());
            // An escape (F7) packet carries raw bytes the synthesiser's reader cannot take; the
            // music plays on without them.
            synthRefuses |= status == 0xF7;
            if (out && !r.Failed() && status == 0xF0)
                out->Event(tick, r.Slice(at, r.Position() - at));
            afterMetaOrSysEx = true;
        } else {
            if (status > 0xF0) {
                // A system message that has no place in a file (F7 and FF are taken above): how many
                // bytes it spans is unknown, so nothing after it can be read.
                scan.Ok = false;
                return scan;
            }
            uint32_t first = status;
            if (status & 0x80) {
                running = status;
                first = r.Byte();
            } else if (!running) {
                scan.Ok = false;  // data with no status to run on
                return scan;
            } else {
                // Running status: the byte just read was the first data byte. Windows' sequencer
                // keeps it across meta and system-exclusive events; the synthesiser's reader does not.
                synthRefuses |= afterMetaOrSysEx;
            }
            uint32_t kind = running & 0xF0;
            uint32_t second = kind != 0xC0 && kind != 0xD0 ? r.Byte() : 0;
            if (instruments && !r.Failed())
                instruments->Event(tick, running, first, second);
            size_t data = status & 0x80 ? at + 1 : at;
            if (out && !r.Failed())
                out->Event(tick, std::string(1, static_cast<char>(running)) + r.Slice(data, r.Position() - data));
            afterMetaOrSysEx = false;
        }
    }
    scan.Ok = !r.Failed();
    return scan;
}

double TicksToMs(uint64_t endTick, const TTiming& timing, const std::map<uint64_t, uint32_t>& tempos)
{
    double ms = 0;
    uint64_t tick = 0;
    uint32_t tempo = timing.Tempo;
    for (const auto& [at, value] : tempos) {
        if (timing.TimeCode || at >= endTick)
            break;
        ms += static_cast<double>(at - tick) * tempo / 1000.0 / timing.TicksPerQuarter;
        tick = at;
        tempo = value;
    }
    ms += static_cast<double>(endTick - tick) * tempo / 1000.0 / timing.TicksPerQuarter;
    return ms;
}

struct TMidiRead {
    double LengthMs = 0;
    bool SynthRefuses = false;
    std::string Standard;  // the file in the synthesiser's form, when asked for
};

// The one reader of MIDI files: their length, whether the synthesiser would refuse them, and
// (with `write`) the same music as a standard file it takes.
std::optional<TMidiRead> ReadMidi(const std::string& bytes, bool write, TInstrumentWatch* instruments = nullptr)
{
    TByteReader header(bytes, 0, bytes.size());
    if (bytes.compare(0, 4, "MThd") != 0)
        return std::nullopt;
    header.Skip(4);
    uint32_t headerLength = header.BigEndian(4);
    uint32_t format = header.BigEndian(2);  // tempo changes apply to all tracks in every format
    uint32_t trackCount = header.BigEndian(2);
    uint32_t division = header.BigEndian(2);
    std::optional<TTiming> timing = TimingOf(division);
    if (header.Failed() || headerLength < 6 || !timing)
        return std::nullopt;
    header.Skip(headerLength - 6);
    if (header.Failed())
        return std::nullopt;  // a header longer than the file

    TMidiRead read;
    read.SynthRefuses = headerLength != 6 || format > 2 || timing->TimeCode;
    std::map<uint64_t, uint32_t> tempos;
    std::string tracks;
    uint64_t endTick = 0;
    uint32_t tracksRead = 0;
    while (tracksRead < trackCount && !header.AtEnd()) {
        size_t chunkStart = header.Position();
        header.Skip(4);
        uint32_t length = header.BigEndian(4);
        if (header.Failed())
            return std::nullopt;
        size_t body = header.Position();
        size_t bodyEnd = std::min(bytes.size(), body + static_cast<size_t>(length));
        header.Skip(static_cast<uint32_t>(bodyEnd - body));
        if (bytes.compare(chunkStart, 4, "MTrk") != 0) {
            read.SynthRefuses = true;  // an unknown chunk is skipped and does not count as a track
            continue;
        }
        // A track cut short by the end of the file plays as far as it goes; the synthesiser's
        // reader refuses the whole file.
        read.SynthRefuses |= bodyEnd - body < length;
        TTrackWriter writer;
        if (write && tracksRead == 0 && timing->TimeCode) {
            std::string tempo = "\xFF\x51\x03";
            for (int i = 2; i >= 0; --i)
                tempo += static_cast<char>((timing->Tempo >> (8 * i)) & 0xFF);
            writer.Event(0, tempo);
        }
        ++tracksRead;
        TTrackScan scan = ScanTrack(TByteReader(bytes, body, bodyEnd), tempos, read.SynthRefuses,
                                    write ? &writer : nullptr, timing->TimeCode, instruments);
        if (!scan.Ok)
            return std::nullopt;
        endTick = std::max(endTick, scan.EndTick);
        if (write)
            tracks += writer.Chunk(scan.EndTick);
    }
    // Fewer tracks than the header counts: the sequencer plays those there are.
    read.SynthRefuses |= tracksRead < trackCount;
    read.LengthMs = TicksToMs(endTick, *timing, tempos);
    if (write) {
        read.Standard = std::string("MThd\0\0\0\x06\0", 9);
        read.Standard += static_cast<char>(format > 2 ? 1 : format);
        for (uint32_t v : {tracksRead, timing->TicksPerQuarter}) {
            read.Standard += static_cast<char>((v >> 8) & 0xFF);
            read.Standard += static_cast<char>(v & 0xFF);
        }
        read.Standard += tracks;
    }
    return read;
}

}  // namespace

std::optional<double> MidiEventsLengthMs(const std::string& bytes)
{
    std::optional<TMidiRead> read = ReadMidi(bytes, false);
    return read ? std::optional<double>(read->LengthMs) : std::nullopt;
}

std::optional<std::string> MidiForSynthesiser(const std::string& bytes)
{
    std::optional<TMidiRead> read = ReadMidi(bytes, false);
    if (!read || !read->SynthRefuses)
        return std::nullopt;
    std::optional<TMidiRead> standard = ReadMidi(bytes, true);
    return standard ? std::optional<std::string>(std::move(standard->Standard)) : std::nullopt;
}

std::optional<std::string> MidiFromRiff(const std::string& bytes)
{
    auto le32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
        return v;
    };
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "RMID") != 0)
        return std::nullopt;
    // Chunks follow one another, each padded to an even length; the RIFF size is not trusted.
    size_t at = 12;
    while (at <= bytes.size() && bytes.size() - at >= 8) {
        size_t size = le32(at + 4);
        size_t body = at + 8;
        size_t available = std::min(size, bytes.size() - body);
        if (bytes.compare(at, 4, "data") == 0)
            return bytes.substr(body, available);
        if (size > bytes.size() - body)
            break;
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

std::optional<TMidiInstruments> MidiInstruments(const std::string& bytes)
{
    TInstrumentWatch watch;
    if (!ReadMidi(bytes, false, &watch))
        return std::nullopt;
    return watch.Instruments();
}
