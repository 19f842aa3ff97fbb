#include "platform/sdl/LabelText.h"

#include "platform/ShiftJis.h"

#include <algorithm>

SDL_Color ToSdlColor(TColor color)
{
    return SDL_Color{static_cast<Uint8>(color >> 16), static_cast<Uint8>(color >> 8), static_cast<Uint8>(color), 255};
}

namespace {

// Parses the line that starts at `at` into `line` and moves `at` past its line break; false when
// the text ends without one, so that the line is the last.
bool ParseLine(const std::string& sjis, size_t& at, bool prefixes, TTextLine& line)
{
    auto current = [&]() -> TTextSegment& {
        if (line.empty() || line.back().Tab)
            line.emplace_back();
        return line.back();
    };
    bool underlineNext = false;
    while (at < sjis.size()) {
        size_t next = Sjis::NextChar(sjis, at);
        char c = sjis[at];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && next < sjis.size() && sjis[next] == '\n')
                ++next;
            at = next;
            return true;
        }
        if (c == '\t') {
            line.push_back(TTextSegment{true, "", {}});
            underlineNext = false;
        } else if (prefixes && c == '&' && !underlineNext && !(next < sjis.size() && sjis[next] == '&')) {
            underlineNext = true;  // a lone "&" at the very end draws nothing
        } else {
            TTextSegment& segment = current();
            if (underlineNext)
                segment.Underlined.push_back(segment.Sjis.size());
            underlineNext = false;
            segment.Sjis.append(sjis, at, next - at);
            if (prefixes && c == '&')
                ++next;  // "&&" draws one "&"
        }
        at = next;
    }
    return false;
}

}  // namespace

std::vector<TTextLine> ParseCaption(const std::string& sjis, bool prefixes)
{
    std::vector<TTextLine> lines;
    size_t at = 0;
    for (bool more = true; more;) {
        lines.emplace_back();
        more = ParseLine(sjis, at, prefixes, lines.back());
    }
    return lines;
}

int TTextPainter::TabWidth(const TFont& font) { return 8 * Fonts.AverageCharWidth(font.Height, font.Bold); }

int TTextPainter::SegmentWidth(const std::string& sjis, TTF_Font* face)
{
    if (sjis.empty())
        return 0;
    const std::string utf8 = Sjis::ToUtf8(sjis);
    FontBytes += utf8.size();
    int w = 0, h = 0;
    if (TTF_SizeUTF8(face, utf8.c_str(), &w, &h) != 0)
        return 0;
    return w;
}

size_t TTextPainter::ShownBytes(const std::string& sjis, TTF_Font* face, int room)
{
    size_t end = 0;
    for (size_t want = 16;; want *= 2) {
        while (end < sjis.size() && end < want)
            end = Sjis::NextChar(sjis, end);
        if (end >= sjis.size() || SegmentWidth(sjis.substr(0, end), face) >= room)
            return std::min(end, sjis.size());
    }
}

int TTextPainter::LineWidth(const TTextLine& line, const TFont& font)
{
    TTF_Font* face = Fonts.Get(font.Height, font.Bold);
    int tab = std::max(1, TabWidth(font));
    int x = 0;
    for (const TTextSegment& segment : line)
        x = segment.Tab ? (x / tab + 1) * tab : x + SegmentWidth(segment.Sjis, face);
    return x;
}

// A glyph reaches less than a font height beyond its advance on either side, so text that starts
// that far past the clip's right edge draws nothing inside it.
int TTextPainter::Reach(const TFont& font) { return 2 * font.Height; }

size_t TTextPainter::HiddenBytes(const std::string& sjis, TTF_Font* face, int hidden)
{
    if (hidden <= FarLeft)
        return 0;
    const int target = hidden - FarLeft / 2;
    // Whole characters in doubling stretches until one reaches the target, then halving between
    // the last two, each half measured on its own: a few pixels off, far less than the slack left.
    size_t low = 0, high = 0;
    int lowWidth = 0;
    for (size_t want = 16;; want *= 2) {
        while (high < sjis.size() && high < want)
            high = Sjis::NextChar(sjis, high);
        high = std::min(high, sjis.size());
        const int width = SegmentWidth(sjis.substr(0, high), face);
        if (width >= target)
            break;
        if (high == sjis.size())
            return high;
        low = high;
        lowWidth = width;
    }
    while (high - low > 64) {
        size_t middle = low;
        while (middle < low + (high - low) / 2)
            middle = Sjis::NextChar(sjis, middle);
        const int width = lowWidth + SegmentWidth(sjis.substr(low, middle - low), face);
        if (width < target) {
            low = middle;
            lowWidth = width;
        } else {
            high = middle;
        }
    }
    return low;
}

