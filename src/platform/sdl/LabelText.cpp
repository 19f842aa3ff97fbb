#include "platform/sdl/LabelText.h"

#include "platform/ShiftJis.h"

SDL_Color ToSdlColor(TColor color)
{
    return SDL_Color{static_cast<Uint8>(color >> 16), static_cast<Uint8>(color >> 8), static_cast<Uint8>(color), 255};
}

std::vector<TTextLine> ParseCaption(const std::string& sjis, bool prefixes)
{
    std::vector<TTextLine> lines(1);
    auto current = [&]() -> TTextSegment& {
        TTextLine& line = lines.back();
        if (line.empty() || line.back().Tab)
            line.emplace_back();
        return line.back();
    };
    bool underlineNext = false;
    for (size_t i = 0; i < sjis.size();) {
        size_t next = Sjis::NextChar(sjis, i);
        char c = sjis[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && next < sjis.size() && sjis[next] == '\n')
                ++next;
            lines.emplace_back();
            underlineNext = false;
        } else if (c == '\t') {
            lines.back().push_back(TTextSegment{true, "", {}});
            underlineNext = false;
        } else if (prefixes && c == '&' && !underlineNext && !(next < sjis.size() && sjis[next] == '&')) {
            underlineNext = true;  // a lone "&" at the very end draws nothing
        } else {
            TTextSegment& segment = current();
            if (underlineNext)
                segment.Underlined.push_back(segment.Sjis.size());
            underlineNext = false;
            segment.Sjis.append(sjis, i, next - i);
            if (prefixes && c == '&')
                ++next;  // "&&" draws one "&"
        }
        i = next;
    }
    return lines;
}

int TTextPainter::TabWidth(const TFont& font) { return 8 * Fonts.AverageCharWidth(font.Height, font.Bold); }

int TTextPainter::SegmentWidth(const std::string& sjis, TTF_Font* face)
{
    if (sjis.empty())
        return 0;
    int w = 0, h = 0;
    if (TTF_SizeUTF8(face, Sjis::ToUtf8(sjis).c_str(), &w, &h) != 0)
        return 0;
    return w;
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

void TTextPainter::DrawLine(SDL_Surface* target, int x, int y, const SDL_Rect& clip, const TTextLine& line,
                            const TFont& font)
{
    TTF_Font* face = Fonts.Get(font.Height, font.Bold);
    int tab = std::max(1, TabWidth(font));
    SDL_Color color = ToSdlColor(font.Color);
    Uint32 pixel = SDL_MapRGB(target->format, color.r, color.g, color.b);
    int underlineY = y + std::min(TTF_FontAscent(face), font.Height - 1);
    int offset = 0;
    for (const TTextSegment& segment : line) {
        if (segment.Tab) {
            offset = (offset / tab + 1) * tab;
            continue;
        }
        if (segment.Sjis.empty())
            continue;
        std::string utf8 = Sjis::ToUtf8(segment.Sjis);
        if (SDL_Surface* glyphs = TTF_RenderUTF8_Solid(face, utf8.c_str(), color)) {
            SDL_SetClipRect(target, &clip);
            SDL_Rect where{x + offset, y, glyphs->w, glyphs->h};
            SDL_BlitSurface(glyphs, nullptr, target, &where);
            for (size_t at : segment.Underlined) {
                int from = SegmentWidth(segment.Sjis.substr(0, at), face);
                int to = SegmentWidth(segment.Sjis.substr(0, Sjis::NextChar(segment.Sjis, at)), face);
                SDL_Rect bar{x + offset + from, underlineY, to - from, 1};
                SDL_FillRect(target, &bar, pixel);
            }
            SDL_SetClipRect(target, nullptr);
            offset += glyphs->w;
            SDL_FreeSurface(glyphs);
        }
    }
}

void TTextPainter::Draw(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip, const TFont& font,
                        TAlignment alignment, const std::string& caption, bool prefixes)
{
    SDL_Rect area;
    if (!SDL_IntersectRect(&box, &clip, &area))
        return;
    int y = box.y;
    for (const TTextLine& line : ParseCaption(caption, prefixes)) {
        if (y >= area.y + area.h)
            break;
        int x = box.x;
        if (alignment == TAlignment::Center)
            x += (box.w - LineWidth(line, font)) / 2;
        DrawLine(target, x, y, area, line, font);
        y += font.Height;
    }
}
