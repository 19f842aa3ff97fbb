// The reader's own features around the story: looking back at earlier pages, copying the page's
// text, screenshots and the key help. They hear the story through the engine's events and the
// keys the window forwards; nothing they do changes where the story is or what a save holds.
#pragma once

#include "platform/Control.h"
#include "reader/LookBack.h"

#include <cstdint>
#include <functional>
#include <string>

class TSdlBackend;

struct TReaderOptions {
    // Puts each new page's text on the clipboard as it appears (for dictionary and speech tools).
    bool CopyEveryPage = false;
    // The story's name in screenshot file names.
    std::string StoryName = "story";
};

class TReader {
public:
    // The window's form, its game page and the message area on it. Listens to the engine's events
    // until destroyed (whoever listened before still hears them first).
    TReader(TControl& form, TControl& page, TControl& area, TSdlBackend& backend, TReaderOptions options);
    ~TReader();
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;

    // A key of the window (Keys::), or the wheel, a click or a context-menu request on the game
    // page; true when the reader took it and the story is not to see it.
    bool Input(int key, bool repeat);

    const TLookBack& LookBack() const { return Back; }
    // The window's title as the reader's states make it.
    std::string Title() const;
    // Shows that title, when it changed.
    void ShowTitle();
    // Whether auto play is on, for the title; unset, it never is.
    std::function<bool()> AutoPlaying;

private:
    void PageChanged(bool newPage);
    bool LookingBackInput(int key);
    void Notice(const std::string& text);
    void CopyPage(const TPageShot& page);
    void Screenshot();

    TControl& Form;
    TControl& Page;
    TControl& Area;
    TSdlBackend& Backend;
    TReaderOptions Options;
    TLookBack Back;
    std::string PlainTitle, ShownTitle, NoticeText;
    std::function<void(int64_t)> OldLineShown;
    std::function<void(int64_t, int)> OldMenuShown;
    std::function<void()> OldSlotLoaded;
};
