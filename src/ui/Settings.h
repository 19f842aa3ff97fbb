// What the player remembers between runs: the window's scale and full screen, and the last story
// played, in $XDG_CONFIG_HOME/zv_rk/settings.ini (~/.config/zv_rk/settings.ini by default); and what
// the reader sets there by hand for skipping, auto play and copying (the [reader] section, never
// written).
#pragma once

#include <optional>
#include <string>

struct TSettings {
    std::optional<int> Scale;  // 1 to 8, or 0 for "auto"
    std::optional<bool> FullScreen;
    std::optional<std::string> LastStory = {};  // the absolute path of its folder or archive
    // Set by hand only (the [reader] section); initialised so that the window's two may be given
    // alone.
    std::optional<bool> SkipUnseen = std::nullopt;
    std::optional<int> AutoDelay = std::nullopt;       // milliseconds, 0 to TAutoPlay::MaxDelayMs
    std::optional<int> AutoPerChar = std::nullopt;     // milliseconds, 0 to TAutoPlay::MaxPerCharMs
    std::optional<bool> CopyEveryPage = std::nullopt;  // each new page's text to the clipboard
    bool operator==(const TSettings&) const = default;
};

// The settings file's path, in the player's configuration folder (UserFolder); "" when there is
// none.
std::string SettingsPath();

// Reads the settings. A file that does not exist gives none; one that cannot be read or does not
// make sense gives none too, with `problem` saying why (one line).
TSettings LoadSettings(const std::string& path, std::string& problem);

// Writes the settings, making the folder if need be, through a new file renamed over the old one:
// a reader never sees half a file, and a link in the file's place is replaced, not followed. The
// folder is the user's own: a link there is followed. What else the old file held (other sections
// and names, comments) is kept. Returns false with `problem` set on failure.
bool SaveSettings(const std::string& path, const TSettings& settings, std::string& problem);

// Whether the file can hold `path` as the last story and give it back as it was: an absolute path
// on one line of the length the reader takes, without what the reader would cut off or trim.
bool StorableStoryPath(const std::string& path);

// "auto" or a whole number from 1 to 8 as a scale (0 for "auto"); nullopt for anything else.
std::optional<int> ParseScale(const std::string& text);
