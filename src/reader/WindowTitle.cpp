#include "reader/WindowTitle.h"

std::string ComposeTitle(const std::string& plain, const std::vector<std::string>& states)
{
    if (states.empty())
        return plain;
    std::string title = "zv_rk";
    for (const std::string& state : states)
        title += " \u2014 " + state;
    return title;
}
