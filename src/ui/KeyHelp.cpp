#include "ui/KeyHelp.h"

#include <algorithm>
#include <cstring>

const std::vector<TKeyHelp>& KeyList()
{
    static const std::vector<TKeyHelp> keys = {
        {"Click, Enter, Space", "next line"},
        {"Page Down, Down, wheel", "next line"},
        {"Up, Down, 1 to 6", "choose in a menu"},
        {"Page Up, Left, wheel", "look back at earlier pages"},
        {"Page Down, Right", "forward again while looking back"},
        {"Ctrl (held)", "skip lines already read"},
        {"Tab", "skip read lines until a key or click"},
        {"A", "auto play on or off"},
        {"Right click, Escape", "save and load (data menu)"},
        {"Ctrl+C", "copy the page's text"},
        {"F12", "screenshot to Pictures/zv_rk"},
        {"M", "sound off or on"},
        {"F11, Alt+Enter", "full screen"},
        {"Ctrl++, Ctrl+-", "window larger or smaller"},
        {"F5", "read the script again"},
        {"F1", "this help"},
    };
    return keys;
}

std::string KeyHelpText(bool columns)
{
    size_t column = 0;
    for (const TKeyHelp& key : KeyList())
        column = std::max(column, std::strlen(key.Keys));
    std::string text;
    for (const TKeyHelp& key : KeyList()) {
        if (!text.empty())
            text += '\n';
        text += key.Keys;
        text += columns ? std::string(column + 2 - std::strlen(key.Keys), ' ') : std::string(": ");
        text += key.Does;
    }
    return text;
}
