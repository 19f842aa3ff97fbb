// The author's checker: reads the story in the current folder exactly as the player would (its
// loader, tokenizer, file lookup and picture loaders) and tells everything the player would trip
// on, one diagnostic a line in the form compilers use: "dat/1.txt:12: error: ...".
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace Author {

enum class TSeverity { Error, Warning, Note };

struct TDiagnostic {
    int Line = 0;  // in the script file, from 1; 0 for the file as a whole
    TSeverity Severity = TSeverity::Error;
    std::string Text;  // UTF-8
};

struct TCheckReport {
    std::string ScriptName;                // the script's path as the user sees it, e.g. "dat/1.txt"
    std::vector<TDiagnostic> Diagnostics;  // in line order
};

// Checks the story whose "dat" folder is in the current folder.
TCheckReport CheckStory();

// Writes one line per diagnostic.
void PrintReport(const TCheckReport& report, std::ostream& out);

}  // namespace Author