int TTextPainter::WindowStart(const std::string& sjis, size_t from, TTF_Font* face)
{
    const int space = SegmentWidth(" ", face);
    const std::string first = sjis.substr(from, Sjis::NextChar(sjis, from) - from);
    const int pen = SegmentWidth(sjis.substr(0, from) + " ", face) - space;
    const int leadIn = SegmentWidth(first, face) - (SegmentWidth(" " + first, face) - space);
    return pen - leadIn;
}

void TTextPainter::DrawUnderlines(SDL_Surface* target, int x, int y, const SDL_Rect& clip, const TTextSegment& segment,
                                  size_t from, size_t shown, TTF_Font* face, Uint32 pixel)
{
    const std::string& text = segment.Sjis;
    const auto edge = [&](size_t at) { return x + SegmentWidth(text.substr(from, at - from), face); };
    const auto right = [&](size_t at) { return edge(Sjis::NextChar(text, at)); };
    // Of the underlined characters drawn, those left of the clip are passed over by halving, not
    // measured one by one.
    const std::vector<size_t>& marks = segment.Underlined;
    const auto begin = std::lower_bound(marks.begin(), marks.end(), from);
    const auto end = std::lower_bound(begin, marks.end(), shown);
    const auto first = std::partition_point(begin, end, [&](size_t at) { return right(at) <= clip.x; });
    for (auto mark = first; mark != end; ++mark) {
        const int left = edge(*mark);
        if (left >= clip.x + clip.w)
            break;
        SDL_Rect bar{left, y, right(*mark) - left, 1};
        SDL_FillRect(target, &bar, pixel);
    }
}

// Draws what can show of one segment from `x`; its width, or -1 when the rest of the line lies
// beyond the clip.
int TTextPainter::DrawSegment(SDL_Surface* target, int x, int y, const SDL_Rect& clip, const TTextSegment& segment,
                              const TFont& font)
{
    TTF_Font* face = Fonts.Get(font.Height, font.Bold);
    // The font stops at a zero byte: what follows it in the segment neither shows nor takes room.
    const std::string text = segment.Sjis.substr(0, segment.Sjis.find('\0'));
    const size_t from = HiddenBytes(text, face, clip.x - Reach(font) - x);
    if (from == text.size())
        return SegmentWidth(text, face);
    const int start = from ? x + WindowStart(text, from, face) : x;
    const size_t shown = from + ShownBytes(text.substr(from), face, clip.x + clip.w + Reach(font) - start);
    const std::string utf8 = Sjis::ToUtf8(text.substr(from, shown - from));
    FontBytes += utf8.size();
    const SDL_Color color = ToSdlColor(font.Color);
    SDL_Surface* glyphs = TTF_RenderUTF8_Solid(face, utf8.c_str(), color);
    if (!glyphs)
        return 0;
    SDL_SetClipRect(target, &clip);
    SDL_Rect where{start, y, glyphs->w, glyphs->h};
    SDL_BlitSurface(glyphs, nullptr, target, &where);
    const int underlineY = y + std::min(TTF_FontAscent(face), font.Height - 1);
    DrawUnderlines(target, start, underlineY, clip, segment, from, shown, face,
                   SDL_MapRGB(target->format, color.r, color.g, color.b));
    SDL_SetClipRect(target, nullptr);
    const int width = glyphs->w;
    SDL_FreeSurface(glyphs);
    if (shown < text.size())
        return -1;
    return from ? SegmentWidth(text, face) : width;
}

void TTextPainter::DrawLine(SDL_Surface* target, int x, int y, const SDL_Rect& clip, const TTextLine& line,
                            const TFont& font)
{
    const int tab = std::max(1, TabWidth(font));
    int offset = 0;
    for (const TTextSegment& segment : line) {
        if (x + offset >= clip.x + clip.w + Reach(font))
            return;
        if (segment.Tab) {
            offset = (offset / tab + 1) * tab;
            continue;
        }
        if (segment.Sjis.empty())
            continue;
        const int width = DrawSegment(target, x + offset, y, clip, segment, font);
        if (width < 0)
            return;
        offset += width;
    }
}

void TTextPainter::Draw(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip, const TFont& font,
                        TAlignment alignment, const std::string& caption, bool prefixes)
{
    SDL_Rect area;
    if (!SDL_IntersectRect(&box, &clip, &area))
        return;
    // Line by line, and no further than the area's bottom: lines below it cost nothing.
    size_t at = 0;
    bool more = true;
    for (int y = box.y; more && y < area.y + area.h; y += font.Height) {
        TTextLine line;
        more = ParseLine(caption, at, prefixes, line);
        int x = box.x;
        if (alignment == TAlignment::Center)
            x += (box.w - LineWidth(line, font)) / 2;
        DrawLine(target, x, y, area, line, font);
    }
}
