// Looking back at the pages the message area showed before the one it shows now. Each page is
// kept as it was drawn when the next one replaced it, and shown again on a panel of its own laid
// over the message area, so that the story's own controls are never touched.
#pragma once

#include "platform/Label.h"
#include "platform/Panel.h"
#include "reader/PageShot.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

// The last pages, oldest first. A story may show very long lines again and again, so what is kept
// is bounded in bytes as well as in pages: the oldest go first.
class TPageHistory {
public:
    static constexpr size_t MostPages = 500;
    static constexpr size_t MostBytes = size_t(16) << 20;

    // Keeps `page` as the newest; a page without text is not kept.
    void Keep(TPageShot page);
    size_t Count() const { return Pages.size(); }
    // The page `back` pages before the current one (1 is the newest kept).
    const TPageShot& Back(size_t back) const { return Pages[Pages.size() - back]; }
    size_t Bytes() const { return KeptBytes; }

private:
    std::deque<TPageShot> Pages;
    size_t KeptBytes = 0;
};

class TLookBack {
public:
    // Lays its panel over `area` (the message area), as the last control of its parent. The panel
    // must not outlive the area's parent.
    explicit TLookBack(TControl& area);
    ~TLookBack();
    TLookBack(const TLookBack&) = delete;
    TLookBack& operator=(const TLookBack&) = delete;

    // The area now shows `page`; when it begins a new page, the one it replaced is kept.
    void PageShown(const TPageShot& page, bool newPage);

    // How many pages back the area shows (0: the current page).
    size_t Back() const { return Steps; }
    // One page further back (false when there is none), or one forward (to the current page
    // after the newest kept).
    bool StepBack();
    void StepForward();
    void Return();
    // The page shown now: the one looked at, or the area's own.
    TPageShot ShownPage() const;

    const TPageHistory& History() const { return Pages; }
    TControl& Panel() { return Mirror; }

private:
    // The area may have changed since the last page was told of (a menu taken away, a page left
    // empty): a page it no longer shows is kept before looking back from it.
    void Catch();
    void Show();

    TControl& Area;
    TPanel Mirror{"PanelBack"};
    std::vector<std::unique_ptr<TLabel>> Labels;
    TPageHistory Pages;
    TPageShot Current;
    size_t Steps = 0;
};
