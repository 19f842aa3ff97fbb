// The player's keys and what each does: the one list that the help box (F1) and --help show.
#pragma once

#include <string>
#include <vector>

struct TKeyHelp {
    const char* Keys;
    const char* Does;
};

const std::vector<TKeyHelp>& KeyList();
// The list one key a line: for a terminal "KEYS  WHAT IT DOES", the keys padded to one column;
// for a box drawn in a proportional font, where no padding lines up, "KEYS: WHAT IT DOES".
std::string KeyHelpText(bool columns);
