#include "reader/PageShot.h"

#include "platform/ShiftJis.h"
#include "platform/sdl/LabelText.h"

namespace {

TControlShot TakeControl(const TControl& control)
{
    TControlShot shot{control.Visible,
                      control.Left,
                      control.Top,
                      control.Width,
                      control.Height,
                      control.Color,
                      control.Font,
                      TAlignment::LeftJustify,
                      {}};
    if (control.Kind() == TControlKind::Label)
        shot.Alignment = static_cast<const TLabel&>(control).Alignment;
    if (control.Visible)
        shot.Caption = control.Caption;
    return shot;
}

void ShowControl(const TControlShot& shot, TControl& control)
{
    control.Visible = shot.Visible;
    control.Left = shot.Left;
    control.Top = shot.Top;
    control.Width = shot.Width;
    control.Height = shot.Height;
    control.Color = shot.Color;
    control.Font = shot.Font;
    control.Caption = shot.Caption;
    if (control.Kind() == TControlKind::Label)
        static_cast<TLabel&>(control).Alignment = shot.Alignment;
}

// A caption's text without its markup, lines joined by "\n", the empty lines at its end left out
// (a message ends with a line break).
std::string CaptionText(const std::string& sjis)
{
    std::string text, pendingBreaks;
    for (const TTextLine& line : ParseCaption(sjis)) {
        std::string shown;
        for (const TTextSegment& segment : line)
            shown += segment.Tab ? std::string("\t") : Sjis::ToUtf8(segment.Sjis);
        if (shown.empty()) {
            pendingBreaks += '\n';
            continue;
        }
        if (!text.empty())
            text += '\n';
        text += pendingBreaks + shown;
        pendingBreaks.clear();
    }
    return text;
}

}  // namespace

TPageShot TakePage(const TControl& area)
{
    TPageShot page{TakeControl(area), {}};
    for (const TControl* child : area.Children())
        page.Labels.push_back(TakeControl(*child));
    return page;
}

void ShowPage(const TPageShot& page, TControl& mirror)
{
    ShowControl(page.Area, mirror);
    const std::vector<TControl*>& labels = mirror.Children();
    for (size_t i = 0; i < labels.size(); ++i) {
        if (i < page.Labels.size())
            ShowControl(page.Labels[i], *labels[i]);
        else
            labels[i]->Visible = false;
    }
}

bool SameText(const TPageShot& a, const TPageShot& b)
{
    if (a.Labels.size() != b.Labels.size())
        return false;
    for (size_t i = 0; i < a.Labels.size(); ++i)
        if (a.Labels[i].Visible != b.Labels[i].Visible || a.Labels[i].Caption != b.Labels[i].Caption)
            return false;
    return true;
}

bool HasText(const TPageShot& page)
{
    if (!page.Area.Visible)
        return false;
    for (const TControlShot& label : page.Labels)
        if (label.Visible && !label.Caption.empty())
            return true;
    return false;
}

size_t PageBytes(const TPageShot& page)
{
    size_t bytes = sizeof(TPageShot) + page.Labels.capacity() * sizeof(TControlShot);
    for (const TControlShot& label : page.Labels)
        bytes += label.Caption.capacity();
    return bytes;
}

std::string PageText(const TPageShot& page)
{
    std::string text;
    for (const TControlShot& label : page.Labels) {
        if (!label.Visible)
            continue;
        std::string caption = CaptionText(label.Caption);
        if (caption.empty())
            continue;
        text += caption + '\n';
    }
    return text;
}
