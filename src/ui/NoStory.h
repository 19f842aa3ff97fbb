// The window shown when the player is started with no story: it asks, in Japanese and English, for
// a story folder or archive to be dropped on it, offers the story played last (Enter plays it),
// and enters the one chosen as the command line would.
#pragma once

#include "platform/Form.h"
#include "platform/Label.h"
#include "platform/Panel.h"
#include "platform/sdl/SdlBackend.h"

#include <optional>
#include <string>

class TNoStoryForm : public TForm {
public:
    // `lastStory`, the absolute path of the story played last, is offered while it is still there.
    explicit TNoStoryForm(const std::optional<std::string>& lastStory);

    TPanel Upper{"Upper"};
    TLabel Invite{"Invite"};
    TPanel Lower{"Lower"};
    TLabel Notice{"Notice"};  // the story offered, or why the one dropped cannot be played

    // Takes what is dropped on the backend's window.
    void Listen(TSdlBackend& backend);
    // Makes the story at `path` the current one, as EnterStoryFolder does for the command line;
    // when it cannot, says why in the window (and on standard error) and waits for another.
    void TryStory(const std::string& path);
    // The path of the story entered, as it was given; nullopt until one is.
    const std::optional<std::string>& Chosen() const { return Entered; }

private:
    void Build();
    void Dropped(const std::string& dropped, bool isText);
    void KeyDown(int key);
    void OfferLastStory();
    void ShowProblem(const std::string& path, const std::string& problem);

    std::optional<std::string> Offered;
    std::optional<std::string> Entered;
};

// Whether the current folder has a dat folder (in any letter case): a story's, though its script
// may be missing.
bool HasDataFolder();

// The local file the first address of dropped text names (text/uri-list: one address a line,
// "#" lines comments): a file:// address with no host or "localhost", its %XX escapes decoded.
// nullopt for any other text.
std::optional<std::string> DroppedFilePath(const std::string& text);

// Shows the window at `view` until a story has been entered (returns its path as given) or the
// window is closed (nullopt). `view` is left as the player changed it there.
std::optional<std::string> ChooseStory(TSdlBackend& backend, TView& view, const std::optional<std::string>& lastStory);
