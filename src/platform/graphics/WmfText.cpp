// Text output of the metafile player: Shift-JIS strings drawn with the Japanese Gothic fonts.
#include "WmfPlayer.h"

#include "CairoCanvas.h"

#include "platform/ShiftJis.h"
#include "platform/StoryBounds.h"

#include <cmath>
#include <numbers>

namespace {

constexpr int TextAlignUpdateCp = 1;
constexpr int TextAlignHorizontal = 6;  // TA_LEFT 0, TA_RIGHT 2, TA_CENTER 6
constexpr int TextAlignRight = 2;
constexpr int TextAlignCenter = 6;
constexpr int TextAlignVertical = 24;  // TA_TOP 0, TA_BOTTOM 8, TA_BASELINE 24
constexpr int TextAlignBottom = 8;
constexpr int TextAlignBaseline = 24;
constexpr int EtoOpaque = 2;
constexpr int EtoClipped = 4;
constexpr int BoldWeight = 600;
// The most glyph pixels (characters times the square of their height) one metafile may show,
// sixteen pictures covered with text. Each glyph is rasterised whole wherever the panel cuts it,
// and cairo keeps thousands of them: 15 MB of distinct characters 1,024 pixels high took half a
// minute and 1.4 GB.
constexpr double MaxTextPixels = 16.0 * StoryBounds::PicturePixels;

// Fonts named in a story's metafiles (MS Gothic and the like) are not here; the IPA Gothic
// faces stand in, fixed or proportional as the font asks.
constexpr const char* FixedFace = "IPAGothic";
constexpr const char* ProportionalFace = "IPAPGothic";

}  // namespace

std::string TWmfPlayer::BytesParam(const TRecord& r, size_t index, size_t length) const
{
    if (index * 2 > r.Words * 2 || length > r.Words * 2 - index * 2)
        In.Damaged();
    return In.Slice(r.Params + index * 2, length);
}

void TWmfPlayer::TextOut(const TRecord& r)
{
    size_t length = static_cast<uint16_t>(Param(r, 0));
    std::string text = BytesParam(r, 1, length);
    size_t after = 1 + (length + 1) / 2;
    DrawText(ShiftJisText(text, {}), Param(r, after + 1), Param(r, after), 0, nullptr);
}

void TWmfPlayer::ExtTextOut(const TRecord& r)
{
    double y = Param(r, 0), x = Param(r, 1);
    size_t length = static_cast<uint16_t>(Param(r, 2));
    int options = static_cast<uint16_t>(Param(r, 3));
    bool hasRect = (options & (EtoOpaque | EtoClipped)) != 0;
    TLogicalRect rect{};
    if (hasRect)
        rect = {double(Param(r, 4)), double(Param(r, 5)), double(Param(r, 6)), double(Param(r, 7))};
    size_t text = hasRect ? 8 : 4;
    // After the text (padded to whole words), when the record holds it, the distance from each
    // character cell to the next, one for each byte.
    std::vector<double> dx;
    size_t spacing = text + (length + 1) / 2;
    if (length > 0 && r.Words >= spacing + length)
        for (size_t i = 0; i < length; ++i)
            dx.push_back(Param(r, spacing + i));
    DrawText(ShiftJisText(BytesParam(r, text, length), dx), x, y, options, hasRect ? &rect : nullptr);
}

void TWmfPlayer::SelectFont()
{
    cairo_select_font_face(Cr, State.Font.FixedPitch ? FixedFace : ProportionalFace,
                           State.Font.Italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           State.Font.Weight >= BoldWeight ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);  // GDI's text is unsmoothed
    cairo_set_font_options(Cr, options);
    cairo_font_options_destroy(options);
    double height = State.Font.Height == 0 ? DefaultFontPixels : std::fabs(State.Font.Height * ScaleY());
    height = std::min(height, MaxFontPixels);
    cairo_set_font_size(Cr, std::max(1.0, height));
    if (State.Font.Height > 0) {
        // A positive height is the cell (ascent + descent), not the character size.
        cairo_font_extents_t font;
        cairo_font_extents(Cr, &font);
        if (font.ascent + font.descent > 0)
            cairo_set_font_size(Cr, std::max(1.0, height * height / (font.ascent + font.descent)));
    }
}

