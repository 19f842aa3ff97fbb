// The text records of the enhanced-metafile reader, decoded into the drawing model's text.
#include "EmfPlayer.h"

#include "EmfRecords.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t EtoOpaque = 2, EtoClipped = 4, EtoGlyphIndex = 0x10, EtoPdy = 0x2000;
constexpr uint32_t EtoNoRect = 0x100, EtoSmallChars = 0x200;  // EMR_SMALLTEXTOUT's own options

}  // namespace

// EMR_EXTTEXTOUTW, EMR_EXTTEXTOUTA: bounds, graphics mode, two scales, then EMRTEXT: the
// reference point, the count of characters, where the string is, options, the clipping or
// opaque rectangle, and where the spacing is: one for each character (or for each byte of the
// Shift-JIS of EMR_EXTTEXTOUTA).
void TEmfPlayer::TextOut(const TRecord& r, bool wide)
{
    TPoint at = PointL(r, 36);
    size_t count = U32(r, 44);
    uint32_t options = U32(r, 52);
    TLogicalRect rect = RectL(r, 56);
    if (count > r.Size)
        In.Damaged();
    std::string raw = Bytes(r, U32(r, 48), count * (wide ? 2 : 1));
    if (options & EtoGlyphIndex)
        return;  // glyph numbers of a font we do not have
    std::vector<double> dx;
    size_t dxAt = U32(r, 72), stride = (options & EtoPdy) ? 8 : 4;
    if (dxAt != 0 && count > 0 && dxAt <= r.Size && (r.Size - dxAt) / stride >= count)
        for (size_t i = 0; i < count; ++i)
            dx.push_back(I32(r, dxAt + i * stride));
    bool hasRect = (options & (EtoOpaque | EtoClipped)) != 0;
    DrawText(wide ? WideText(raw, dx) : MetafileFonts::TText{raw, {}, false, dx}, at, static_cast<int>(options),
             hasRect ? &rect : nullptr);
}

// Under a turned mapping the model sizes the font in logical units and cairo scales its glyphs
// with the figures: the font is made small enough that its glyphs stay within the model's bound,
// and they are counted at the size they are drawn.
void TEmfPlayer::DrawText(const MetafileFonts::TText& text, TPoint at, int options, const TLogicalRect* rect)
{
    TWmfPlayer::TFont font = Gdi.State.Font;
    if (Mapping.xy != 0 || Mapping.yx != 0) {
        // At most this many pixels to the unit in any direction.
        double scale = std::sqrt(Mapping.xx * Mapping.xx + Mapping.yx * Mapping.yx + Mapping.xy * Mapping.xy +
                                 Mapping.yy * Mapping.yy);
        if (scale > TWmfPlayer::MaxFontPixels)
            return;  // a unit of height alone is larger than any glyph the model rasterises
        double logical = font.Height == 0 ? TWmfPlayer::DefaultFontPixels : std::fabs(double(font.Height));
        if (logical * scale > TWmfPlayer::MaxFontPixels)
            Gdi.State.Font.Height = (font.Height > 0 ? 1 : -1) *
                                    static_cast<int>(std::max(1.0, std::floor(TWmfPlayer::MaxFontPixels / scale)));
        size_t characters = MetafileFonts::Characters(text, Gdi.ChooseFaces().Symbol).size();
        Gdi.CountGlyphPixels(characters, std::min(logical * scale, TWmfPlayer::MaxFontPixels));
    }
    Gdi.DrawText(text, at.X, at.Y, options, rect);
    Gdi.State.Font = font;
}

// UTF-16 text, spaced (when `dx` is given) by one distance for each unit.
MetafileFonts::TText TEmfPlayer::WideText(const std::string& raw, std::vector<double> dx)
{
    MetafileFonts::TText text{"", std::u16string(raw.size() / 2, u'\0'), true, std::move(dx)};
    for (size_t i = 0; i < text.Utf16.size(); ++i)
        text.Utf16[i] = static_cast<char16_t>(uint8_t(raw[2 * i]) | uint8_t(raw[2 * i + 1]) << 8);
    return text;
}

// EMR_SMALLTEXTOUT: the reference point, the count of characters, options, graphics mode, two
// scales, a clipping rectangle unless the options leave it out, then the characters: UTF-16, or
// with ETO_SMALL_CHARS their low bytes only.
void TEmfPlayer::SmallTextOut(const TRecord& r)
{
    TPoint at = PointL(r, 8);
    size_t count = U32(r, 16);
    uint32_t options = U32(r, 20);
    size_t text = (options & EtoNoRect) ? 36 : 52;
    TLogicalRect rect = (options & EtoNoRect) ? TLogicalRect{0, 0, 0, 0} : RectL(r, 36);
    if (count > r.Size)
        In.Damaged();
    bool small = (options & EtoSmallChars) != 0;
    std::string raw = Bytes(r, text, count * (small ? 1 : 2));
    if (small) {
        std::string wide;
        for (char c : raw)
            wide += {c, '\0'};
        raw = wide;
    }
    bool hasRect = !(options & EtoNoRect) && (options & (EtoOpaque | EtoClipped)) != 0;
    DrawText(WideText(raw, {}), at, static_cast<int>(options & (EtoOpaque | EtoClipped)), hasRect ? &rect : nullptr);
}
