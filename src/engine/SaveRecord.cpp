#include "engine/SaveRecord.h"

#include "platform/ShiftJis.h"

#include <algorithm>

namespace {

using namespace SaveLayout;

void PutInt(TSaveBytes& b, size_t at, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetInt(const TSaveBytes& b, size_t at)
{
    uint32_t u = 0;
    for (size_t i = 0; i < 4; ++i)
        u |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    return static_cast<int32_t>(u);
}

void PutText(TSaveBytes& b, size_t at, size_t area, const std::string& text)
{
    const std::string cut = Sjis::CutAtChar(text, area);
    b[at] = static_cast<uint8_t>(cut.size());
    std::copy(cut.begin(), cut.end(), b.begin() + static_cast<std::ptrdiff_t>(at + 1));
}

std::string GetText(const TSaveBytes& b, size_t at, size_t area)
{
    const size_t length = std::min<size_t>(b[at], area);
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at + 1),
                       b.begin() + static_cast<std::ptrdiff_t>(at + 1 + length));
}

}  // namespace

TSaveBytes EncodeSaveRecord(const TSaveRecord& r)
{
    TSaveBytes b{};
    PutInt(b, CurLine, r.CurLine);
    PutText(b, MsgText, LongTextArea, r.MsgText);
    PutInt(b, MsgLines, r.MsgLines);
    b[Stopped] = r.Stopped ? 1 : 0;
    for (size_t i = 0; i < ChoiceEntries; ++i) {
        const TSaveChoice& c = r.Choices[i];
        b[ChoiceVisible + i] = c.Visible ? 1 : 0;
        PutText(b, ChoiceCaptions + i * (1 + ShortTextArea), ShortTextArea, c.Caption);
        PutInt(b, ChoiceWidths + i * 4, c.Width);
        PutText(b, ChoiceTargets + i * (1 + ShortTextArea), ShortTextArea, c.Target);
    }
    b[Choosing] = r.Choosing ? 1 : 0;
    PutText(b, CgName, LongTextArea, r.CgName);
    PutText(b, MidiName, LongTextArea, r.MidiName);
    return b;
}

TSaveRecord DecodeSaveRecord(const TSaveBytes& b)
{
    TSaveRecord r;
    r.CurLine = GetInt(b, CurLine);
    r.MsgText = GetText(b, MsgText, LongTextArea);
    r.MsgLines = GetInt(b, MsgLines);
    r.Stopped = b[Stopped] != 0;
    for (size_t i = 0; i < ChoiceEntries; ++i) {
        TSaveChoice& c = r.Choices[i];
        c.Visible = b[ChoiceVisible + i] != 0;
        c.Caption = GetText(b, ChoiceCaptions + i * (1 + ShortTextArea), ShortTextArea);
        c.Width = GetInt(b, ChoiceWidths + i * 4);
        c.Target = GetText(b, ChoiceTargets + i * (1 + ShortTextArea), ShortTextArea);
    }
    r.Choosing = b[Choosing] != 0;
    r.CgName = GetText(b, CgName, LongTextArea);
    r.MidiName = GetText(b, MidiName, LongTextArea);
    return r;
}