void TWmfPlayer::CountGlyphPixels(size_t characters, double height)
{
    TextPixels += static_cast<double>(characters) * height * height;
    if (TextPixels > MaxTextPixels)
        In.Damaged();
}

// With spacing given (one for each byte), each character starts where the spacing puts it (a
// double-byte character takes the spacing of both its bytes), and the text is as wide as their sum.
TWmfPlayer::TText TWmfPlayer::ShiftJisText(const std::string& sjis, const std::vector<double>& spacing) const
{
    TText text{Sjis::ToUtf8(sjis), 0, {}, !spacing.empty(), 0};
    for (size_t i = 0; i < sjis.size();) {
        size_t next = std::min(Sjis::NextChar(sjis, i), sjis.size());
        ++text.Characters;
        if (text.Spaced)
            text.Cells.emplace_back(Sjis::ToUtf8(sjis.substr(i, next - i)), text.Advance);
        for (; i < next; ++i)
            if (text.Spaced)
                text.Advance += spacing[i] * ScaleX();
    }
    return text;
}

void TWmfPlayer::DrawText(const TText& text, double x, double y, int options, const TLogicalRect* rect)
{
    cairo_save(Cr);
    SelectFont();
    cairo_font_extents_t font;
    cairo_font_extents(Cr, &font);
    CountGlyphPixels(text.Characters, font.ascent + font.descent);
    cairo_text_extents_t extents;
    cairo_text_extents(Cr, text.Utf8.c_str(), &extents);
    const std::vector<std::pair<std::string, double>>& cells = text.Cells;
    if (text.Spaced)
        extents.x_advance = text.Advance;

    if (State.TextAlign & TextAlignUpdateCp) {
        x = State.CurX;
        y = State.CurY;
    }
    double left = X(x), top = Y(y);
    if (rect) {
        double l = X(rect->Left), t = Y(rect->Top), r = X(rect->Right), b = Y(rect->Bottom);
        cairo_rectangle(Cr, std::min(l, r), std::min(t, b), std::fabs(r - l), std::fabs(b - t));
        if (options & EtoOpaque) {
            SetSourceColour(Cr, State.BkColour);
            cairo_fill_preserve(Cr);
        }
        if (options & EtoClipped)
            cairo_clip(Cr);
        cairo_new_path(Cr);
    }
    cairo_translate(Cr, left, top);
    cairo_rotate(Cr, -State.Font.Escapement * std::numbers::pi / 1800);

    double dx = 0, baseline = font.ascent;
    if ((State.TextAlign & TextAlignHorizontal) == TextAlignCenter)
        dx = -extents.x_advance / 2;
    else if ((State.TextAlign & TextAlignHorizontal) == TextAlignRight)
        dx = -extents.x_advance;
    if ((State.TextAlign & TextAlignVertical) == TextAlignBaseline)
        baseline = 0;
    else if ((State.TextAlign & TextAlignVertical) == TextAlignBottom)
        baseline = -font.descent;

    if (State.OpaqueBackground) {
        SetSourceColour(Cr, State.BkColour);
        cairo_rectangle(Cr, std::round(dx), std::round(baseline - font.ascent), std::round(extents.x_advance),
                        std::round(font.ascent + font.descent));
        cairo_fill(Cr);
    }
    SetSourceColour(Cr, State.TextColour);
    if (cells.empty()) {
        cairo_move_to(Cr, std::round(dx), std::round(baseline));
        cairo_show_text(Cr, text.Utf8.c_str());
    }
    for (const auto& [character, at] : cells) {
        cairo_move_to(Cr, std::round(dx + at), std::round(baseline));
        cairo_show_text(Cr, character.c_str());
    }
    cairo_new_path(Cr);  // showing text leaves a current point the next figure must not start from
    cairo_restore(Cr);

    if (State.TextAlign & TextAlignUpdateCp)
        State.CurX += extents.x_advance / ScaleX();
}
