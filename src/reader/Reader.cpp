#include "reader/Reader.h"

#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Form.h"
#include "platform/ShiftJis.h"
#include "platform/sdl/SdlBackend.h"
#include "reader/Screenshot.h"
#include "reader/WindowTitle.h"
#include "timing/MyTime.h"
#include "ui/KeyHelp.h"

#include <cstdio>
#include <ctime>

namespace {

// The timer that takes a notice out of the title again; the story's timers are 1 and 2.
constexpr int NoticeTimer = 10;
constexpr int NoticeMs = 2000;

bool IsBackKey(int key) { return key == Keys::PageUp || key == Keys::Left || key == Keys::WheelUp; }

bool IsForwardKey(int key) { return key == Keys::PageDown || key == Keys::Right || key == Keys::WheelDown; }

}  // namespace

TReader::TReader(TControl& form, TControl& page, TControl& area, TSdlBackend& backend, TReaderOptions options)
    : Form(form), Page(page), Area(area), Backend(backend), Options(std::move(options)), Back(area)
{
    if (SDL_Window* window = Backend.Window())
        PlainTitle = SDL_GetWindowTitle(window);
    ShownTitle = PlainTitle;
    TControl& mirror = Back.Panel();
    auto back = [this](TControl&) {
        Back.Return();
        ShowTitle();
    };
    for (TControl* control : mirror.Children()) {
        control->OnClick = back;
        control->OnDblClick = back;
    }
    mirror.OnClick = mirror.OnDblClick = mirror.OnContextPopup = back;

    UnitRK::TStoryEvents& events = UnitRK::Events;
    OldLineShown = events.LineShown;
    OldMenuShown = events.MenuShown;
    OldSlotLoaded = events.SlotLoaded;
    events.LineShown = [this](int64_t line) {
        if (OldLineShown)
            OldLineShown(line);
        PageChanged(UnitRK::Rk.MsgLines == 1);
    };
    events.MenuShown = [this](int64_t first, int count) {
        if (OldMenuShown)
            OldMenuShown(first, count);
        PageChanged(true);
    };
    events.SlotLoaded = [this] {
        if (OldSlotLoaded)
            OldSlotLoaded();
        PageChanged(true);
    };
    // A page the story showed before the reader listened (its first step) is the current one.
    PageChanged(true);
}

TReader::~TReader()
{
    UnitRK::Events.LineShown = OldLineShown;
    UnitRK::Events.MenuShown = OldMenuShown;
    UnitRK::Events.SlotLoaded = OldSlotLoaded;
    MyTime::SetTimerWork(NoticeTimer, nullptr);
    MyTime::SetTimerInterval(NoticeTimer, 0);
}

void TReader::PageChanged(bool newPage)
{
    TPageShot page = TakePage(Area);
    Back.PageShown(page, newPage);
    ShowTitle();
    if (Options.CopyEveryPage && HasText(page))
        CopyPage(page);
}

bool TReader::Input(int key, bool repeat)
{
    if (key == Keys::F1) {
        if (!repeat)
            Application().MessageBox(Sjis::FromUtf8(KeyHelpText(false)), "zv_rk");
        return true;
    }
    if (key == Keys::F12) {
        if (!repeat)
            Screenshot();
        return true;
    }
    if (!Page.Showing())
        return false;
    if (key == Keys::CopyText) {
        if (!repeat)
            CopyPage(Back.ShownPage());
        return true;
    }
    if (Back.Back() > 0)
        return LookingBackInput(key);
    if (!IsBackKey(key))
        return false;
    Back.StepBack();
    ShowTitle();
    return true;
}

// While looking back the story's menus and data menu do not react: keys and clicks move through
// the kept pages or return to the current one, and only the sound key still works.
bool TReader::LookingBackInput(int key)
{
    if (key == 'M')
        return false;
    if (IsBackKey(key))
        Back.StepBack();
    else if (IsForwardKey(key))
        Back.StepForward();
    else if (key == Keys::Click || key == Keys::ContextMenu || key == Keys::Return || key == Keys::Space)
        Back.Return();
    ShowTitle();
    return true;
}

std::string TReader::Title() const
{
    std::vector<std::string> states;
    if (AutoPlaying && AutoPlaying())
        states.push_back("auto");
    if (size_t back = Back.Back())
        states.push_back(std::to_string(back) + (back == 1 ? " page back" : " pages back"));
    if (!NoticeText.empty())
        states.push_back(NoticeText);
    return ComposeTitle(PlainTitle, states);
}

void TReader::ShowTitle()
{
    std::string title = Title();
    if (title == ShownTitle)
        return;
    ShownTitle = title;
    if (SDL_Window* window = Backend.Window())
        SDL_SetWindowTitle(window, title.c_str());
}

void TReader::Notice(const std::string& text)
{
    NoticeText = text;
    ShowTitle();
    MyTime::SetTimerWork(NoticeTimer, [this] {
        NoticeText.clear();
        ShowTitle();
        MyTime::SetTimerInterval(NoticeTimer, 0);
    });
    MyTime::StartTimer(NoticeTimer, NoticeMs);
}

void TReader::CopyPage(const TPageShot& page)
{
    std::string text = PageText(page);
    if (SDL_SetClipboardText(text.c_str()) != 0)
        std::fprintf(stderr, "zv_rk: text not copied: %s\n", SDL_GetError());
}

void TReader::Screenshot()
{
    SDL_Window* window = Backend.Window();
    SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
    if (!surface)
        return;
    Backend.Present();
    const TFrameLayout& layout = Backend.Layout();
    SDL_Rect frame{layout.Left, layout.Top, Form.Width * layout.Scale, Form.Height * layout.Scale};
    SDL_Rect whole{0, 0, surface->w, surface->h}, area{};
    if (!SDL_IntersectRect(&frame, &whole, &area))
        return;
    TScreenshot shot = SaveScreenshot(surface, area, ScreenshotFolder(), Options.StoryName, std::time(nullptr));
    if (shot.Path.empty()) {
        std::fprintf(stderr, "zv_rk: screenshot not saved: %s\n", shot.Problem.c_str());
        Notice("screenshot not saved: " + HomeShortened(shot.Problem));
    } else {
        Notice("saved " + HomeShortened(shot.Path));
    }
}
