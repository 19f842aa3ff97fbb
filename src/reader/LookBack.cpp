#include "reader/LookBack.h"

void TPageHistory::Keep(TPageShot page)
{
    if (!HasText(page))
        return;
    KeptBytes += PageBytes(page);
    Pages.push_back(std::move(page));
    while (Pages.size() > MostPages || (KeptBytes > MostBytes && Pages.size() > 1)) {
        KeptBytes -= PageBytes(Pages.front());
        Pages.pop_front();
    }
}

TLookBack::TLookBack(TControl& area) : Area(area)
{
    Mirror.Visible = false;
    Mirror.SetParent(area.Parent());
    for (size_t i = 0; i < area.Children().size(); ++i) {
        Labels.push_back(std::make_unique<TLabel>("LabBack" + std::to_string(i)));
        Labels.back()->SetParent(&Mirror);
    }
}

TLookBack::~TLookBack()
{
    for (auto& label : Labels)
        label->SetParent(nullptr);
    Mirror.SetParent(nullptr);
}

void TLookBack::PageShown(const TPageShot& page, bool newPage)
{
    if (newPage && !SameText(Current, page)) {
        size_t before = Pages.Count();
        Pages.Keep(std::move(Current));
        // Whoever is looking back keeps looking at the same page.
        if (Steps > 0)
            Steps = std::min(Pages.Count(), Steps + (Pages.Count() > before ? 1 : 0));
    }
    Current = page;
    if (Steps > 0)
        Show();
}

void TLookBack::Catch()
{
    TPageShot live = TakePage(Area);
    if (!SameText(live, Current)) {
        Pages.Keep(std::move(Current));
        Current = live;
    }
}

bool TLookBack::StepBack()
{
    if (Steps == 0)
        Catch();
    if (Steps >= Pages.Count())
        return false;
    ++Steps;
    Show();
    return true;
}

void TLookBack::StepForward()
{
    if (Steps == 0)
        return;
    --Steps;
    if (Steps == 0)
        Return();
    else
        Show();
}

void TLookBack::Return()
{
    Steps = 0;
    Mirror.Visible = false;
}

TPageShot TLookBack::ShownPage() const { return Steps > 0 ? Pages.Back(Steps) : TakePage(Area); }

void TLookBack::Show() { ShowPage(Pages.Back(Steps), Mirror); }
