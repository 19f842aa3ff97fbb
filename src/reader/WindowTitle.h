// The main window's title: as the story leaves it, or "zv_rk — " and each of the reader's states
// that is on ("3 pages back", a notice), so the reader always sees what the window is doing.
#pragma once

#include <string>
#include <vector>

// `plain` (UTF-8) when no state is on.
std::string ComposeTitle(const std::string& plain, const std::vector<std::string>& states);
