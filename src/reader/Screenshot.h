// Screenshots: the window's picture as shown, written as a PNG file in the user's pictures
// folder, named after the story and the time, never over a file that is there.
#pragma once

#include <SDL.h>

#include <ctime>
#include <string>

// Where screenshots go: "zv_rk" in the pictures folder that user-dirs.dirs (in the configuration
// folder) names, or in ~/Pictures when it names none; "" when there is no home to put it in.
std::string ScreenshotFolder();

// The story's name as part of a file name: the archive's name without its extensions, or the
// story folder's name; characters a file name cannot hold or a desktop would trip on become "_".
std::string StoryFileName(const std::string& story, bool archive);

// `path` with the home folder written "~", as the title shows it.
std::string HomeShortened(const std::string& path);

// Writes `area` of `surface` as an 8-bit RGB PNG to a new file `path` (never replacing one).
// Returns "" or the problem; a file left half written is removed.
std::string WritePng(SDL_Surface* surface, const SDL_Rect& area, const std::string& path);

struct TScreenshot {
    std::string Path;     // written; "" on failure
    std::string Problem;  // why not
};
// Makes `folder` and writes `area` of `surface` there as NAME-DATE-TIME.png, or with "-2", "-3"...
// after it when that file is there.
TScreenshot SaveScreenshot(SDL_Surface* surface, const SDL_Rect& area, const std::string& folder,
                           const std::string& name, std::time_t when);
