// Text output of the metafile player: Shift-JIS strings, or a symbol font's bytes, drawn with
// the faces MetafileFonts chooses for the logical font.
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
// The most glyph pixels (characters times the square of their height) one metafile may show,
// sixteen pictures covered with text. Each glyph is rasterised whole wherever the panel cuts it,
// and cairo keeps thousands of them: 15 MB of distinct characters 1,024 pixels high took half a
// minute and 1.4 GB.
constexpr double MaxTextPixels = 16.0 * StoryBounds::PicturePixels;

constexpr size_t LogFontFace = 18;  // bytes before the face name
constexpr size_t LogFontFaceSize = 32;

void SelectFace(cairo_t* cr, const MetafileFonts::TFace& face)
{
    cairo_select_font_face(cr, face.Family.c_str(), face.Italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           face.Bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
}

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
    DrawText({text, {}, false, {}}, Param(r, after + 1), Param(r, after), 0, nullptr);
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
    DrawText({BytesParam(r, text, length), {}, false, dx}, x, y, options, hasRect ? &rect : nullptr);
}

// A LOGFONT: height, width, escapement, orientation and weight words, then the italic,
// underline, strike-out, character set, precision, quality and pitch bytes and the face name,
// which writers cut short after its terminating zero.
TWmfPlayer::TFont TWmfPlayer::ReadFont(const TRecord& r) const
{
    TFont font;
    font.Height = Param(r, 0);
    font.Weight = Param(r, 4);
    font.Italic = (Param(r, 5) & 0xFF) != 0;
    font.Escapement = Param(r, 2);
    font.FixedPitch = (Param(r, 8) >> 8 & 0x03) == 1;
    font.Charset = Param(r, 6) >> 8 & 0xFF;
    if (r.Words * 2 > LogFontFace) {
        std::string face = In.Slice(r.Params + LogFontFace, std::min(r.Words * 2 - LogFontFace, LogFontFaceSize));
        font.Face = Sjis::ToUtf8(face.substr(0, face.find('\0')));
    }
    return font;
}

MetafileFonts::TChoice TWmfPlayer::ChooseFaces() const
{
    return MetafileFonts::Choose(
        {State.Font.Face, State.Font.Charset, State.Font.Weight, State.Font.Italic, State.Font.FixedPitch});
}

void TWmfPlayer::SelectFont(const MetafileFonts::TChoice& choice)
{
    SelectFace(Cr, choice.Faces.front());
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

// Where each run starts from the text's start (into `starts`), and how wide the whole text is.
// With spacing given, each character starts where the spacing of the units before it puts it
// (a double-byte or surrogate-pair character takes the spacing of both its units), and the text
// is as wide as their sum.
double TWmfPlayer::LayOutRuns(const std::vector<MetafileFonts::TRun>& runs, const MetafileFonts::TChoice& choice,
                              const std::vector<double>& spacing, std::vector<double>& starts)
{
    double at = 0;
    size_t unit = 0;
    for (const MetafileFonts::TRun& run : runs) {
        for (; !spacing.empty() && unit < run.FirstUnit; ++unit)
            at += spacing[unit] * ScaleX();
        starts.push_back(at);
        if (spacing.empty()) {
            if (choice.Faces.size() > 1)
                SelectFace(Cr, choice.Faces[run.Face]);
            cairo_text_extents_t extents;
            cairo_text_extents(Cr, run.Utf8.c_str(), &extents);
            at += extents.x_advance;
        }
    }
    for (; unit < spacing.size(); ++unit)
        at += spacing[unit] * ScaleX();
    if (choice.Faces.size() > 1)
        SelectFace(Cr, choice.Faces.front());
    return at;
}

void TWmfPlayer::DrawText(const MetafileFonts::TText& text, double x, double y, int options, const TLogicalRect* rect)
{
    cairo_save(Cr);
    MetafileFonts::TChoice choice = ChooseFaces();
    SelectFont(choice);
    cairo_font_extents_t font;
    cairo_font_extents(Cr, &font);
    std::vector<MetafileFonts::TCharacter> characters = MetafileFonts::Characters(text, choice.Symbol);
    CountGlyphPixels(characters.size(), font.ascent + font.descent);
    std::vector<MetafileFonts::TRun> runs = MetafileFonts::SplitRuns(characters, choice, !text.Spacing.empty());
    std::vector<double> starts;
    double width = LayOutRuns(runs, choice, text.Spacing, starts);

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
        dx = -width / 2;
    else if ((State.TextAlign & TextAlignHorizontal) == TextAlignRight)
        dx = -width;
    if ((State.TextAlign & TextAlignVertical) == TextAlignBaseline)
        baseline = 0;
    else if ((State.TextAlign & TextAlignVertical) == TextAlignBottom)
        baseline = -font.descent;

    if (State.OpaqueBackground) {
        SetSourceColour(Cr, State.BkColour);
        cairo_rectangle(Cr, std::round(dx), std::round(baseline - font.ascent), std::round(width),
                        std::round(font.ascent + font.descent));
        cairo_fill(Cr);
    }
    SetSourceColour(Cr, State.TextColour);
    for (size_t i = 0; i < runs.size(); ++i) {
        if (choice.Faces.size() > 1)
            SelectFace(Cr, choice.Faces[runs[i].Face]);
        cairo_move_to(Cr, std::round(dx + starts[i]), std::round(baseline));
        cairo_show_text(Cr, runs[i].Utf8.c_str());
    }
    cairo_new_path(Cr);  // showing text leaves a current point the next figure must not start from
    cairo_restore(Cr);

    if (State.TextAlign & TextAlignUpdateCp)
        State.CurX += width / ScaleX();
}
