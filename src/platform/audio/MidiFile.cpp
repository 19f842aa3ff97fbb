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

struct TTrackScan {
    uint64_t EndTick = 0;
    bool Ok = true;
};

// Walks one track's events, noting tempo changes (tick -> microseconds per quarter note) and
// the tick of its last event.
TTrackScan ScanTrack(TByteReader r, std::map<uint64_t, uint32_t>& tempos)
{
    TTrackScan scan;
    uint64_t tick = 0;
    uint32_t running = 0;
    while (!r.AtEnd() && !r.Failed()) {
        tick += r.VarLength();
        scan.EndTick = tick;
        uint32_t status = r.Byte();
        if (status == 0xFF) {
            uint32_t type = r.Byte();
            uint32_t length = r.VarLength();
            if (type == 0x51 && length == 3)
                tempos[tick] = r.BigEndian(3);
            else
                r.Skip(length);
            if (type == 0x2F)
                break;
        } else if (status == 0xF0 || status == 0xF7) {
            r.Skip(r.VarLength());
        } else {
            if (status & 0x80) {
                running = status;
                r.Byte();
            } else if (!running) {
                scan.Ok = false;  // data with no status to run on
                return scan;
            }  // else running status: the byte just read was the first data byte
            uint32_t kind = running & 0xF0;
            if (kind != 0xC0 && kind != 0xD0)
                r.Byte();
        }
    }
    scan.Ok = !r.Failed();
    return scan;
}

double TicksToMs(uint64_t endTick, uint32_t division, const std::map<uint64_t, uint32_t>& tempos)
{
    if (division & 0x8000) {
        // Time-code based: frames per second (negative in the high byte) times ticks per frame.
        int fps = -static_cast<int8_t>(division >> 8);
        int perFrame = static_cast<int>(division & 0xFF);
        if (fps <= 0 || perFrame <= 0)
            return 0;
        return static_cast<double>(endTick) * 1000.0 / (fps * perFrame);
    }
    double ms = 0;
    uint64_t tick = 0;
    uint32_t tempo = DefaultTempo;
    for (const auto& [at, value] : tempos) {
        if (at >= endTick)
            break;
        ms += static_cast<double>(at - tick) * tempo / 1000.0 / division;
        tick = at;
        tempo = value;
    }
    ms += static_cast<double>(endTick - tick) * tempo / 1000.0 / division;
    return ms;
}

}  // namespace

std::optional<double> MidiEventsLengthMs(const std::string& bytes)
{
    TByteReader header(bytes, 0, bytes.size());
    if (bytes.compare(0, 4, "MThd") != 0)
        return std::nullopt;
    header.Skip(4);
    uint32_t headerLength = header.BigEndian(4);
    header.BigEndian(2);  // format: tempo changes apply to all tracks in every format
    uint32_t trackCount = header.BigEndian(2);
    uint32_t division = header.BigEndian(2);
    if (header.Failed() || headerLength < 6 || division == 0)
        return std::nullopt;
    header.Skip(headerLength - 6);

    std::map<uint64_t, uint32_t> tempos;
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
        if (bytes.compare(chunkStart, 4, "MTrk") != 0)
            continue;  // an unknown chunk is skipped and does not count as a track
        ++tracksRead;
        TTrackScan scan = ScanTrack(TByteReader(bytes, body, bodyEnd), tempos);
        if (!scan.Ok)
            return std::nullopt;
        endTick = std::max(endTick, scan.EndTick);
    }
    return TicksToMs(endTick, division, tempos);
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
