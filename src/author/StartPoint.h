// Where "--start @label" begins: the first line of that label in the script (a #Goto from the top
// would pass over a label on the first line and reach a second one first), with the picture and
// music that every path from the start to it agrees on.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Author {

struct TStartPoint {
    int LabelLine = -1;              // index in the script table
    std::string Cg, Midi;            // Shift-JIS names in the data folder, "" for none
    std::vector<std::string> Notes;  // what could not be decided, for the terminal (UTF-8)
};

// For the story in the current folder; `label` is in UTF-8, with or without its "@". Nothing when
// the script has no such label. Raises the loader's errors.
std::optional<TStartPoint> FindStartPoint(const std::string& label);

}  // namespace Author
