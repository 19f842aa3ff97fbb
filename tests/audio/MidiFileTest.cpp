#include "platform/audio/MidiFile.h"
#include "audio/SoundTestFiles.h"

#include <gtest/gtest.h>

using namespace SoundTest;

namespace {

TEST(MidiFile, LengthFollowsTempoChangesInAnyTrack)
{
    EXPECT_DOUBLE_EQ(MidiEventsLengthMs(PianoMidi(2)).value_or(-1), 1000.0);

    TTrack conductor;  // format 1: the tempo track has no notes but rules them all
    conductor.Tempo(48, 1000000);
    conductor.End(0);
    TTrack notes;
    notes.Event(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});  // sysex, skipped by length
    notes.Event(0, {0xFF, 0x03, 0x02, 'P', 'n'});                // meta text
    notes.Event(0, {0xC0, 5});                                   // one data byte
    notes.Event(0, {0x90, 60, 100});
    notes.Event(96, {62, 100});  // running status
    notes.Event(96, {0x80, 60, 0});
    notes.End(96);  // a rest before the end mark counts
    // 48 ticks at 0.5 s a quarter, then 240 at 1 s a quarter.
    EXPECT_DOUBLE_EQ(MidiEventsLengthMs(MidiFile(1, 96, {conductor, notes})).value_or(-1), 2750.0);
}

TEST(MidiFile, TimeCodeDivisionCountsFramesAndTicks)
{
    TTrack t;
    t.End(100);  // 25 frames a second, 40 ticks a frame
    EXPECT_DOUBLE_EQ(MidiEventsLengthMs(MidiFile(0, static_cast<uint16_t>((0x100 - 25) << 8 | 40), {t})).value_or(-1),
                     100.0);
    // "-29" is 30 frames a second with frames dropped: 29.97 frames a second.
    EXPECT_NEAR(MidiEventsLengthMs(MidiFile(0, static_cast<uint16_t>((0x100 - 29) << 8 | 1), {t})).value_or(-1),
                100 * 1001 / 30.0, 1e-6);
}

TEST(MidiFile, FilesTheSynthesiserRefusesAreRewrittenWithTheirTiming)
{
    EXPECT_FALSE(MidiForSynthesiser(PianoMidi(2)).has_value()) << "a file it takes goes to it as it is";
    for (const auto& [kind, file] : RefusedMidiFiles()) {
        SCOPED_TRACE(kind);
        EXPECT_DOUBLE_EQ(MidiEventsLengthMs(file).value_or(-1), 1000.0);
        std::optional<std::string> standard = MidiForSynthesiser(file);
        ASSERT_TRUE(standard.has_value());
        EXPECT_FALSE(MidiForSynthesiser(*standard).has_value()) << "the rewritten file is one it takes";
        EXPECT_DOUBLE_EQ(MidiEventsLengthMs(*standard).value_or(-1), 1000.0);
        for (size_t n = 0; n < file.size(); ++n)  // every cut is read safely
            (void)MidiForSynthesiser(file.substr(0, n));
    }
}

TEST(MidiFile, ARiffMidiFileGivesTheMidiFileItWraps)
{
    std::string midi = PianoMidi(3);
    std::string riff = RiffMidi(midi);
    EXPECT_EQ(MidiFromRiff(riff).value_or(""), midi);
    EXPECT_FALSE(MidiFromRiff(midi).has_value());
    EXPECT_FALSE(MidiFromRiff(SineWav(440, 10)).has_value());
    for (size_t n = 0; n < riff.size(); ++n)  // every cut is read safely; a cut data chunk gives what it has
        EXPECT_EQ(MidiFromRiff(riff.substr(0, n)).value_or(""), n >= 32 ? midi.substr(0, n - 32) : "") << n;
}

TEST(MidiFile, DamagedOrForeignFilesGiveNoLength)
{
    EXPECT_FALSE(MidiEventsLengthMs("RIFF....WAVEfmt ").has_value());
    EXPECT_FALSE(MidiEventsLengthMs("MThd but no more").has_value()) << "a header longer than the file";
    EXPECT_FALSE(MidiEventsLengthMs(std::string("MThd\0\0\0\6\0\0\0\1\0\0", 14)).has_value());  // division 0
    std::string whole = PianoMidi(3);
    for (size_t n = 0; n < whole.size(); ++n)  // every cut is read safely
        (void)MidiEventsLengthMs(whole.substr(0, n));
    EXPECT_FALSE(MidiEventsLengthMs(whole.substr(0, whole.size() - 2)).has_value());
    TTrack noStatus;
    noStatus.Event(0, {60, 100});
    EXPECT_FALSE(MidiEventsLengthMs(MidiFile(0, 96, {noStatus})).has_value());
    TTrack systemCommon;  // a song-position message, which belongs on a cable, not in a file
    systemCommon.Event(0, {0xF2, 0, 0});
    systemCommon.End(0);
    EXPECT_FALSE(MidiEventsLengthMs(MidiFile(0, 96, {systemCommon})).has_value());
    TTrack hugeDelta;
    hugeDelta.Bytes = "\xFF\xFF\xFF\xFF\x7F";
    EXPECT_FALSE(MidiEventsLengthMs(MidiFile(0, 96, {hugeDelta})).has_value());
}

TEST(MidiFile, InstrumentsAreTheProgramsThatSoundAndTheDrumsStruck)
{
    TTrack t;
    t.Event(0, {0xC1, 24});            // channel 2 takes program 24 ...
    t.Event(0, {0x91, 60, 100});       // ... and plays it
    t.Event(0, {64, 90});              // running status: same channel, still program 24
    t.Event(0, {0x92, 60, 100});       // channel 3 plays before any program change: program 0
    t.Event(0, {0x99, 35, 100});       // the percussion channel: drum 35
    t.Event(0, {0xFF, 0x01, 1, 'x'});  // meta text between
    t.Event(0, {38, 0});               // running status across it; velocity 0 sounds nothing
    t.Event(0, {0x99, 42, 1});
    t.Event(0, {0xC9, 7});       // a program change on the percussion channel is no program
    t.Event(0, {0xB3, 7, 100});  // controller: two data bytes, no instrument
    t.End(0);
    std::optional<TMidiInstruments> used = MidiInstruments(MidiFile(0, 96, {t}));
    ASSERT_TRUE(used);
    EXPECT_EQ(used->Programs, (std::set<uint32_t>{0, 24}));
    EXPECT_EQ(used->Drums, (std::set<uint32_t>{35, 42}));
    EXPECT_FALSE(MidiInstruments("MThd"));

    // Tracks are read one after another: a program change in the first track that comes later
    // in time than a note of the second leaves that note on program 0.
    TTrack later, earlier;
    later.Event(96, {0xC4, 24});
    later.End(0);
    earlier.Event(0, {0x94, 60, 100});
    earlier.End(0);
    used = MidiInstruments(MidiFile(1, 96, {later, earlier}));
    ASSERT_TRUE(used);
    EXPECT_EQ(used->Programs, (std::set<uint32_t>{0, 24}));
}

}  // namespace
