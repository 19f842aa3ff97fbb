// The command line, zv_rk [OPTIONS] [STORY], and the story folder it names.
#pragma once

#include <optional>
#include <ostream>
#include <string>

struct TCommandLine {
    std::string Story;         // as given; empty: the current folder is the story
    std::optional<int> Scale;  // 1 to 8, or 0 for "auto"
    std::optional<bool> FullScreen;
    bool CopyText = false;  // each new page's text to the clipboard
    bool Last = false;      // play the story played last, as the settings remember it
    // The author's tools: report what the player would trip on, print the story's map, or start
    // play at a label (UTF-8, with or without its "@").
    bool Check = false;
    bool Map = false;
    std::string StartLabel;
};

// Reads the arguments into `line`. Returns the exit status when the program is to end at once:
// 0 after --help or --version (printed to `out`), 2 after a usage error (one line on `err`);
// nullopt when it is to go on.
std::optional<int> ParseCommandLine(int argc, const char* const* argv, TCommandLine& line, std::ostream& out,
                                    std::ostream& err);

// Makes the story that `story` names the current folder: the folder that holds dat/, that dat
// folder itself, or its script dat/1.txt. An archive that holds one story (in a folder that holds
// dat/, at its top or up to two folders down) is played from instead, the current folder left as
// it was. Returns "" when it did, otherwise the problem (and the current folder is left as it
// was): among them an archive of several stories, which are named.
std::string EnterStoryFolder(const std::string& story);
