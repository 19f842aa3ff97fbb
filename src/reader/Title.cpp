#include "reader/Title.h"

std::string ReaderTitle(const std::vector<std::string>& states, const std::string& idle)
{
    if (states.empty())
        return idle;
    std::string title = "zv_rk";
    for (const std::string& state : states)
        title += " \u2014 " + state;
    return title;
}
