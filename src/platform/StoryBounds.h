// What the player accepts from a story. A story is untrusted input: each file it names is read
// only up to its kind's bound, so that a damaged or hostile story cannot hold the player for long
// nor make it reserve memory beyond a couple of hundred megabytes. Each bound is far above what a
// real story of this player holds.
#pragma once

#include <cstdint>

namespace StoryBounds {

constexpr uint64_t MiB = 1024 * 1024;

// Script lines: the engine's table, UnitRK::ScriptCapacity (9999 lines and the closing "#End").
// Script bytes: real scripts are well under 1 MB. Past it the load fails with the range error, as
// for a script of too many lines.
constexpr uint64_t ScriptBytes = 8 * MiB;

// Picture file size: real pictures are a few hundred kilobytes. Past it the picture fails as a
// damaged one of its format does.
constexpr uint64_t PictureBytes = 16 * MiB;

// Picture pixels, checked by every decoder before it allocates them: 16 megapixels (64 MB of
// 0x00RRGGBB), room for 4096 x 4096, for a window that shows 154 x 95.
constexpr int64_t PicturePixels = int64_t{16} * 1024 * 1024;

// Music file size: MIDI files are under 1 MB, a long piece of compressed audio some 10 MB. Past it
// the music is treated as missing: silence.
constexpr uint64_t MusicBytes = 32 * MiB;

// A MIDI file's size: songs are rarely over 200 KB. The synthesiser holds every event of a piece
// in memory, some 70 bytes each for events as short as two bytes, so a 4 MB file costs it at most
// some 150 MB. Past it the music is refused as a damaged MIDI file is: silence.
constexpr uint64_t MidiBytes = 4 * MiB;

// Sound effect file size: a few minutes of CD-quality wave. Past it the effect stays silent.
constexpr uint64_t EffectBytes = 64 * MiB;

// A story in an archive: at most this many entries (real stories hold a few hundred files), each
// named in at most this many bytes; an archive with more is refused, a longer name is left out.
constexpr uint64_t ArchiveEntries = 100000;
constexpr uint64_t ArchiveNameBytes = 1024;
// The index holds every folder on the way to each member by its whole path: deep names would
// multiply it. Real stories' names take some tens of kilobytes.
constexpr uint64_t ArchiveIndexBytes = 16 * MiB;

// The bytes one pass over an archive may unpack to make the index at start; an archive file larger
// than this is refused too, as the digest of its saves' folder reads it all. Past it the archive is
// refused at start, so that a member packed to inflate to gigabytes costs seconds, not the machine.
constexpr uint64_t ArchiveWorkBytes = 1024 * MiB;

// The bytes the pass to one member may unpack, the way to it and the member. Real stories unpack to
// a few megabytes, some tens at most, and a compressed tar unpacks everything before the member on
// every read: a quarter of the index's bound keeps a hostile archive's picture to a second or so,
// not four. Past it the member is treated as too large.
constexpr uint64_t ArchiveMemberWorkBytes = 256 * MiB;

// Members' bytes kept once unpacked, the least recently used given up first: a background shown
// again is not unpacked again, nor everything before it in a compressed tar. Pictures and effects
// take a few hundred kilobytes each.
constexpr uint64_t ArchiveCacheBytes = 32 * MiB;
// A larger member is not kept: one would push out every picture.
constexpr uint64_t ArchiveCacheMemberBytes = ArchiveCacheBytes / 4;

}  // namespace StoryBounds
