// How a benchmark prints a figure for the table of `make bench` (bench/run.sh gathers the lines of
// every benchmark): one line
//   figure | WHAT | VALUE UNIT | GOAL | MET
// GOAL is "under N UNIT", or "-" for a figure kept only to be watched; MET is "yes", "NO", or why
// the goal does not apply to this measurement. Benchmarks print their
// figures and say whether a goal was met; they never fail over it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

// `unjudged`, when given, says why the goal is not applied to this measurement (it holds under
// other conditions than those measured).
inline void PrintFigure(const std::string& what, double value, const char* unit, std::optional<double> under,
                        int decimals = 1, const char* unjudged = nullptr)
{
    std::printf("figure | %s | %.*f %s | ", what.c_str(), decimals, value, unit);
    if (!under)
        std::printf("- | -\n");
    else if (unjudged)
        std::printf("under %g %s | not judged: %s\n", *under, unit, unjudged);
    else
        std::printf("under %g %s | %s\n", *under, unit, value < *under ? "yes" : "NO");
}
