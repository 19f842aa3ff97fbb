// The window's title while one of the reader's modes is on.
#pragma once

#include <string>
#include <vector>

// "zv_rk", then " — " and each state that is on: "zv_rk — auto". UTF-8.
std::string ReaderTitle(const std::vector<std::string>& states);
