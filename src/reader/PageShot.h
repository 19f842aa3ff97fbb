// A page of the message area as it was drawn: the area and each of its labels, their places,
// colours, fonts and captions, enough to draw it again with the same pixels.
#pragma once

#include "platform/Control.h"
#include "platform/Label.h"

#include <string>
#include <vector>

struct TControlShot {
    bool Visible = false;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    TColor Color = 0;
    TFont Font;
    TAlignment Alignment = TAlignment::LeftJustify;
    std::string Caption;  // Shift-JIS; kept only while the control shows
    bool operator==(const TControlShot&) const = default;
};

struct TPageShot {
    TControlShot Area;
    std::vector<TControlShot> Labels;  // the area's children, in drawing order
    bool operator==(const TPageShot&) const = default;
};

// The page `area` shows now.
TPageShot TakePage(const TControl& area);
// Makes `mirror` and its children draw `page`: children beyond the page's are hidden.
void ShowPage(const TPageShot& page, TControl& mirror);
// Whether the two show the same text (their colours may differ: a choice under the mouse).
bool SameText(const TPageShot& a, const TPageShot& b);
// Whether anything shows text on it.
bool HasText(const TPageShot& page);
// The bytes a page holds, counted for the bound on what is kept.
size_t PageBytes(const TPageShot& page);

// The text of a page as a reader copies it: each showing caption (the message, or the choices of
// a menu in reading order) in UTF-8, lines ended by "\n", "&" markup taken out as the labels
// take it out when they draw.
std::string PageText(const TPageShot& page);
