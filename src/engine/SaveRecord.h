// The save slot record: 2776 bytes, no header. Integers are 32-bit signed little-endian, a
// boolean is one byte, a short string is a length byte followed by a fixed area. This file and
// SaveRecord.cpp are the only places that know the layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace SaveLayout {

constexpr size_t ChoiceEntries = 15;  // slots in each choice array; the engine uses the first six
constexpr size_t LongTextArea = 255;  // message, picture and music names
constexpr size_t ShortTextArea = 63;  // choice captions and targets

constexpr size_t CurLine = 0;
constexpr size_t MsgText = 4;
constexpr size_t MsgLines = MsgText + 1 + LongTextArea;
constexpr size_t Stopped = MsgLines + 4;
constexpr size_t ChoiceVisible = Stopped + 1;
constexpr size_t ChoiceCaptions = ChoiceVisible + ChoiceEntries;
constexpr size_t ChoiceWidths = ChoiceCaptions + ChoiceEntries * (1 + ShortTextArea);
constexpr size_t ChoiceTargets = ChoiceWidths + ChoiceEntries * 4;
constexpr size_t Choosing = ChoiceTargets + ChoiceEntries * (1 + ShortTextArea);
constexpr size_t CgName = Choosing + 1;
constexpr size_t MidiName = CgName + 1 + LongTextArea;
constexpr size_t Padding = MidiName + 1 + LongTextArea;
constexpr size_t Size = 2776;

static_assert(MsgLines == 260 && Stopped == 264 && ChoiceVisible == 265 && ChoiceCaptions == 280);
static_assert(ChoiceWidths == 1240 && ChoiceTargets == 1300 && Choosing == 2260);
static_assert(CgName == 2261 && MidiName == 2517 && Padding == 2773 && Size == Padding + 3);

}  // namespace SaveLayout

struct TSaveChoice {
    bool Visible = false;
    std::string Caption;
    int32_t Width = 0;
    std::string Target;
};

struct TSaveRecord {
    int32_t CurLine = 0;
    std::string MsgText;
    int32_t MsgLines = 0;
    bool Stopped = false;
    std::array<TSaveChoice, SaveLayout::ChoiceEntries> Choices;
    bool Choosing = false;
    std::string CgName;
    std::string MidiName;
};

using TSaveBytes = std::array<uint8_t, SaveLayout::Size>;

// Texts longer than their area are cut to it, never in the middle of a double-byte character.
// Unused bytes are zero.
TSaveBytes EncodeSaveRecord(const TSaveRecord& record);

// Reads a record that may come from anywhere: a length byte larger than its area is taken as
// the whole area, a boolean byte other than 0 reads as true.
TSaveRecord DecodeSaveRecord(const TSaveBytes& bytes);
