// The benchmarks' story: a script of mixed text, comments, pictures, labels and two-way menus.
#pragma once

#include "platform/ShiftJis.h"

#include <string>
#include <vector>

// `lines` lines in Shift-JIS with CR LF; each block of twelve shows one picture, pic0.jpg to
// pic<pictures - 1>.jpg in turn (a new name for every block when `pictures` is 0).
inline std::string BenchScript(int lines, int pictures = 0)
{
    const std::vector<std::string> text = {"今日は朝から雨が降っていた。", "「おはよう」と彼女は言った。",
                                           "窓の外を見ると、街は灰色だった。", "   ", "I said nothing // a comment"};
    std::string out;
    int n = 0, block = 0;
    auto add = [&](const std::string& utf8) {
        out += Sjis::FromUtf8(utf8) + "\r\n";
        ++n;
    };
    while (n < lines - 12) {
        std::string b = std::to_string(block);
        add("@s" + b);
        for (int k = 0; k < 5; ++k)
            add(text[static_cast<size_t>(k)]);
        add("#Cg pic" + std::to_string(pictures > 0 ? block % pictures : block) + ".jpg");
        add("");
        add("右へ行く@r" + b);
        add("左へ行く@l" + b);
        add("@r" + b);
        add("#Goto @l" + b);
        add("@l" + b);
        ++block;
    }
    while (n < lines)
        add("終わりの近く。");
    return out;
}
