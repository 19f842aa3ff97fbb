// The window's title while one of the reader's modes is on.
#pragma once

#include <string>
#include <vector>

// "zv_rk", then " — " and each state that is on: "zv_rk — auto"; with none on, `idle` (the title
// the window had before any). UTF-8.
std::string ReaderTitle(const std::vector<std::string>& states, const std::string& idle);
