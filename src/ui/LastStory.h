// The last story played, remembered in the settings: offered again by --last and by the window
// shown when no story is given.
#pragma once

#include "ui/CommandLine.h"
#include "ui/Settings.h"

#include <optional>
#include <ostream>
#include <string>

// The story entered from `given` (as EnterStoryFolder took it) as it is remembered: the absolute
// path of its archive, or of its folder, which is the current folder by then.
std::string PlayedStoryPath(const std::string& given);

// Remembers `path` as the last story played, saving the settings only when that changes. A path
// the file cannot hold forgets the one before: --last must not play an older story. Returns false
// with `problem` set when the settings could not be saved.
bool RememberStory(TSettings& settings, const std::string& path, std::string& problem);

// For --last: names the remembered story in `line`. Returns the exit status when there is none to
// play (one line on `err`), nullopt when play is to go on.
std::optional<int> TakeLastStory(const TSettings& settings, TCommandLine& line, std::ostream& err);
