// Caption text as a label draws it: lines at CR LF (or a lone CR or LF), tabs to stops every
// eight average character widths, "&" underlining the next character and "&&" drawing "&",
// no word wrap. Text is Shift-JIS here and UTF-8 only at the font.
#pragma once

#include "platform/Label.h"
#include "platform/sdl/SdlFonts.h"

#include <SDL.h>

#include <string>
#include <vector>

// A stretch of one line between tabs.
struct TTextSegment {
    bool Tab = false;
    std::string Sjis;                // the characters to draw, "&" markers removed
    std::vector<size_t> Underlined;  // byte offsets in Sjis of characters to underline
};

using TTextLine = std::vector<TTextSegment>;

// Splits a caption into lines and segments.
// With `prefixes` off, "&" is an ordinary character (message boxes).
std::vector<TTextLine> ParseCaption(const std::string& sjis, bool prefixes = true);

class TTextPainter {
public:
    explicit TTextPainter(TFontCache& fonts) : Fonts(fonts) {}

    // Width of one parsed line in pixels, tabs expanded.
    int LineWidth(const TTextLine& line, const TFont& font);

    // Draws `caption` from the top of `box`, left-aligned or each line centred, in the font's
    // colour; nothing outside `clip` is touched. Only what can show inside the clip is measured
    // and drawn, so text cut off below or to the right costs nothing.
    void Draw(SDL_Surface* target, const SDL_Rect& box, const SDL_Rect& clip, const TFont& font, TAlignment alignment,
              const std::string& caption, bool prefixes = true);

    // The bytes of text handed to the font so far, measured or drawn: what painting has cost.
    size_t FontWork() const { return FontBytes; }

private:
    int TabWidth(const TFont& font);
    static int Reach(const TFont& font);
    // A segment that starts this many pixels left of the clip, as the middle of a centred line
    // far wider than its label does, is drawn from a character near the clip instead of from its
    // start, so that the whole line is no longer drawn up to what shows. Where the font places
    // characters at fractions of a pixel (13 pixels high) they may land a pixel off.
    static constexpr int FarLeft = 4096;
    int SegmentWidth(const std::string& sjis, TTF_Font* face);
    // The bytes of `sjis`, whole characters from its start, that can show within `room` pixels
    // of where it starts: measured in stretches that double, so the work stays within twice what
    // is drawn however long the text.
    size_t ShownBytes(const std::string& sjis, TTF_Font* face, int room);
    // The bytes of `sjis`, whole characters from its start, that lie wholly more than `hidden`
    // pixels left of where it starts; 0 unless that is far (FarLeft).
    size_t HiddenBytes(const std::string& sjis, TTF_Font* face, int hidden);
    // Where to draw the characters of `sjis` from `from` on, so that each lands where a drawing of
    // all of it puts it: the pen before them (measured with a space after, which reaches no
    // further than its advance), less how far their first character reaches left of its pen.
    int WindowStart(const std::string& sjis, size_t from, TTF_Font* face);
    void DrawUnderlines(SDL_Surface* target, int x, int y, const SDL_Rect& clip, const TTextSegment& segment,
                        size_t from, size_t shown, TTF_Font* face, Uint32 pixel);
    int DrawSegment(SDL_Surface* target, int x, int y, const SDL_Rect& clip, const TTextSegment& segment,
                    const TFont& font);
    void DrawLine(SDL_Surface* target, int x, int y, const SDL_Rect& clip, const TTextLine& line, const TFont& font);

    TFontCache& Fonts;
    size_t FontBytes = 0;
};

// SDL colour from 0xRRGGBB.
SDL_Color ToSdlColor(TColor color);
